#pragma once

#include <QCoreApplication>
#include <QHash>
#include <QSet>
#include <QObject>
#include <QString>
#include <QTimer>

#include "BoxResult.h"
#include "BoxTypes.h"

class DesktopNotifier;

// Locks (unmounts) the user's mounted boxes when asked to. A box that is in
// use is never forced: it stays mounted, its owner is told once which box
// and why, and the agent tries again until the box is unmounted or no
// longer mounted.
class LockAgent : public QObject
{
    Q_OBJECT
public:
    // What asked for the lock; each has its own switch in LockSettings.
    enum class Trigger { ScreenLock, Sleep, Logout, User };
    Q_ENUM(Trigger)

    static constexpr int kDefaultRetryMilliseconds = 10000;
    static constexpr int kMaxRetries = 60;

    explicit LockAgent(DesktopNotifier *notifier, QObject *parent = nullptr);

    void setRetryInterval(int milliseconds);

    // Whether the user's settings let `trigger` lock boxes (always for User).
    static bool triggerEnabled(Trigger trigger);

    // Unmounts every mounted box of the user when the settings allow it;
    // returns how many stay mounted.
    int lockAll(Trigger trigger);
    // Unmounts one box (the tray's 卸载); false when it stays mounted.
    bool lockOne(const BoxInfo &box);

    // The user's own boxes that are mounted now.
    static QList<BoxInfo> mountedBoxes();

    int pendingCount() const { return m_pending.size(); }

signals:
    // After every attempt that changed what is mounted.
    void mountsChanged();

private:
    struct Pending {
        BoxInfo box;
        int attempts = 0;
    };

    static QString keyOf(const BoxInfo &box) { return box.owner + QLatin1Char('/') + box.name; }
    bool unmount(const BoxInfo &box);
    void tellStillMounted(const BoxInfo &box, const BoxResult &result);
    void retry();

    DesktopNotifier *m_notifier;
    QHash<QString, Pending> m_pending; // boxes that refused, by owner/name
    QTimer m_retryTimer;
};
