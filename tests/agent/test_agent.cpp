// The session agent against private session and system buses, with
// stand-ins for logind and the notification server, and real boxes mounted
// with gocryptfs in a temporary box root.
#include "LockSettings.h"

#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusObjectPath>
#include <QDBusUnixFileDescriptor>
#include <QDeadlineTimer>
#include <QDir>
#include <QFile>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>

#include <csignal>
#include <fcntl.h>
#include <poll.h>
#include <pwd.h>
#include <sys/file.h>
#include <unistd.h>

namespace {

const QString kPassword = QStringLiteral("Secret_123");
const QString kSessionPath = QStringLiteral("/org/freedesktop/login1/session/_3");
const QString kLogindPath = QStringLiteral("/org/freedesktop/login1");
const QString kLogindManager = QStringLiteral("org.freedesktop.login1.Manager");
constexpr int kLockDeadline = 2000; // every mounted box is unmounted within this

// What a test sends the agent over a bus; a signal number is sent as such.
enum class Trigger {
    ScreenSaverOn = 1000,
    ScreenSaverOff,
    GnomeScreenSaverOn,
    SessionLock,
    SessionRemoved,
    SleepStarts,
    SleepEnds,
};

// A bus of our own: a dbus-daemon of the test's, on a socket in `folder`.
class PrivateBus
{
public:
    ~PrivateBus()
    {
        QDBusConnection::disconnectFromBus(m_name);
        m_daemon.kill();
        m_daemon.waitForFinished(5000);
    }

    QString address() const { return m_address; }

    bool start(const QString &folder, const QString &name)
    {
        m_name = "test-" + name;
        m_address = "unix:path=" + folder + "/" + name + ".socket";
        m_daemon.start("dbus-daemon", {"--session", "--address=" + m_address, "--nofork", "--print-address=1"});
        if (!m_daemon.waitForStarted(5000) || !m_daemon.waitForReadyRead(5000))
            return false;
        return QDBusConnection::connectToBus(m_address, m_name).isConnected();
    }

    QDBusConnection connection() const { return QDBusConnection(m_name); }

private:
    QString m_name;
    QString m_address;
    QProcess m_daemon;
};

} // namespace

// logind as far as the agent asks it: the sleep delay lock and our session.
class FakeLogind : public QObject
{
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.freedesktop.login1.Manager")
public:
    int inhibitCalls = 0;
    int delayLockReader = -1; // our end of the last delay lock handed out

    ~FakeLogind() override { closeReader(); }

    void closeReader()
    {
        if (delayLockReader >= 0)
            close(delayLockReader);
        delayLockReader = -1;
    }

    // True once every copy of the delay lock handed out is closed.
    bool delayLockReleased() const
    {
        if (delayLockReader < 0)
            return false;
        pollfd fd = {delayLockReader, POLLIN, 0};
        return poll(&fd, 1, 0) == 1 && (fd.revents & POLLHUP);
    }

public slots:
    QDBusUnixFileDescriptor Inhibit(const QString &what, const QString & /*who*/, const QString & /*why*/,
                                    const QString &mode)
    {
        if (what != "sleep" || mode != "delay")
            return QDBusUnixFileDescriptor();
        int ends[2];
        if (pipe(ends) != 0)
            return QDBusUnixFileDescriptor();
        closeReader();
        delayLockReader = ends[0];
        ++inhibitCalls;
        QDBusUnixFileDescriptor handedOut(ends[1]); // takes a copy of its own
        close(ends[1]);
        return handedOut;
    }

    QDBusObjectPath GetSessionByPID(uint /*pid*/)
    {
        return QDBusObjectPath(kSessionPath);
    }
};

// The notification server: remembers what it was asked to show.
class FakeNotifications : public QObject
{
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.freedesktop.Notifications")
public:
    QStringList shown; // summary and body of each

public slots:
    uint Notify(const QString & /*app*/, uint /*replaces*/, const QString & /*icon*/, const QString &summary,
                const QString &body, const QStringList & /*actions*/, const QVariantMap & /*hints*/, int /*timeout*/)
    {
        shown.append(summary + "\n" + body);
        return uint(shown.size());
    }
};

