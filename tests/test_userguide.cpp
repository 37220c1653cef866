// Help when the user-guide service cannot answer: the manual opens instead.
// Stand-in viewers ("evince", "xdg-open") on PATH record what they were
// asked to open.
#include "UserGuide.h"
#include "UserManual.h"
#include "Vaultrane.h"
#include "boxdouble.h"
#include "testsupport.h"

#include <QApplication>
#include <QLocalServer>
#include <QLocalSocket>
#include <QtTest>

class TestUserGuide : public QObject
{
    Q_OBJECT
    QTemporaryDir m_tmp;
    QString m_record;
    QString m_manual;

    // Puts a folder first on PATH whose viewer `program` appends the file it
    // was given to the record and exits with `exitCode`.
    bool useViewer(const QString &program, int exitCode)
    {
        const QString folder = m_tmp.filePath(program + QString::number(exitCode));
        QDir().mkpath(folder);
        QFile script(folder + "/" + program);
        if (!script.open(QIODevice::WriteOnly))
            return false;
        script.write(QString("#!/bin/sh\nprintf '%s\\n' \"$1\" >> '%1'\nexit %2\n").arg(m_record).arg(exitCode).toUtf8());
        script.close();
        qputenv("PATH", QFile::encodeName(folder + ":/usr/bin:/bin"));
        return script.setPermissions(script.permissions() | QFileDevice::ExeOwner);
    }

    QStringList opened() const
    {
        QFile file(m_record);
        if (!file.open(QIODevice::ReadOnly))
            return {};
        return QString::fromUtf8(file.readAll()).split('\n', Qt::SkipEmptyParts);
    }

private slots:
    void initTestCase()
    {
        // The manual in a folder of the test's own; the test speaks Chinese.
        QVERIFY(QDir(m_tmp.path()).mkpath("manual"));
        m_manual = m_tmp.filePath("manual/" + UserManual::fileName(UiLanguage::Chinese));
        QFile manual(m_manual);
        QVERIFY(manual.open(QIODevice::WriteOnly));
        UserGuide::setManualFolders({m_tmp.filePath("nowhere"), m_tmp.filePath("manual")});
        m_record = m_tmp.filePath("opened");
        BoxDouble::reset();
    }

    void init() { QFile::remove(m_record); }

    // Without evince the desktop's default viewer opens it; a viewer that
    // fails, or no manual at all, is said in a message naming what is missing.
    void withoutEvince()
    {
        QWidget window;
        QVERIFY(useViewer("xdg-open", 0));
        QVERIFY(UserGuide::openManual(&window));
        QTRY_COMPARE(opened(), QStringList{m_manual});

        QString message;
        TestSupport::onNextModal([&](QWidget *box) { message = TestSupport::answerMessage(box); });
        QVERIFY(useViewer("xdg-open", 3));
        QVERIFY(UserGuide::openManual(&window));
        QTRY_VERIFY(TestSupport::modalHandlersDone());
        QVERIFY2(message.contains(m_manual), qPrintable(message));

        TestSupport::onNextModal([&](QWidget *box) { message = TestSupport::answerMessage(box); });
        UserGuide::setManualFolders({m_tmp.filePath("nowhere")});
        QVERIFY(!UserGuide::openManual(&window));
        UserGuide::setManualFolders({m_tmp.filePath("manual")});
        QVERIFY(TestSupport::modalHandlersDone());
        QVERIFY2(message.contains(UserManual::installedFolder()), qPrintable(message));
    }

    // The child's bus hangs up at once: help, from the menu and by F1,
    // neither hangs nor stays silent, it opens the manual instead.
    void helpWithoutBus()
    {
        QLocalServer trap;
        QVERIFY(trap.listen(m_tmp.filePath("bus-trap")));
        connect(&trap, &QLocalServer::newConnection, &trap, [&] {
            while (QLocalSocket *socket = trap.nextPendingConnection()) {
                socket->abort();
                socket->deleteLater();
            }
        });
        QVERIFY(useViewer("evince", 0));
        QProcess child;
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.insert("VAULTRANE_USERGUIDE_CHILD_MANUAL", m_tmp.filePath("manual"));
        environment.insert("DBUS_SESSION_BUS_ADDRESS", "unix:path=" + trap.fullServerName());
        child.setProcessEnvironment(environment);
        child.start(QCoreApplication::applicationFilePath(), QStringList());
        QTRY_VERIFY2_WITH_TIMEOUT(child.state() == QProcess::NotRunning, "the request must not hang", 20000);
        QCOMPARE(child.exitStatus(), QProcess::NormalExit);
        QCOMPARE(child.exitCode(), 0);
        QTRY_COMPARE(opened(), (QStringList{m_manual, m_manual}));
    }
};

int main(int argc, char *argv[])
{
    const QString childManual = qEnvironmentVariable("VAULTRANE_USERGUIDE_CHILD_MANUAL");
    if (!childManual.isEmpty()) {
        // The help requests in a process of its own (Qt caches the bus per process).
        QApplication app(argc, argv);
        BoxDouble::reset();
        BoxDouble::setDesktop(1);
        UserGuide::setManualFolders({childManual});
        Vaultrane window;
        window.show();
        QMetaObject::invokeMethod(&window, "slot_showNewCharacter");
        QTest::keyClick(&window, Qt::Key_F1);
        return 0;
    }
    QApplication app(argc, argv);
    TestUserGuide test;
    QTEST_SET_MAIN_SOURCE_PATH
    return QTest::qExec(&test, argc, argv);
}

#include "test_userguide.moc"
