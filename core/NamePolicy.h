#pragma once

#include <QByteArray>
#include <QCoreApplication>
#include <QString>

// Where a box name is chosen; the empty name is worded per form.
enum class NameForm {
    Create, // a new box
    Rename, // a new name for a box
};

// The names a new or renamed box may take, alike in the dialogs and on the
// command line: not empty, not hidden (no leading "."), no "/", no control
// characters (tab, line breaks, …), valid UTF-8 and at most kMaxLength
// characters (UTF-16 units, as a line edit counts them; that many always fit
// the box service's 255 bytes). Names that already exist are never checked.
class NamePolicy
{
    Q_DECLARE_TR_FUNCTIONS(NamePolicy)
public:
    static constexpr int kMaxLength = 64;

    enum class Problem {
        None,
        Empty,
        InvalidUtf8, // bytes that are no UTF-8 text (or a broken surrogate pair)
        Hidden,      // starts with "." (also "." and "..")
        Slash,       // holds a "/"
        Control,     // holds a control character such as a tab
        TooLong,     // more than kMaxLength characters
    };

    static Problem check(const QString &name);
    // For names that arrive as bytes (the command line): strict UTF-8 first.
    static Problem check(const QByteArray &utf8);
    static bool isValidUtf8(const QByteArray &bytes);

    // Why a name is refused; empty for None.
    static QString text(Problem problem, NameForm form = NameForm::Create);
};
