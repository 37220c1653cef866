// The session agent against real signals: a private session bus and a
// private system bus, each its own dbus-daemon, with small stand-ins for
// logind and the notification server living in this test; real boxes of
// the real box service, mounted with gocryptfs in a temporary box root.
#include "LockSettings.h"

#include <QDBusConnection>
#include <QDBusConnectionInterface>
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
#include <poll.h>
#include <unistd.h>

namespace {

const QString kPassword = QStringLiteral("Secret_123");
const QString kSessionPath = QStringLiteral("/org/freedesktop/login1/session/_3");
constexpr int kLockDeadline = 2000; // every mounted box is unmounted within this

// A bus of our own: a dbus-daemon listening on a fixed socket, so that a
// restarted daemon has the same address.
class PrivateBus
{
public:
    PrivateBus(const QString &folder, const QString &name)
        : m_socket(folder + "/" + name + ".socket"), m_config(folder + "/" + name + ".conf"), m_name(name)
    {
        QFile config(m_config);
        if (config.open(QIODevice::WriteOnly)) {
            config.write(QStringLiteral(
                "<!DOCTYPE busconfig PUBLIC \"-//freedesktop//DTD D-Bus Bus Configuration 1.0//EN\"\n"
                " \"http://www.freedesktop.org/standards/dbus/1.0/busconfig.dtd\">\n"
                "<busconfig><type>session</type><listen>unix:path=%1</listen><auth>EXTERNAL</auth>\n"
                "<policy context=\"default\"><allow send_destination=\"*\" eavesdrop=\"true\"/>"
                "<allow eavesdrop=\"true\"/><allow own=\"*\"/><allow user=\"*\"/></policy></busconfig>\n")
                             .arg(m_socket)
                             .toUtf8());
        }
    }
    ~PrivateBus() { stop(); }

    QString address() const { return "unix:path=" + m_socket; }

    bool start()
    {
        QFile::remove(m_socket);
        m_daemon.setProgram("dbus-daemon");
        m_daemon.setArguments({"--config-file=" + m_config, "--nofork", "--print-address=1"});
        m_daemon.start();
        if (!m_daemon.waitForStarted(5000) || !m_daemon.waitForReadyRead(5000))
            return false;
        m_connection = "test-" + m_name + QString::number(++m_generation);
        return QDBusConnection::connectToBus(address(), m_connection).isConnected();
    }

    void stop()
    {
        if (!m_connection.isEmpty())
            QDBusConnection::disconnectFromBus(m_connection);
        m_connection.clear();
        if (m_daemon.state() != QProcess::NotRunning) {
            m_daemon.kill();
            m_daemon.waitForFinished(5000);
        }
    }