class TestAgent : public QObject
{
    Q_OBJECT

    QTemporaryDir m_dir;
    QString m_root;
    PrivateBus m_sessionBus;
    PrivateBus m_systemBus;
    FakeLogind m_logind;
    FakeNotifications m_notifications;
    QProcess m_agent;
    int m_operationLock = -1; // our hold of the user's operation lock, when taken
    QString m_display;        // the agent's X display, when a test gives it one

    QProcessEnvironment environment() const
    {
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert("BOX_SERVICE_ROOT", m_root);
        env.insert("XDG_CONFIG_HOME", m_dir.filePath("config"));
        env.insert("XDG_RUNTIME_DIR", m_dir.filePath("runtime"));
        env.insert("DBUS_SESSION_BUS_ADDRESS", m_sessionBus.address());
        env.insert("DBUS_SYSTEM_BUS_ADDRESS", m_systemBus.address());
        env.remove("DISPLAY");
        env.remove("WAYLAND_DISPLAY");
        env.remove("QT_QPA_PLATFORM"); // no tray: the agent runs without a display
        if (!m_display.isEmpty()) {
            env.insert("DISPLAY", m_display);
            env.insert("QT_QPA_PLATFORM", "xcb");
        }
        env.insert("XDG_SESSION_ID", "3");
        return env;
    }

    // Runs vaultrane-box with `input` on its standard input.
    bool boxCommand(const QStringList &arguments, const QString &input = QString())
    {
        QProcess cli;
        cli.setProcessEnvironment(environment());
        cli.start(VAULTRANE_BOX_PROGRAM, arguments);
        cli.write(input.toUtf8());
        cli.closeWriteChannel();
        return cli.waitForFinished(30000) && cli.exitStatus() == QProcess::NormalExit && cli.exitCode() == 0;
    }

    QString boxPath(const QString &name) const
    {
        return m_root + "/" + QString::fromLocal8Bit(getpwuid(geteuid())->pw_name) + "/" + name;
    }

    static bool isMounted(const QString &path)
    {
        QFile mountInfo("/proc/self/mountinfo");
        if (!mountInfo.open(QIODevice::ReadOnly))
            return false;
        const QByteArray wanted = QFile::encodeName(path);
        for (const QByteArray &line : mountInfo.readAll().split('\n')) {
            const QList<QByteArray> fields = line.split(' ');
            if (fields.size() > 4 && fields.at(4) == wanted)
                return true;
        }
        return false;
    }

    bool mount(const QString &name)
    {
        return boxCommand({"mount", name}, kPassword + "\n") && isMounted(boxPath(name));
    }

    // The agent is listening once it has asked logind for the delay lock:
    // that comes after it subscribed to both buses.
    bool startAgent(const QString &retrySeconds = "0.3")
    {
        const int before = m_logind.inhibitCalls;
        m_agent.setProcessEnvironment(environment());
        m_agent.start(VAULTRANE_AGENT_PROGRAM, {"--retry-seconds", retrySeconds});
        if (!m_agent.waitForStarted(5000))
            return false;
        QDeadlineTimer deadline(10000);
        while (m_logind.inhibitCalls == before && !deadline.hasExpired())
            QTest::qWait(20);
        QTest::qWait(200); // its match rules reach the daemon
        return m_logind.inhibitCalls > before;
    }

    // Another agent instead of init()'s, which unmounts the boxes as it ends.
    bool restartAgent(const QString &retrySeconds)
    {
        m_agent.terminate();
        return m_agent.waitForFinished(10000) && mount("alpha") && mount("beta") && startAgent(retrySeconds);
    }

    // Plays another operation of the user (an encrypt of a large box, say)
    // that holds the operation lock for as long as it likes.
    void holdOperationLock()
    {
        m_operationLock = open(QFile::encodeName(boxPath(".boxes/lock")).constData(), O_RDWR | O_CLOEXEC);
        QVERIFY(m_operationLock >= 0);
        QCOMPARE(flock(m_operationLock, LOCK_EX), 0);
    }

    void releaseOperationLock()
    {
        if (m_operationLock >= 0)
            close(m_operationLock);
        m_operationLock = -1;
    }

