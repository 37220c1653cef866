// The recovery key dialog, the forgot-password path of the password
// dialogs and the key shown once a box becomes encrypted, against the
// double's recovery functions.
#include "BoxPswLineEdit.h"
#include "BoxReasons.h"
#include "ClipboardWiper.h"
#include "CreateBoxLockedDialog.h"
#include "PasswordAuthenticDialog.h"
#include "PasswordPolicy.h"
#include "RecoveryKeyDialog.h"
#include "box_service_ext.h"
#include "boxdouble.h"
#include "testsupport.h"

#include <QClipboard>
#include <QGuiApplication>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTemporaryDir>
#include <QtTest>

#include <sys/stat.h>

using TestSupport::childWithText;

namespace {

const QString kKey = QString::fromLatin1(BoxDouble::kRecoveryKey);

// A key as the user would type it back: digits only, lower case.
QString typedBack(const QString &shown)
{
    QString key;
    for (QChar c : shown)
        if (c.isLetterOrNumber())
            key += c.toLower();
    return key;
}

// Whether one of the dialog's labels shows the key.
bool showsKey(QWidget *dialog)
{
    for (QLabel *label : dialog->findChildren<QLabel *>())
        if (typedBack(label->text()) == kKey)
            return true;
    return false;
}

BoxInfo box(const QString &name)
{
    BoxInfo info;
    info.name = name;
    info.owner = "tester";
    return info;
}

void click(QWidget *dialog, const QString &text)
{
    QTest::mouseClick(childWithText<QPushButton>(dialog, text), Qt::LeftButton);
}

} // namespace

