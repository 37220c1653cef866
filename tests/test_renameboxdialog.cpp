#include "RenameBoxDialog.h"

#include "TitleBar.h"
#include "boxdouble.h"
#include "box_service.h"
#include "testsupport.h"

#include <QLabel>
#include <QLineEdit>
#include <QPointer>
#include <QPushButton>
#include <QtTest>

using TestSupport::childWithText;

namespace {

BoxInfo makeBox(const QString &name, bool encrypted)
{
    BoxDouble::Box b;
    b.name = name.toStdString();
    b.owner = "tester";
    b.path = "/box/tester/" + b.name;
    b.flags = BOX_FLAG_SELF | BOX_FLAG_UNSHARED | (encrypted ? BOX_FLAG_ENCRYPTED : BOX_FLAG_PLAIN);
    BoxDouble::addBox(b);

    BoxInfo box;
    box.name = name;
    box.owner = "tester";
    box.path = QString::fromStdString(b.path);
    box.flags = quint8(b.flags);
    box.encrypted = encrypted ? 1 : 0;
    return box;
}

// The red hint line: its text while it is shown, empty otherwise.
QString shownHint(QWidget *dialog)
{
    for (QLabel *l : dialog->findChildren<QLabel *>())
        if (l->palette().color(QPalette::WindowText) == QColor("#FF0000"))
            return l->isVisibleTo(dialog) ? l->text() : QString();
    return QStringLiteral("<no hint label>");
}

QLineEdit *nameEdit(QWidget *dialog) { return dialog->findChildren<QLineEdit *>().value(0); }
QLineEdit *passwordEdit(QWidget *dialog) { return dialog->findChildren<QLineEdit *>().value(1); }

struct Message {
    QString title;
    QString text;
};

// Reads a MessageBox and answers it with 确认.
Message answerMessage(QWidget *box)
{
    Message m;
    m.title = box->findChild<TitleBar *>()->m_pTitleLabel->text();
    for (QLabel *l : box->findChildren<QLabel *>())
        if (l->wordWrap())
            m.text = l->text();
    childWithText<QPushButton>(box, "确认")->click();
    return m;
}

std::vector<std::string> args(const std::string &func)
{
    for (const auto &c : BoxDouble::calls())
        if (c.func == func)
            return c.args;
    return {};
}

} // namespace

class TestRenameBoxDialog : public QObject
{
    Q_OBJECT
private slots:
    void init() { TestSupport::resetDouble(); }
    void cleanup()
    {
        QVERIFY(TestSupport::modalHandlersDone());
        QVERIFY(TestSupport::leftoverTopLevels().isEmpty());
    }

    void plainBoxRenamesWithoutPassword();
    void emptyNameComesFirst();
    void encryptedBoxNeedsPassword();
    void wrongPasswordRenamesNothing();
    void encryptedBoxRenamesAfterCheck();
    void libraryFailureKeepsDialog();
};

void TestRenameBoxDialog::plainBoxRenamesWithoutPassword()
{
    BoxInfo box = makeBox("docs", false);
    auto *dialog = new RenameBoxDialog(box);
    QCOMPARE(dialog->windowFlags(), Qt::Tool | Qt::FramelessWindowHint);
    QVERIFY(dialog->testAttribute(Qt::WA_DeleteOnClose));

    QString hint = "unset";
    bool passwordRowShown = true;
    bool nameHasFocus = false;
    TestSupport::onNextModal([&](QWidget *w) {
        passwordRowShown = passwordEdit(w)->isVisible() || childWithText<QLabel>(w, "密码验证")->isVisible();
        nameHasFocus = w->focusWidget() == nameEdit(w);
        QTest::keyClicks(nameEdit(w), "papers");
        // Enter in the edit presses the default button.
        QTest::keyClick(nameEdit(w), Qt::Key_Return);
        hint = shownHint(w);
    });
    QCOMPARE(dialog->exec(), 1);
    QCOMPARE(hint, QString());
    QVERIFY(!passwordRowShown);
    QVERIFY(nameHasFocus);
    QCOMPARE(BoxDouble::callNames(), std::vector<std::string>{"box_change_name"});
    QCOMPARE(args("box_change_name"), (std::vector<std::string>{"docs", "papers"}));
}

void TestRenameBoxDialog::emptyNameComesFirst()
{
    BoxInfo box = makeBox("docs", true);
    auto *dialog = new RenameBoxDialog(box);
    QString hint;
    TestSupport::onNextModal([&](QWidget *w) {
        childWithText<QPushButton>(w, "确认")->click();
        hint = shownHint(w);
        QTest::keyClick(w, Qt::Key_Escape);
    });
    QCOMPARE(dialog->exec(), 0);
    QCOMPARE(hint, QString("保护箱新名称不可为空"));
    QVERIFY(BoxDouble::calls().empty());
}

