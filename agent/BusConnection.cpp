#include "BusConnection.h"

#include <QtGlobal>

BusConnection::BusConnection(Bus bus, QObject *parent) : QObject(parent), m_bus(bus), m_address(addressOf(bus))
{
    m_timer.setInterval(kRetryMilliseconds);
    connect(&m_timer, &QTimer::timeout, this, &BusConnection::check);
    m_timer.start();
    // The first attempt runs once the event loop does, so that whoever made
    // us has connected to connected() by then.
    QTimer::singleShot(0, this, &BusConnection::check);
}

BusConnection::~BusConnection()
{
    drop();
}

QDBusConnection BusConnection::connection() const
{
    return QDBusConnection(m_name);
}

bool BusConnection::isConnected() const
{
    return !m_name.isEmpty() && connection().isConnected();
}

// The addresses the desktop hands every program of the session; the
// well-known defaults where it handed none.
QString BusConnection::addressOf(Bus bus)
{
    if (bus == Bus::System) {
        const QString address = qEnvironmentVariable("DBUS_SYSTEM_BUS_ADDRESS");
        return address.isEmpty() ? QStringLiteral("unix:path=/run/dbus/system_bus_socket") : address;
    }
    const QString address = qEnvironmentVariable("DBUS_SESSION_BUS_ADDRESS");
    if (!address.isEmpty())
        return address;
    const QString runtime = qEnvironmentVariable("XDG_RUNTIME_DIR");
    return runtime.isEmpty() ? QString() : QStringLiteral("unix:path=%1/bus").arg(runtime);
}

void BusConnection::check()
{
    if (isConnected())
        return;
    const bool wasConnected = !m_name.isEmpty();
    drop();
    if (wasConnected)
        emit disconnected();
    if (m_address.isEmpty())
        return;
    // A fresh name each time: QtDBus keeps a broken connection under its old
    // name until it is dropped.
    const QString name = QStringLiteral("vaultrane-agent-%1-%2")
                             .arg(m_bus == Bus::System ? QStringLiteral("system") : QStringLiteral("session"))
                             .arg(++m_generation);
    QDBusConnection bus = QDBusConnection::connectToBus(m_address, name);
    if (!bus.isConnected()) {
        QDBusConnection::disconnectFromBus(name);
        return;
    }
    m_name = name;
    emit connected();
}

void BusConnection::drop()
{
    if (m_name.isEmpty())
        return;
    QDBusConnection::disconnectFromBus(m_name);
    m_name.clear();
}
