#pragma once

#include <QDBusConnection>
#include <QObject>
#include <QString>
#include <QTimer>

// A connection to the session or system bus that comes back by itself: the
// bus daemon may restart (or appear after the agent), and QtDBus does not
// reconnect on its own. Every (re)connection is announced with connected(),
// after which the user subscribes to its signals again.
class BusConnection : public QObject
{
    Q_OBJECT
public:
    enum class Bus { Session, System };

    BusConnection(Bus bus, QObject *parent = nullptr);
    ~BusConnection() override;

    QDBusConnection connection() const;
    bool isConnected() const;

    // How often a lost bus is looked for again.
    static constexpr int kRetryMilliseconds = 1000;

signals:
    void connected();
    void disconnected();

private:
    void check();
    void drop();
    static QString addressOf(Bus bus);

    Bus m_bus;
    QString m_address;
    QString m_name;   // the current named connection, empty when none
    int m_generation = 0;
    QTimer m_timer;
};
