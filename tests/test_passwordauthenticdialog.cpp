#include "PasswordAuthenticDialog.h"

#include "BoxPswLineEdit.h"
#include "TitleBar.h"
#include "boxdouble.h"
#include "testsupport.h"

#include <QLabel>
#include <QPointer>
#include <QPushButton>
#include <QtTest>

using TestSupport::childWithText;

namespace {

const char *const kPrompt = "保护箱已加密，请输入密码认证";

BoxInfo encryptedBox()
{
    BoxInfo box;
    box.name = "账本";
    box.owner = "alice";
    box.path = "/box/alice/账本";
    box.encrypted = 1;
    return box;
}

BoxPswLineEdit *pswEdit(QWidget *dialog) { return dialog->findChild<BoxPswLineEdit *>(); }

QPushButton *okButton(QWidget *dialog) { return childWithText<QPushButton>(dialog, "确认"); }

// The red hint line shows exactly `text`.
bool hintShows(QWidget *dialog, const QString &text)
{
    QLabel *hint = childWithText<QLabel>(dialog, text);
    return hint && hint->isVisible();
}

void typeAndConfirm(QWidget *dialog, const QString &password)
{
    QTest::keyClicks(pswEdit(dialog), password);
    QTest::mouseClick(okButton(dialog), Qt::LeftButton);
}

} // namespace

class TestPasswordAuthenticDialog : public QObject
{
    Q_OBJECT

private slots:
    void init() { TestSupport::resetDouble(); }

    void cleanup()
    {
        QVERIFY(TestSupport::modalHandlersDone());
        QVERIFY(TestSupport::leftoverTopLevels().isEmpty());
    }

    void titleHeadingAndBoxLine_data()
    {
        QTest::addColumn<int>("mode");
        QTest::addColumn<QString>("title");
        QTest::newRow("check") << 0 << "密码认证";
        QTest::newRow("mount") << 1 << "保护箱挂载";
    }

    void titleHeadingAndBoxLine()
    {
        QFETCH(int, mode);
        QFETCH(QString, title);
        auto *dialog = new PasswordAuthenticDialog(kPrompt, encryptedBox(), mode);
        QPointer<PasswordAuthenticDialog> guard(dialog);
        QCOMPARE(dialog->findChild<TitleBar *>()->m_pTitleLabel->text(), title);
        QVERIFY(childWithText<QLabel>(dialog, kPrompt));
        QVERIFY(childWithText<QLabel>(dialog, "保护箱: 账本"));
        QCOMPARE(dialog->size(), QSize(540, 260));
        QCOMPARE(dialog->windowFlags(), Qt::Tool | Qt::FramelessWindowHint);
        QCOMPARE(dialog->focusWidget(), static_cast<QWidget *>(pswEdit(dialog)));
        QCOMPARE(pswEdit(dialog)->maxLength(), 32);
        dialog->close(); // never shown: closing deletes it
        QTRY_VERIFY(guard.isNull());
    }

    void emptyPasswordMakesNoLibraryCall_data()
    {
        QTest::addColumn<int>("mode");
        QTest::newRow("check") << 0;
        QTest::newRow("mount") << 1;
    }

    void emptyPasswordMakesNoLibraryCall()
    {
        QFETCH(int, mode);
        bool hinted = false;
        TestSupport::onNextModal([&](QWidget *d) {
            QTest::mouseClick(okButton(d), Qt::LeftButton);
            hinted = hintShows(d, "密码不可为空");
            QTest::mouseClick(childWithText<QPushButton>(d, "取消"), Qt::LeftButton);
        });
        QCOMPARE((new PasswordAuthenticDialog(kPrompt, encryptedBox(), mode))->exec(), 0);
        QVERIFY(hinted);
        QVERIFY(BoxDouble::calls().empty());
    }

    void wrongPasswordKeepsDialogOpen_data()
    {
        QTest::addColumn<int>("mode");
        QTest::addColumn<QString>("func");
        QTest::addColumn<QString>("hint");
        QTest::newRow("check") << 0 << "box_crypto_verify_passphrase" << "密码认证失败，请确认密码后重新认证";
        QTest::newRow("mount") << 1 << "box_crypto_mount" << "保护箱挂载失败，请检查";
    }

    void wrongPasswordKeepsDialogOpen()
    {
        QFETCH(int, mode);
        QFETCH(QString, func);
        QFETCH(QString, hint);
        BoxDouble::setResult(func.toStdString(), -13);
        bool hinted = false, kept = false, stillOpen = false;
        TestSupport::onNextModal([&](QWidget *d) {
            typeAndConfirm(d, "Wrong_1");
            hinted = hintShows(d, hint);
            kept = pswEdit(d)->text() == "Wrong_1";
            stillOpen = d->isVisible();
            QTest::keyClick(d, Qt::Key_Escape);
        });
        QCOMPARE((new PasswordAuthenticDialog(kPrompt, encryptedBox(), mode))->exec(), 0);
        QVERIFY(hinted);
        QVERIFY(kept);
        QVERIFY(stillOpen);
        QCOMPARE(BoxDouble::callCount(func.toStdString()), 1);
    }

