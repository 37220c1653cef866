// The program run as a process: its command line answers without a window,
// and one copy runs at a time.
#include "Startup.h"
#include "qtsingleapplication.h"

#include <QLocalServer>
#include <QLocalSocket>
#include <QtTest>

class TestMainProcess : public QObject
{
    Q_OBJECT

    QString m_program;
    QTemporaryDir m_runtimeDir; // where the copies keep their single-instance lock
    QTemporaryDir m_home;       // box root, home and XDG folders: never the real ones
    QProcess m_first;

    // No display: with the platform "xcb" any attempt to open a window makes
    // the program abort instead of answering.
    QProcessEnvironment environment(const QString &platform = "offscreen") const
    {
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.remove("DISPLAY");
        env.remove("WAYLAND_DISPLAY");
        env.remove("LD_PRELOAD");
        env.insert("QT_QPA_PLATFORM", platform);
        env.insert("XDG_RUNTIME_DIR", m_runtimeDir.path());
        env.insert("BOX_SERVICE_ROOT", m_home.filePath("box"));
        env.insert("HOME", m_home.path());
        for (const char *folder : {"CONFIG", "DATA", "CACHE", "STATE"})
            env.insert(QString("XDG_%1_HOME").arg(folder), m_home.filePath(QString(folder).toLower()));
        return env;
    }

    // Starts the program and waits for it; a copy that does not finish is
    // killed and reported with exit code -1.
    static int runToEnd(QProcess &process, const QString &program, const QStringList &arguments)
    {
        process.start(program, arguments);
        if (!process.waitForFinished(20000)) {
            process.kill();
            process.waitForFinished();
            return -1;
        }
        return process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1;
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

    void cleanupTestCase()
    {
        m_first.kill();
        m_first.waitForFinished(10000);
    }

    // Beside Qt's own options --help still answers without a display and
    // never gets as far as a window; a wrong argument is refused before any
    // display is needed, and the same with one. (The plain --help, --version
    // and --bogus: tests/programs/check-options.sh.)
    void commandLineAnswersWithoutAWindow_data()
    {
        QTest::addColumn<QStringList>("arguments");
        QTest::addColumn<QString>("platform");
        QTest::addColumn<int>("exitCode");
        QTest::addColumn<QString>("expectedOut");
        QTest::addColumn<QString>("expectedErr");
        QTest::newRow("-h") << QStringList{"-h"} << "xcb" << 0 << "BOX_SERVICE_ROOT" << "";
        QTest::newRow("--help beside a Qt option")
            << QStringList{"-platform", "xcb", "--help"} << "xcb" << 0 << "--version" << "";
        QTest::newRow("unknown option beside a Qt option")
            << QStringList{"-style", "fusion", "-bogus"} << "xcb" << 1 << "" << "bogus";
        QTest::newRow("stray argument") << QStringList{"stray"} << "xcb" << 1 << "" << "stray";
        QTest::newRow("unknown option with a display") << QStringList{"--bogus"} << "offscreen" << 1 << "" << "bogus";
    }

    void commandLineAnswersWithoutAWindow()
    {
        QFETCH(QStringList, arguments);
        QFETCH(QString, platform);
        QFETCH(int, exitCode);
        QFETCH(QString, expectedOut);
        QFETCH(QString, expectedErr);
        QTemporaryDir runtimeDir; // a lock left here must not meet the copies below
        QProcessEnvironment env = environment(platform);
        env.insert("XDG_RUNTIME_DIR", runtimeDir.path());
        QProcess process;
        process.setProcessEnvironment(env);
        QCOMPARE(runToEnd(process, m_program, arguments), exitCode);
        const QString out = QString::fromUtf8(process.readAllStandardOutput());
        const QString err = QString::fromUtf8(process.readAllStandardError());
        QVERIFY2(out.contains(expectedOut), qPrintable(out));
        if (expectedErr.isEmpty())
            QCOMPARE(err, QString());
        else
            QVERIFY2(err.contains(expectedErr), qPrintable(err));
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
        QCOMPARE(second.readAllStandardOutput() + second.readAllStandardError(), QByteArray());
    }

    // The first copy stops at a start-up refusal (no login uid, or run
    // through su) or shows its window, and waits in it, holding the lock
    // all the same. A second copy leaves at once, silently and
    // successfully, and the first goes on undisturbed.
    void secondCopyLeavesAtOnce()
    {
        m_first.setProcessEnvironment(environment());
        m_first.start(m_program, QStringList());
        QVERIFY(m_first.waitForStarted());
        QTRY_VERIFY_WITH_TIMEOUT(lockTaken(), 20000);

        QProcess second;
        second.setProcessEnvironment(environment());
        QCOMPARE(runToEnd(second, m_program, QStringList()), 0);
        QCOMPARE(second.readAllStandardOutput() + second.readAllStandardError(), QByteArray());
        QCOMPARE(m_first.state(), QProcess::Running);
    }
};

QTEST_GUILESS_MAIN(TestMainProcess)
#include "test_main_process.moc"