class TestRecoveryDialogs : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase() { BoxDouble::offerRecovery(); }

    void init()
    {
        BoxDouble::reset();
        BoxDouble::addBox({"账本", "/box/tester/账本", "tester", BOX_FLAG_ENCRYPTED | BOX_FLAG_SELF});
        QGuiApplication::clipboard()->clear();
    }

    void cleanup()
    {
        QVERIFY(TestSupport::modalHandlersDone());
        QVERIFY(TestSupport::leftoverTopLevels().isEmpty());
    }

    // Saved, the key lands in a file only its owner can read, even one
    // that was open to others before; a failed save says so.
    void saveToFile()
    {
        QTemporaryDir dir;
        const QString path = dir.filePath("key.txt");
        QFile before(path);
        QVERIFY(before.open(QIODevice::WriteOnly));
        before.write("an older, longer text that must not survive the save\n");
        before.close();
        QVERIFY(QFile::setPermissions(path, QFile::ReadOwner | QFile::WriteOwner | QFile::ReadOther));

        RecoveryKeyDialog dialog("账本", SecretString(kKey));
        QVERIFY(dialog.saveTo(path));
        struct stat st;
        QCOMPARE(::stat(QFile::encodeName(path).constData(), &st), 0);
        QCOMPARE(int(st.st_mode & 0777), 0600);
        QFile saved(path);
        QVERIFY(saved.open(QIODevice::ReadOnly));
        const QString text = QString::fromUtf8(saved.readAll());
        QVERIFY(typedBack(text).contains(kKey));
        QVERIFY(!text.contains("older"));
        QVERIFY(!dialog.saveTo(dir.filePath("no-such-folder/key.txt")));
    }

    // Encrypting a plain box shows its key once. Copied, the key stays on
    // the clipboard for a minute and no longer, unless another program has
    // copied something since.
    void keyShownOnceWhenEncryptedAndCopied()
    {
        BoxDouble::setBoxes({{"账本", "/box/tester/账本", "tester", BOX_FLAG_PLAIN | BOX_FLAG_SELF}});
        auto *dialog = new CreateBoxLockedDialog(box("账本"));
        bool keyWasShown = false;
        QString copied;
        int keptMs = -1;
        QString afterWipe;
        TestSupport::onModals({
            [&](QWidget *shown) {
                for (QLineEdit *edit : shown->findChildren<QLineEdit *>())
                    QTest::keyClicks(edit, "Secret_9");
                click(shown, "确认");
            },
            [&](QWidget *shown) {
                keyWasShown = showsKey(shown);
                click(shown, "复制");
                copied = QGuiApplication::clipboard()->text();
                keptMs = ClipboardWiper::remainingMs();
                ClipboardWiper::wipeNow();
                afterWipe = QGuiApplication::clipboard()->text();
                click(shown, "复制");
                QGuiApplication::clipboard()->setText("other text");
                ClipboardWiper::wipeNow();
                click(shown, "完成");
            },
        });
        QCOMPARE(dialog->exec(), 1);
        QVERIFY(keyWasShown);
        QVERIFY(TestSupport::callLog().contains("box_crypto_recovery_key(账本,Secret_9|8)"));
        QCOMPARE(typedBack(copied), kKey);
        QVERIFY(keptMs > 0 && keptMs <= 60 * 1000);
        QCOMPARE(afterWipe, QString());
        QCOMPARE(QGuiApplication::clipboard()->text(), QString("other text"));
    }

    void forgotPassword_data()
    {
        QTest::addColumn<int>("mode"); // the password dialog's
        QTest::addColumn<QString>("key");
        QTest::addColumn<QString>("confirm");
        QTest::addColumn<int>("result"); // of box_crypto_recover
        QTest::addColumn<QString>("hint"); // shown in the forgot-password dialog, which stays
        QTest::addColumn<QString>("recoverCall");
        const QString call = "box_crypto_recover(账本,%1,New_pass1|9)";
        const int mount = PasswordAuthenticDialog::Mount;
        const int check = PasswordAuthenticDialog::CheckOnly;
        QTest::newRow("mount dialog, right key") << mount << "0123" << "New_pass1" << 0 << "" << call.arg("0123|4");
        QTest::newRow("wrong key") << mount << "ffff" << "New_pass1" << -2036
                                   << BoxReasons::text(BOX_REASON_BAD_RECOVERY_KEY) << call.arg("ffff|4");
        QTest::newRow("confirmation differs")
            << check << "0123" << "New_pass2" << 0
            << PasswordPolicy::text(PasswordPolicy::Problem::Mismatch, PasswordForm::Change) << "";
    }

    // 忘记密码？ asks for the key and a new password; the password dialog
    // stays open for the new password.
    void forgotPassword()
    {
        QFETCH(int, mode);
        QFETCH(QString, key);
        QFETCH(QString, confirm);
        QFETCH(int, result);
        QFETCH(QString, hint);
        QFETCH(QString, recoverCall);
        BoxDouble::setResult("box_crypto_recover", result);
        BoxDouble::setReason(result, BOX_REASON_BAD_RECOVERY_KEY);
        BoxInfo encrypted = box("账本");
        encrypted.encrypted = true;
        auto *dialog = new PasswordAuthenticDialog("保护箱已加密，请输入密码认证", encrypted, mode);
        bool hinted = false;
        bool passwordDialogStayed = false;
        QList<std::function<void(QWidget *)>> steps;
        steps << [&](QWidget *shown) {
            click(shown, "忘记密码？");
            passwordDialogStayed = shown->isVisible();
            click(shown, "取消");
        };
        steps << [&](QWidget *shown) {
            // The key first, then the new password and its confirmation.
            const QList<QLineEdit *> edits = shown->findChildren<QLineEdit *>();
            QTest::keyClicks(edits.at(0), key);
            QTest::keyClicks(shown->findChild<BoxPswLineEdit *>(), "New_pass1");
            for (QLineEdit *edit : edits)
                if (edit != edits.at(0) && !qobject_cast<BoxPswLineEdit *>(edit))
                    QTest::keyClicks(edit, confirm);
            click(shown, "确认");
            TestSupport::waitForBoxWork();
            if (!hint.isEmpty()) {
                hinted = TestSupport::hintShows(shown, hint) && shown->isVisible();
                click(shown, "取消");
            }
        };
        if (hint.isEmpty())
            steps << [](QWidget *message) { TestSupport::answerMessage(message); };
        TestSupport::onModals(steps);
        QCOMPARE(dialog->exec(), 0);
        QVERIFY(passwordDialogStayed);
        QCOMPARE(hinted, !hint.isEmpty());
        QCOMPARE(TestSupport::callLog(), recoverCall);
    }
};

QTEST_MAIN(TestRecoveryDialogs)
#include "test_recoverydialogs.moc"
