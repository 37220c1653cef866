// Help against a real D-Bus: the test re-runs itself under dbus-run-session.
#include "UserGuide.h"
#include "Vaultrane.h"
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

// Plays the user-guide service on its own thread: records every request.
class GuideService : public QObject
{
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "com.guide.hotel")
    QMutex m_lock;
    QStringList m_calls;
public:
    QStringList takeCalls() { QMutexLocker lock(&m_lock); return std::exchange(m_calls, {}); }
public slots:
    void showGuide(const QString &appName) { QMutexLocker lock(&m_lock); m_calls << appName; }
};

class TestUserGuide : public QObject
{
    Q_OBJECT
    QThread m_serviceThread;
    GuideService *m_service = nullptr;
    QDBusConnection m_serviceBus{QString()};
    QTemporaryDir m_tmp;

private slots:
    void initTestCase()
    {
        QVERIFY(QDBusConnection::sessionBus().isConnected());
        m_service = new GuideService;
        m_service->moveToThread(&m_serviceThread);
        connect(&m_serviceThread, &QThread::finished, m_service, &QObject::deleteLater);
        m_serviceThread.start();
        m_serviceBus = QDBusConnection::connectToBus(QDBusConnection::SessionBus, "service");
        QVERIFY(m_serviceBus.registerObject("/", m_service, QDBusConnection::ExportAllSlots));
    }

    void cleanupTestCase()
    {
        m_serviceBus.unregisterObject("/");
        m_serviceBus = QDBusConnection(QString());
        QDBusConnection::disconnectFromBus("service");
        m_serviceThread.quit();
        m_serviceThread.wait();
    }

    void helpAndF1AskRunningService()
    {
        const QString name = UserGuide::guideServiceName();
        QCOMPARE(name, QString("com.venmoraUserGuide.hotel_%1").arg(int(getuid())));
        BoxDouble::reset();
        BoxDouble::setDesktop(0x101); // only the low byte counts: a desktop
        Vaultrane window;
        window.show();
        for (const bool present : {true, false}) {
            QVERIFY(present ? m_serviceBus.registerService(name) : m_serviceBus.unregisterService(name));
            QCOMPARE(UserGuide::guideServiceAbsent(), !present);
            TestSupport::DebugCapture debug;
            UserGuide::showHelp();
            QTest::keyClick(&window, Qt::Key_F1);
            const QStringList expected = present ? QStringList{"vaultraner", "vaultraner"} : QStringList();
            QCOMPARE(m_service->takeCalls(), expected);
            QVERIFY(!debug.contains("showGuide In fail!"));
        }
    }

    void guideKeys()
    {
        const QList<std::tuple<int, int, bool>> table{{Qt::Key_F1, Qt::NoModifier, true},
            {Qt::Key_F1, Qt::ControlModifier | Qt::ShiftModifier, true}, {Qt::Key_F1, Qt::AltModifier, true},
            {Qt::Key_F1, Qt::ControlModifier, false}, {Qt::Key_F2, Qt::NoModifier, false}};
        for (const auto &[key, modifiers, isGuide] : table) {
            QKeyEvent e(QEvent::KeyPress, key, Qt::KeyboardModifiers(modifiers));
            QCOMPARE(UserGuide::isGuideKey(&e), isGuide);
        }
    }

    // The child's bus hangs up at once: on a desktop help fails without hanging;
    // elsewhere a stand-in "evince" opens the manual and the bus is never touched.
    void helpWithoutBus()
    {
        QLocalServer trap;
        QVERIFY(trap.listen(m_tmp.filePath("bus-trap")));
        int connections = 0;
        connect(&trap, &QLocalServer::newConnection, &trap, [&] {
            while (QLocalSocket *s = trap.nextPendingConnection())
                ++connections, s->abort(), s->deleteLater();
        });
        const QString viewer = m_tmp.filePath("evince"), record = m_tmp.filePath("viewer-args");
        QFile script(viewer);
        QVERIFY(script.open(QIODevice::WriteOnly));
        script.write(QString("#!/bin/sh\nprintf '%s\\n' \"$@\" > '%1.tmp' && mv '%1.tmp' '%1'\n").arg(record).toUtf8());
        script.close();
        QVERIFY(script.setPermissions(script.permissions() | QFileDevice::ExeOwner));

        for (const int desktop : {1, 0x100}) {
            connections = 0;
            QProcess child;
            QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
            env.insert("VAULTRANE_USERGUIDE_CHILD", QString::number(desktop));
            env.insert("DBUS_SESSION_BUS_ADDRESS", "unix:path=" + trap.fullServerName());
            env.insert("PATH", m_tmp.path() + ":" + env.value("PATH"));
            child.setProcessEnvironment(env);
            child.start(QCoreApplication::applicationFilePath(), QStringList());
            QTRY_VERIFY2_WITH_TIMEOUT(child.state() == QProcess::NotRunning, "the request must not hang", 20000);
            QCOMPARE(child.exitStatus(), QProcess::NormalExit);
            QCoreApplication::processEvents();
            const QString log = QString::fromUtf8(child.readAllStandardError());
            QCOMPARE(connections > 0, desktop == 1);
            QCOMPARE(log.contains("void Vaultrane::showGuide(QString) \"vaultraner\"\nshowGuide In fail!"), desktop == 1);
        }
        QTRY_VERIFY_WITH_TIMEOUT(QFile::exists(record), 10000);
        QFile f(record);
        QVERIFY(f.open(QIODevice::ReadOnly));
        const QString args = QString::fromUtf8(f.readAll());
        QVERIFY2(args.startsWith("/usr/share/doc/BoxManual/") && args.endsWith(".pdf\n"), qPrintable(args));
    }
};

int main(int argc, char *argv[])
{
    const QByteArray childDesktop = qgetenv("VAULTRANE_USERGUIDE_CHILD");
    if (!childDesktop.isEmpty()) {
        // One help request in a process of its own (Qt caches the bus per process).
        QCoreApplication app(argc, argv);
        BoxDouble::reset();
        BoxDouble::setDesktop(childDesktop.toInt());
        UserGuide::showHelp();
        return 0;
    }
    if (!qEnvironmentVariableIsSet("VAULTRANE_PRIVATE_BUS")) {
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
