// Help and user guide against a real D-Bus: the program runs on a private
// session bus started for this test, where a test service on its own thread
// and connection plays the desktop's user-guide service.

#include "UserGuide.h"
#include "boxdouble.h"
#include "testsupport.h"

#include <QApplication>
#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QKeyEvent>
#include <QLocalServer>
#include <QLocalSocket>
#include <QMutex>
#include <QProcess>
#include <QTemporaryDir>
#include <QThread>
#include <QtTest>

#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <unistd.h>

namespace {

// A dbus-daemon of our own on an abstract socket (nothing to clean up in the
// file system). It dies with this process even when the process does not end
// normally.
class PrivateBus {
public:
    bool start()
    {
        int fds[2];
        if (pipe(fds) != 0)
            return false;
        const std::string listen = "--address=unix:abstract=vaultrane-test-bus-" + std::to_string(getpid());
        const std::string print = "--print-address=" + std::to_string(fds[1]);
        m_pid = fork();
        if (m_pid == 0) {
            close(fds[0]);
            prctl(PR_SET_PDEATHSIG, SIGTERM);
            execlp("dbus-daemon", "dbus-daemon", "--session", "--nofork", listen.c_str(), print.c_str(),
                   static_cast<char *>(nullptr));
            _exit(127);
        }
        close(fds[1]);
        if (m_pid < 0) {
            close(fds[0]);
            return false;
        }
        // The daemon writes its address once it listens; end of file means it failed.
        char buf[512];
        ssize_t n;
        while ((n = read(fds[0], buf, sizeof buf)) > 0) {
            m_address.append(buf, size_t(n));
            if (m_address.find('\n') != std::string::npos)
                break;
        }
        close(fds[0]);
        while (!m_address.empty() && (m_address.back() == '\n' || m_address.back() == ' '))
            m_address.pop_back();
        return !m_address.empty();
    }

    ~PrivateBus() { stop(); }

    void stop()
    {
        if (m_pid > 0) {
            kill(m_pid, SIGTERM);
            waitpid(m_pid, nullptr, 0);
            m_pid = -1;
        }
    }

    const std::string &address() const { return m_address; }

private:
    pid_t m_pid = -1;
    std::string m_address;
};

std::string g_busAddress;

// Child mode: run one help operation in a process of its own, so that it gets
// a session bus of its own choosing (QDBusConnection caches the bus per process).
void printDebugLine(QtMsgType, const QMessageLogContext &, const QString &msg)
{
    std::printf("debug: %s\n", qPrintable(msg));
    std::fflush(stdout);
}

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
    QStringList calls() const
    {
        QMutexLocker lock(&m_lock);
        return m_calls;
    }
    void clear()
    {
        QMutexLocker lock(&m_lock);
        m_calls.clear();
    }

public slots:
    void showGuide(const QString &appName)
    {
        QMutexLocker lock(&m_lock);
        m_calls << appName;
    }

private:
    mutable QMutex m_lock;
    QStringList m_calls;
};

class TestUserGuide : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase();
    void init();
    void cleanup();
    void cleanupTestCase();

    void serviceNameIsPerUser();
    void helpAsksRunningService();
    void guideKey_data();
    void guideKey();
    void absentServiceIsLeftAlone();
    void withoutSessionBus_data();
    void withoutSessionBus();
    void manualNeverConnectsToBus_data();
    void manualNeverConnectsToBus();

private:
    void setServicePresent(bool present);
    QProcess *startChild(const QByteArray &mode, int desktop, const QString &busAddress,
                         const QString &pathPrefix = QString());
    // What the main window does with a key press.
    static void pressKey(int key, Qt::KeyboardModifiers mods);

    QThread m_serviceThread;
    GuideService *m_service = nullptr;
    QDBusConnection m_serviceBus{QString()};
    QTemporaryDir m_tmp;
};

void TestUserGuide::initTestCase()
{
    QVERIFY(m_tmp.isValid());
    QVERIFY(QDBusConnection::sessionBus().isConnected());
    // The service answers on its own thread: the program's call blocks the
    // GUI thread until the answer comes.
    m_service = new GuideService;
    m_service->moveToThread(&m_serviceThread);
    connect(&m_serviceThread, SIGNAL(finished()), m_service, SLOT(deleteLater()));
    m_serviceThread.start();
    m_serviceBus = QDBusConnection::connectToBus(QString::fromStdString(g_busAddress), "service");
    QVERIFY(m_serviceBus.isConnected());
    QVERIFY(m_serviceBus.registerObject("/", m_service, QDBusConnection::ExportAllSlots));
}

void TestUserGuide::init()
{
    BoxDouble::reset();
    m_service->clear();
    setServicePresent(true);
}

void TestUserGuide::cleanup()
{
    QVERIFY(TestSupport::leftoverTopLevels().isEmpty());
}

