#pragma once

#include "BoxCli.h"
#include "BoxTypes.h"
#include "BoxCommandLine.h"
#include "PasswordPolicy.h"
#include "PasswordReader.h"

#include <QCoreApplication>
#include <QString>

#include <memory>

class SecretString;
struct BoxInfo;
struct BoxResult;

// Runs one box subcommand through the box operations of core/, with the
// same rules as the window: what a box's state allows, the password rule
// for new boxes, a password check before deleting or renaming an encrypted
// box. Failures are reported as one line on standard error.
class BoxCommands
{
    Q_DECLARE_TR_FUNCTIONS(BoxCommands)
public:
    explicit BoxCommands(const BoxCommandLine &line);
    ~BoxCommands();

    ExitStatus run();

private:
    ExitStatus list();
    ExitStatus create();
    ExitStatus remove();
    ExitStatus rename();
    ExitStatus encrypt();
    ExitStatus decrypt();
    ExitStatus changePassword();
    ExitStatus mount();
    ExitStatus unmount();
    ExitStatus share();
    ExitStatus unshare();
    ExitStatus shares();
    ExitStatus recoveryKey();
    ExitStatus recover();
    ExitStatus check();
    ExitStatus exportBox();
    ExitStatus importBox();
    // Shows the recovery key of a box that has just become encrypted, on a
    // terminal only: a script's output may end up in a log.
    void showNewRecoveryKey(const QString &name, const SecretString &password);
    void printRecoveryKey(const SecretString &key);

    // Finds the box an operand names: "name" for an own box, "owner/name"
    // for another user's box shared with us. Reports a failure itself.
    bool findBox(const QString &operand, BoxInfo &box);
    // Whether the box's state allows the action (BoxRules); reports the
    // refusal itself in the window's words.
    bool allowed(const BoxInfo &box, BoxAction action);
    // The box of the first operand, when its state allows `action`.
    bool boxToChange(BoxAction action, BoxInfo &box);
    // Whether the box is (or is not) encrypted, as the command needs;
    // reports the mismatch itself.
    bool hasEncryption(const BoxInfo &box, bool encrypted);
    // The shares of a box about to change them: an encrypted box's password
    // is checked first.
    bool readSharesToChange(const BoxInfo &box, QList<ShareUser> &current);
    ExitStatus applyShares(const BoxInfo &box, const QList<ShareUser> &wanted);
    // Reads a password the box already has / a new one. Report failures
    // themselves; `applyRule` checks the password rule of new boxes.
    bool readPassword(const QString &prompt, SecretString &password);
    bool readBoxPassword(const BoxInfo &box, SecretString &password);
    bool readNewPassword(SecretString &password, PasswordForm form);
    // The current password of an encrypted box, checked against the box
    // before anything else happens.
    bool readCheckedPassword(const BoxInfo &box, SecretString &password);

    // One line on standard error; the operation's status.
    ExitStatus fail(const QString &message);
    // A failed result: `failureText` with the result's reason, or the
    // reason alone when it already says everything (a refusal).
    ExitStatus fail(const BoxResult &result, const QString &failureText);
    // Ok for a result that succeeded, else fail(result, failureText).
    ExitStatus finished(const BoxResult &result, const QString &failureText);
    // A delete's outcome; a success may say what was set aside.
    ExitStatus deleted(const BoxResult &result, const QString &failureText);
    // A wrong password: the result's reason or the window's hint.
    ExitStatus failPassword(const BoxResult &result);

    PasswordReader &passwords();

    const BoxCommandLine &m_line;
    std::unique_ptr<PasswordReader> m_passwords;
};
