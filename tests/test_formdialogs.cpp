// The form dialogs that rename a box and add, change or remove its password.
#include "ChangeBoxLockedDialog.h"
#include "CreateBoxLockedDialog.h"
#include "RenameBoxDialog.h"

#include "TitleBar.h"
#include "boxdouble.h"
#include "box_service.h"
#include "testsupport.h"

#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QtTest>

using Args = std::vector<std::string>;

namespace {

BoxInfo makeBox(const QString &name, bool encrypted)
{
    BoxDouble::Box b;
    b.name = name.toStdString();
    b.owner = "tester";
    b.flags = BOX_FLAG_SELF | BOX_FLAG_UNSHARED | (encrypted ? BOX_FLAG_ENCRYPTED : BOX_FLAG_PLAIN);
    BoxDouble::addBox(b);
    BoxInfo box;
    box.name = name;
    box.owner = "tester";
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
    return "<no hint label>";
}

// The dialog's line edits in their order on screen.
QLineEdit *edit(QWidget *dialog, int i) { return dialog->findChildren<QLineEdit *>().value(i); }
QPushButton *button(QWidget *w, const QString &text) { return TestSupport::childWithText<QPushButton>(w, text); }
QRadioButton *radio(QWidget *w, const QString &text) { return TestSupport::childWithText<QRadioButton>(w, text); }
void pressClose(QWidget *dialog) { dialog->findChild<TitleBar *>()->m_pCloseBtn->click(); }

// text() shares the edit's buffer, which the dialogs zero when they finish;
// a value kept for later needs a buffer of its own.
QString deepCopy(const QString &s) { return QString(s.constData(), s.size()); }

// Answers a MessageBox with 确认; returns "title: text".
QString answerMessage(QWidget *box)
{
    QString text;
    for (QLabel *l : box->findChildren<QLabel *>())
        if (l->wordWrap())
            text = l->text();
    const QString title = box->findChild<TitleBar *>()->m_pTitleLabel->text();
    button(box, "确认")->click();
    return title + ": " + text;
}

Args args(const std::string &func)
{
    for (const auto &c : BoxDouble::calls())
        if (c.func == func)
            return c.args;
    return {};
}

// Records the texts of the first `count` edits when `dialog` finishes.
void recordAtFinish(QDialog *dialog, int count, QStringList *texts)
{
    QObject::connect(dialog, &QDialog::finished, [=] {
        for (int i = 0; i < count; ++i)
            *texts << edit(dialog, i)->text();
    });
}

} // namespace

class TestFormDialogs : public QObject
{
    Q_OBJECT
private slots:
    void init() { TestSupport::resetDouble(); }
    void cleanup()
    {
        QVERIFY(TestSupport::modalHandlersDone());
        QVERIFY(TestSupport::leftoverTopLevels().isEmpty());
    }

    void renamePlainBox();
    void renameChecksNameThenPassword();
    void renameEncryptedBox();
    void renameFailureKeepsDialog();

    void addChecksInOrder_data();
    void addChecksInOrder();
    void addOneCharacterPassword();
    void addFailureKeepsDialog();

    void changeChecksInOrder();
    void changeAndRemoveResults();
    void modeSwitchClearsEdits();
    void hintHiddenByTypingOrPress();
    void changeDialogExec();

private:
    int update(ChangeBoxLockedDialog *d) { return d->updatePassword(); }
    int remove(ChangeBoxLockedDialog *d) { return d->removePassword(); }
};

void TestFormDialogs::renamePlainBox()
{
    auto *dialog = new RenameBoxDialog(makeBox("docs", false));
    QCOMPARE(dialog->windowFlags(), Qt::Tool | Qt::FramelessWindowHint);
    bool passwordRowShown = true;
    bool nameHasFocus = false;
    TestSupport::onNextModal([&](QWidget *w) {
        passwordRowShown = edit(w, 1)->isVisible() || TestSupport::childWithText<QLabel>(w, "密码验证")->isVisible();
        nameHasFocus = w->focusWidget() == edit(w, 0);
        QTest::keyClicks(edit(w, 0), "papers");
        QTest::keyClick(edit(w, 0), Qt::Key_Return); // the default button
    });
    QCOMPARE(dialog->exec(), 1);
    QVERIFY(!passwordRowShown);
    QVERIFY(nameHasFocus);
    QCOMPARE(BoxDouble::callNames(), Args{"box_change_name"});
    QCOMPARE(args("box_change_name"), (Args{"docs", "papers"}));
}

