// The single-instance guard behind QtSingleApplication.
#include "qtsingleapplication.h"

#include <QtTest>

#include <sys/wait.h>
#include <unistd.h>

class TestSingleInstance : public QObject
{
    Q_OBJECT
private slots:
    void secondHolderSeesTheFirst()
    {
        const QString key = QString("test-key-%1").arg(QCoreApplication::applicationPid());
        auto *first = new SingleInstanceGuard(key);
        QVERIFY(!first->isRunning());
        {
            SingleInstanceGuard second(key);
            QVERIFY(second.isRunning());
        }
        // Another program (another key) is not affected.
        SingleInstanceGuard other(key + "-other");
        QVERIFY(!other.isRunning());
        delete first;
        SingleInstanceGuard third(key);
        QVERIFY(!third.isRunning());
    }

    void lockOfADeadProcessIsTakenOver()
    {
        const QString key = QString("test-dead-%1").arg(QCoreApplication::applicationPid());
        pid_t child = fork();
        if (child == 0) {
            SingleInstanceGuard held(key);
            _exit(held.isRunning() ? 1 : 0); // dies holding the lock file
        }
        int status = 0;
        QCOMPARE(waitpid(child, &status, 0), child);
        QCOMPARE(WEXITSTATUS(status), 0);
        SingleInstanceGuard after(key);
        QVERIFY(!after.isRunning());
    }

    void keyDependsOnExecutablePath()
    {
        QVERIFY(SingleInstanceGuard::keyForExecutable("/usr/bin/a") != SingleInstanceGuard::keyForExecutable("/usr/bin/b"));
    }
};

QTEST_GUILESS_MAIN(TestSingleInstance)
#include "test_singleinstance.moc"
