#pragma once

#include <QCoreApplication>
#include <QList>
#include <QString>

#include <functional>

#include "BoxResult.h"
#include "BoxTypes.h"
#include "SecretString.h"

// The box operations, without any window: each checks what the box's state
// allows (BoxRules), checks its input, asks the box service through
// VaultranerProxy and returns a BoxResult whose reason says why it failed.
// All are synchronous; BoxWorker runs the long ones off the GUI thread.
class BoxOperations
{
    Q_DECLARE_TR_FUNCTIONS(BoxOperations)
public:
    static BoxResult create(const QString &name);
    // Creates the box and encrypts it; a box whose encryption failed is
    // deleted again. The password must follow PasswordPolicy.
    static BoxResult createEncrypted(const QString &name, const SecretString &password);

    // Deletes a box: an encrypted one only with its password, checked first.
    static BoxResult deleteBox(const BoxInfo &box, const SecretString &password);
    // Deletes a box whose password the caller has just checked itself
    // (the main window's password dialog); plain boxes need none. What
    // another user left in the box and we may not remove is set aside: the
    // delete succeeds, and the result's reason says so.
    static BoxResult deleteCheckedBox(const BoxInfo &box);

    // Renames a box: an encrypted one only with its password, checked first.
    static BoxResult rename(const BoxInfo &box, const QString &newName, const SecretString &password);

    // Mounts an encrypted box; with idleSeconds > 0 it unmounts itself after
    // that long without file access (refused when the service cannot).
    static BoxResult mount(const BoxInfo &box, const SecretString &password, unsigned int idleSeconds = 0);
    // Mounts with the idle lock the user chose in the settings (LockSettings);
    // where the service cannot unmount by itself the box mounts without it.
    static BoxResult mountWithUserSettings(const BoxInfo &box, const SecretString &password);
    static BoxResult unmount(const BoxInfo &box);

    static BoxResult addPassword(const BoxInfo &box, const SecretString &password);
    static BoxResult changePassword(const BoxInfo &box, const SecretString &current, const SecretString &fresh);
    static BoxResult removePassword(const BoxInfo &box, const SecretString &current);
    static BoxResult verifyPassword(const BoxInfo &box, const SecretString &password);

    static BoxResult list(QList<BoxInfo> &boxes, OwnerFilter owner = OwnerFilter::All,
                          EncryptionFilter encryption = EncryptionFilter::All, ShareFilter share = ShareFilter::All);
    // The caller's own box of that name, or another user's box shared with
    // the caller when `owner` names that user.
    static BoxResult find(const QString &name, BoxInfo &box, const QString &owner = QString());
    // Whether `box` is the one find() means by that name and owner.
    static bool isBox(const BoxInfo &box, const QString &name, const QString &owner = QString());

    // The users the box is shared with, and replacing them: `added` counts
    // the shares set, -1 when the old ones could not be cleared; any share
    // not set gives Failed.
    // Whether the box service prints its box table on standard output when
    // asked for lists (the window's trace; the command line and the agent
    // turn it off).
    static void setPrintsBoxTable(bool print);
    // Whether failures of the box service go to the debug log (on by default).
    static void setLogsFailures(bool logs);
    // Reports the percentage of long operations on the calling thread; an
    // empty function turns it off.
    static void setProgressHandler(std::function<void(int percent)> handler);
    // Told once per operation on the calling thread that must first wait
    // for another operation of this account to end; an empty function turns
    // it off.
    static void setWaitHandler(std::function<void()> handler);
    // The box service's short message for a result code.
    static const char *serviceErrorText(int code);

    // The calling user's box folder, where new boxes are made.
    static QString userBoxFolder();

    static BoxResult readShares(const BoxInfo &box, QList<ShareUser> &shares);
    static BoxResult applyShares(const BoxInfo &box, const QList<ShareUser> &shares, int &added);
};
