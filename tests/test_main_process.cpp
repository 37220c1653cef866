// The program as it starts: refusals, a missing box root, one copy at a time
// (run as a process), and the single-instance guard behind that (and behind
// the session agent), whose lock no other account can reach.
#include "BoxRootSetting.h"
#include "MessageBox.h"
#include "SingleInstanceGuard.h"
#include "Startup.h"
#include "boxdouble.h"
#include "testsupport.h"

#include <QLocalServer>
#include <QLocalSocket>
#include <QtTest>

#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

namespace {

constexpr uid_t kOtherAccount = 65534; // nobody

uid_t g_loginUid = 1000;
uid_t g_effectiveUid = 1000;
uid_t fakeLoginUid() { return g_loginUid; }
uid_t fakeEffectiveUid() { return g_effectiveUid; }

// Runs the checks (box_* come from the test double, the uids from above)
// and answers the refusal, if any, with Return or the close button; its
// text goes to `refusal`. Whether the start may go on.
bool runChecks(QString *refusal, bool confirm = true)
{
    TestSupport::onNextModal([=](QWidget *w) {
        if (!qobject_cast<MessageBox *>(w))
            return void(w->close());
        *refusal = TestSupport::messageOf(w).section(": ", 1);
        if (confirm)
            QTest::keyClick(w, Qt::Key_Return);
        else
            TestSupport::pressClose(w);
    }, 1000);
    StartupEnvironment env;
    env.loginUid = fakeLoginUid;
    env.effectiveUid = fakeEffectiveUid;
    return checkStartup(env);
}

} // namespace

class TestMainProcess : public QObject
{
    Q_OBJECT

    QString m_program;
    QTemporaryDir m_runtimeDir; // where the copies keep their single-instance lock
    QTemporaryDir m_home;       // box root, home and XDG folders: never the real ones

    // No display, and the test's own folders.
    QProcessEnvironment environment(const QString &runtimeDir) const
    {
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.remove("DISPLAY");
        env.remove("WAYLAND_DISPLAY");
        env.remove("LD_PRELOAD");
        env.insert("QT_QPA_PLATFORM", "offscreen");
        env.insert("XDG_RUNTIME_DIR", runtimeDir);
        env.insert("BOX_SERVICE_ROOT", m_home.filePath("box"));
        env.insert("HOME", m_home.path());
        for (const char *folder : {"CONFIG", "DATA", "CACHE", "STATE"})
            env.insert(QString("XDG_%1_HOME").arg(folder), m_home.filePath(QString(folder).toLower()));
        return env;
    }

    // A shared temporary folder like /tmp: everyone writes, sticky.
    QString sharedTemp() const { return m_home.filePath("tmp"); }

private slots:
    void initTestCase()
    {
        m_program = QFileInfo(QCoreApplication::applicationDirPath() + "/../vaultrane").canonicalFilePath();
        if (m_program.isEmpty())
            QFAIL("the program build/vaultrane is missing: build the target vaultrane");
        QVERIFY(m_runtimeDir.isValid() && m_home.isValid());
        QVERIFY(QDir().mkpath(sharedTemp()));
        QVERIFY(chmod(QFile::encodeName(sharedTemp()).constData(), 01777) == 0);
        qputenv("TMPDIR", QFile::encodeName(sharedTemp()));
    }

    void init()
    {
        BoxDouble::reset();
        g_loginUid = g_effectiveUid = 1000;
    }

    void cleanup()
    {
        // Where no message came, let the armed handler time out quietly.
        QTRY_VERIFY_WITH_TIMEOUT(TestSupport::modalHandlersDone(), 3000);
        QTRY_VERIFY(TestSupport::leftoverTopLevels().isEmpty());
    }

    // box_enabled and box_init are checked in order, box_init only after
    // box_enabled; where the library says why boxes are unavailable, their
    // refusal gains a second line with that cause. Run through su or sudo
    // (or without a login uid) the program refuses to start too, and that
    // refusal has nothing to do with the box service: no cause line.
    void refusals_data()
    {
        QTest::addColumn<uint>("loginUid");
        QTest::addColumn<uint>("effectiveUid");
        QTest::addColumn<QString>("failing");
        QTest::addColumn<QString>("calls");
        QTest::addColumn<bool>("ok");
        QTest::addColumn<bool>("causeShown");
        QTest::newRow("all is well") << 1000u << 1000u << "" << "box_enabled box_init" << true << false;
        QTest::newRow("root from a root login") << 0u << 0u << "" << "box_enabled box_init" << true << false;
        QTest::newRow("no box support") << 1000u << 1000u << "box_enabled" << "box_enabled" << false << true;
        QTest::newRow("init fails") << 1000u << 1000u << "box_init" << "box_enabled box_init" << false << true;
        QTest::newRow("sudo from a user") << 1000u << 0u << "" << "box_enabled box_init" << false << false;
        QTest::newRow("su to another user") << 1000u << 1001u << "" << "box_enabled box_init" << false << false;
        QTest::newRow("no login uid") << uint(-1) << 1000u << "" << "box_enabled box_init" << false << false;
    }