void TestFormDialogs::renameChecksNameThenPassword()
{
    BoxDouble::setResult("box_crypto_verify_passphrase", -1);
    auto *dialog = new RenameBoxDialog(makeBox("docs", true));
    QStringList hints;
    TestSupport::onNextModal([&](QWidget *w) {
        button(w, "确认")->click();
        hints << shownHint(w);
        QTest::keyClicks(edit(w, 0), "papers");
        button(w, "确认")->click();
        hints << shownHint(w);
        QTest::mouseClick(edit(w, 1), Qt::LeftButton);
        hints << shownHint(w);
        QTest::keyClicks(edit(w, 1), "guess");
        button(w, "确认")->click();
        hints << shownHint(w) << edit(w, 0)->text();
        QTest::keyClick(w, Qt::Key_Escape);
    });
    QCOMPARE(dialog->exec(), 0);
    QCOMPARE(hints, (QStringList{"保护箱新名称不可为空", "保护箱密码不可为空", "",
                                 "密码认证失败，请确认密码后重新认证", "papers"}));
    // A wrong password renames nothing.
    QCOMPARE(BoxDouble::callNames(), Args{"box_crypto_verify_passphrase"});
    QCOMPARE(args("box_crypto_verify_passphrase"), (Args{"docs", "guess|5"}));
}

void TestFormDialogs::renameEncryptedBox()
{
    auto *dialog = new RenameBoxDialog(makeBox("docs", true));
    QStringList atFinish;
    recordAtFinish(dialog, 2, &atFinish);
    TestSupport::onNextModal([&](QWidget *w) {
        QTest::keyClicks(edit(w, 0), "papers");
        QTest::keyClicks(edit(w, 1), "s3cret");
        QTest::keyClick(edit(w, 1), Qt::Key_Enter);
    });
    QCOMPARE(dialog->exec(), 1);
    QCOMPARE(BoxDouble::callNames(), (Args{"box_crypto_verify_passphrase", "box_change_name"}));
    QCOMPARE(args("box_crypto_verify_passphrase"), (Args{"docs", "s3cret|6"}));
    QCOMPARE(args("box_change_name"), (Args{"docs", "papers"}));
    QCOMPARE(atFinish, (QStringList{"papers", ""})); // the password is wiped
}

void TestFormDialogs::renameFailureKeepsDialog()
{
    BoxDouble::setResult("box_change_name", -17);
    auto *dialog = new RenameBoxDialog(makeBox("my “old” box", false));
    QString message;
    QString kept;
    TestSupport::onModals({
        [&](QWidget *w) {
            QTest::keyClicks(edit(w, 0), "taken");
            button(w, "确认")->click(); // runs the message box
            if (w->isVisible())
                kept = edit(w, 0)->text();
            pressClose(w);
        },
        [&](QWidget *w) { message = answerMessage(w); },
    });
    QCOMPARE(dialog->exec(), 0);
    QCOMPARE(message, QString("警告: 保护箱 “my “old” box” 重命名失败！"));
    QCOMPARE(kept, QString("taken"));
}

void TestFormDialogs::addChecksInOrder_data()
{
    QTest::addColumn<QString>("password");
    QTest::addColumn<QString>("confirm");
    QTest::addColumn<QString>("hint");
    QTest::newRow("both empty") << "" << "" << "密码不可为空";
    QTest::newRow("password empty") << "" << "abc" << "密码不可为空";
    QTest::newRow("confirm empty") << "abc" << "" << "确认密码不可为空";
    QTest::newRow("case only") << "Secret" << "secret" << "密码与确认密码不一致";
}

void TestFormDialogs::addChecksInOrder()
{
    QFETCH(QString, password);
    QFETCH(QString, confirm);
    QFETCH(QString, hint);
    auto *dialog = new CreateBoxLockedDialog(makeBox("docs", false));
    QStringList seen;
    TestSupport::onNextModal([&](QWidget *w) {
        QTest::keyClicks(edit(w, 0), password);
        QTest::keyClicks(edit(w, 1), confirm);
        QTest::keyClick(edit(w, 1), Qt::Key_Return);
        seen << shownHint(w) << deepCopy(edit(w, 0)->text());
        QTest::mouseClick(edit(w, 1), Qt::LeftButton);
        seen << shownHint(w);
        QTest::keyClick(w, Qt::Key_Escape);
    });
    QCOMPARE(dialog->exec(), 0);
    QCOMPARE(seen, (QStringList{hint, password, ""}));
    QVERIFY(BoxDouble::calls().empty());
}

