#pragma once

#include <QList>
#include <QObject>
#include <QString>

// One box as the program sees it: a value copied out of the box service.
struct BoxInfo {
    QString name;
    QString path;
    QString owner;
    quint8 flags = 0;
    int shared = 0;    // shared with at least one user
    int encrypted = 0; // protected by a password
    int fromOther = 0; // another user's box shared with us
    int mounted = 0;   // encrypted box currently unlocked
};

// One user's access to a box.
struct ShareUser {
    unsigned int uid = 0;
    unsigned int type = 2; // ACL tag of a named user
    int perm = 0;          // 5 read-only, 7 read-write, 0 none
    QString name;
};

// The only place that calls the box service library. Every operation is
// static and synchronous, logs library failures to the debug log and reports
// success as a bool (the share writer as a count).
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
};
