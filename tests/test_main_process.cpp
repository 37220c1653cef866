// The program as a process: one copy at a time.
#include "Startup.h"
#include "qtsingleapplication.h"

#include <QCoreApplication>
#include <QDataStream>
#include <QDir>
#include <QLocalServer>
#include <QLocalSocket>
#include <QProcess>
#include <QTemporaryDir>
#include <QtTest>

class TestMainProcess : public QObject
{
    Q_OBJECT

    QString m_program;
    QTemporaryDir m_runtimeDir; // where the copies keep their single-instance lock
    QTemporaryDir m_home;       // box root, home and XDG folders: never the real ones
    QProcess m_first;

    QProcessEnvironment environment() const
    {
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert("QT_QPA_PLATFORM", "offscreen");
        env.insert("XDG_RUNTIME_DIR", m_runtimeDir.path());
        env.insert("BOX_SERVICE_ROOT", m_home.filePath("box"));
        env.insert("HOME", m_home.path());
        env.insert("XDG_CONFIG_HOME", m_home.filePath("config"));
        env.insert("XDG_DATA_HOME", m_home.filePath("data"));
        env.insert("XDG_CACHE_HOME", m_home.filePath("cache"));
        env.insert("XDG_STATE_HOME", m_home.filePath("state"));
        env.remove("LD_PRELOAD");
        return env;
    }

    // True once the first copy holds the single-instance lock.
    bool lockTaken() const
    {
        for (const QFileInfo &f : QDir(m_runtimeDir.path()).entryInfoList({"vaultrane-instance-*.lock"}, QDir::Files))
            if (f.size() > 0)
                return true;
        return false;
    }

private slots:
    void initTestCase()
    {
        m_program = QFileInfo(QCoreApplication::applicationDirPath() + "/../vaultrane").canonicalFilePath();
        if (m_program.isEmpty())
            QFAIL("the program build/vaultrane is missing: build the target vaultrane");
        QVERIFY(m_runtimeDir.isValid());
        QVERIFY(m_home.isValid());
    }

    // The test plays the running copy: it holds the lock and listens where
    // the program's copies listen. A second start tells it to raise its
    // window and leaves at once, silently and successfully.
    void secondCopyAsksTheRunningOneToRaise()
    {
        QTemporaryDir runtimeDir;
        QVERIFY(runtimeDir.isValid());
        const QByteArray previousRuntimeDir = qgetenv("XDG_RUNTIME_DIR");
        qputenv("XDG_RUNTIME_DIR", QFile::encodeName(runtimeDir.path()));
        SingleInstanceGuard running(SingleInstanceGuard::keyForExecutable(m_program));
        qputenv("XDG_RUNTIME_DIR", previousRuntimeDir);
        QVERIFY(!running.isRunning());
        QLocalServer server;
        QLocalServer::removeServer(running.serverName());
        QVERIFY(server.listen(running.serverName()));

        QProcess second;
        QProcessEnvironment env = environment();
        env.insert("XDG_RUNTIME_DIR", runtimeDir.path());
        second.setProcessEnvironment(env);
        second.start(m_program, QStringList());
        QTRY_VERIFY_WITH_TIMEOUT(server.hasPendingConnections(), 20000);
        QLocalSocket *socket = server.nextPendingConnection();
        QTRY_VERIFY(socket->bytesAvailable() > 0 || socket->state() != QLocalSocket::ConnectedState);
        QDataStream in(socket);
        QString message;
        in >> message;
        QCOMPARE(message, QString(kRaiseWindowMessage));

        // It may have finished already (waitForFinished is false then).
        QVERIFY(second.state() == QProcess::NotRunning || second.waitForFinished(20000));
        QCOMPARE(second.exitStatus(), QProcess::NormalExit);
        QCOMPARE(second.exitCode(), 0);
        QCOMPARE(second.readAllStandardOutput(), QByteArray());
        QCOMPARE(second.readAllStandardError(), QByteArray());
    }

    void cleanupTestCase()
    {
        m_first.kill();
        m_first.waitForFinished(10000);
    }

    // The first copy stops at a start-up refusal (no login uid, or run
    // through su) or shows its window, and waits in it,
    // holding the lock all the same. A second copy leaves at once, silently
    // and successfully, and the first goes on undisturbed.
    void secondCopyLeavesAtOnce()
    {
        m_first.setProcessEnvironment(environment());
        m_first.start(m_program, QStringList());
        QVERIFY(m_first.waitForStarted());
        QTRY_VERIFY_WITH_TIMEOUT(lockTaken(), 20000);

        QProcess second;
        second.setProcessEnvironment(environment());
        second.start(m_program, QStringList());
        QVERIFY(second.waitForFinished(20000));
        QCOMPARE(second.exitStatus(), QProcess::NormalExit);
        QCOMPARE(second.exitCode(), 0);
        QCOMPARE(second.readAllStandardOutput(), QByteArray());
        QCOMPARE(second.readAllStandardError(), QByteArray());
        QCOMPARE(m_first.state(), QProcess::Running);
    }
};

QTEST_GUILESS_MAIN(TestMainProcess)
#include "test_main_process.moc"
