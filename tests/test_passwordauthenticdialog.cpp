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
    box.encrypted = 1;
    return box;
}

BoxPswLineEdit *pswEdit(QWidget *d) { return d->findChild<BoxPswLineEdit *>(); }

bool hintShows(QWidget *d, const QString &text)
{
    QLabel *hint = childWithText<QLabel>(d, text);
    return hint && hint->isVisible();
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

    void titleFollowsMode_data()
    {
        QTest::addColumn<int>("mode");
        QTest::addColumn<QString>("title");
        QTest::newRow("check") << 0 << "密码认证";
        QTest::newRow("mount") << 1 << "保护箱挂载";
    }

    void titleFollowsMode()
    {
        QFETCH(int, mode);
        QFETCH(QString, title);
        auto *d = new PasswordAuthenticDialog(kPrompt, encryptedBox(), mode);
        QCOMPARE(d->findChild<TitleBar *>()->m_pTitleLabel->text(), title);
        QVERIFY(childWithText<QLabel>(d, kPrompt));
        QVERIFY(childWithText<QLabel>(d, "保护箱: 账本"));
        QCOMPARE(d->focusWidget(), static_cast<QWidget *>(pswEdit(d)));
        delete d;
    }

    void failureShowsHintAndKeepsDialogOpen_data()
    {
        QTest::addColumn<int>("mode");
        QTest::addColumn<QString>("password");
        QTest::addColumn<QString>("func");
        QTest::addColumn<QString>("hint");
        QTest::newRow("check, empty") << 0 << "" << "box_crypto_verify_passphrase" << "密码不可为空";
        QTest::newRow("mount, empty") << 1 << "" << "box_crypto_mount" << "密码不可为空";
        QTest::newRow("check, wrong") << 0 << "Wrong_1" << "box_crypto_verify_passphrase"
                                      << "密码认证失败，请确认密码后重新认证";
        QTest::newRow("mount, failed") << 1 << "Wrong_1" << "box_crypto_mount" << "保护箱挂载失败，请检查";
    }

    void failureShowsHintAndKeepsDialogOpen()
    {
        QFETCH(int, mode);
        QFETCH(QString, password);
        QFETCH(QString, func);
        QFETCH(QString, hint);
        BoxDouble::setResult(func.toStdString(), -13);
        bool hinted = false, kept = false, shownWhileTyping = false, shownAfterPress = true;
        TestSupport::onNextModal([&](QWidget *d) {
            QTest::keyClicks(pswEdit(d), password);
            QTest::mouseClick(childWithText<QPushButton>(d, "确认"), Qt::LeftButton);
            hinted = hintShows(d, hint) && d->isVisible();
            kept = pswEdit(d)->text() == password;
            QTest::keyClicks(pswEdit(d), "x");
            shownWhileTyping = hintShows(d, hint);
            QTest::mouseClick(pswEdit(d), Qt::LeftButton);
            shownAfterPress = hintShows(d, hint);
            QTest::mouseClick(childWithText<QPushButton>(d, "取消"), Qt::LeftButton);
        });
        QCOMPARE((new PasswordAuthenticDialog(kPrompt, encryptedBox(), mode))->exec(), 0);
        QVERIFY(hinted);
        QVERIFY(kept);
        QVERIFY(shownWhileTyping);
        QVERIFY(!shownAfterPress);
        QCOMPARE(BoxDouble::callCount(func.toStdString()), password.isEmpty() ? 0 : 1);
        QCOMPARE(BoxDouble::calls().size(), password.isEmpty() ? size_t(0) : size_t(1));
    }

    void enterHandsThePasswordToTheLibrary_data()
    {
        QTest::addColumn<int>("mode");
        QTest::addColumn<QString>("func");
        QTest::addColumn<QStringList>("args");
        QTest::newRow("check") << 0 << "box_crypto_verify_passphrase" << QStringList{"账本", "Secret_9|8"};
        QTest::newRow("mount") << 1 << "box_crypto_mount" << QStringList{"alice", "账本", "Secret_9|8"};
    }

    void enterHandsThePasswordToTheLibrary()
    {
        QFETCH(int, mode);
        QFETCH(QString, func);
        QFETCH(QStringList, args);
        TestSupport::onNextModal([](QWidget *d) {
            QTest::keyClicks(pswEdit(d), "Secret_9");
            QTest::keyClick(pswEdit(d), Qt::Key_Return);
        });
        QCOMPARE((new PasswordAuthenticDialog(kPrompt, encryptedBox(), mode))->exec(), 1);
        const auto calls = BoxDouble::calls();
        QCOMPARE(calls.size(), size_t(1)); // mounting makes no separate check first
        QCOMPARE(QString::fromStdString(calls[0].func), func);
        QStringList got;
        for (const auto &a : calls[0].args)
            got << QString::fromStdString(a);
        QCOMPARE(got, args);
    }

    void passwordIsWipedHoweverTheDialogEnds_data()
    {
        QTest::addColumn<QString>("how");
        QTest::addColumn<int>("result");
        QTest::newRow("accepted") << "ok" << 1;
        QTest::newRow("close button") << "close" << 0;
        QTest::newRow("escape") << "escape" << 0;
    }

    void passwordIsWipedHoweverTheDialogEnds()
    {
        QFETCH(QString, how);
        QFETCH(int, result);
        auto *dialog = new PasswordAuthenticDialog(kPrompt, encryptedBox(), 1);
        QPointer<QLineEdit> edit = pswEdit(dialog);
        QString leftInEdit = "not checked";
        connect(dialog, &QDialog::finished, this, [&] { leftInEdit = edit ? edit->text() : "gone"; });
        TestSupport::onNextModal([&](QWidget *d) {
            QTest::keyClicks(pswEdit(d), "Secret_9");
            if (how == "ok")
                QTest::mouseClick(childWithText<QPushButton>(d, "确认"), Qt::LeftButton);
            else if (how == "close")
                QTest::mouseClick(d->findChild<TitleBar *>()->m_pCloseBtn, Qt::LeftButton);
            else
                QTest::keyClick(pswEdit(d), Qt::Key_Escape);
        });
        QCOMPARE(dialog->exec(), result);
        QCOMPARE(leftInEdit, QString(""));
        QVERIFY(edit.isNull());
        QCOMPARE(BoxDouble::calls().size(), size_t(result));
    }
};

QTEST_MAIN(TestPasswordAuthenticDialog)
#include "test_passwordauthenticdialog.moc"
