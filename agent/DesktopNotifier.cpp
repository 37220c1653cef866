#include "DesktopNotifier.h"

#include "BusConnection.h"

#include <QDBusMessage>
#include <QStringList>
#include <QVariantMap>

namespace {
constexpr int kServerDecidesTimeout = -1;
}

DesktopNotifier::DesktopNotifier(BusConnection *sessionBus, QObject *parent)
    : QObject(parent), m_sessionBus(sessionBus)
{
}

bool DesktopNotifier::notify(const QString &summary, const QString &body)
{
    if (!m_sessionBus->isConnected())
        return false;
    QDBusMessage call = QDBusMessage::createMethodCall(
        QStringLiteral("org.freedesktop.Notifications"), QStringLiteral("/org/freedesktop/Notifications"),
        QStringLiteral("org.freedesktop.Notifications"), QStringLiteral("Notify"));
    call << QStringLiteral("Vaultrane") << uint(0) << QStringLiteral("vaultrane") << summary << body << QStringList()
         << QVariantMap{{QStringLiteral("urgency"), QVariant::fromValue(uchar(1))}} << kServerDecidesTimeout;
    return m_sessionBus->connection().send(call);
}
