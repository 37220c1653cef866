#pragma once

#include <QDBusObjectPath>
#include <QDBusUnixFileDescriptor>
#include <QObject>
#include <QString>

class BusConnection;

// What the desktop and logind say about the session, turned into signals:
// the screen locked (or unlocked), the machine is about to sleep (or woke
// up), the session ended. Holds logind's sleep delay lock while it may be asked
// to lock boxes before sleep, so that logind waits for us.
class SessionSignals : public QObject
{
    Q_OBJECT
public:
    SessionSignals(BusConnection *sessionBus, BusConnection *systemBus, QObject *parent = nullptr);

    // Whether to hold the delay lock at all (the user's "lock before sleep").
    void setHoldSleepDelay(bool hold);
    bool holdsSleepDelay() const { return m_inhibitor.isValid(); }
    // Lets the machine sleep: called once the boxes are locked.
    void releaseSleepDelay();

    QString sessionPath() const { return m_sessionPath; }

signals:
    void screenLocked();
    void screenUnlocked();
    void aboutToSleep();
    void resumed();
    void sessionEnded();

private slots:
    // Connected through QtDBus, which only takes slots by name.
    void onScreenSaverActiveChanged(bool active);
    void onSessionLock();
    void onSessionUnlock();
    void onPrepareForSleep(bool start);
    void onSessionRemoved(const QString &id, const QDBusObjectPath &path);

private:
    void subscribeSession();
    void subscribeSystem();
    void findSessionPath();
    void takeSleepDelay();

    BusConnection *m_sessionBus;
    BusConnection *m_systemBus;
    QString m_sessionPath;
    QDBusUnixFileDescriptor m_inhibitor;
    bool m_wantSleepDelay = true;
    bool m_asking = false; // an Inhibit call is on its way
};