void TestUserGuide::cleanupTestCase()
{
    m_serviceBus.unregisterObject("/");
    m_serviceBus = QDBusConnection(QString());
    QDBusConnection::disconnectFromBus("service");
    m_serviceThread.quit();
    m_serviceThread.wait();
}

void TestUserGuide::setServicePresent(bool present)
{
    const QString name = UserGuide::guideServiceName();
    if (present)
        QVERIFY(m_serviceBus.registerService(name));
    else
        m_serviceBus.unregisterService(name);
    QCOMPARE(QDBusConnection::sessionBus().interface()->isServiceRegistered(name).value(), present);
}

void TestUserGuide::pressKey(int key, Qt::KeyboardModifiers mods)
{
    QKeyEvent e(QEvent::KeyPress, key, mods);
    if (UserGuide::isGuideKey(&e) && !UserGuide::guideServiceAbsent())
        UserGuide::showGuide(UserGuide::appId);
}

QProcess *TestUserGuide::startChild(const QByteArray &mode, int desktop, const QString &busAddress,
                                    const QString &pathPrefix)
{
    auto *child = new QProcess(this);
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert("VAULTRANE_USERGUIDE_CHILD", mode);
    env.insert("VAULTRANE_CHILD_DESKTOP", QString::number(desktop));
    env.insert("DBUS_SESSION_BUS_ADDRESS", busAddress);
    if (!pathPrefix.isEmpty())
        env.insert("PATH", pathPrefix + ":" + env.value("PATH"));
    child->setProcessEnvironment(env);
    child->start(QCoreApplication::applicationFilePath(), QStringList());
    return child;
}

// A stand-in "evince" that writes its arguments, one a line, to `record`.
static QString writeFakeViewer(const QString &dir, const QString &record)
{
    const QString script = dir + "/evince";
    QFile f(script);
    if (!f.open(QIODevice::WriteOnly))
        return QString();
    f.write(QString("#!/bin/sh\nprintf '%s\\n' \"$@\" > '%1.tmp' && mv '%1.tmp' '%1'\n")
                .arg(record)
                .toUtf8());
    f.close();
    f.setPermissions(f.permissions() | QFileDevice::ExeOwner);
    return script;
}

// What the viewer receives once the shell has expanded the manual pattern.
static QStringList expectedManualArguments()
{
    const QString dir = "/usr/share/doc/BoxManual";
    QStringList files = QDir(dir).entryList({"*.pdf"}, QDir::Files, QDir::Name);
    if (files.isEmpty())
        return {dir + "/*.pdf"};
    for (QString &f : files)
        f.prepend(dir + "/");
    return files;
}

static QStringList readLines(const QString &path)
{
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly))
        return {};
    return QString::fromUtf8(f.readAll()).split('\n', Qt::SkipEmptyParts);
}

void TestUserGuide::serviceNameIsPerUser()
{
    QCOMPARE(UserGuide::guideServiceName(), QString("com.venmoraUserGuide.hotel_%1").arg(int(getuid())));
}

void TestUserGuide::helpAsksRunningService()
{
    TestSupport::DebugCapture debug;
    QVERIFY(!UserGuide::guideServiceAbsent());
    // Only the low byte of the desktop check counts: 0x101 is a desktop.
    BoxDouble::setDesktop(0x101);
    UserGuide::showHelp();
    QCOMPARE(m_service->calls(), QStringList{"vaultraner"});
    QCOMPARE(BoxDouble::callCount("venmora_os_check_is_desktop"), 1);
    QVERIFY(debug.contains("void Vaultrane::showGuide(QString) \"vaultraner\""));
    QVERIFY(!debug.contains("showGuide In fail!"));
}

void TestUserGuide::guideKey_data()
{
    QTest::addColumn<int>("key");
    QTest::addColumn<int>("modifiers");
    QTest::addColumn<bool>("asks");
    QTest::newRow("F1") << int(Qt::Key_F1) << int(Qt::NoModifier) << true;
    QTest::newRow("Shift+F1") << int(Qt::Key_F1) << int(Qt::ShiftModifier) << true;
    QTest::newRow("Ctrl+Shift+F1") << int(Qt::Key_F1) << int(Qt::ControlModifier | Qt::ShiftModifier) << true;
    QTest::newRow("Alt+F1") << int(Qt::Key_F1) << int(Qt::AltModifier) << true;
    QTest::newRow("Ctrl+F1") << int(Qt::Key_F1) << int(Qt::ControlModifier) << false;
    QTest::newRow("F2") << int(Qt::Key_F2) << int(Qt::NoModifier) << false;
}

