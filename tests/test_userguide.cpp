// Help and user guide against a real D-Bus: the test re-runs itself under
// dbus-run-session, so the program talks to a private session bus where a
// test service on its own thread and connection plays the user-guide service.

#include "UserGuide.h"
#include "boxdouble.h"
#include "testsupport.h"

#include <QApplication>
#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QLocalServer>
#include <QLocalSocket>
#include <QtTest>

#include <cstdio>
#include <unistd.h>
#include <vector>

namespace {

void printDebugLine(QtMsgType, const QMessageLogContext &, const QString &msg)
{
    std::printf("debug: %s\n", qPrintable(msg));
    std::fflush(stdout);
}

// Child mode: one help operation in a process of its own, so that it gets the
// session bus of its environment (QDBusConnection caches the bus per process).
int runChild(int argc, char **argv, const QByteArray &mode)
{
    QCoreApplication app(argc, argv);
    qInstallMessageHandler(printDebugLine);
    BoxDouble::reset();
    BoxDouble::setDesktop(qEnvironmentVariableIntValue("VAULTRANE_CHILD_DESKTOP"));
    if (mode == "absent") {
        std::printf("absent=%d\n", int(UserGuide::guideServiceAbsent()));
        std::fflush(stdout);
        UserGuide::showGuide(UserGuide::appId);
    } else {
        UserGuide::showHelp();
    }
    return 0;
}

} // namespace

// Plays the desktop's user-guide service: records every guide request.
class GuideService : public QObject
{
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "com.guide.hotel")
public:
    QStringList takeCalls()
    {
        QMutexLocker lock(&m_lock);
        return std::exchange(m_calls, {});
    }
public slots:
    void showGuide(const QString &appName)
    {
        QMutexLocker lock(&m_lock);
        m_calls << appName;
    }
private:
    QMutex m_lock;
    QStringList m_calls;
};

class TestUserGuide : public QObject
{
    Q_OBJECT
    QThread m_serviceThread;
    GuideService *m_service = nullptr;
    QDBusConnection m_serviceBus{QString()};
    QTemporaryDir m_tmp;

    void setServicePresent(bool present)
    {
        const QString name = UserGuide::guideServiceName();
        if (present)
            QVERIFY(m_serviceBus.registerService(name));
        else
            m_serviceBus.unregisterService(name);
        QCOMPARE(QDBusConnection::sessionBus().interface()->isServiceRegistered(name).value(), present);
    }

private slots:
    void initTestCase()
    {
        QVERIFY(m_tmp.isValid());
        QVERIFY(QDBusConnection::sessionBus().isConnected());
        // The program's call blocks the GUI thread until the service answers.
        m_service = new GuideService;
        m_service->moveToThread(&m_serviceThread);
        connect(&m_serviceThread, &QThread::finished, m_service, &QObject::deleteLater);
        m_serviceThread.start();
        m_serviceBus = QDBusConnection::connectToBus(QDBusConnection::SessionBus, "service");
        QVERIFY(m_serviceBus.registerObject("/", m_service, QDBusConnection::ExportAllSlots));
    }

    void init()
    {
        BoxDouble::reset();
        m_service->takeCalls();
        setServicePresent(true);
    }

    void cleanup() { QVERIFY(TestSupport::leftoverTopLevels().isEmpty()); }

    void cleanupTestCase()
    {
        m_serviceBus.unregisterObject("/");
        m_serviceBus = QDBusConnection(QString());
        QDBusConnection::disconnectFromBus("service");
        m_serviceThread.quit();
        m_serviceThread.wait();
    }

    void helpAsksRunningService_data()
    {
        QTest::addColumn<bool>("present");
        QTest::newRow("running") << true;
        QTest::newRow("absent") << false;
    }

    void helpAsksRunningService()
    {
        QFETCH(bool, present);
        QCOMPARE(UserGuide::guideServiceName(), QString("com.venmoraUserGuide.hotel_%1").arg(int(getuid())));
        setServicePresent(present);
        QCOMPARE(UserGuide::guideServiceAbsent(), !present);
        TestSupport::DebugCapture debug;
        // Only the low byte of the desktop check counts: 0x101 is a desktop.
        BoxDouble::setDesktop(0x101);
        UserGuide::showHelp();
        QCOMPARE(m_service->takeCalls(), present ? QStringList{"vaultraner"} : QStringList{});
        QCOMPARE(debug.contains("void Vaultrane::showGuide(QString) \"vaultraner\""), present);
        QVERIFY(!debug.contains("showGuide In fail!"));
    }

    void guideKey_data()
    {
        QTest::addColumn<int>("modifiers");
        QTest::addColumn<int>("key");
        QTest::addColumn<bool>("asks");
        QTest::newRow("F1") << int(Qt::NoModifier) << int(Qt::Key_F1) << true;
        QTest::newRow("Ctrl+Shift+F1") << int(Qt::ControlModifier | Qt::ShiftModifier) << int(Qt::Key_F1) << true;
        QTest::newRow("Alt+F1") << int(Qt::AltModifier) << int(Qt::Key_F1) << true;
        QTest::newRow("Ctrl+F1") << int(Qt::ControlModifier) << int(Qt::Key_F1) << false;
        QTest::newRow("F2") << int(Qt::NoModifier) << int(Qt::Key_F2) << false;
    }

