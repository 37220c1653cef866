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

// A key as the user would type it back: digits only, lower case.
QString typedBack(const QString &shown)
{
    QString key;
    for (QChar c : shown)
        if (c.isLetterOrNumber())
            key += c.toLower();
    return key;
}

// The label that shows the key: the one whose text types back to it.
QLabel *keyLabel(QWidget *dialog)
{
    for (QLabel *label : dialog->findChildren<QLabel *>())
        if (typedBack(label->text()) == QLatin1String(BoxDouble::kRecoveryKey))
            return label;
    return nullptr;
}

BoxInfo encryptedBox()
{
    BoxInfo box;
    box.name = "账本";
    box.owner = "tester";
    box.encrypted = 1;
    return box;
}

} // namespace

class TestRecoveryDialogs : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase() { BoxDouble::offerRecovery(); }

    void init()
    {
        TestSupport::resetDouble();
        BoxDouble::addBox({"账本", "/box/tester/账本", "tester", BOX_FLAG_ENCRYPTED | BOX_FLAG_SELF});
        QGuiApplication::clipboard()->clear();
    }

    void cleanup()
    {
        QVERIFY(TestSupport::modalHandlersDone());
        QVERIFY(TestSupport::leftoverTopLevels().isEmpty());
    }

    // The key is shown in short groups on a few lines; copied, it stays on
    // the clipboard for a minute and no longer, unless another program has
    // copied something since.
    void clipboard()
    {
        for (const QString &copiedSince : {QString(), QString("other text")}) {
            auto *dialog = new RecoveryKeyDialog("账本", SecretString(QString::fromLatin1(BoxDouble::kRecoveryKey)));
            QString shown;
            QString copied;
            int keptMs = -1;
            TestSupport::onNextModal([&](QWidget *d) {
                QLabel *label = keyLabel(d);
                shown = label ? label->text() : QString();
                QTest::mouseClick(childWithText<QPushButton>(d, "复制"), Qt::LeftButton);
                copied = QGuiApplication::clipboard()->text();
                keptMs = ClipboardWiper::remainingMs();
                QTest::mouseClick(childWithText<QPushButton>(d, "完成"), Qt::LeftButton);
            });
            QCOMPARE(dialog->exec(), 1);
            QVERIFY(shown.count(QLatin1Char('\n')) >= 2);
            for (const QString &line : shown.split(QLatin1Char('\n')))
                QVERIFY(line.size() <= 20);
            QCOMPARE(typedBack(copied), QString::fromLatin1(BoxDouble::kRecoveryKey));
            QVERIFY(keptMs > 0 && keptMs <= 60 * 1000);

            if (!copiedSince.isEmpty())
                QGuiApplication::clipboard()->setText(copiedSince);
            ClipboardWiper::wipeNow();
            QCOMPARE(QGuiApplication::clipboard()->text(), copiedSince);
        }
    }

    // Saved, the key lands in a file only its owner can read, even one
    // that was open to others before.
    void saveToFile()
    {
        QTemporaryDir dir;
        const QString path = dir.filePath("key.txt");
        QFile before(path);
        QVERIFY(before.open(QIODevice::WriteOnly));
        before.write("an older, longer text that must not survive the save\n");
        before.close();
        QVERIFY(QFile::setPermissions(path, QFile::ReadOwner | QFile::WriteOwner | QFile::ReadOther));

        RecoveryKeyDialog dialog("账本", SecretString(QString::fromLatin1(BoxDouble::kRecoveryKey)));
        QVERIFY(dialog.saveTo(path));
        struct stat st;
        QCOMPARE(::stat(QFile::encodeName(path).constData(), &st), 0);
        QCOMPARE(int(st.st_mode & 0777), 0600);
        QFile saved(path);
        QVERIFY(saved.open(QIODevice::ReadOnly));
        const QString text = QString::fromUtf8(saved.readAll());
        QVERIFY(typedBack(text).contains(QLatin1String(BoxDouble::kRecoveryKey)));
        QVERIFY(!text.contains("older"));
        QVERIFY(!dialog.saveTo(dir.filePath("no-such-folder/key.txt")));
    }

    // Encrypting a plain box shows its key once, then the dialog closes.
    void keyShownOnceWhenEncrypted()
    {
        BoxDouble::setBoxes({{"账本", "/box/tester/账本", "tester", BOX_FLAG_PLAIN | BOX_FLAG_SELF}});
        BoxInfo box;
        box.name = "账本";
        box.owner = "tester";
        auto *dialog = new CreateBoxLockedDialog(box);
        QString keyShown;
        TestSupport::onModals({
            [&](QWidget *d) {
                for (QLineEdit *edit : d->findChildren<QLineEdit *>())
                    QTest::keyClicks(edit, "Secret_9");
                QTest::mouseClick(childWithText<QPushButton>(d, "确认"), Qt::LeftButton);
            },
            [&](QWidget *d) {
                QLabel *label = keyLabel(d);
                keyShown = label ? typedBack(label->text()) : QString();
                QTest::mouseClick(childWithText<QPushButton>(d, "完成"), Qt::LeftButton);
            },
        });
        QCOMPARE(dialog->exec(), 1);
        QCOMPARE(keyShown, QString::fromLatin1(BoxDouble::kRecoveryKey));
        QVERIFY(TestSupport::callLog().contains("box_crypto_recovery_key(账本,Secret_9|8)"));
    }

    void forgotPassword_data()
    {
        QTest::addColumn<int>("mode"); // the password dialog's: 0 checks, 1 mounts
        QTest::addColumn<QString>("key");
        QTest::addColumn<QString>("confirm");
        QTest::addColumn<int>("result"); // of box_crypto_recover
        QTest::addColumn<QString>("hint");  // shown in the forgot-password dialog, which stays
        QTest::addColumn<QString>("recoverCall");
        const QString call = "box_crypto_recover(账本,%1,New_pass1|9)";
        QTest::newRow("mount dialog, right key") << 1 << "0123" << "New_pass1" << 0 << "" << call.arg("0123|4");
        QTest::newRow("wrong key") << 1 << "ffff" << "New_pass1" << -2036 << BoxReasons::text(BOX_REASON_BAD_RECOVERY_KEY)
                                   << call.arg("ffff|4");
        QTest::newRow("confirmation differs") << 0 << "0123" << "New_pass2" << 0
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
        auto *dialog = new PasswordAuthenticDialog("保护箱已加密，请输入密码认证", encryptedBox(), mode);
        bool hinted = false;
        bool passwordDialogStayed = false;
        QList<std::function<void(QWidget *)>> steps;
        steps << [&](QWidget *d) {
            QTest::mouseClick(childWithText<QPushButton>(d, "忘记密码？"), Qt::LeftButton);
            passwordDialogStayed = d->isVisible();
            QTest::mouseClick(childWithText<QPushButton>(d, "取消"), Qt::LeftButton);
        };
        steps << [&](QWidget *d) {
            const QList<QLineEdit *> edits = d->findChildren<QLineEdit *>();
            QCOMPARE(edits.size(), 3);
            QTest::keyClicks(edits.at(0), key);
            QTest::keyClicks(d->findChild<BoxPswLineEdit *>(), "New_pass1");
            for (QLineEdit *edit : edits)
                if (edit != edits.at(0) && !qobject_cast<BoxPswLineEdit *>(edit))
                    QTest::keyClicks(edit, confirm);
            QTest::mouseClick(childWithText<QPushButton>(d, "确认"), Qt::LeftButton);
            TestSupport::waitForBoxWork();
            if (!hint.isEmpty()) {
                hinted = TestSupport::hintShows(d, hint) && d->isVisible();
                QTest::mouseClick(childWithText<QPushButton>(d, "取消"), Qt::LeftButton);
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