void TestFormDialogs::addOneCharacterPassword()
{
    auto *dialog = new CreateBoxLockedDialog(makeBox("docs", false));
    QStringList atFinish;
    recordAtFinish(dialog, 2, &atFinish);
    TestSupport::onNextModal([&](QWidget *w) {
        QTest::keyClicks(edit(w, 0), "x");
        QTest::keyClicks(edit(w, 1), "x");
        button(w, "确认")->click();
    });
    QCOMPARE(dialog->exec(), 1);
    QCOMPARE(BoxDouble::callNames(), Args{"box_crypto_create"});
    QCOMPARE(args("box_crypto_create").at(1), std::string("x|1"));
    QCOMPARE(atFinish, (QStringList{"", ""}));
}

void TestFormDialogs::addFailureKeepsDialog()
{
    BoxDouble::setResult("box_crypto_create", -5);
    auto *dialog = new CreateBoxLockedDialog(makeBox("a “b” c", false));
    QString message;
    QStringList kept;
    QStringList atFinish;
    recordAtFinish(dialog, 2, &atFinish);
    TestSupport::onModals({
        [&](QWidget *w) {
            QTest::keyClicks(edit(w, 0), "pw");
            QTest::keyClicks(edit(w, 1), "pw");
            button(w, "确认")->click(); // runs the message box
            if (w->isVisible())
                kept << deepCopy(edit(w, 0)->text()) << deepCopy(edit(w, 1)->text());
            button(w, "取消")->click();
        },
        [&](QWidget *w) { message = answerMessage(w); },
    });
    QCOMPARE(dialog->exec(), 0);
    QCOMPARE(message, QString("警告: 保护箱 “a “b” c” 创建密码保护失败！"));
    QCOMPARE(kept, (QStringList{"pw", "pw"}));
    QCOMPARE(atFinish, (QStringList{"", ""}));
}

void TestFormDialogs::changeChecksInOrder()
{
    ChangeBoxLockedDialog dialog(makeBox("docs", true));
    dialog.setAttribute(Qt::WA_DeleteOnClose, false);
    QCOMPARE(update(&dialog), -1);
    QCOMPARE(shownHint(&dialog), QString("原密码不可为空"));
    edit(&dialog, 0)->setText("old");
    QCOMPARE(update(&dialog), -2);
    QCOMPARE(shownHint(&dialog), QString("新密码不可为空"));
    edit(&dialog, 1)->setText("new");
    QCOMPARE(update(&dialog), -3);
    QCOMPARE(shownHint(&dialog), QString("新密码确认不可为空"));
    edit(&dialog, 2)->setText("New");
    QCOMPARE(update(&dialog), -4);
    QCOMPARE(shownHint(&dialog), QString("新密码与确认密码不一致"));
    radio(&dialog, "解除保护")->click();
    QCOMPARE(remove(&dialog), -1);
    QCOMPARE(shownHint(&dialog), QString("确认密码不可为空"));
    QVERIFY(BoxDouble::calls().empty());

    // Without a box the change is refused before any field is looked at.
    ChangeBoxLockedDialog nameless{BoxInfo{}};
    nameless.setAttribute(Qt::WA_DeleteOnClose, false);
    QString message;
    TestSupport::onNextModal([&](QWidget *w) { message = answerMessage(w); });
    QCOMPARE(update(&nameless), -100);
    QCOMPARE(message, QString("警告: 未选定须修改密码的保护箱，请选择后重新修改！"));
    QVERIFY(BoxDouble::calls().empty());
}

void TestFormDialogs::changeAndRemoveResults()
{
    ChangeBoxLockedDialog dialog(makeBox("docs", true));
    dialog.setAttribute(Qt::WA_DeleteOnClose, false);
    QString message;
    auto answer = [&] { TestSupport::onNextModal([&](QWidget *w) { message = answerMessage(w); }); };

    // A new password equal to the current one is passed on unchanged.
    for (int i = 0; i < 3; ++i)
        edit(&dialog, i)->setText("same");
    QCOMPARE(update(&dialog), 0);
    QCOMPARE(args("box_crypto_change_passpharse"), (Args{"docs", "same|4", "same|4"}));
    BoxDouble::setResult("box_crypto_change_passpharse", -13);
    answer();
    QCOMPARE(update(&dialog), -6);
    QCOMPARE(message, QString("警告: 保护箱 “docs” 密码修改失败！"));
    QCOMPARE(edit(&dialog, 0)->text(), QString("same"));

    radio(&dialog, "解除保护")->click();
    edit(&dialog, 0)->setText("old");
    QCOMPARE(remove(&dialog), 0);
    QCOMPARE(args("box_crypto_decrypt"), (Args{"docs", "old|3"}));
    BoxDouble::setResult("box_crypto_decrypt", -13);
    answer();
    QCOMPARE(remove(&dialog), -2);
    QCOMPARE(message, QString("警告: 解除保护箱 “docs” 密码保护失败！"));
}

