#pragma once

#include <QElapsedTimer>
#include <QHash>
#include <QObject>
#include <QString>
#include <QStringList>
#include <QTimer>

class QSocketNotifier;

// Notices when the box list the user would get has changed, whoever changed
// it: boxes created, deleted, renamed, encrypted or shared in the user's
// folder, shares of other accounts that name the user, and mounts under the
// box root. It listens to the kernel (inotify, and /proc/self/mountinfo,
// which signals a changed mount table as an exceptional condition); it never
// polls, so an idle program uses no processor time. A burst of changes comes
// out as one changed() after the burst has been quiet for kQuietMs, and at
// the latest kLongestDelayMs after its first change.
class BoxStateWatcher : public QObject
{
    Q_OBJECT
public:
    static constexpr int kQuietMs = 100;
    static constexpr int kLongestDelayMs = 400;

    // What to watch: `folders` for entries coming and going and for changed
    // attributes (entries beginning with '.' are no boxes and are left
    // out); the first is the box root, where mounts count too.
    BoxStateWatcher(const QStringList &folders, const QString &mountInfo, QObject *parent = nullptr);
    ~BoxStateWatcher() override;

    // Watches the folders the box service names for the calling user.
    static BoxStateWatcher *forBoxService(QObject *parent);

    // Whether a change has been noticed and not yet announced.
    bool hasPendingChange() const { return m_pending; }
    // Announces a pending change now instead of after the quiet time.
    void flush();

    // The mount points under `root` in a mountinfo text, in its order, as
    // plain paths. Mounts in the box service's hidden folders (its own work
    // while encrypting) are left out, but for the mount points an account
    // keeps there for other accounts' boxes (<login>/.boxes/mnt/...): a
    // sharee's mount changes its own list and its owner's.
    static QStringList boxMounts(const QByteArray &mountInfo, const QString &root);

signals:
    void changed();

private:
    void watchFolders();
    void readFolderEvents();
    void readMounts();
    void noteChange();
    void announce();

    QStringList m_folders;
    QString m_root;
    int m_inotify = -1;
    int m_mountInfo = -1;
    QSocketNotifier *m_folderNotifier = nullptr;
    QSocketNotifier *m_mountNotifier = nullptr;
    QHash<int, QString> m_watches; // watch descriptor -> folder
    QStringList m_mounts;
    QTimer m_quiet;
    QElapsedTimer m_sinceFirst;
    bool m_pending = false;
};