    void refusals()
    {
        QFETCH(uint, loginUid);
        QFETCH(uint, effectiveUid);
        QFETCH(QString, failing);
        QFETCH(QString, calls);
        QFETCH(bool, ok);
        QFETCH(bool, causeShown);
        g_loginUid = loginUid;
        g_effectiveUid = effectiveUid;
        const QString cause = "Encrypted boxes are unavailable: gocryptfs is not installed.";
        BoxDouble::setUnavailableReason(cause.toStdString());
        if (!failing.isEmpty())
            BoxDouble::setResult(failing.toStdString(), failing == "box_enabled" ? 0 : -2);
        QString refusal;
        QCOMPARE(runChecks(&refusal), ok);
        QCOMPARE(refusal.isEmpty(), ok);
        QCOMPARE(refusal.section('\n', 1), causeShown ? cause : QString());
        QCOMPARE(TestSupport::callLog(false), calls);
    }

    // A missing box root is explained in the program's language, with a fix
    // to copy; a user without administrator rights may take a folder of
    // their own instead, and the start goes on with it.
    void missingBoxRootOffersOwnFolder()
    {
        QTemporaryDir dataHome;
        qputenv("XDG_DATA_HOME", QFile::encodeName(dataHome.path()));
        const QByteArray testRoot = qgetenv("BOX_SERVICE_ROOT");
        qunsetenv("BOX_SERVICE_ROOT");
        const QString folder = BoxRootSetting::suggestedFolder();
        const std::string libraryCause = "The box folder /box does not exist and cannot be created by this account.";

        for (const bool confirm : {false, true}) {
            BoxDouble::reset();
            BoxDouble::failNthCall("box_enabled", 1, 0);
            BoxDouble::setUnavailableCode(int(ServiceUnavailable::Cause::RootMissing));
            BoxDouble::setUnavailableReason(libraryCause);
            QString refusal;
            QCOMPARE(runChecks(&refusal, confirm), confirm);
            QVERIFY2(refusal.contains("/box") && refusal.contains("sudo ") && refusal.contains(folder), qPrintable(refusal));
            QVERIFY(!refusal.contains(QString::fromStdString(libraryCause)));
            QCOMPARE(BoxRootSetting::stored().isEmpty(), !confirm);
            QCOMPARE(qEnvironmentVariable("BOX_SERVICE_ROOT").isEmpty(), !confirm);
        }
        QVERIFY(QFileInfo(folder).isDir());
        QSettings(QSettings::IniFormat, QSettings::UserScope, "vaultrane", "vaultrane").remove("boxes");
        qputenv("BOX_SERVICE_ROOT", testRoot);
        qunsetenv("XDG_DATA_HOME");
    }

