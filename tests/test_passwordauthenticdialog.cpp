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
        bool hinted = false, kept = false;
        TestSupport::onNextModal([&](QWidget *d) {
            QTest::keyClicks(pswEdit(d), password);
            QTest::mouseClick(childWithText<QPushButton>(d, "确认"), Qt::LeftButton);
            hinted = hintShows(d, hint) && d->isVisible();
            kept = pswEdit(d)->text() == password;
            // A press into the edit hides the hint.
            QTest::mouseClick(pswEdit(d), Qt::LeftButton);
            hinted = hinted && !hintShows(d, hint);
            QTest::mouseClick(childWithText<QPushButton>(d, "取消"), Qt::LeftButton);
        });
        QCOMPARE((new PasswordAuthenticDialog(kPrompt, encryptedBox(), mode))->exec(), 0);
        QVERIFY(hinted);
        QVERIFY(kept);
        // An empty password never reaches the library.
        QCOMPARE(BoxDouble::calls().size(), password.isEmpty() ? size_t(0) : size_t(1));
        QCOMPARE(BoxDouble::callCount(func.toStdString()), password.isEmpty() ? 0 : 1);
    }

    void endings_data()
    {
        QTest::addColumn<int>("mode");
        QTest::addColumn<QString>("how");
        QTest::addColumn<int>("result");
        QTest::addColumn<QString>("func");
        QTest::addColumn<QStringList>("args");
        QTest::newRow("check, Enter") << 0 << "enter" << 1 << "box_crypto_verify_passphrase"
                                      << QStringList{"账本", "Secret_9|8"};
        // Mounting makes no separate check first.
        QTest::newRow("mount, Enter") << 1 << "enter" << 1 << "box_crypto_mount"
                                      << QStringList{"alice", "账本", "Secret_9|8"};
        QTest::newRow("close button") << 1 << "close" << 0 << "" << QStringList();
        QTest::newRow("Escape") << 1 << "escape" << 0 << "" << QStringList();
    }

    // However the dialog ends, the password edit is empty before it goes.
    void endings()
    {
        QFETCH(int, mode);
        QFETCH(QString, how);
        QFETCH(int, result);
        QFETCH(QString, func);
        QFETCH(QStringList, args);
        auto *dialog = new PasswordAuthenticDialog(kPrompt, encryptedBox(), mode);
        QPointer<QLineEdit> edit = pswEdit(dialog);
        QString leftInEdit = "not checked";
        connect(dialog, &QDialog::finished, this, [&] { leftInEdit = edit ? edit->text() : "gone"; });
        TestSupport::onNextModal([&](QWidget *d) {
            QTest::keyClicks(pswEdit(d), "Secret_9");
            if (how == "enter")
                QTest::keyClick(pswEdit(d), Qt::Key_Return);
            else if (how == "close")
                QTest::mouseClick(d->findChild<TitleBar *>()->m_pCloseBtn, Qt::LeftButton);
            else
                QTest::keyClick(pswEdit(d), Qt::Key_Escape);
        });
        QCOMPARE(dialog->exec(), result);
        QCOMPARE(leftInEdit, QString(""));
        QVERIFY(edit.isNull());
        QStringList calls;
        for (const auto &call : BoxDouble::calls()) {
            calls << QString::fromStdString(call.func);
            for (const auto &a : call.args)
                calls << QString::fromStdString(a);
        }
        QCOMPARE(calls, func.isEmpty() ? QStringList() : QStringList{func} + args);
    }
};

QTEST_MAIN(TestPasswordAuthenticDialog)
#include "test_passwordauthenticdialog.moc"
