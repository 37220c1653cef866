#pragma once

#include <QObject>
#include <QString>

class BusConnection;

// Desktop notifications through org.freedesktop.Notifications on the
// session bus. Sending never waits for the notification server.
class DesktopNotifier : public QObject
{
    Q_OBJECT
public:
    explicit DesktopNotifier(BusConnection *sessionBus, QObject *parent = nullptr);

    // False when no session bus is there to carry it.
    bool notify(const QString &summary, const QString &body);

private:
    BusConnection *m_sessionBus;
};
