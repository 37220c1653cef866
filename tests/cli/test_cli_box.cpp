// The real vaultrane-box against the real box service in a temporary box
// root and XDG folders: exit statuses, passwords through a pipe, a
// descriptor and a terminal, and no password in any process's command line
// or environment.
#include "../tessad/fuse_check.h"

#include <QtTest>

#include <csignal>
#include <cstdlib>
#include <fcntl.h>
#include <poll.h>
#include <pwd.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <termios.h>
#include <unistd.h>

namespace {

const QString kProgram = QStringLiteral(VAULTRANE_BOX_PROGRAM);

struct CliOutcome {
    int status = -1; // exit status, -1 after a signal
    QByteArray out;
    QByteArray err;
};

// Starts the program, through `wrapper` (a command that runs the rest of its
// command line) when given.
void startCli(QProcess &process, const QStringList &arguments, const QStringList &wrapper = {})
{
    const QStringList command = wrapper + QStringList{kProgram} + arguments;
    process.start(command.first(), command.mid(1));
    process.waitForStarted(10000);
}

// Gives the program `input` on standard input and waits for the end.
CliOutcome finishCli(QProcess &process, const QByteArray &input = {})
{
    process.write(input);
    process.closeWriteChannel();
    process.waitForFinished(60000); // false when it ended already
    CliOutcome outcome;
    if (process.state() == QProcess::NotRunning && process.exitStatus() == QProcess::NormalExit)
        outcome.status = process.exitCode();
    outcome.out = process.readAllStandardOutput();
    outcome.err = process.readAllStandardError();
    return outcome;
}

CliOutcome run(const QStringList &arguments, const QByteArray &input = {}, const QStringList &wrapper = {})
{
    QProcess process;
    startCli(process, arguments, wrapper);
    return finishCli(process, input);
}

// A wrapper that moves standard input to descriptor `fd`, for --password-fd.
QStringList onDescriptor(int fd)
{
    return {"sh", "-c", QString("exec \"$@\" %1<&0 </dev/null").arg(fd), "sh"};
}

// A wrapper that runs the program as another account (the caller is root).
QStringList asAccount(uid_t uid, gid_t gid)
{
    return {"setpriv", "--reuid", QString::number(uid), "--regid", QString::number(gid), "--clear-groups"};
}

// The program on a new pseudo-terminal that is its controlling terminal and
// its standard input, output and error.
class CliTerminal : public QProcess
{
public:
    explicit CliTerminal(const QStringList &arguments)
    {
        m_master = posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC);
        if (m_master < 0 || grantpt(m_master) != 0 || unlockpt(m_master) != 0)
            return;
        m_terminalName = ptsname(m_master);
        struct winsize size = {};
        size.ws_row = 24;
        size.ws_col = 100;
        ioctl(m_master, TIOCSWINSZ, &size);
        start(kProgram, arguments);
        waitForStarted(10000);
    }

    ~CliTerminal() override
    {
        kill();
        waitForFinished(10000);
        if (m_master >= 0)
            ::close(m_master);
    }

    // Reads the screen until `text` shows (true) or time runs out.
    bool waitFor(const QByteArray &text)
    {
        QElapsedTimer timer;
        timer.start();
        const int from = m_screen.size();
        while (m_screen.indexOf(text, from) < 0 && timer.elapsed() < 20000)
            readAvailable(50);
        return m_screen.indexOf(text, from) >= 0;
    }

    // A few keys: the terminal takes them in one write.
    bool type(const QByteArray &keys)
    {
        return ::write(m_master, keys.constData(), std::size_t(keys.size())) == keys.size();
    }

    // Whether the terminal echoes what is typed.
    bool echoes() const
    {
        struct termios settings = {};
        return tcgetattr(m_master, &settings) == 0 && (settings.c_lflag & ECHO);
    }

    // Everything the terminal showed so far.
    QByteArray screen() const { return m_screen; }