    void checkModeVerifiesTheBoxPassword()
    {
        TestSupport::onNextModal([](QWidget *d) { typeAndConfirm(d, "Secret_9"); });
        QCOMPARE((new PasswordAuthenticDialog(kPrompt, encryptedBox(), 0))->exec(), 1);
        const auto calls = BoxDouble::calls();
        QCOMPARE(calls.size(), size_t(1));
        QCOMPARE(calls[0].func, std::string("box_crypto_verify_passphrase"));
        QCOMPARE(calls[0].args, (std::vector<std::string>{"账本", "Secret_9|8"}));
    }

    void mountModeMountsWithOwnerNameAndPassword()
    {
        // A second try after a failure is allowed and reaches the library again.
        BoxDouble::failNthCall("box_crypto_mount", 1, -5);
        TestSupport::onNextModal([](QWidget *d) {
            typeAndConfirm(d, "first");
            QTest::mouseClick(pswEdit(d), Qt::LeftButton);
            pswEdit(d)->clear();
            typeAndConfirm(d, "Zweite_2");
        });
        QCOMPARE((new PasswordAuthenticDialog(kPrompt, encryptedBox(), 1))->exec(), 1);
        const auto calls = BoxDouble::calls();
        QCOMPARE(calls.size(), size_t(2));
        QCOMPARE(calls[1].func, std::string("box_crypto_mount"));
        QCOMPARE(calls[1].args, (std::vector<std::string>{"alice", "账本", "Zweite_2|8"}));
        QCOMPARE(BoxDouble::callCount("box_crypto_verify_passphrase"), 0);
    }

    void pressIntoEditHidesHintTypingDoesNot()
    {
        bool afterTyping = false, afterPress = true;
        TestSupport::onNextModal([&](QWidget *d) {
            QTest::mouseClick(okButton(d), Qt::LeftButton);
            QTest::keyClicks(pswEdit(d), "abc");
            afterTyping = hintShows(d, "密码不可为空");
            QTest::mouseClick(pswEdit(d), Qt::LeftButton);
            afterPress = hintShows(d, "密码不可为空");
            d->close();
        });
        QCOMPARE((new PasswordAuthenticDialog(kPrompt, encryptedBox(), 0))->exec(), 0);
        QVERIFY(afterTyping);
        QVERIFY(!afterPress);
    }

    void enterInTheEditConfirms()
    {
        TestSupport::onNextModal([](QWidget *d) {
            QTest::keyClicks(pswEdit(d), "Secret_9");
            QTest::keyClick(pswEdit(d), Qt::Key_Return);
        });
        QCOMPARE((new PasswordAuthenticDialog(kPrompt, encryptedBox(), 0))->exec(), 1);
        QCOMPARE(BoxDouble::callCount("box_crypto_verify_passphrase"), 1);
    }

    void closeButtonAndEscapeReject_data()
    {
        QTest::addColumn<bool>("useEscape");
        QTest::newRow("close button") << false;
        QTest::newRow("escape") << true;
    }

    void closeButtonAndEscapeReject()
    {
        QFETCH(bool, useEscape);
        TestSupport::onNextModal([=](QWidget *d) {
            QTest::keyClicks(pswEdit(d), "Secret_9");
            if (useEscape)
                QTest::keyClick(pswEdit(d), Qt::Key_Escape);
            else
                QTest::mouseClick(d->findChild<TitleBar *>()->m_pCloseBtn, Qt::LeftButton);
        });
        QCOMPARE((new PasswordAuthenticDialog(kPrompt, encryptedBox(), 1))->exec(), 0);
        QVERIFY(BoxDouble::calls().empty());
    }

    void passwordIsClearedWhenTheDialogCloses_data()
    {
        QTest::addColumn<int>("result");
        QTest::newRow("accepted") << 1;
        QTest::newRow("rejected after a failure") << 0;
    }

    void passwordIsClearedWhenTheDialogCloses()
    {
        QFETCH(int, result);
        if (result == 0)
            BoxDouble::setResult("box_crypto_verify_passphrase", -13);
        auto *dialog = new PasswordAuthenticDialog(kPrompt, encryptedBox(), 0);
        QPointer<QLineEdit> edit = pswEdit(dialog);
        bool finished = false;
        QString leftInEdit = "not checked";
        connect(dialog, &QDialog::finished, this, [&] {
            finished = true;
            leftInEdit = edit ? edit->text() : QString("edit gone");
        });
        TestSupport::onNextModal([](QWidget *d) {
            typeAndConfirm(d, "Secret_9");
            if (d->isVisible())
                d->close();
        });
        QCOMPARE(dialog->exec(), result);
        QVERIFY(finished);
        QCOMPARE(leftInEdit, QString());
        QVERIFY(edit.isNull());
    }
};

QTEST_MAIN(TestPasswordAuthenticDialog)
#include "test_passwordauthenticdialog.moc"