    void lockScreen() { send(int(Trigger::ScreenSaverOn)); }

    void send(int trigger)
    {
        switch (Trigger(trigger)) {
        case Trigger::ScreenSaverOn:
        case Trigger::ScreenSaverOff:
            return emitSignal(m_sessionBus, "/org/freedesktop/ScreenSaver", "org.freedesktop.ScreenSaver",
                              "ActiveChanged", {Trigger(trigger) == Trigger::ScreenSaverOn});
        case Trigger::GnomeScreenSaverOn:
            return emitSignal(m_sessionBus, "/org/gnome/ScreenSaver", "org.gnome.ScreenSaver", "ActiveChanged",
                              {true});
        case Trigger::SessionLock:
            return emitSignal(m_systemBus, kSessionPath, "org.freedesktop.login1.Session", "Lock");
        case Trigger::SessionRemoved:
            return emitSignal(m_systemBus, kLogindPath, kLogindManager, "SessionRemoved",
                              {QString("3"), QVariant::fromValue(QDBusObjectPath(kSessionPath))});
        case Trigger::SleepStarts:
            return emitSignal(m_systemBus, kLogindPath, kLogindManager, "PrepareForSleep", {true});
        case Trigger::SleepEnds:
            return emitSignal(m_systemBus, kLogindPath, kLogindManager, "PrepareForSleep", {false});
        }
        QCOMPARE(kill(pid_t(m_agent.processId()), trigger), 0);
    }

    bool bothUnmounted() const { return !isMounted(boxPath("alpha")) && !isMounted(boxPath("beta")); }

    void emitSignal(PrivateBus &bus, const QString &path, const QString &interface, const QString &name,
                    const QVariantList &arguments = {})
    {
        QDBusMessage message = QDBusMessage::createSignal(path, interface, name);
        message.setArguments(arguments);
        QVERIFY(bus.connection().send(message));
    }