    // Waits for the end; the exit status, or 1000 + signal.
    int finish()
    {
        QElapsedTimer timer;
        timer.start();
        while (state() != QProcess::NotRunning && timer.elapsed() < 60000) {
            readAvailable(50);
            waitForFinished(1);
        }
        readAvailable(100);
        if (state() != QProcess::NotRunning)
            return -1;
        return exitStatus() == QProcess::NormalExit ? exitCode() : 1000 + exitCode();
    }

protected:
    void setupChildProcess() override
    {
        // As from a login shell on a terminal, whatever the test runner
        // ignores or blocks.
        setsid();
        const int terminal = ::open(m_terminalName.constData(), O_RDWR);
        ioctl(terminal, TIOCSCTTY, 0);
        for (int standard : {STDIN_FILENO, STDOUT_FILENO, STDERR_FILENO})
            dup2(terminal, standard);
        for (int signal : {SIGINT, SIGQUIT, SIGTSTP, SIGTTIN, SIGTTOU, SIGPIPE})
            std::signal(signal, SIG_DFL);
        sigset_t none;
        sigemptyset(&none);
        sigprocmask(SIG_SETMASK, &none, nullptr);
    }

private:
    void readAvailable(int timeoutMs)
    {
        struct pollfd poller = {m_master, POLLIN, 0};
        if (poll(&poller, 1, timeoutMs) <= 0)
            return;
        char chunk[4096];
        const ssize_t got = ::read(m_master, chunk, sizeof chunk);
        if (got > 0)
            m_screen.append(chunk, int(got));
    }

    int m_master = -1;
    QByteArray m_terminalName;
    QByteArray m_screen;
};

// The ids of processes whose command line or environment holds `needle`.
QList<pid_t> processesHolding(const QByteArray &needle)
{
    QList<pid_t> found;
    const QStringList entries = QDir("/proc").entryList(QDir::Dirs | QDir::NoDotAndDotDot);
    for (const QString &entry : entries) {
        bool isPid = false;
        const pid_t pid = entry.toInt(&isPid);
        if (!isPid)
            continue;
        for (const char *file : {"cmdline", "environ"}) {
            QFile f(QStringLiteral("/proc/%1/%2").arg(entry, QLatin1String(file)));
            if (f.open(QIODevice::ReadOnly) && f.readAll().contains(needle)) {
                found << pid;
                break;
            }
        }
    }
    return found;
}

// A password that follows the rule of new boxes and is unique to this run,
// so that finding it anywhere means it leaked from here.
QByteArray freshPassword(const char *tag)
{
    static int counter = 0;
    return QByteArray("Pw") + tag + "_" + QByteArray::number(getpid()) + "x" + QByteArray::number(++counter);
}

QByteArray line(const QByteArray &password)
{
    return password + '\n';
}

// Types each answer once the next `prompt` shows; the exit status (-1 when a
// prompt never came), and what the terminal showed in `screen`.
int onTerminal(const QStringList &arguments, const QList<QByteArray> &answers, QByteArray *screen = nullptr,
               const QByteArray &prompt = "：")
{
    CliTerminal terminal(arguments);
    for (const QByteArray &answer : answers) {
        if (!terminal.waitFor(prompt))
            return -1;
        if (!terminal.type(answer))
            return -1;
    }
    const int status = terminal.finish();
    if (screen)
        *screen = terminal.screen();
    return status;
}

// One command of a sequence and the exit status it must end with.
struct Step {
    QStringList arguments;
    QByteArray input;
    int status;
};

} // namespace

