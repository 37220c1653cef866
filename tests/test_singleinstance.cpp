// The single-instance guard behind QtSingleApplication and the session agent.
#include "SingleInstanceGuard.h"

#include <QtTest>

#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

namespace {
constexpr uid_t kOtherAccount = 65534; // nobody
}

class TestSingleInstance : public QObject
{
    Q_OBJECT

    QTemporaryDir m_dir;
    QByteArray m_savedRuntime;
    QByteArray m_savedTemp;

    // A shared temporary folder like /tmp: everyone writes, sticky.
    QString sharedTemp() const { return m_dir.filePath("tmp"); }

private slots:
    void initTestCase()
    {
        QVERIFY(m_dir.isValid());
        QVERIFY(QDir().mkpath(sharedTemp()));
        QVERIFY(chmod(QFile::encodeName(sharedTemp()).constData(), 01777) == 0);
        m_savedRuntime = qgetenv("XDG_RUNTIME_DIR");
        m_savedTemp = qgetenv("TMPDIR");
        qputenv("TMPDIR", QFile::encodeName(sharedTemp()));
    }

    void cleanupTestCase()
    {
        qputenv("XDG_RUNTIME_DIR", m_savedRuntime);
        qputenv("TMPDIR", m_savedTemp);
    }

    // A second holder of the key sees the first, until the first is gone or
    // died holding the lock; another key (another program) is not affected.
    void secondHolderSeesTheFirst()
    {
        qputenv("XDG_RUNTIME_DIR", QFile::encodeName(m_dir.path()));
        const QString key = QString("test-key-%1").arg(QCoreApplication::applicationPid());
        auto *first = new SingleInstanceGuard(key);
        QVERIFY(first->isGuarded() && !first->isRunning());
        QVERIFY(first->serverName().startsWith(m_dir.path() + "/"));
        QVERIFY(SingleInstanceGuard(key).isRunning());
        QVERIFY(!SingleInstanceGuard(key + "-other").isRunning());
        delete first;
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
        QVERIFY(SingleInstanceGuard::keyForExecutable("/usr/bin/a") != SingleInstanceGuard::keyForExecutable("/usr/bin/b"));
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
        QVERIFY(base.isValid());
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
        QVERIFY(!folder.isEmpty());
        QVERIFY(!folder.startsWith(target));
        QFileInfo info(folder);
        QVERIFY(info.isDir() && !info.isSymLink());
        QCOMPARE(info.ownerId(), uint(geteuid()));
        QCOMPARE(info.permissions() & (QFile::ReadOther | QFile::WriteOther | QFile::ExeOther | QFile::ReadGroup
                                       | QFile::WriteGroup | QFile::ExeGroup),
                 QFile::Permissions());
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

        QString why;
        QVERIFY(SingleInstanceGuard::privateFolder(&why).isEmpty());
        QVERIFY(!why.isEmpty());
        SingleInstanceGuard guard(QStringLiteral("test-squatted"));
        QVERIFY(!guard.isGuarded());
        QVERIFY(!guard.isRunning());
        QVERIFY(guard.serverName().isEmpty());
        QVERIFY(QDir(squatted).entryList(QDir::NoDotAndDotDot | QDir::AllEntries | QDir::System).isEmpty());
        QVERIFY(QDir(squatted).removeRecursively());
    }
};

QTEST_GUILESS_MAIN(TestSingleInstance)
#include "test_singleinstance.moc"
