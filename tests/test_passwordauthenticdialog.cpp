#include "PasswordAuthenticDialog.h"

#include "BoxPswLineEdit.h"
#include "boxdouble.h"
#include "testsupport.h"

#include <QPointer>
#include <QPushButton>
#include <QtTest>

using TestSupport::childWithText;

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

    void endings_data()
    {
        QTest::addColumn<int>("mode"); // 0 checks the password, 1 mounts with it
        QTest::addColumn<QString>("password");
        QTest::addColumn<bool>("fails");
        QTest::addColumn<QString>("how");
        QTest::addColumn<QString>("hint"); // shown after 确认; the dialog then stays open
        QTest::addColumn<QString>("calls");
        const QString check = "box_crypto_verify_passphrase(账本,%1)", mount = "box_crypto_mount(alice,账本,%1)";
        QTest::newRow("check, empty") << 0 << "" << false << "确认" << "密码不可为空" << "";
        QTest::newRow("mount, empty") << 1 << "" << false << "确认" << "密码不可为空" << "";
        QTest::newRow("check, wrong") << 0 << "Wrong_1" << true << "确认" << "密码认证失败，请确认密码后重新认证"
                                      << check.arg("Wrong_1|7");
        QTest::newRow("mount fails") << 1 << "Wrong_1" << true << "确认" << "保护箱挂载失败，请检查"
                                     << mount.arg("Wrong_1|7");
        QTest::newRow("check, Enter") << 0 << "Secret_9" << false << "enter" << "" << check.arg("Secret_9|8");
        // Mounting makes no separate check first.
        QTest::newRow("mount, Enter") << 1 << "Secret_9" << false << "enter" << "" << mount.arg("Secret_9|8");
        QTest::newRow("close button") << 1 << "Secret_9" << false << "close" << "" << "";
        QTest::newRow("Escape") << 1 << "Secret_9" << false << "escape" << "" << "";
    }

    // However the dialog ends, the password edit is empty before it goes.
    void endings()
    {
        QFETCH(int, mode);
        QFETCH(QString, password);
        QFETCH(bool, fails);
        QFETCH(QString, how);
        QFETCH(QString, hint);
        QFETCH(QString, calls);
        if (fails)
            BoxDouble::setResult(mode ? "box_crypto_mount" : "box_crypto_verify_passphrase", -13);
        BoxInfo box;
        box.name = "账本";
        box.owner = "alice";
        box.encrypted = true;
        auto *dialog = new PasswordAuthenticDialog("保护箱已加密，请输入密码认证", box, mode);
        QPointer<BoxPswLineEdit> edit = dialog->findChild<BoxPswLineEdit *>();
        QString leftInEdit = "not checked";
        connect(dialog, &QDialog::finished, this, [&] { leftInEdit = edit ? edit->text() : "gone"; });
        bool hinted = false;
        TestSupport::onNextModal([&](QWidget *d) {
            QTest::keyClicks(edit, password);
            if (how == "enter")
                QTest::keyClick(edit, Qt::Key_Return);
            else if (how == "close")
                TestSupport::pressClose(d);
            else if (how == "escape")
                QTest::keyClick(edit, Qt::Key_Escape);
            if (hint.isEmpty())
                return;
            QTest::mouseClick(childWithText<QPushButton>(d, "确认"), Qt::LeftButton);
            TestSupport::waitForBoxWork();
            hinted = TestSupport::hintShows(d, hint) && d->isVisible() && edit->text() == password;
            QTest::mouseClick(edit, Qt::LeftButton); // a press into the edit hides the hint
            hinted = hinted && !TestSupport::hintShows(d, hint);
            QTest::mouseClick(childWithText<QPushButton>(d, "取消"), Qt::LeftButton);
        });
        QCOMPARE(dialog->exec(), hint.isEmpty() && how == "enter" ? 1 : 0);
        QCOMPARE(hinted, !hint.isEmpty());
        QCOMPARE(leftInEdit, QString(""));
        QVERIFY(edit.isNull());
        QCOMPARE(TestSupport::callLog(), calls);
    }
};

QTEST_MAIN(TestPasswordAuthenticDialog)
#include "test_passwordauthenticdialog.moc"