    void setScreenLockSetting(bool on)
    {
        qputenv("XDG_CONFIG_HOME", QFile::encodeName(m_dir.filePath("config")));
        LockSettings settings = LockSettings::load();
        settings.lockOnScreenLock = on;
        QVERIFY(settings.save());
    }

private slots:
    void initTestCase()
    {
        if (QStandardPaths::findExecutable("gocryptfs").isEmpty() || access("/dev/fuse", R_OK | W_OK) != 0)
            QSKIP("gocryptfs and /dev/fuse are needed for real mounts");
        if (QStandardPaths::findExecutable("dbus-daemon").isEmpty())
            QSKIP("dbus-daemon is needed for the private buses");
        QVERIFY(m_dir.isValid());
        m_root = m_dir.filePath("box");
        QVERIFY(QDir().mkpath(m_root));
        QVERIFY(QDir().mkpath(m_dir.filePath("runtime")));
        QFile::setPermissions(m_dir.filePath("runtime"), QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
        QVERIFY(m_sessionBus.start(m_dir.path(), "session"));
        QVERIFY(m_systemBus.start(m_dir.path(), "system"));
        QDBusConnection system = m_systemBus.connection();
        QDBusConnection session = m_sessionBus.connection();
        QVERIFY(system.registerService("org.freedesktop.login1"));
        QVERIFY(system.registerObject(kLogindPath, &m_logind, QDBusConnection::ExportAllSlots));
        QVERIFY(session.registerService("org.freedesktop.Notifications"));
        QVERIFY(session.registerObject("/org/freedesktop/Notifications", &m_notifications,
                                       QDBusConnection::ExportAllSlots));
        for (const char *name : {"alpha", "beta"})
            QVERIFY(boxCommand({"create", name, "--encrypt"}, kPassword + "\n"));
    }

    void init()
    {
        m_notifications.shown.clear();
        setScreenLockSetting(true);
        QVERIFY(mount("alpha"));
        QVERIFY(mount("beta"));
        QVERIFY(startAgent());
    }

    void cleanup()
    {
        releaseOperationLock();
        m_display.clear();
        m_agent.terminate();
        if (!m_agent.waitForFinished(10000))
            m_agent.kill();
        m_agent.waitForFinished(5000);
        if (QTest::currentTestFailed())
            qWarning().noquote() << "the agent said:" << m_agent.readAllStandardError();
        boxCommand({"unmount", "alpha"});
        boxCommand({"unmount", "beta"});
    }

    // Each signal that means "lock now" unmounts every box, and the end of
    // the session also ends the agent. The screen saver going off, or a
    // screen lock while the user switched that trigger off (read afresh),
    // does not lock.
    void triggersLockTheBoxes_data()
    {
        QTest::addColumn<int>("trigger"); // a Trigger, or a signal number
        QTest::addColumn<bool>("screenLockSetting");
        QTest::addColumn<bool>("locks");
        QTest::addColumn<bool>("exits");

        QTest::newRow("freedesktop screen saver") << int(Trigger::ScreenSaverOn) << true << true << false;
        QTest::newRow("GNOME screen saver") << int(Trigger::GnomeScreenSaverOn) << true << true << false;
        QTest::newRow("logind session lock") << int(Trigger::SessionLock) << true << true << false;
        QTest::newRow("screen saver going off") << int(Trigger::ScreenSaverOff) << true << false << false;
        QTest::newRow("screen lock switched off") << int(Trigger::ScreenSaverOn) << false << false << false;
        QTest::newRow("logind removes the session") << int(Trigger::SessionRemoved) << true << true << true;
        QTest::newRow("SIGTERM") << int(SIGTERM) << false << true << true;
        QTest::newRow("SIGHUP") << int(SIGHUP) << false << true << true;
    }

    void triggersLockTheBoxes()
    {
        QFETCH(int, trigger);
        QFETCH(bool, screenLockSetting);
        QFETCH(bool, locks);
        QFETCH(bool, exits);

        setScreenLockSetting(screenLockSetting);
        send(trigger);
        if (exits) {
            QVERIFY(m_agent.waitForFinished(5000));
            QCOMPARE(m_agent.exitStatus(), QProcess::NormalExit);
            QCOMPARE(m_agent.exitCode(), 0);
            QVERIFY(bothUnmounted());
            return;
        }
        if (locks) {
            QTRY_VERIFY_WITH_TIMEOUT(bothUnmounted(), kLockDeadline);
            QVERIFY(m_notifications.shown.isEmpty());
            return;
        }
        QTest::qWait(1000);
        QVERIFY(isMounted(boxPath("alpha")));
        // Switched on again, it is followed from the next lock on.
        setScreenLockSetting(true);
        lockScreen();
        QTRY_VERIFY_WITH_TIMEOUT(bothUnmounted(), kLockDeadline);
    }

    // logind waits for the delay lock before sleeping: it must go only
    // after the boxes are unmounted, and come back after the resume. Another
    // operation of the user holding its lock (an encrypt of another box)
    // must not keep the boxes mounted past logind's few seconds.
    void sleepUnmountsThenReleasesTheDelayLock_data()
    {
        QTest::addColumn<bool>("operationRunning");
        QTest::newRow("nothing else running") << false;
        QTest::newRow("another operation holds the lock") << true;
    }

    void sleepUnmountsThenReleasesTheDelayLock()
    {
        QFETCH(bool, operationRunning);
        if (operationRunning)
            holdOperationLock();
        QVERIFY(!m_logind.delayLockReleased());
        send(int(Trigger::SleepStarts));
        QTRY_VERIFY_WITH_TIMEOUT(m_logind.delayLockReleased(), kLockDeadline);
        QVERIFY(bothUnmounted());

        const int before = m_logind.inhibitCalls;
        send(int(Trigger::SleepEnds));
        QTRY_VERIFY_WITH_TIMEOUT(m_logind.inhibitCalls > before, kLockDeadline);
    }

    // A box with an open file is never forced: it stays mounted and whole,
    // its owner hears of it once, and it goes once the file is closed,
    // however long that takes while the screen stays locked (well past the
    // agent's old limit of 60 tries); then its owner hears that it went.
    void busyBoxStaysMountedAndIsNamedOnce()
    {
        QVERIFY(restartAgent("0.02"));
        QFile file(boxPath("alpha") + "/notes.txt");
        QVERIFY(file.open(QIODevice::ReadWrite));
        QCOMPARE(file.write("unsaved work"), qint64(12));
        QVERIFY(file.flush());

        lockScreen();
        QTRY_VERIFY_WITH_TIMEOUT(!isMounted(boxPath("beta")), kLockDeadline);
        QTest::qWait(1500); // several retries go by
        QVERIFY(isMounted(boxPath("alpha")));
        QCOMPARE(m_notifications.shown.size(), 1);
        QVERIFY(m_notifications.shown.first().contains("alpha"));
        QVERIFY(file.seek(0));
        QCOMPARE(file.readAll(), QByteArray("unsaved work"));

        // A second lock while it is still in use says nothing new.
        lockScreen();
        QTest::qWait(700);
        QCOMPARE(m_notifications.shown.size(), 1);

        file.close();
        QTRY_VERIFY_WITH_TIMEOUT(!isMounted(boxPath("alpha")), kLockDeadline);
        QTRY_COMPARE(m_notifications.shown.size(), 2);
        QVERIFY(m_notifications.shown.last().contains("alpha"));
    }

    // A mount under way when the screen locked (waiting for the operation
    // lock) is unmounted as soon as it completes; so is one started later.
    void mountCompletingWhileLockedIsUnmounted()
    {
        QVERIFY(boxCommand({"unmount", "beta"}));
        holdOperationLock();
        QProcess mounting;
        mounting.setProcessEnvironment(environment());
        mounting.start(VAULTRANE_BOX_PROGRAM, {"mount", "beta"});
        mounting.write((kPassword + "\n").toUtf8());
        mounting.closeWriteChannel();
        QTest::qWait(300); // it waits for the lock now

        send(int(Trigger::SessionLock));
        QTRY_VERIFY_WITH_TIMEOUT(!isMounted(boxPath("alpha")), kLockDeadline);
        releaseOperationLock();
        QVERIFY(mounting.waitForFinished(30000));
        QTRY_VERIFY_WITH_TIMEOUT(!isMounted(boxPath("beta")), kLockDeadline);

        QVERIFY(mount("alpha") || !isMounted(boxPath("alpha")));
        QTRY_VERIFY_WITH_TIMEOUT(!isMounted(boxPath("alpha")), kLockDeadline);
    }

    // The agent's display: one that goes away ends the agent after it
    // unmounted the boxes (an X logout usually kills the server first); one
    // that cannot be reached at all leaves it running, still locking.
    void displayLossUnmountsAndExits_data()
    {
        QTest::addColumn<bool>("reachable");
        QTest::newRow("display goes away") << true;
        QTest::newRow("display never reachable") << false;
    }

    void displayLossUnmountsAndExits()
    {
        QFETCH(bool, reachable);
        QProcess server;
        m_display = ":4711"; // no server there
        if (reachable) {
            if (QStandardPaths::findExecutable("Xvfb").isEmpty())
                QSKIP("Xvfb is needed for a display of the agent's own");
            server.start("Xvfb", {"-displayfd", "1", "-nolisten", "tcp", "-screen", "0", "640x480x24"});
            QTRY_VERIFY_WITH_TIMEOUT(server.canReadLine(), 10000);
            m_display = ":" + QString::fromLatin1(server.readLine()).trimmed();
        }
        QVERIFY(restartAgent("0.3"));
        QTest::qWait(1000); // the tray is connected by now, or given up
        if (!reachable) {
            QCOMPARE(m_agent.state(), QProcess::Running);
            lockScreen();
            QTRY_VERIFY_WITH_TIMEOUT(bothUnmounted(), kLockDeadline);
            return;
        }
        server.kill();
        QVERIFY(server.waitForFinished(5000));
        QVERIFY(m_agent.waitForFinished(10000));
        QCOMPARE(m_agent.exitStatus(), QProcess::NormalExit);
        QCOMPARE(m_agent.exitCode(), 0);
        QVERIFY(bothUnmounted());
    }
};

QTEST_GUILESS_MAIN(TestAgent)
#include "test_agent.moc"