class TestCliBox : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase()
    {
        QVERIFY2(QFileInfo(kProgram).isExecutable(), qPrintable(kProgram));
        QVERIFY(m_xdg.isValid());
        for (const char *name : {"XDG_CONFIG_HOME", "XDG_DATA_HOME", "XDG_CACHE_HOME", "XDG_STATE_HOME", "XDG_RUNTIME_DIR"}) {
            const QString folder = m_xdg.path() + QLatin1Char('/') + QLatin1String(name);
            QVERIFY(QDir().mkpath(folder));
            QFile::setPermissions(folder, QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
            qputenv(name, QFile::encodeName(folder));
        }
        const struct passwd *self = getpwuid(getuid());
        QVERIFY(self);
        m_login = QString::fromUtf8(self->pw_name);
    }

    void init()
    {
        // Everything else makes or mounts encrypted boxes.
        static const QStringList plainOnly{"reachesBoxesOthersShare", "terminalConfirmsAPlainDelete",
                                           "refusesNamesThatAreNotUtf8"};
        const std::string missing = fusecheck::missingForMounts();
        if (!missing.empty() && !plainOnly.contains(QTest::currentTestFunction()))
            QSKIP(missing.c_str());
        m_base.reset(new QTemporaryDir(QDir::tempPath() + "/vaultrane-box-test-XXXXXX"));
        QVERIFY(m_base->isValid());
        QFile::setPermissions(m_base->path(), QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner
                                                  | QFileDevice::ReadOther | QFileDevice::ExeOther);
        const QString root = m_base->path() + "/box";
        qputenv("BOX_SERVICE_ROOT", QFile::encodeName(root));
        m_userFolder = root + QLatin1Char('/') + m_login;
    }

    void cleanup()
    {
        unmountAll();
        m_base.reset();
    }

    // As scripts run the commands. Which operation each box state allows is
    // core's rule: a few refusals show the statuses here.
    void commandsThroughAPipe()
    {
        const QByteArray password = freshPassword("Pipe");
        const QByteArray newPassword = freshPassword("New");
        QCOMPARE(run({"--help"}, {}, impossibleRoot()).status, 0);
        verifyFailure(run({"list"}, {}, impossibleRoot()), "list without a box service");
        QCOMPARE(run({"--version"}).out, QByteArray("vaultrane-box " VAULTRANE_VERSION_TEXT "\n"));

        runSteps({
            {{"share", "--help"}, {}, 0},
            {{}, {}, 2},
            {{"mount", "x", "--password-fd", "57"}, {}, 2}, // not open
            {{"create", "资料 box"}, {}, 0},
            {{"create", "资料 box"}, {}, 1},
            {{"delete", "资料 box"}, {}, 2}, // without a terminal only with --yes
            // A failed create leaves no box behind: the next one would fail.
            {{"create", "vault", "--encrypt"}, "1short\n", 1}, // against the rule of new passwords
            {{"create", "vault", "--encrypt"}, line(password), 0},
            {{"mount", "vault"}, line(newPassword), 1},
        });
        QVERIFY(QFileInfo(boxPath("资料 box")).isDir());
        const QByteArray names = run({"list", "--names"}).out;
        QVERIFY2(names.contains("资料 box\n") && names.contains("vault\n"), names.constData());
        const CliOutcome mounted = run({"mount", "vault"}, line(password));
        QCOMPARE(mounted.status, 0);
        QCOMPARE(mounted.out, QFile::encodeName(boxPath("vault")) + '\n');

        // What scripts read: every member, of its type.
        const QJsonObject entry = boxEntry("vault");
        QStringList keys = entry.keys();
        keys.sort();
        QCOMPARE(keys, QStringList({"access", "encrypted", "mounted", "mountedElsewhere", "name", "own", "owner",
                                    "path", "shared"}));
        for (const char *flag : {"encrypted", "mounted", "mountedElsewhere", "shared", "own"})
            QVERIFY2(entry.value(flag).isBool(), flag);
        QCOMPARE(entry.value("mounted").toBool(), true);
        QCOMPARE(entry.value("path").toString(), boxPath("vault"));

        // passwd reads the current password, then the new one, one line each.
        runSteps({
            {{"rename", "vault", "safe"}, line(password), 1}, // mounted
            {{"unmount", "vault"}, {}, 0},
            {{"passwd", "vault"}, line(newPassword) + line(password), 1},
            {{"passwd", "vault"}, line(password) + line(newPassword), 0},
            {{"mount", "vault"}, line(password), 1},
            {{"rename", "vault", "safe"}, line(newPassword), 0},
            {{"decrypt", "safe"}, line(newPassword), 0},
            {{"encrypt", "safe"}, line(password), 0},
            {{"delete", "safe"}, "wrong\n", 1},
            {{"delete", "safe"}, line(password), 0},
            {{"delete", "资料 box", "--yes"}, {}, 0},
        });
    }

    // One password line per question from the descriptor named.
    void passwordsThroughADescriptor()
    {
        const QByteArray password = freshPassword("Fd");
        const QByteArray newPassword = freshPassword("FdNew");
        QCOMPARE(run({"create", "fdbox", "--encrypt"}, line(password)).status, 0);

        const CliOutcome mounted = run({"mount", "fdbox", "--password-fd", "3"}, line(password), onDescriptor(3));
        QCOMPARE(mounted.status, 0);
        QCOMPARE(mounted.out, QFile::encodeName(boxPath("fdbox")) + '\n');
        QCOMPARE(run({"unmount", "fdbox"}).status, 0);
        const QByteArray answers = line(password) + line(newPassword);
        QCOMPARE(run({"passwd", "--password-fd=5", "fdbox"}, answers, onDescriptor(5)).status, 0);
        // A descriptor that ends before the password does.
        verifyFailure(run({"mount", "fdbox", "--password-fd", "4"}, {}, onDescriptor(4)), "an empty descriptor");
        QCOMPARE(run({"mount", "fdbox", "--password-fd", "0"}, line(newPassword)).status, 0);
        QCOMPARE(run({"unmount", "fdbox"}).status, 0);
    }

    void reachesBoxesOthersShare()
    {
        if (geteuid() != 0)
            QSKIP("making throwaway accounts needs root");
        // Two ordinary accounts: root would pass every check a sharee meets.
        struct Account {
            QString name;
            uid_t uid = 0;
            gid_t gid = 0;
        };
        Account owner{QString("vbo%1").arg(getpid())};
        Account sharee{QString("vbs%1").arg(getpid())};
        auto removeAccounts = qScopeGuard([&] {
            unmountAll();
            for (const Account *account : {&owner, &sharee})
                QProcess::execute("sh", {"-c", QString("userdel %1 >/dev/null 2>&1").arg(account->name)});
        });
        for (Account *account : {&owner, &sharee}) {
            QCOMPARE(QProcess::execute("useradd", {"-M", "-N", "-s", "/bin/bash", account->name}), 0);
            const struct passwd *entry = getpwnam(account->name.toUtf8().constData());
            QVERIFY(entry);
            account->uid = entry->pw_uid;
            account->gid = entry->pw_gid;
        }
        const QStringList openFuse = asAccount(sharee.uid, sharee.gid) + QStringList{"sh", "-c", "exec 3<>/dev/fuse"};
        if (QProcess::execute(openFuse.first(), openFuse.mid(1)) != 0)
            QSKIP("ordinary accounts cannot open /dev/fuse here: as root, chmod 0666 /dev/fuse (Debian's default)");
        auto runAs = [&](const Account &account, const QStringList &arguments, const QByteArray &input = {}) {
            return run(arguments, input, asAccount(account.uid, account.gid));
        };

        // The owner shares a plain and an encrypted box with the sharee.
        const QByteArray password = freshPassword("Theirs");
        QCOMPARE(run({"list"}).status, 0); // makes the box root
        QCOMPARE(runAs(owner, {"create", "gift"}).status, 0);
        QCOMPARE(runAs(owner, {"create", "locked", "--encrypt"}, line(password)).status, 0);
        QCOMPARE(runAs(owner, {"share", "gift", sharee.name, "--read-only"}).status, 0);
        QCOMPARE(runAs(owner, {"share", "locked", sharee.name, "--read-write"}, line(password)).status, 0);

        const QString gift = owner.name + "/gift";
        const QString locked = owner.name + "/locked";
        const QByteArray names = runAs(sharee, {"list", "--names"}).out;
        QVERIFY2(names.contains(gift.toUtf8() + '\n') && names.contains(locked.toUtf8() + '\n'), names.constData());
        QCOMPARE(runAs(sharee, {"delete", gift, "--yes"}).status, 1); // only the owner's

        const CliOutcome opened = runAs(sharee, {"mount", gift});
        QCOMPARE(opened.status, 0);
        QVERIFY(opened.out.endsWith("/" + owner.name.toUtf8() + "/gift\n"));

        // The sharee mounts the encrypted box with its password at a folder of
        // its own, and the owner may not take the box away meanwhile.
        const CliOutcome mounted = runAs(sharee, {"mount", locked}, line(password));
        QCOMPARE(mounted.status, 0);
        const QString shareeFolder = qEnvironmentVariable("BOX_SERVICE_ROOT") + "/" + sharee.name + "/";
        const QString point = QString::fromUtf8(mounted.out).trimmed();
        QVERIFY2(point.startsWith(shareeFolder), qPrintable(point));
        QCOMPARE(runAs(owner, {"delete", "locked"}, line(password)).status, 1);

        QCOMPARE(runAs(sharee, {"unmount", locked}).status, 0);
        QCOMPARE(runAs(owner, {"unshare", "gift", sharee.name}).status, 0);
        QCOMPARE(runAs(sharee, {"mount", gift}).status, 1);
    }

    void terminalAsksWithoutEcho()
    {
        const QByteArray password = freshPassword("Tty");
        QByteArray screen;
        QCOMPARE(onTerminal({"create", "ttybox", "--encrypt"}, {line(password), line(password + "typo")}, &screen), 1);
        QVERIFY2(!screen.contains(password), screen.constData());
        QVERIFY(!QFileInfo::exists(boxPath("ttybox")));
        QCOMPARE(onTerminal({"create", "ttybox", "--encrypt"}, {line(password), line(password)}, &screen), 0);
        QVERIFY2(!screen.contains(password), screen.constData());
        QCOMPARE(onTerminal({"mount", "ttybox"}, {line(password)}, &screen), 0);
        QVERIFY(screen.contains(QFile::encodeName(boxPath("ttybox"))));
        QVERIFY(!screen.contains(password));
        QCOMPARE(run({"unmount", "ttybox"}).status, 0);
    }

    void terminalConfirmsAPlainDelete()
    {
        QCOMPARE(run({"create", "doomed"}).status, 0);
        QCOMPARE(onTerminal({"delete", "doomed"}, {"n\n"}, nullptr, "[y/N]"), 1);
        QVERIFY(QFileInfo::exists(boxPath("doomed")));
        QCOMPARE(onTerminal({"delete", "doomed"}, {"y\n"}, nullptr, "[y/N]"), 0);
        QVERIFY(!QFileInfo::exists(boxPath("doomed")));
    }

    void interruptRestoresTheTerminal()
    {
        const QByteArray password = freshPassword("Int");
        QCOMPARE(run({"create", "intbox", "--encrypt"}, line(password)).status, 0);

        CliTerminal terminal({"mount", "intbox"});
        QVERIFY(terminal.waitFor("："));
        QVERIFY(!terminal.echoes());
        QVERIFY(terminal.type("half typed"));
        QVERIFY(terminal.type("\x03")); // Ctrl+C
        QCOMPARE(terminal.finish(), 1000 + SIGINT);
        QVERIFY(terminal.echoes());
        QCOMPARE(boxEntry("intbox").value("mounted").toBool(), false);
    }

    void noPasswordInAnyProcess()
    {
        const QByteArray password = freshPassword("Proc");
        const QByteArray newPassword = freshPassword("ProcNew");
        QVERIFY(processesHolding(password).isEmpty());

        // Each command waits for its password line while /proc is scanned, and
        // is scanned again until it ends (gocryptfs runs meanwhile).
        const QList<Step> steps{
            {{"create", "watched", "--encrypt"}, line(password), 0},
            {{"mount", "watched"}, line(password), 0},
            {{"unmount", "watched"}, {}, 0},
            {{"passwd", "watched"}, line(password) + line(newPassword), 0},
            {{"mount", "watched"}, line(newPassword), 0},
        };
        for (const Step &step : steps) {
            QProcess process;
            startCli(process, step.arguments);
            QTest::qWait(100);
            QVERIFY(processesHolding(password).isEmpty());
            process.write(step.input);
            process.waitForBytesWritten(10000);
            QList<pid_t> holders;
            for (int scan = 0; scan < 40 && holders.isEmpty(); ++scan) {
                holders = processesHolding(password) + processesHolding(newPassword);
                if (kill(pid_t(process.processId()), 0) != 0)
                    break;
            }
            const CliOutcome outcome = finishCli(process);
            const QString what = step.arguments.join(' ');
            QVERIFY2(outcome.status == step.status, qPrintable(what + ": " + QString::fromUtf8(outcome.err)));
            QVERIFY2(holders.isEmpty(), qPrintable(what));
        }
        // The mounted box's gocryptfs keeps running: still nothing.
        QVERIFY(processesHolding(password).isEmpty());
        QVERIFY(processesHolding(newPassword).isEmpty());
        QCOMPARE(run({"unmount", "watched"}).status, 0);
    }

    void refusesNamesThatAreNotUtf8_data()
    {
        QTest::addColumn<QString>("arguments"); // shell words; raw bytes through printf

        QTest::newRow("create") << R"sh(create "$(printf 'bad\377utf')")sh";
        QTest::newRow("rename to an overlong form") << R"sh(rename "$(printf 'bad\357\277\275utf')" "$(printf 'new\300\257')")sh";
        QTest::newRow("surrogate") << R"sh(create "$(printf 'x\355\240\200')")sh";
    }

    void refusesNamesThatAreNotUtf8()
    {
        QFETCH(QString, arguments);

        // A box whose name holds U+FFFD, what invalid bytes used to become.
        const QString replaced = QString::fromUtf8("bad\xef\xbf\xbdutf");
        QCOMPARE(run({"create", replaced}).status, 0);
        const QByteArray before = run({"list", "--names"}).out;

        // Through the shell: the runner passes arguments as UTF-8.
        QProcess process;
        process.start("/bin/sh", {"-c", "exec \"$0\" " + arguments, kProgram});
        const CliOutcome outcome = finishCli(process);
        QCOMPARE(outcome.status, 2);
        QVERIFY(outcome.err.startsWith("vaultrane-box: "));
        QCOMPARE(run({"list", "--names"}).out, before);
    }

    void cannotBeDumped()
    {
        // The files in /proc/<pid> of a process that is not dumpable belong to
        // root; so the program must run under another account to tell.
        QStringList wrapper;
        if (getuid() == 0) {
            wrapper = asAccount(65534, 65534);
            QVERIFY(QDir().mkpath(m_base->path() + "/box"));
            QVERIFY(chmod(QFile::encodeName(m_base->path() + "/box").constData(), 01777) == 0);
        }
        // It waits for a new password on standard input.
        QProcess process;
        startCli(process, {"create", "dump", "--encrypt"}, wrapper);
        const QByteArray proc = "/proc/" + QByteArray::number(process.processId());
        // Once it runs as itself (not the test's fork) and sleeps.
        const auto waiting = [&] {
            QFile commandLine(proc + "/cmdline");
            QFile stat(proc + "/stat");
            return commandLine.open(QIODevice::ReadOnly) && commandLine.readAll().contains(QByteArray("dump\0", 5))
                && stat.open(QIODevice::ReadOnly) && stat.readAll().contains(") S ");
        };
        QTRY_VERIFY_WITH_TIMEOUT(waiting(), 10000);
        struct stat status;
        QVERIFY(stat(proc + "/status", &status) == 0);
        QCOMPARE(status.st_uid, uid_t(0));
        finishCli(process, "\n");
    }

private:
    // A failure: status 1, nothing on standard output, one line on error.
    void verifyFailure(const CliOutcome &outcome, const QString &what)
    {
        QVERIFY2(outcome.status == 1, qPrintable(what + ": " + QString::fromUtf8(outcome.err)));
        QVERIFY2(outcome.out.isEmpty(), qPrintable(what));
        QVERIFY2(outcome.err.startsWith("vaultrane-box: "), qPrintable(what));
        QVERIFY2(outcome.err.count('\n') == 1 && outcome.err.endsWith('\n'), qPrintable(QString::fromUtf8(outcome.err)));
    }

    // Status 1 is a failure as above; status 2 prints the usage after it.
    void runSteps(const QList<Step> &steps)
    {
        for (const Step &step : steps) {
            const CliOutcome outcome = run(step.arguments, step.input);
            const QString what = step.arguments.join(' ');
            if (step.status == 1)
                verifyFailure(outcome, what);
            else
                QVERIFY2(outcome.status == step.status, qPrintable(what + ": " + QString::fromUtf8(outcome.err)));
            if (step.status == 2)
                QVERIFY2(outcome.out.isEmpty() && outcome.err.startsWith("vaultrane-box: ")
                             && outcome.err.contains("vaultrane-box "),
                         qPrintable(what));
            if (QTest::currentTestFailed())
                return;
        }
    }

    // A box root that cannot exist: below a regular file.
    QStringList impossibleRoot()
    {
        const QString file = m_base->path() + "/plain-file";
        QFile(file).open(QIODevice::WriteOnly);
        return {"env", "BOX_SERVICE_ROOT=" + file + "/box"};
    }

    QJsonObject boxEntry(const QString &name)
    {
        const QJsonArray boxes = QJsonDocument::fromJson(run({"list", "--json"}).out).array();
        for (const QJsonValue &value : boxes)
            if (value.toObject().value("name").toString() == name)
                return value.toObject();
        return {};
    }

    QString boxPath(const QString &name) const { return m_userFolder + QLatin1Char('/') + name; }

    void unmountAll()
    {
        QFile mountinfo("/proc/self/mountinfo");
        if (!mountinfo.open(QIODevice::ReadOnly))
            return;
        const QList<QByteArray> lines = mountinfo.readAll().split('\n');
        for (const QByteArray &entry : lines) {
            const QList<QByteArray> fields = entry.split(' ');
            if (fields.size() > 4 && fields.at(4).startsWith(QFile::encodeName(m_base->path())))
                QProcess::execute("fusermount3", {"-u", "-z", QString::fromUtf8(fields.at(4))});
        }
    }

    QTemporaryDir m_xdg;
    QScopedPointer<QTemporaryDir> m_base;
    QString m_login;
    QString m_userFolder;
};

QTEST_GUILESS_MAIN(TestCliBox)
#include "test_cli_box.moc"
