// Start-up: the refusals before the main window, style sheet and translator.
#include "BoxRootSetting.h"
#include "MessageBox.h"
#include "Startup.h"
#include "boxdouble.h"
#include "testsupport.h"

#include <QtTest>

namespace {
uid_t g_loginUid = 1000;
uid_t g_effectiveUid = 1000;
uid_t fakeLoginUid() { return g_loginUid; }
uid_t fakeEffectiveUid() { return g_effectiveUid; }

struct Outcome {
    bool ok = false;
    QString text; // of the refusal; empty when none was shown
    bool hadParent = true;
};

// Runs the checks (box_* come from the test double, the uids from above)
// and answers the refusal, if any, with Return or the close button.
Outcome runChecks(bool confirm = true)
{
    Outcome out;
    TestSupport::onNextModal([&](QWidget *w) {
        if (!qobject_cast<MessageBox *>(w))
            return void(w->close());
        out.text = TestSupport::messageOf(w).section(": ", 1);
        out.hadParent = w->parentWidget() != nullptr;
        if (confirm)
            QTest::keyClick(w, Qt::Key_Return);
        else
            TestSupport::pressClose(w);
    }, 1000);
    StartupEnvironment env;
    env.loginUid = fakeLoginUid;
    env.effectiveUid = fakeEffectiveUid;
    out.ok = checkStartup(env);
    return out;
}
} // namespace

class TestStartup : public QObject
{
    Q_OBJECT
private slots:
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
        const Outcome o = runChecks();
        QCOMPARE(o.ok, ok);
        QCOMPARE(o.text.isEmpty(), ok);
        QCOMPARE(o.text.section('\n', 1), causeShown ? cause : QString());
        QVERIFY(o.ok || !o.hadParent); // no main window yet to centre on
        QCOMPARE(TestSupport::callLog(false), calls);
    }

    // Without a cause from the library the refusal is its one line.
    void refusalWithoutCause()
    {
        BoxDouble::setResult("box_init", -2);
        const Outcome o = runChecks();
        QVERIFY(!o.ok && !o.text.isEmpty() && !o.text.contains('\n'));
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
            const Outcome o = runChecks(confirm);
            QCOMPARE(o.ok, confirm);
            QVERIFY2(o.text.contains("/box") && o.text.contains("sudo ") && o.text.contains(folder), qPrintable(o.text));
            QVERIFY(!o.text.contains(QString::fromStdString(libraryCause)));
            QCOMPARE(BoxRootSetting::stored().isEmpty(), !confirm);
            QCOMPARE(qEnvironmentVariable("BOX_SERVICE_ROOT").isEmpty(), !confirm);
        }
        QCOMPARE(BoxRootSetting::stored(), folder);
        QVERIFY(QFileInfo(folder).isDir());
        QSettings(QSettings::IniFormat, QSettings::UserScope, "vaultrane", "vaultrane").remove("boxes");
        qputenv("BOX_SERVICE_ROOT", testRoot);
        qunsetenv("XDG_DATA_HOME");
    }

    void styleSheetAndTranslator()
    {
        loadStyleSheet("blue.css");
        QVERIFY(!qApp->styleSheet().isEmpty());
        qApp->setStyleSheet(QString());
        if (!QFile::exists(QLibraryInfo::location(QLibraryInfo::TranslationsPath) + "/qt_zh_CN.qm"))
            QSKIP("Qt's Chinese translation is not installed");
        loadTranslator();
        QCOMPARE(QCoreApplication::translate("QPlatformTheme", "Cancel"), QString("取消"));
    }
};

QTEST_MAIN(TestStartup)
#include "test_startup.moc"
