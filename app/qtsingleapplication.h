#pragma once

#include <QApplication>
#include <QString>

class QLocalServer;
class QLockFile;

// Holds the single-instance key of one program: the first holder of a key
// owns it until it exits (or dies: a lock left by a dead process is taken
// over); every later holder sees that the program is already running.
class SingleInstanceGuard
{
public:
    explicit SingleInstanceGuard(const QString &key);
    ~SingleInstanceGuard();
    SingleInstanceGuard(const SingleInstanceGuard &) = delete;
    SingleInstanceGuard &operator=(const SingleInstanceGuard &) = delete;

    bool isRunning() const { return m_otherRunning; }
    QString serverName() const { return m_serverName; }

    // The key used when none is given: the executable's path and the user.
    static QString keyForExecutable(const QString &path);

private:
    QLockFile *m_lock = nullptr;
    bool m_otherRunning = false;
    QString m_serverName;
};

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
