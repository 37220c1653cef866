// Start-up: style sheet, translator and the refusals before the main window.
#include "BoxRootSetting.h"
#include "MessageBox.h"
#include "Startup.h"
#include "TitleBar.h"
#include "boxdouble.h"
#include "testsupport.h"

#include <QLabel>
#include <QtTest>

namespace {
uid_t g_loginUid = 1000;
uid_t g_effectiveUid = 1000;
uid_t fakeLoginUid() { return g_loginUid; }
uid_t fakeEffectiveUid() { return g_effectiveUid; }

StartupEnvironment fakeEnvironment()
{
    StartupEnvironment env; // box_* come from the test double
    env.loginUid = fakeLoginUid;
    env.effectiveUid = fakeEffectiveUid;
    return env;
}

// Runs the checks, answering the refusal message (if any) with 确认, and
// returns the message's text ("" when none was shown) and title.
struct Outcome {
    bool ok = false;
    QString text;
    QString title;
    bool hadParent = true;
};

enum class Answer { Confirm, Close };

Outcome runChecks(Answer answer = Answer::Confirm)
{
    Outcome out;
    TestSupport::onNextModal([&](QWidget *w) {
        auto *box = qobject_cast<MessageBox *>(w);
        if (!box) {
            w->close();
            return;
        }
        for (QLabel *l : box->findChildren<QLabel *>())
            if (l->wordWrap())
                out.text = l->text();
        out.title = box->findChild<TitleBar *>()->m_pTitleLabel->text();
        out.hadParent = box->parentWidget() != nullptr;
        if (answer == Answer::Confirm)
            QTest::keyClick(box, Qt::Key_Return);
        else
            TestSupport::pressClose(box);
    }, 1000);
    out.ok = checkStartup(fakeEnvironment());
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
        QVERIFY(TestSupport::modalHandlersDone());
        QTRY_VERIFY(TestSupport::leftoverTopLevels().isEmpty());
    }

    // The box service is checked in order, box_init only after box_enabled;
    // where the library says why boxes are unavailable, the refusal gains a
    // second line with that cause and its fix.
    void boxServiceChecks_data()
    {
        QTest::addColumn<QString>("failing");
        QTest::addColumn<QString>("cause");
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("calls");
        const QString cause = "The box folder /box does not exist and cannot be created by this account.";
        const QString noSupport = "当前系统不支持Venmora文件保护箱相关功能！";
        const QString initFailed = "初始化Venmora文件保护箱模块失败！";
        QTest::newRow("all is well") << "" << "" << "" << "box_enabled box_init";
        QTest::newRow("no box support, cause known") << "box_enabled" << cause << noSupport + "\n" + cause << "box_enabled";
        QTest::newRow("no box support, cause unknown") << "box_enabled" << "" << noSupport << "box_enabled";
        QTest::newRow("init fails, cause known") << "box_init" << cause << initFailed + "\n" + cause
                                                 << "box_enabled box_init";
        QTest::newRow("init fails, cause unknown") << "box_init" << "" << initFailed << "box_enabled box_init";
    }

    void boxServiceChecks()
    {
        QFETCH(QString, failing);
        QFETCH(QString, cause);
        QFETCH(QString, text);
        QFETCH(QString, calls);
        if (!failing.isEmpty())
            BoxDouble::setResult(failing.toStdString(), failing == "box_enabled" ? 0 : -2);
        BoxDouble::setUnavailableReason(cause.toStdString());
        Outcome o = runChecks();
        QCOMPARE(o.ok, failing.isEmpty());
        QCOMPARE(o.text, text);
        QVERIFY(o.ok || !o.hadParent); // no main window yet to centre on
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

        for (const Answer answer : {Answer::Close, Answer::Confirm}) {
            BoxDouble::reset();
            BoxDouble::failNthCall("box_enabled", 1, 0);
            BoxDouble::setUnavailableCode(int(ServiceUnavailable::Cause::RootMissing));
            BoxDouble::setUnavailableReason(libraryCause);
            const Outcome o = runChecks(answer);
            QCOMPARE(o.ok, answer == Answer::Confirm);
            QVERIFY2(o.text.contains("/box") && o.text.contains("sudo ") && o.text.contains(folder), qPrintable(o.text));
            QVERIFY(!o.text.contains(QString::fromStdString(libraryCause)));
            QCOMPARE(BoxRootSetting::stored().isEmpty(), answer == Answer::Close);
            QCOMPARE(qEnvironmentVariable("BOX_SERVICE_ROOT").isEmpty(), answer == Answer::Close);
        }
        QCOMPARE(BoxRootSetting::stored(), folder);
        QVERIFY(QFileInfo(folder).isDir());
        QSettings(QSettings::IniFormat, QSettings::UserScope, "vaultrane", "vaultrane").remove("boxes");
        qputenv("BOX_SERVICE_ROOT", testRoot);
        qunsetenv("XDG_DATA_HOME");
    }

    // The su/sudo refusal has nothing to do with the box service: no cause
    // line even when the library has one (for instance a missing tool).
    void refusesSuAndSudo_data()
    {
        QTest::addColumn<uint>("loginUid");
        QTest::addColumn<uint>("effectiveUid");
        QTest::addColumn<bool>("ok");
        QTest::newRow("sudo from a user") << 1000u << 0u << false;
        QTest::newRow("su to another user") << 1000u << 1001u << false;
        QTest::newRow("no login uid") << uint(-1) << 1000u << false;
        QTest::newRow("root from a root login") << 0u << 0u << true;
    }

    void refusesSuAndSudo()
    {
        QFETCH(uint, loginUid);
        QFETCH(uint, effectiveUid);
        QFETCH(bool, ok);
        g_loginUid = loginUid;
        g_effectiveUid = effectiveUid;
        BoxDouble::setUnavailableReason("Encrypted boxes are unavailable: gocryptfs is not installed.");
        Outcome o = runChecks();
        QCOMPARE(o.ok, ok);
        if (!ok)
            QCOMPARE(o.text, QString("请勿使用su、sudo运行Venmora文件保护箱！"));
    }

    void styleSheetAndPaletteAreApplied()
    {
        loadStyleSheet("blue.css");
        QFile css(":/images/style/blue.css");
        QVERIFY(css.open(QIODevice::ReadOnly));
        QCOMPARE(qApp->styleSheet(), QString::fromLatin1(css.readAll()));

        loadStyleSheet("missing.css");
        QVERIFY(qApp->styleSheet().isEmpty());
        qApp->setStyleSheet(QString());
    }

    void translatorShowsQtTextsInChinese()
    {
        if (!QFile::exists(QLibraryInfo::location(QLibraryInfo::TranslationsPath) + "/qt_zh_CN.qm"))
            QSKIP("Qt's Chinese translation is not installed");
        loadTranslator();
        QCOMPARE(QCoreApplication::translate("QPlatformTheme", "Cancel"), QString("取消"));
    }
};

QTEST_MAIN(TestStartup)
#include "test_startup.moc"
