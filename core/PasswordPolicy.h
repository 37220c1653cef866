#pragma once

#include <QCoreApplication>
#include <QString>

// Where a new password is chosen; each form words its hints its own way.
enum class PasswordForm {
    Create, // a new encrypted box
    Add,    // encrypting a plain box
    Change, // replacing the password of an encrypted box
};

// The rule every new password follows, wherever it is chosen (the three
// dialogs and the command line): kMinLength to kMaxLength characters, an
// ASCII letter first, then ASCII letters, digits or underscores. Passwords
// that already exist are never checked against it: they only have to match.
class PasswordPolicy
{
    Q_DECLARE_TR_FUNCTIONS(PasswordPolicy)
public:
    static constexpr int kMinLength = 6;
    static constexpr int kMaxLength = 18;

    enum class Problem {
        None,
        Empty,        // no password
        BreaksRule,   // length or characters outside the rule
        ConfirmEmpty, // no confirmation
        Mismatch,     // the confirmation differs
    };

    static bool follows(const QString &password);

    // The first problem of a new password and its confirmation, in the
    // order the forms report them.
    static Problem check(const QString &password, const QString &confirm);

    // What a form says about a problem; empty for None.
    static QString text(Problem problem, PasswordForm form);
    // check() and text() at once.
    static QString problemText(const QString &password, const QString &confirm, PasswordForm form);

    // The whole rule in one sentence, made from the numbers above.
    static QString ruleText();
};
