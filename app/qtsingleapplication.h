#pragma once

#include <QApplication>
#include <QString>

#include "SingleInstanceGuard.h"

class QLocalServer;

// An application object that knows whether another copy of the same program
// (the same executable, run by the same user) is already running.
class QtSingleApplication : public QApplication
{
    Q_OBJECT
public:
    QtSingleApplication(int &argc, char **argv, bool GUIenabled = true);
    QtSingleApplication(const QString &id, int &argc, char **argv);
    ~QtSingleApplication() override;

    bool isRunning() const;
    QString id() const { return m_id; }

    // Sends `message` to the running copy; false when none answered in time.
    bool sendMessage(const QString &message, int timeout = 5000);

signals:
    void messageReceived(const QString &message);

private slots:
    void receiveConnection();

private:
    void init(const QString &id);

    QString m_id;
    SingleInstanceGuard *m_guard = nullptr;
    QLocalServer *m_server = nullptr;
};
