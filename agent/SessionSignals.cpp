#include "SessionSignals.h"

#include "BusConnection.h"

#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusPendingCallWatcher>
#include <QDBusPendingReply>
#include <QDebug>

#include <unistd.h>

namespace {

const char *const kLogindService = "org.freedesktop.login1";
const char *const kLogindPath = "/org/freedesktop/login1";
const char *const kLogindManager = "org.freedesktop.login1.Manager";
const char *const kLogindSession = "org.freedesktop.login1.Session";

// The screen savers' interfaces: the freedesktop one (KDE and others) and
// the desktops that name it after themselves. Each says ActiveChanged(b).
const char *const kScreenSaverInterfaces[] = {
    "org.freedesktop.ScreenSaver",
    "org.gnome.ScreenSaver",
    "org.kde.screensaver",
    "org.mate.ScreenSaver",
    "org.cinnamon.ScreenSaver",
    "org.xfce.ScreenSaver",
};

constexpr int kCallTimeoutMilliseconds = 3000;

} // namespace

SessionSignals::SessionSignals(BusConnection *sessionBus, BusConnection *systemBus, QObject *parent)
    : QObject(parent), m_sessionBus(sessionBus), m_systemBus(systemBus)
{
    connect(m_sessionBus, &BusConnection::connected, this, &SessionSignals::subscribeSession);
    connect(m_systemBus, &BusConnection::connected, this, &SessionSignals::subscribeSystem);
    // A delay lock from a bus that went away is worth nothing.
    connect(m_systemBus, &BusConnection::disconnected, this, [this] { m_inhibitor = QDBusUnixFileDescriptor(); });
}

void SessionSignals::subscribeSession()
{
    QDBusConnection bus = m_sessionBus->connection();
    // Any sender and any path: screen savers differ in both.
    for (const char *interface : kScreenSaverInterfaces)
        bus.connect(QString(), QString(), interface, "ActiveChanged", this, SLOT(onScreenSaverActiveChanged(bool)));
}

void SessionSignals::subscribeSystem()
{
    QDBusConnection bus = m_systemBus->connection();
    bus.connect(kLogindService, kLogindPath, kLogindManager, "PrepareForSleep", this, SLOT(onPrepareForSleep(bool)));
    bus.connect(kLogindService, kLogindPath, kLogindManager, "SessionRemoved", this,
                SLOT(onSessionRemoved(QString, QDBusObjectPath)));
    findSessionPath();
    // Without our session's object, a Lock of any session counts: locking
    // too often is safer than not locking.
    bus.connect(kLogindService, m_sessionPath, kLogindSession, "Lock", this, SLOT(onSessionLock()));
    // An unlock counts from our own session only: another session's unlock
    // must not end the hold on ours.
    if (!m_sessionPath.isEmpty())
        bus.connect(kLogindService, m_sessionPath, kLogindSession, "Unlock", this, SLOT(onSessionUnlock()));
    m_inhibitor = QDBusUnixFileDescriptor();
    m_asking = false;
    takeSleepDelay();
}

// Our session's object: the session of this process, or the one the login
// named in XDG_SESSION_ID.
void SessionSignals::findSessionPath()
{
    m_sessionPath.clear();
    QDBusConnection bus = m_systemBus->connection();
    QDBusMessage call = QDBusMessage::createMethodCall(kLogindService, kLogindPath, kLogindManager, "GetSessionByPID");
    call << uint(getpid());
    QDBusMessage reply = bus.call(call, QDBus::Block, kCallTimeoutMilliseconds);
    if (reply.type() != QDBusMessage::ReplyMessage || reply.arguments().isEmpty()) {
        const QString id = qEnvironmentVariable("XDG_SESSION_ID");
        if (id.isEmpty())
            return;
        call = QDBusMessage::createMethodCall(kLogindService, kLogindPath, kLogindManager, "GetSession");
        call << id;
        reply = bus.call(call, QDBus::Block, kCallTimeoutMilliseconds);
        if (reply.type() != QDBusMessage::ReplyMessage || reply.arguments().isEmpty())
            return;
    }
    m_sessionPath = qvariant_cast<QDBusObjectPath>(reply.arguments().constFirst()).path();
}

void SessionSignals::setHoldSleepDelay(bool hold)
{
    m_wantSleepDelay = hold;
    if (hold)
        takeSleepDelay();
    else
        releaseSleepDelay();
}

void SessionSignals::takeSleepDelay()
{
    if (!m_wantSleepDelay || m_inhibitor.isValid() || m_asking || !m_systemBus->isConnected())
        return;
    QDBusMessage call = QDBusMessage::createMethodCall(kLogindService, kLogindPath, kLogindManager, "Inhibit");
    call << QStringLiteral("sleep") << QStringLiteral("Vaultrane")
         << QStringLiteral("Locking mounted protection boxes") << QStringLiteral("delay");
    m_asking = true;
    auto *watcher = new QDBusPendingCallWatcher(m_systemBus->connection().asyncCall(call), this);
    connect(watcher, &QDBusPendingCallWatcher::finished, this, [this](QDBusPendingCallWatcher *w) {
        w->deleteLater();
        m_asking = false;
        QDBusPendingReply<QDBusUnixFileDescriptor> reply = *w;
        if (reply.isError()) {
            qDebug().noquote() << "vaultrane-agent: no sleep delay lock:" << reply.error().message();
            return;
        }
        if (m_wantSleepDelay)
            m_inhibitor = reply.value();
    });
}

void SessionSignals::releaseSleepDelay()
{
    // The descriptor closes with the last copy of it.
    m_inhibitor = QDBusUnixFileDescriptor();
}

void SessionSignals::onScreenSaverActiveChanged(bool active)
{
    if (active)
        emit screenLocked();
    else
        emit screenUnlocked();
}

void SessionSignals::onSessionLock()
{
    emit screenLocked();
}

void SessionSignals::onSessionUnlock()
{
    emit screenUnlocked();
}

void SessionSignals::onPrepareForSleep(bool start)
{
    if (start) {
        emit aboutToSleep();
        return;
    }
    takeSleepDelay();
    emit resumed();
}

void SessionSignals::onSessionRemoved(const QString &id, const QDBusObjectPath &path)
{
    Q_UNUSED(id);
    if (!m_sessionPath.isEmpty() && path.path() == m_sessionPath)
        emit sessionEnded();
}
