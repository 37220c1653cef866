// The program as a process: one copy at a time, and a copy that passes the
// start-up checks shows its window and loads the boxes.
#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QtTest>

#include <cerrno>
#include <fcntl.h>
#include <pty.h>
#include <unistd.h>

namespace {

QString programPath()
{
    return QFileInfo(QDir(QCoreApplication::applicationDirPath()).filePath("../vaultrane")).canonicalFilePath();
}

QString doublePath()
{
    return QDir(QCoreApplication::applicationDirPath()).filePath("libboxservice_double.so");
}

// A pseudo-terminal for a child's standard output: the C library then
// flushes every line, so the output can be read while the child runs.
class PtyOutput
{
public:
    PtyOutput()
    {
        if (openpty(&m_master, &m_slave, nullptr, nullptr, nullptr) == 0) {
            fcntl(m_master, F_SETFL, fcntl(m_master, F_GETFL) | O_NONBLOCK);
            m_path = QString::fromLocal8Bit(ttyname(m_slave));
        }
    }
    ~PtyOutput()
    {
        if (m_master >= 0)
            ::close(m_master);
        if (m_slave >= 0)
            ::close(m_slave);
    }
    bool ok() const { return !m_path.isEmpty(); }
    QString path() const { return m_path; }
    QByteArray read()
    {
        char buf[4096];
        ssize_t n;
        while ((n = ::read(m_master, buf, sizeof buf)) > 0)
            m_text.append(buf, int(n));
        return m_text;
    }

private:
    int m_master = -1;
    int m_slave = -1;
    QString m_path;
    QByteArray m_text;
};

} // namespace

class TestMainProcess : public QObject
{
    Q_OBJECT

    QString m_program;
    QTemporaryDir m_runtimeDir; // where the copies keep their single-instance lock
    QProcess m_first;

    QProcessEnvironment environment() const
    {
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert("QT_QPA_PLATFORM", "offscreen");
        env.insert("XDG_RUNTIME_DIR", m_runtimeDir.path());
        env.remove("LD_PRELOAD");
        return env;
    }

    // True once the first copy holds the single-instance lock.
    bool lockTaken() const
    {
        const QDir dir(m_runtimeDir.path());
        for (const QFileInfo &f : dir.entryInfoList({"qtsingleapp-*.lock"}, QDir::Files))
            if (f.size() > 0)
                return true;
        return false;
    }

    void startSecondCopyAndExpectItToLeave()
    {
        QProcess second;
        second.setProcessEnvironment(environment());
        second.start(m_program, QStringList());
        QVERIFY(second.waitForFinished(20000));
        QCOMPARE(second.exitStatus(), QProcess::NormalExit);
        QCOMPARE(second.exitCode(), 0);
        QCOMPARE(second.readAllStandardOutput(), QByteArray());
        QCOMPARE(second.readAllStandardError(), QByteArray());
        // The first copy goes on undisturbed.
        QCOMPARE(m_first.state(), QProcess::Running);
    }

private slots:
    void initTestCase()
    {
        m_program = programPath();
        if (m_program.isEmpty())
            QFAIL("the program build/vaultrane is missing: build the target vaultrane");
        QVERIFY(m_runtimeDir.isValid());
    }

    void cleanup()
    {
        if (m_first.state() != QProcess::NotRunning) {
            m_first.kill();
            m_first.waitForFinished(10000);
        }
        for (const QString &name : QDir(m_runtimeDir.path()).entryList(QDir::Files))
            QFile::remove(QDir(m_runtimeDir.path()).filePath(name));
    }

    // The first copy here stops at a start-up refusal (our box service
    // library, or no login uid) and waits in its message box, holding the
    // lock all the same.
    void secondCopyLeavesAtOnce()
    {
        m_first.setProcessEnvironment(environment());
        m_first.start(m_program, QStringList());
        QVERIFY(m_first.waitForStarted());
        QTRY_VERIFY_WITH_TIMEOUT(lockTaken(), 20000);
        startSecondCopyAndExpectItToLeave();
    }

    // With the box service double and a login uid equal to the effective uid
    // the first copy passes every check, builds its window and loads the
    // boxes (the proxy prints the box table); a second copy still leaves.
    void firstCopyShowsItsWindow()
    {
        const QString uid = QString::number(geteuid());
        const QString setLoginUid = QString("echo %1 > /proc/self/loginuid").arg(uid);
        if (QProcess::execute("sh", {"-c", setLoginUid + " 2>/dev/null"}) != 0)
            QSKIP("this system does not let a process set its login uid");
        PtyOutput out;
        QVERIFY(out.ok());

        QProcessEnvironment env = environment();
        env.insert("VAULTRANE_DOUBLE", doublePath());
        // The double deliberately stands in for the box service library the
        // program is linked with; in sanitizer builds that is no fault.
        QString asan = env.value("ASAN_OPTIONS");
        asan += QString(asan.isEmpty() ? "" : ":") + "verify_asan_link_order=0:detect_odr_violation=0";
        env.insert("ASAN_OPTIONS", asan);
        m_first.setProcessEnvironment(env);
        m_first.setStandardOutputFile(out.path());
        // The shell sets its own login uid and becomes the program, which
        // keeps it; only the program gets the double preloaded.
        m_first.start("sh", {"-c", setLoginUid + " && LD_PRELOAD=\"$VAULTRANE_DOUBLE\" exec \"$0\"", m_program});
        QVERIFY(m_first.waitForStarted());
        QTRY_VERIFY_WITH_TIMEOUT(out.read().contains("Boxes for"), 20000);
        QVERIFY(lockTaken());
        QCOMPARE(m_first.state(), QProcess::Running);
        startSecondCopyAndExpectItToLeave();
    }
};

QTEST_GUILESS_MAIN(TestMainProcess)
#include "test_main_process.moc"