void TestRenameBoxDialog::encryptedBoxNeedsPassword()
{
    BoxInfo box = makeBox("docs", true);
    auto *dialog = new RenameBoxDialog(box);
    QString hint;
    bool hiddenByPress = false;
    bool passwordShown = false;
    TestSupport::onNextModal([&](QWidget *w) {
        passwordShown = passwordEdit(w)->isVisible();
        QTest::keyClicks(nameEdit(w), "papers");
        childWithText<QPushButton>(w, "确认")->click();
        hint = shownHint(w);
        QTest::mouseClick(passwordEdit(w), Qt::LeftButton);
        hiddenByPress = shownHint(w).isEmpty();
        childWithText<QPushButton>(w, "取消")->click();
    });
    QCOMPARE(dialog->exec(), 0);
    QCOMPARE(hint, QString("保护箱密码不可为空"));
    QVERIFY(hiddenByPress);
    QVERIFY(passwordShown);
    QVERIFY(BoxDouble::calls().empty());
}

void TestRenameBoxDialog::wrongPasswordRenamesNothing()
{
    BoxInfo box = makeBox("docs", true);
    BoxDouble::setResult("box_crypto_verify_passphrase", -1);
    auto *dialog = new RenameBoxDialog(box);
    QString hint;
    QString keptName;
    TestSupport::onNextModal([&](QWidget *w) {
        QTest::keyClicks(nameEdit(w), "papers");
        QTest::keyClicks(passwordEdit(w), "guess");
        childWithText<QPushButton>(w, "确认")->click();
        hint = shownHint(w);
        keptName = nameEdit(w)->text();
        w->findChild<TitleBar *>()->m_pCloseBtn->click();
    });
    QCOMPARE(dialog->exec(), 0);
    QCOMPARE(hint, QString("密码认证失败，请确认密码后重新认证"));
    QCOMPARE(keptName, QString("papers"));
    QCOMPARE(BoxDouble::callNames(), std::vector<std::string>{"box_crypto_verify_passphrase"});
    QCOMPARE(args("box_crypto_verify_passphrase"), (std::vector<std::string>{"docs", "guess|5"}));
    QCOMPARE(BoxDouble::boxes().at(0).name, std::string("docs"));
}

void TestRenameBoxDialog::encryptedBoxRenamesAfterCheck()
{
    BoxInfo box = makeBox("docs", true);
    auto *dialog = new RenameBoxDialog(box);
    QString passwordAtFinish = "unset";
    TestSupport::onNextModal([&](QWidget *w) {
        QLineEdit *password = passwordEdit(w);
        connect(dialog, &QDialog::finished, [&, password] { passwordAtFinish = password->text(); });
        QTest::keyClicks(nameEdit(w), "papers");
        QTest::keyClicks(password, "s3cret");
        QTest::keyClick(password, Qt::Key_Enter);
    });
    QCOMPARE(dialog->exec(), 1);
    QCOMPARE(BoxDouble::callNames(),
             (std::vector<std::string>{"box_crypto_verify_passphrase", "box_change_name"}));
    QCOMPARE(args("box_crypto_verify_passphrase"), (std::vector<std::string>{"docs", "s3cret|6"}));
    QCOMPARE(args("box_change_name"), (std::vector<std::string>{"docs", "papers"}));
    QCOMPARE(passwordAtFinish, QString());
}

void TestRenameBoxDialog::libraryFailureKeepsDialog()
{
    BoxInfo box = makeBox("my “old” box", false);
    BoxDouble::setResult("box_change_name", -17);
    auto *dialog = new RenameBoxDialog(box);
    Message message;
    bool stillOpen = false;
    QString keptName;
    TestSupport::onModals({
        [&](QWidget *w) {
            QTest::keyClicks(nameEdit(w), "taken");
            childWithText<QPushButton>(w, "确认")->click(); // runs the message box
            stillOpen = w->isVisible();
            keptName = nameEdit(w)->text();
            w->findChild<TitleBar *>()->m_pCloseBtn->click();
        },
        [&](QWidget *w) { message = answerMessage(w); },
    });
    QCOMPARE(dialog->exec(), 0);
    QCOMPARE(message.title, QString("警告"));
    QCOMPARE(message.text, QString("保护箱 “my “old” box” 重命名失败！"));
    QVERIFY(stillOpen);
    QCOMPARE(keptName, QString("taken"));
    QCOMPARE(BoxDouble::callNames(), std::vector<std::string>{"box_change_name"});
}

QTEST_MAIN(TestRenameBoxDialog)
#include "test_renameboxdialog.moc"