void TestUserGuide::guideKey()
{
    QFETCH(int, key);
    QFETCH(int, modifiers);
    QFETCH(bool, asks);
    const auto mods = Qt::KeyboardModifiers(modifiers);
    QKeyEvent e(QEvent::KeyPress, key, mods);
    QCOMPARE(UserGuide::isGuideKey(&e), asks);

    pressKey(key, mods);
    QCOMPARE(m_service->calls(), asks ? QStringList{"vaultraner"} : QStringList{});
}

void TestUserGuide::absentServiceIsLeftAlone()
{
    setServicePresent(false);
    TestSupport::DebugCapture debug;
    QElapsedTimer clock;
    clock.start();
    QVERIFY(UserGuide::guideServiceAbsent());
    BoxDouble::setDesktop(1);
    UserGuide::showHelp();
    pressKey(Qt::Key_F1, Qt::NoModifier);
    QVERIFY2(clock.elapsed() < 5000, "a request for an absent service must not wait");
    QVERIFY(m_service->calls().isEmpty());
    QVERIFY(!debug.contains("showGuide"));
}

void TestUserGuide::withoutSessionBus_data()
{
    QTest::addColumn<QByteArray>("mode");
    QTest::newRow("guide request") << QByteArray("absent");
    QTest::newRow("help entry on a desktop") << QByteArray("help");
}

void TestUserGuide::withoutSessionBus()
{
    QFETCH(QByteArray, mode);
    // Nobody listens at this address.
    QProcess *child = startChild(mode, 1, "unix:path=" + m_tmp.filePath("no-bus-here"));
    QVERIFY2(child->waitForFinished(20000), "the request must give up when there is no bus");
    QCOMPARE(child->exitStatus(), QProcess::NormalExit);
    QCOMPARE(child->exitCode(), 0);
    const QString out = QString::fromUtf8(child->readAllStandardOutput());
    if (mode == "absent")
        QVERIFY2(out.contains("absent=0\n"), qPrintable(out));
    QVERIFY2(out.contains("debug: void Vaultrane::showGuide(QString) \"vaultraner\"\n"), qPrintable(out));
    QVERIFY2(out.contains("debug: showGuide In fail!\n"), qPrintable(out));
    delete child;
}

void TestUserGuide::manualNeverConnectsToBus_data()
{
    QTest::addColumn<int>("desktop");
    QTest::addColumn<bool>("connects");
    QTest::newRow("manual") << 0 << false;
    // Only the low byte of the desktop check counts.
    QTest::newRow("manual, 0x100") << 0x100 << false;
    // The same trap notices a program that does use the bus.
    QTest::newRow("desktop, guide") << 1 << true;
}

void TestUserGuide::manualNeverConnectsToBus()
{
    QFETCH(int, desktop);
    QFETCH(bool, connects);
    // The child's session bus is a socket that records every connection and
    // hangs up at once.
    QLocalServer trap;
    const QString trapPath = m_tmp.filePath("bus-trap");
    QVERIFY(trap.listen(trapPath));
    int connections = 0;
    connect(&trap, &QLocalServer::newConnection, &trap, [&] {
        while (QLocalSocket *s = trap.nextPendingConnection()) {
            ++connections;
            s->abort();
            s->deleteLater();
        }
    });
    const QString viewerDir = m_tmp.filePath("viewer");
    QVERIFY(QDir().mkpath(viewerDir));
    const QString record = m_tmp.filePath("child-viewer-args");
    QVERIFY(!writeFakeViewer(viewerDir, record).isEmpty());

    QProcess *child = startChild("help", desktop, "unix:path=" + trapPath, viewerDir);
    QVERIFY(child->waitForStarted(10000));
    QTRY_VERIFY_WITH_TIMEOUT(child->state() == QProcess::NotRunning, 20000);
    QCOMPARE(child->exitCode(), 0);
    QCoreApplication::processEvents();
    QCOMPARE(connections > 0, connects);
    if (!connects) {
        QTRY_VERIFY_WITH_TIMEOUT(QFile::exists(record), 10000);
        QCOMPARE(readLines(record), expectedManualArguments());
    }
    QFile::remove(record);
    delete child;
}

int main(int argc, char *argv[])
{
    const QByteArray childMode = qgetenv("VAULTRANE_USERGUIDE_CHILD");
    if (!childMode.isEmpty())
        return runChild(argc, argv, childMode);

    PrivateBus bus;
    if (!bus.start()) {
        std::fprintf(stderr, "test_userguide: could not start a private dbus-daemon\n");
        return 1;
    }
    g_busAddress = bus.address();
    setenv("DBUS_SESSION_BUS_ADDRESS", g_busAddress.c_str(), 1);

    int result;
    {
        QApplication app(argc, argv);
        TestUserGuide tc;
        QTEST_SET_MAIN_SOURCE_PATH
        result = QTest::qExec(&tc, argc, argv);
    }
    bus.stop();
    return result;
}

#include "test_userguide.moc"
