#pragma once

#include <QCoreApplication>
#include <QHash>
#include <QObject>
#include <QString>
#include <QTimer>

#include "BoxResult.h"
#include "BoxTypes.h"

class DesktopNotifier;

// Locks (unmounts) the user's mounted boxes when asked to. A box that is in
// use is never forced: it stays mounted, its owner is told once that the
// agent keeps trying, and once more when the box is unmounted or when the
// agent gives up.
//
// While the screen is locked, or the machine is preparing to sleep (each
// when the settings let it lock boxes), the agent holds the boxes locked: a
// busy box is retried for as long as the hold lasts, and a box that gets
// mounted meanwhile is unmounted at once. When the hold ends with a box
// still in use, the agent gives up on it; a box the user asked to unmount
// from the tray is tried kMaxUserRetries times.
class LockAgent : public QObject
{
    Q_OBJECT
public:
    // What asked for the lock; each has its own switch in LockSettings.
    enum class Trigger { ScreenLock, Sleep, Logout, User };
    Q_ENUM(Trigger)

    static constexpr int kDefaultRetryMilliseconds = 10000;
    static constexpr int kMaxUserRetries = 60;
    // At the end of the session: how long busy boxes are retried before the
    // agent leaves anyway, and how often meanwhile.
    static constexpr int kEndGraceMilliseconds = 5000;
    static constexpr int kEndRetryMilliseconds = 250;

    explicit LockAgent(DesktopNotifier *notifier, QObject *parent = nullptr);

    void setRetryInterval(int milliseconds);

    // Whether the user's settings let `trigger` lock boxes (always for User).
    static bool triggerEnabled(Trigger trigger);

    // Unmounts every mounted box of the user when the settings allow it;
    // a screen lock or sleep also starts the hold. Returns how many stay
    // mounted.
    int lockAll(Trigger trigger);
    // The screen was unlocked, or the machine woke up: that hold ends.
    void endHold(Trigger trigger);
    bool holding() const { return m_screenHold || m_sleepHold; }
    // Unmounts one box (the tray's 卸载); false when it stays mounted.
    bool lockOne(const BoxInfo &box);
    // Locks every box for the end of the session, retries busy ones for a
    // short while, then ends the event loop.
    void lockAllAndQuit();

    // Something was mounted or unmounted on the system.
    void mountTableChanged();

    // The boxes the user has mounted now: its own, and its own views of
    // boxes that others share with it.
    static QList<BoxInfo> mountedBoxes();

    int pendingCount() const { return m_pending.size(); }

signals:
    // After every attempt that changed what is mounted.
    void mountsChanged();

private:
    enum class Outcome { Unmounted, StaysMounted, NotOurs };

    struct Pending {
        BoxInfo box;
        int attempts = 0;
        bool userAsked = false; // from the tray: bounded when no hold lasts
    };

    static QString keyOf(const BoxInfo &box) { return box.owner + QLatin1Char('/') + box.name; }
    int unmountAll(bool userAsked);
    Outcome unmount(const BoxInfo &box, bool userAsked);
    void retry();
    void finish(const QString &key, bool unmounted);
    void tellStillMounted(const BoxInfo &box, const BoxResult &result);

    DesktopNotifier *m_notifier;
    QHash<QString, Pending> m_pending; // boxes that refused, by owner/name
    QTimer m_retryTimer;
    bool m_screenHold = false;
    bool m_sleepHold = false;
    bool m_ending = false;
};