    // What the main window does with a key press.
    void guideKey()
    {
        QFETCH(int, modifiers);
        QFETCH(int, key);
        QFETCH(bool, asks);
        QKeyEvent e(QEvent::KeyPress, key, Qt::KeyboardModifiers(modifiers));
        QCOMPARE(UserGuide::isGuideKey(&e), asks);
        if (UserGuide::isGuideKey(&e) && !UserGuide::guideServiceAbsent())
            UserGuide::showGuide(UserGuide::appId);
        QCOMPARE(m_service->takeCalls(), asks ? QStringList{"vaultraner"} : QStringList{});
    }

    void childProcess_data()
    {
        QTest::addColumn<QByteArray>("mode");
        QTest::addColumn<int>("desktop");
        QTest::addColumn<bool>("connects");
        QTest::addColumn<QStringList>("output");
        const QStringList failed{"debug: void Vaultrane::showGuide(QString) \"vaultraner\"", "debug: showGuide In fail!"};
        // An unreachable bus reads as "not absent"; the call then fails at once.
        QTest::newRow("guide request, no bus") << QByteArray("absent") << 1 << true << QStringList{"absent=0"} + failed;
        QTest::newRow("help on a desktop, no bus") << QByteArray("help") << 1 << true << failed;
        // Only the low byte of the desktop check counts.
        QTest::newRow("manual") << QByteArray("help") << 0 << false << QStringList();
        QTest::newRow("manual, 0x100") << QByteArray("help") << 0x100 << false << QStringList();
    }

    // The child's session bus is a socket that counts connections and hangs
    // up at once; a stand-in "evince" on its PATH records its arguments.
    void childProcess()
    {
        QFETCH(QByteArray, mode);
        QFETCH(int, desktop);
        QFETCH(bool, connects);
        QFETCH(QStringList, output);
        QLocalServer trap;
        QVERIFY(trap.listen(m_tmp.filePath("bus-trap")));
        int connections = 0;
        connect(&trap, &QLocalServer::newConnection, &trap, [&] {
            while (QLocalSocket *s = trap.nextPendingConnection()) {
                ++connections;
                s->abort();
                s->deleteLater();
            }
        });
        const QString viewerDir = m_tmp.filePath("viewer"), record = m_tmp.filePath("viewer-args");
        QVERIFY(QDir().mkpath(viewerDir));
        QFile viewer(viewerDir + "/evince");
        QVERIFY(viewer.open(QIODevice::WriteOnly));
        viewer.write(QString("#!/bin/sh\nprintf '%s\\n' \"$@\" > '%1.tmp' && mv '%1.tmp' '%1'\n").arg(record).toUtf8());
        viewer.close();
        viewer.setPermissions(viewer.permissions() | QFileDevice::ExeOwner);

        QProcess child;
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert("VAULTRANE_USERGUIDE_CHILD", mode);
        env.insert("VAULTRANE_CHILD_DESKTOP", QString::number(desktop));
        env.insert("DBUS_SESSION_BUS_ADDRESS", "unix:path=" + trap.fullServerName());
        env.insert("PATH", viewerDir + ":" + env.value("PATH"));
        child.setProcessEnvironment(env);
        child.start(QCoreApplication::applicationFilePath(), QStringList());
        QTRY_VERIFY2_WITH_TIMEOUT(child.state() == QProcess::NotRunning, "the request must not hang", 20000);
        QCOMPARE(child.exitStatus(), QProcess::NormalExit);
        const QString out = QString::fromUtf8(child.readAllStandardOutput());
        for (const QString &line : output)
            QVERIFY2(out.contains(line + "\n"), qPrintable(out));
        QCoreApplication::processEvents();
        QCOMPARE(connections > 0, connects);
        if (connects)
            return;
        // The shell expands the manual pattern (or passes it on when nothing matches).
        const QString dir = "/usr/share/doc/BoxManual";
        QStringList expected;
        for (const QString &f : QDir(dir).entryList({"*.pdf"}, QDir::Files, QDir::Name))
            expected << dir + "/" + f;
        if (expected.isEmpty())
            expected << dir + "/*.pdf";
        QTRY_VERIFY_WITH_TIMEOUT(QFile::exists(record), 10000);
        QFile f(record);
        QVERIFY(f.open(QIODevice::ReadOnly));
        QCOMPARE(QString::fromUtf8(f.readAll()).split('\n', Qt::SkipEmptyParts), expected);
        f.remove();
    }
};

int main(int argc, char *argv[])
{
    const QByteArray childMode = qgetenv("VAULTRANE_USERGUIDE_CHILD");
    if (!childMode.isEmpty())
        return runChild(argc, argv, childMode);
    if (!qEnvironmentVariableIsSet("VAULTRANE_PRIVATE_BUS")) {
        // Run again under a private session bus that ends with this test.
        qputenv("VAULTRANE_PRIVATE_BUS", "1");
        std::vector<char *> args{const_cast<char *>("dbus-run-session"), const_cast<char *>("--")};
        args.insert(args.end(), argv, argv + argc);
        args.push_back(nullptr);
        execvp("dbus-run-session", args.data());
        std::perror("test_userguide: dbus-run-session");
        return 1;
    }
    QApplication app(argc, argv);
    TestUserGuide tc;
    QTEST_SET_MAIN_SOURCE_PATH
    return QTest::qExec(&tc, argc, argv);
}

#include "test_userguide.moc"
