// Help against a real D-Bus: the test re-runs itself under dbus-run-session.
// A stand-in user-guide service answers on the bus, and stand-in viewers
// ("evince", "xdg-open") on PATH record what they were asked to open.
#include "UserGuide.h"
#include "UserManual.h"
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

namespace {

// A viewer named `program` in `folder` that appends the file it was given to
// `record` and exits with `exitCode`.
bool writeViewer(const QString &folder, const QString &program, const QString &record, int exitCode)
{
    QFile script(folder + "/" + program);
    if (!script.open(QIODevice::WriteOnly))
        return false;
    script.write(QString("#!/bin/sh\nprintf '%s\\n' \"$1\" >> '%1'\nexit %2\n").arg(record).arg(exitCode).toUtf8());
    script.close();
    return script.setPermissions(script.permissions() | QFileDevice::ExeOwner);
}

QStringList linesOf(const QString &path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return {};
    return QString::fromUtf8(file.readAll()).split('\n', Qt::SkipEmptyParts);
}

} // namespace

class TestUserGuide : public QObject
{
    Q_OBJECT
    QThread m_serviceThread;
    GuideService *m_service = nullptr;
    QDBusConnection m_serviceBus{QString()};
    QTemporaryDir m_tmp;
    QString m_record;
    QString m_chineseManual;

    void usePath(const QString &folder) { qputenv("PATH", QFile::encodeName(folder + ":/usr/bin:/bin")); }

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

        // The manual in a folder of the test's own; the test speaks Chinese.
        QVERIFY(QDir(m_tmp.path()).mkpath("manual"));
        m_chineseManual = m_tmp.filePath("manual/" + UserManual::fileName(UiLanguage::Chinese));
        QFile manual(m_chineseManual);
        QVERIFY(manual.open(QIODevice::WriteOnly));
        UserGuide::setManualFolders({m_tmp.filePath("nowhere"), m_tmp.filePath("manual")});
        m_record = m_tmp.filePath("opened");
        for (const QString folder : {"with-evince", "default-viewer", "failing-viewer", "no-viewer"})
            QVERIFY(QDir(m_tmp.path()).mkpath(folder));
        QVERIFY(writeViewer(m_tmp.filePath("with-evince"), "evince", m_record, 0));
        QVERIFY(writeViewer(m_tmp.filePath("with-evince"), "xdg-open", m_record + ".wrong", 0));
        QVERIFY(writeViewer(m_tmp.filePath("default-viewer"), "xdg-open", m_record, 0));
        QVERIFY(writeViewer(m_tmp.filePath("failing-viewer"), "xdg-open", m_record, 3));
    }

    void cleanupTestCase()
    {
        m_serviceBus.unregisterObject("/");
        m_serviceBus = QDBusConnection(QString());
        QDBusConnection::disconnectFromBus("service");
        m_serviceThread.quit();
        m_serviceThread.wait();
    }

    void init() { QFile::remove(m_record); }

    // The service first when it runs; otherwise the manual in evince. On a
    // non-desktop edition the menu entry goes to the manual at once.
    void helpAndF1AskServiceElseOpenManual()
    {
        const QString name = UserGuide::guideServiceName();
        QCOMPARE(name, QString("com.venmoraUserGuide.hotel_%1").arg(int(getuid())));
        usePath(m_tmp.filePath("with-evince"));
        BoxDouble::reset();
        Vaultrane window;
        window.show();
        const QList<std::tuple<bool, int, QStringList, int>> table{
            // service runs, desktop check, guide requests, manuals opened
            {true, 0x101, {"vaultraner", "vaultraner"}, 0}, // only the low byte counts: a desktop
            {false, 1, {}, 2},
            {true, 0, {"vaultraner"}, 1}, // F1 still asks the service
        };
        for (const auto &[present, desktop, requests, manualsOpened] : table) {
            QFile::remove(m_record);
            QVERIFY(present ? m_serviceBus.registerService(name) : m_serviceBus.unregisterService(name));
            QCOMPARE(UserGuide::guideServiceAbsent(), !present);
            BoxDouble::setDesktop(desktop);
            QMetaObject::invokeMethod(&window, "slot_showNewCharacter");
            QTest::keyClick(&window, Qt::Key_F1);
            QCOMPARE(m_service->takeCalls(), requests);
            QTRY_COMPARE(linesOf(m_record).size(), manualsOpened);
            for (const QString &opened : linesOf(m_record))
                QCOMPARE(opened, m_chineseManual);
        }
        m_serviceBus.unregisterService(name);
        QVERIFY(!QFile::exists(m_record + ".wrong"));
    }

    // Without evince the desktop's default viewer opens it; a viewer that
    // fails, or no manual at all, is said in a message.
    void withoutEvince()
    {
        BoxDouble::reset();
        BoxDouble::setDesktop(1);
        QWidget window;

        usePath(m_tmp.filePath("default-viewer"));
        QVERIFY(UserGuide::openManual(&window));
        QTRY_COMPARE(linesOf(m_record), QStringList{m_chineseManual});

        QString message;
        TestSupport::onNextModal([&](QWidget *box) { message = TestSupport::answerMessage(box); });
        usePath(m_tmp.filePath("failing-viewer"));
        QVERIFY(UserGuide::openManual(&window));
        QTRY_VERIFY(TestSupport::modalHandlersDone());
        QVERIFY2(message.contains(m_chineseManual), qPrintable(message));

        message.clear();
        TestSupport::onNextModal([&](QWidget *box) { message = TestSupport::answerMessage(box); });
        UserGuide::setManualFolders({m_tmp.filePath("nowhere")});
        QVERIFY(!UserGuide::openManual(&window));
        UserGuide::setManualFolders({m_tmp.filePath("manual")});
        QVERIFY(TestSupport::modalHandlersDone());
        QVERIFY2(message.contains(UserManual::installedFolder()), qPrintable(message));
    }

    // The child's bus hangs up at once: help neither hangs nor stays silent,
    // it opens the manual instead.
    void helpWithoutBus()
    {
        QLocalServer trap;
        QVERIFY(trap.listen(m_tmp.filePath("bus-trap")));
        connect(&trap, &QLocalServer::newConnection, &trap, [&] {
            while (QLocalSocket *s = trap.nextPendingConnection())
                s->abort(), s->deleteLater();
        });
        QProcess child;
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert("VAULTRANE_USERGUIDE_CHILD_MANUAL", m_tmp.filePath("manual"));
        env.insert("DBUS_SESSION_BUS_ADDRESS", "unix:path=" + trap.fullServerName());
        env.insert("PATH", m_tmp.filePath("with-evince") + ":/usr/bin:/bin");
        child.setProcessEnvironment(env);
        child.start(QCoreApplication::applicationFilePath(), QStringList());
        QTRY_VERIFY2_WITH_TIMEOUT(child.state() == QProcess::NotRunning, "the request must not hang", 20000);
        QCOMPARE(child.exitStatus(), QProcess::NormalExit);
        QCOMPARE(child.exitCode(), 0);
        QTRY_COMPARE(linesOf(m_record), QStringList{m_chineseManual});
    }
};

int main(int argc, char *argv[])
{
    const QString childManual = qEnvironmentVariable("VAULTRANE_USERGUIDE_CHILD_MANUAL");
    if (!childManual.isEmpty()) {
        // One help request in a process of its own (Qt caches the bus per process).
        QApplication app(argc, argv);
        BoxDouble::reset();
        BoxDouble::setDesktop(1);
        UserGuide::setManualFolders({childManual});
        UserGuide::showHelp(nullptr);
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
