#pragma once

#include <QList>
#include <QObject>
#include <QString>
#include <QStringList>

#include "BoxTypes.h"

#include <functional>

class SecretString;

// The only place that calls the box service library. Every operation is
// static and synchronous, logs library failures to the debug log and reports
// success as a bool (the share writer as a count). The code, reason and
// detail of the calling thread's last failure stay readable until its next
// failing call, so that callers can say why.
class VaultranerProxy : public QObject
{
    Q_OBJECT
public:
    explicit VaultranerProxy(QObject *parent = nullptr);
    ~VaultranerProxy() override;

    static bool createBox(const QString &name);
    static bool createEncryptedBox(const QString &name, const QString &passphrase);
    static bool deleteBox(const QString &name);
    static bool addPassphrase(const QString &name, const QString &passphrase);
    static bool changePassphrase(const QString &name, const QString &oldPassphrase,
                                 const QString &newPassphrase);
    static bool removePassphrase(const QString &name, const QString &passphrase);
    static bool verifyPassphrase(const QString &name, const QString &passphrase);
    static bool mountBox(const QString &owner, const QString &name, const QString &passphrase);
    static bool umountBox(const QString &owner, const QString &name);
    static bool renameBox(const QString &oldName, const QString &newName);

    // Selectors: owner 0 all / 1 own / 2 others'; encryption 0 all /
    // 1 encrypted / 2 plain; share 0 all / 1 shared / 2 unshared.
    static bool getBoxList(QList<BoxInfo> &list, int ownerFilter, int encryptFilter, int shareFilter);
    static bool getSharedList(const QString &owner, const QString &name, QList<ShareUser> &list);
    static int setSharedList(const QString &name, const QList<ShareUser> &list);

    // Mounts with an idle time: the box unmounts itself after `idleSeconds`
    // without file access (0: never). Needs box_crypto_mount_idle in the
    // library when idleSeconds is not 0; see canMountWithIdleTime().
    static bool mountBox(const QString &owner, const QString &name, const QString &passphrase,
                         unsigned int idleSeconds);
    static bool canMountWithIdleTime();

    // Start-up checks, passed through: box_enabled, box_init and box_err.
    static int boxEnabled();
    static int boxInit();
    static const char *boxError(int code);

    // The calling thread's last library failure: its result code (0 when
    // none yet), its box_reason (BOX_REASON_NONE when the library cannot
    // tell) and the library's detail text for it (may be empty).
    static int lastFailureCode();
    static int lastFailureReason();
    static QString lastFailureDetail();
    static void clearLastFailure();

    // What the calling thread's last successful deleteBox had to set aside:
    // the entry of another user that could not be removed; empty when none.
    static QString lastSetAside();

    // Whether getBoxList and getSharedList print the box table on standard
    // output (on by default; the command line turns it off).
    static void setPrintsBoxTable(bool print);
    static bool printsBoxTable();
    // Whether library failures go to the debug log (on by default; a caller
    // that retries and reports failures itself turns it off).
    static void setLogsFailures(bool log);

    // Receives the percentage of long operations (encrypting, decrypting,
    // changing a password) made on the calling thread, where the library
    // reports progress. An empty function turns it off for that thread.
    using ProgressHandler = std::function<void(int percent)>;
    static void setProgressHandler(ProgressHandler handler);
    static bool reportsProgress();
    // Called on the calling thread when one of its operations must first
    // wait for another operation of the same account (in any process) to
    // end; an empty function turns it off for that thread. A library that
    // cannot tell simply never calls it.
    using WaitHandler = std::function<void()>;
    static void setWaitHandler(WaitHandler handler);

    // Why the box service is unavailable (box_enabled gave 0 or box_init
    // failed), in the library's own plain words with the fix; empty when the
    // library cannot say.
    static QString unavailableReason();
    // The same as a box_unavailable code; -1 when the library cannot say.
    static int unavailableCode();

    // The calling user's box folder (e.g. "/box/alice"), as the library
    // knows it; "/box/" and $USER when it cannot say.
    static QString userBoxFolder();

    // The recovery key, the integrity check, export and import, where the
    // library has them (each can* says whether it has).
    static bool canShowRecoveryKey();
    static bool canRecover();
    static bool canCheck();
    static bool canExportAndImport();
    // The box's recovery key as 64 hexadecimal digits, opened with its
    // password.
    static bool recoveryKey(const QString &name, const QString &passphrase, SecretString &key);
    // A new password set with the recovery key; `checked` is false when the
    // box held nothing to prove the key against.
    static bool recoverPassphrase(const QString &name, const QString &recoveryKey,
                                  const QString &newPassphrase, bool &checked);
    // Checks every file; `damaged` gets the paths inside the box of those
    // that are damaged. False when the check could not run.
    static bool checkBox(const QString &name, const QString &passphrase, QStringList &damaged);
    static bool exportBox(const QString &name, const QString &file);
    static bool importBox(const QString &source, const QString &name, const QString &passphrase, bool move);
    // The folders whose entries and attributes change with the caller's box
    // list, as the library names them; without that extra of the library,
    // the box root and the user folder; none when the library cannot say.
    static QStringList boxStateFolders();
};