    QDBusConnection connection() const { return QDBusConnection(m_connection); }

private:
    QString m_socket;
    QString m_config;
    QString m_name;
    QString m_connection;
    int m_generation = 0;
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
    QDBusUnixFileDescriptor Inhibit(const QString &what, const QString &who, const QString &why, const QString &mode)
    {
        Q_UNUSED(who);
        Q_UNUSED(why);
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

    QDBusObjectPath GetSessionByPID(uint pid)
    {
        Q_UNUSED(pid);
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
    uint Notify(const QString &app, uint replaces, const QString &icon, const QString &summary, const QString &body,
                const QStringList &actions, const QVariantMap &hints, int timeout)
    {
        Q_UNUSED(app);
        Q_UNUSED(replaces);
        Q_UNUSED(icon);
        Q_UNUSED(actions);
        Q_UNUSED(hints);
        Q_UNUSED(timeout);
        shown.append(summary + "\n" + body);
        return uint(shown.size());
    }
};

class TestAgent : public QObject
{
    Q_OBJECT

    QTemporaryDir m_dir;
    QString m_root;
    QScopedPointer<PrivateBus> m_sessionBus;
    QScopedPointer<PrivateBus> m_systemBus;
    FakeLogind m_logind;
    FakeNotifications m_notifications;
    QProcess m_agent;

    QProcessEnvironment environment() const
    {
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert("BOX_SERVICE_ROOT", m_root);
        env.insert("XDG_CONFIG_HOME", m_dir.filePath("config"));
        env.insert("XDG_RUNTIME_DIR", m_dir.filePath("runtime"));
        env.insert("DBUS_SESSION_BUS_ADDRESS", m_sessionBus->address());
        env.insert("DBUS_SYSTEM_BUS_ADDRESS", m_systemBus->address());
        env.remove("DISPLAY");
        env.remove("WAYLAND_DISPLAY");
        env.remove("QT_QPA_PLATFORM"); // no tray: the agent runs without a display
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
        return m_root + "/" + qEnvironmentVariable("USER", "root") + "/" + name;
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

    bool registerFakes()
    {
        QDBusConnection system = m_systemBus->connection();
        QDBusConnection session = m_sessionBus->connection();
        return system.registerService("org.freedesktop.login1")
            && system.registerObject("/org/freedesktop/login1", &m_logind, QDBusConnection::ExportAllSlots)
            && session.registerService("org.freedesktop.Notifications")
            && session.registerObject("/org/freedesktop/Notifications", &m_notifications,
                                      QDBusConnection::ExportAllSlots);
    }

    // The agent is listening once it has asked logind for the delay lock:
    // that comes after it subscribed to both buses.
    bool startAgent()
    {
        const int before = m_logind.inhibitCalls;
        m_agent.setProcessEnvironment(environment());
        m_agent.setProcessChannelMode(QProcess::ForwardedErrorChannel);
        m_agent.start(VAULTRANE_AGENT_PROGRAM, {"--retry-seconds", "0.3"});
        if (!m_agent.waitForStarted(5000))
            return false;
        QDeadlineTimer deadline(10000);
        while (m_logind.inhibitCalls == before && !deadline.hasExpired())
            QTest::qWait(20);
        QTest::qWait(200); // its match rules reach the daemon
        return m_logind.inhibitCalls > before;
    }

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
        m_sessionBus.reset(new PrivateBus(m_dir.path(), "session"));
        m_systemBus.reset(new PrivateBus(m_dir.path(), "system"));
        QVERIFY(m_sessionBus->start());
        QVERIFY(m_systemBus->start());
        QVERIFY(registerFakes());
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
        if (m_agent.state() != QProcess::NotRunning) {
            m_agent.terminate();
            if (!m_agent.waitForFinished(10000))
                m_agent.kill();
        }
        m_agent.waitForFinished(5000);
        boxCommand({"unmount", "alpha"});
        boxCommand({"unmount", "beta"});
    }

    // Each signal that means "lock now" unmounts every mounted box.
    void lockSignalUnmountsEveryBox_data()
    {
        QTest::addColumn<bool>("onSystemBus");
        QTest::addColumn<QString>("path");
        QTest::addColumn<QString>("interface");
        QTest::addColumn<QString>("name");
        QTest::addColumn<QVariantList>("arguments");

        QTest::newRow("freedesktop screen saver") << false << "/org/freedesktop/ScreenSaver"
                                                  << "org.freedesktop.ScreenSaver" << "ActiveChanged"
                                                  << QVariantList{true};
        QTest::newRow("GNOME screen saver") << false << "/org/gnome/ScreenSaver" << "org.gnome.ScreenSaver"
                                            << "ActiveChanged" << QVariantList{true};
        QTest::newRow("logind session lock") << true << kSessionPath << "org.freedesktop.login1.Session" << "Lock"
                                             << QVariantList{};
    }

    void lockSignalUnmountsEveryBox()
    {
        QFETCH(bool, onSystemBus);
        QFETCH(QString, path);
        QFETCH(QString, interface);
        QFETCH(QString, name);
        QFETCH(QVariantList, arguments);

        emitSignal(onSystemBus ? *m_systemBus : *m_sessionBus, path, interface, name, arguments);
        QTRY_VERIFY_WITH_TIMEOUT(!isMounted(boxPath("alpha")) && !isMounted(boxPath("beta")), kLockDeadline);
        QVERIFY(m_notifications.shown.isEmpty());
    }

    void screenSaverDeactivatingLocksNothing()
    {
        emitSignal(*m_sessionBus, "/org/freedesktop/ScreenSaver", "org.freedesktop.ScreenSaver", "ActiveChanged",
                   {false});
        QTest::qWait(1000);
        QVERIFY(isMounted(boxPath("alpha")));
    }

    // logind waits for the delay lock before sleeping: it must go only
    // after the boxes are unmounted, and come back after the resume.
    void sleepUnmountsThenReleasesTheDelayLock()
    {
        QVERIFY(!m_logind.delayLockReleased());
        emitSignal(*m_systemBus, "/org/freedesktop/login1", "org.freedesktop.login1.Manager", "PrepareForSleep",
                   {true});
        QTRY_VERIFY_WITH_TIMEOUT(m_logind.delayLockReleased(), kLockDeadline);
        QVERIFY(!isMounted(boxPath("alpha")));
        QVERIFY(!isMounted(boxPath("beta")));

        const int before = m_logind.inhibitCalls;
        emitSignal(*m_systemBus, "/org/freedesktop/login1", "org.freedesktop.login1.Manager", "PrepareForSleep",
                   {false});
        QTRY_VERIFY_WITH_TIMEOUT(m_logind.inhibitCalls > before, kLockDeadline);
    }

    // A box with an open file is never forced: it stays mounted and whole,
    // its owner hears of it once, and it goes once the file is closed.
    void busyBoxStaysMountedAndIsNamedOnce()
    {
        QFile file(boxPath("alpha") + "/notes.txt");
        QVERIFY(file.open(QIODevice::ReadWrite));
        QCOMPARE(file.write("unsaved work"), qint64(12));
        QVERIFY(file.flush());

        emitSignal(*m_sessionBus, "/org/freedesktop/ScreenSaver", "org.freedesktop.ScreenSaver", "ActiveChanged",
                   {true});
        QTRY_VERIFY_WITH_TIMEOUT(!isMounted(boxPath("beta")), kLockDeadline);
        QTest::qWait(1500); // several retries go by
        QVERIFY(isMounted(boxPath("alpha")));
        QCOMPARE(m_notifications.shown.size(), 1);
        QVERIFY(m_notifications.shown.first().contains("alpha"));
        QVERIFY(file.seek(0));
        QCOMPARE(file.readAll(), QByteArray("unsaved work"));

        // A second lock while it is still in use says nothing new.
        emitSignal(*m_sessionBus, "/org/freedesktop/ScreenSaver", "org.freedesktop.ScreenSaver", "ActiveChanged",
                   {true});
        QTest::qWait(700);
        QCOMPARE(m_notifications.shown.size(), 1);

        file.close();
        QTRY_VERIFY_WITH_TIMEOUT(!isMounted(boxPath("alpha")), kLockDeadline);
    }

    void switchedOffTriggerIsFollowedWithoutRestart()
    {
        setScreenLockSetting(false);
        emitSignal(*m_sessionBus, "/org/freedesktop/ScreenSaver", "org.freedesktop.ScreenSaver", "ActiveChanged",
                   {true});
        QTest::qWait(1000);
        QVERIFY(isMounted(boxPath("alpha")));

        setScreenLockSetting(true);
        emitSignal(*m_sessionBus, "/org/freedesktop/ScreenSaver", "org.freedesktop.ScreenSaver", "ActiveChanged",
                   {true});
        QTRY_VERIFY_WITH_TIMEOUT(!isMounted(boxPath("alpha")), kLockDeadline);
    }

    // The end of the session: logind's removal of our session, or the
    // SIGTERM a logout sends. Either unmounts and ends the agent.
    void sessionEndUnmountsAndExits_data()
    {
        QTest::addColumn<bool>("bySignal");
        QTest::newRow("logind removes the session") << false;
        QTest::newRow("SIGTERM") << true;
    }

    void sessionEndUnmountsAndExits()
    {
        QFETCH(bool, bySignal);
        if (bySignal)
            m_agent.terminate();
        else
            emitSignal(*m_systemBus, "/org/freedesktop/login1", "org.freedesktop.login1.Manager", "SessionRemoved",
                       {QString("3"), QVariant::fromValue(QDBusObjectPath(kSessionPath))});
        QVERIFY(m_agent.waitForFinished(5000));
        QCOMPARE(m_agent.exitStatus(), QProcess::NormalExit);
        QCOMPARE(m_agent.exitCode(), 0);
        QVERIFY(!isMounted(boxPath("alpha")));
        QVERIFY(!isMounted(boxPath("beta")));
    }

    // Both bus daemons restart: the agent finds them again and still locks.
    void survivesTheBusesComingBack()
    {
        m_sessionBus->stop();
        m_systemBus->stop();
        QTest::qWait(1500);
        QVERIFY(m_sessionBus->start());
        QVERIFY(m_systemBus->start());
        const int before = m_logind.inhibitCalls;
        QVERIFY(registerFakes());
        QTRY_VERIFY_WITH_TIMEOUT(m_logind.inhibitCalls > before, 10000);
        QTest::qWait(200);
        QCOMPARE(m_agent.state(), QProcess::Running);

        emitSignal(*m_sessionBus, "/org/freedesktop/ScreenSaver", "org.freedesktop.ScreenSaver", "ActiveChanged",
                   {true});
        QTRY_VERIFY_WITH_TIMEOUT(!isMounted(boxPath("alpha")) && !isMounted(boxPath("beta")), kLockDeadline);
    }
};

QTEST_GUILESS_MAIN(TestAgent)
#include "test_agent.moc"