void TestFormDialogs::modeSwitchClearsEdits()
{
    ChangeBoxLockedDialog dialog(makeBox("docs", true));
    dialog.setAttribute(Qt::WA_DeleteOnClose, false);
    dialog.show();
    QVERIFY(QTest::qWaitForWindowExposed(&dialog));
    QLineEdit *current = edit(&dialog, 0);
    QLineEdit *fresh = edit(&dialog, 1);
    QLineEdit *confirm = edit(&dialog, 2);
    QVERIFY(radio(&dialog, "修改密码")->isChecked());
    QVERIFY(fresh->isVisible() && confirm->isVisible());
    const int changeHeight = dialog.height();
    auto fill = [&] {
        QTest::keyClicks(current, "one");
        QTest::keyClicks(fresh, "two");
        QTest::keyClicks(confirm, "three");
    };

    fill();
    update(&dialog); // shows the mismatch hint
    QTest::mouseClick(radio(&dialog, "解除保护"), Qt::LeftButton);
    QCOMPARE(current->text() + fresh->text() + confirm->text(), QString());
    QVERIFY(!fresh->isVisible() && !confirm->isVisible());
    QVERIFY(!TestSupport::childWithText<QLabel>(&dialog, "新密码确认")->isVisible());
    QCOMPARE(shownHint(&dialog), QString());
    QCOMPARE(dialog.width(), 540);
    QVERIFY(dialog.height() < changeHeight);

    fill(); // into the hidden edits too
    QTest::mouseClick(radio(&dialog, "修改密码"), Qt::LeftButton);
    QCOMPARE(current->text() + fresh->text() + confirm->text(), QString());
    QVERIFY(fresh->isVisible() && confirm->isVisible());
    QCOMPARE(dialog.height(), changeHeight);
}

void TestFormDialogs::hintHiddenByTypingOrPress()
{
    ChangeBoxLockedDialog dialog(makeBox("docs", true));
    dialog.setAttribute(Qt::WA_DeleteOnClose, false);
    dialog.show();
    QVERIFY(QTest::qWaitForWindowExposed(&dialog));
    QCOMPARE(update(&dialog), -1);
    QTest::keyClicks(edit(&dialog, 1), "n");
    QTest::keyClicks(edit(&dialog, 2), "n");
    QCOMPARE(shownHint(&dialog), QString("原密码不可为空"));
    QTest::keyClicks(edit(&dialog, 0), "o");
    QCOMPARE(shownHint(&dialog), QString());

    for (int i = 0; i < 3; ++i) {
        edit(&dialog, 2)->setText("x");
        QCOMPARE(update(&dialog), -4);
        QTest::mouseClick(edit(&dialog, i), Qt::LeftButton);
        QCOMPARE(shownHint(&dialog), QString());
    }
}

void TestFormDialogs::changeDialogExec()
{
    auto *dialog = new ChangeBoxLockedDialog(makeBox("docs", true));
    QCOMPARE(dialog->windowFlags(), Qt::Tool | Qt::FramelessWindowHint);
    QStringList atFinish;
    recordAtFinish(dialog, 3, &atFinish);
    TestSupport::onNextModal([&](QWidget *w) {
        QTest::keyClicks(edit(w, 0), "old");
        QTest::keyClicks(edit(w, 1), "new");
        QTest::keyClicks(edit(w, 2), "new");
        QTest::keyClick(edit(w, 2), Qt::Key_Return);
    });
    QCOMPARE(dialog->exec(), 1);
    QCOMPARE(atFinish, (QStringList{"", "", ""}));

    dialog = new ChangeBoxLockedDialog(makeBox("docs", true));
    TestSupport::onNextModal([&](QWidget *w) { pressClose(w); });
    QCOMPARE(dialog->exec(), 0);
    dialog = new ChangeBoxLockedDialog(makeBox("docs", true));
    TestSupport::onNextModal([&](QWidget *w) { QTest::keyClick(w, Qt::Key_Escape); });
    QCOMPARE(dialog->exec(), 0);
}

QTEST_MAIN(TestFormDialogs)
#include "test_formdialogs.moc"