    // The test plays the running copy: it holds the lock and listens where
    // the program's copies listen. A second start tells it to raise its
    // window and leaves at once, silently and successfully.
    void secondCopyAsksTheRunningOneToRaise()
    {
        QTemporaryDir runtimeDir;
        qputenv("XDG_RUNTIME_DIR", QFile::encodeName(runtimeDir.path()));
        SingleInstanceGuard running(SingleInstanceGuard::keyForExecutable(m_program));
        QVERIFY(running.isGuarded() && !running.isRunning());
        QLocalServer server;
        QLocalServer::removeServer(running.serverName());
        QVERIFY(server.listen(running.serverName()));

        QProcess second;
        second.setProcessEnvironment(environment(runtimeDir.path()));
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

    // A second holder of the key sees the first, until the first is gone or
    // died holding the lock; another key (another program) is not affected.
    void secondHolderSeesTheFirst()
    {
        qputenv("XDG_RUNTIME_DIR", QFile::encodeName(m_runtimeDir.path()));
        const QString key = SingleInstanceGuard::keyForExecutable("/usr/bin/a");
        {
            SingleInstanceGuard first(key);
            QVERIFY(first.isGuarded() && !first.isRunning());
            QVERIFY(SingleInstanceGuard(key).isRunning());
            QVERIFY(!SingleInstanceGuard(SingleInstanceGuard::keyForExecutable("/usr/bin/b")).isRunning());
        }
        QVERIFY(!SingleInstanceGuard(key).isRunning());

        const pid_t child = fork();
        if (child == 0) {
            SingleInstanceGuard held(key);
            _exit(held.isRunning() ? 1 : 0); // dies holding the lock file
        }
        int status = 0;
        QCOMPARE(waitpid(child, &status, 0), child);
        QCOMPARE(WEXITSTATUS(status), 0);
        QVERIFY(!SingleInstanceGuard(key).isRunning());
    }

    // The runtime folder holds lock and socket only when it is the user's
    // private folder; otherwise a private folder of our own in the
    // temporary folder does.
    void privateFolderIsNeverShared_data()
    {
        QTest::addColumn<QString>("runtimeKind");
        QTest::addColumn<bool>("runtimeUsed");
        QTest::newRow("private runtime folder") << "private" << true;
        QTest::newRow("runtime folder open to all") << "open" << false;
        QTest::newRow("runtime folder is a symlink") << "symlink" << false;
        QTest::newRow("runtime folder of another account") << "foreign" << false;
        QTest::newRow("no runtime folder") << "unset" << false;
    }

    void privateFolderIsNeverShared()
    {
        QFETCH(QString, runtimeKind);
        QFETCH(bool, runtimeUsed);
        if (runtimeKind == "foreign" && geteuid() != 0)
            QSKIP("giving a folder to another account needs root");
        QTemporaryDir base;
        const QString runtime = base.filePath("runtime");
        const QString target = base.filePath("target");
        QVERIFY(QDir().mkpath(target));
        QVERIFY(chmod(QFile::encodeName(target).constData(), 0700) == 0);
        if (runtimeKind == "symlink") {
            QVERIFY(QFile::link(target, runtime));
        } else {
            QVERIFY(QDir().mkpath(runtime));
            QVERIFY(chmod(QFile::encodeName(runtime).constData(), runtimeKind == "open" ? 0777 : 0700) == 0);
        }
        if (runtimeKind == "foreign")
            QVERIFY(chown(QFile::encodeName(runtime).constData(), kOtherAccount, kOtherAccount) == 0);
        if (runtimeKind == "unset")
            qunsetenv("XDG_RUNTIME_DIR");
        else
            qputenv("XDG_RUNTIME_DIR", QFile::encodeName(runtime));

        const QString folder = SingleInstanceGuard::privateFolder();
        QCOMPARE(folder == runtime, runtimeUsed);
        QVERIFY(!folder.isEmpty() && !folder.startsWith(target));
        const QFileInfo info(folder);
        QVERIFY(info.isDir() && !info.isSymLink());
        QCOMPARE(info.ownerId(), uint(geteuid()));
        const QFile::Permissions others = QFile::ReadOther | QFile::WriteOther | QFile::ExeOther;
        const QFile::Permissions group = QFile::ReadGroup | QFile::WriteGroup | QFile::ExeGroup;
        QCOMPARE(info.permissions() & (others | group), QFile::Permissions());
    }

    // Someone else made our folder in the temporary folder first: the
    // program starts anyway, unguarded, and touches nothing of theirs.
    void squattedFolderMeansNoGuard()
    {
        if (geteuid() != 0)
            QSKIP("making a folder as another account needs root");
        qunsetenv("XDG_RUNTIME_DIR");
        const QString squatted = sharedTemp() + QString("/vaultrane-%1").arg(geteuid());
        QDir(squatted).removeRecursively();
        QVERIFY(QDir().mkpath(squatted));
        QVERIFY(chmod(QFile::encodeName(squatted).constData(), 0777) == 0);
        QVERIFY(chown(QFile::encodeName(squatted).constData(), kOtherAccount, kOtherAccount) == 0);

        SingleInstanceGuard guard(QStringLiteral("test-squatted"));
        QVERIFY(!guard.isGuarded() && !guard.isRunning());
        QVERIFY(guard.serverName().isEmpty());
        QVERIFY(QDir(squatted).entryList(QDir::NoDotAndDotDot | QDir::AllEntries | QDir::System).isEmpty());
        QVERIFY(QDir(squatted).removeRecursively());
    }
};

QTEST_MAIN(TestMainProcess)
#include "test_main_process.moc"
