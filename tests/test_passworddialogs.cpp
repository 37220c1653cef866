#include "ChangeBoxLockedDialog.h"
#include "CreateBoxLockedDialog.h"

#include "TitleBar.h"
#include "boxdouble.h"
#include "box_service.h"
#include "testsupport.h"

#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
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

QLabel *hintLabel(QWidget *dialog)
{
    for (QLabel *l : dialog->findChildren<QLabel *>())
        if (l->palette().color(QPalette::WindowText) == QColor("#FF0000"))
            return l;
    return nullptr;
}

// The red hint line: its text while it is shown, empty otherwise.
QString shownHint(QWidget *dialog)
{
    QLabel *hint = hintLabel(dialog);
    return hint && hint->isVisibleTo(dialog) ? hint->text() : QString();
}

// text() shares the edit's buffer, which the dialog zeroes when it finishes;
// what a test keeps for later needs a buffer of its own.
QString deepCopy(const QString &s) { return QString(s.constData(), s.size()); }

// The password edits in their order on screen.
QLineEdit *edit(QWidget *dialog, int i) { return dialog->findChildren<QLineEdit *>().value(i); }

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

class TestPasswordDialogs : public QObject
{
    Q_OBJECT
private slots:
    void init() { TestSupport::resetDouble(); }
    void cleanup()
    {
        QVERIFY(TestSupport::modalHandlersDone());
        QVERIFY(TestSupport::leftoverTopLevels().isEmpty());
    }

    // adding a password
    void addChecksInOrder_data();
    void addChecksInOrder();
    void addOneCharacterPassword();
    void addLibraryFailure();

    // changing or removing it
    void changeChecksInOrder();
    void changeNeedsBoxName();
    void changeCallsLibrary();
    void changeLibraryFailure();
    void removeChecksAndCalls();
    void removeLibraryFailure();
    void modeSwitchClearsEdits();
    void hintHiddenByTypingOrPress();
    void execResults();

private:
    int update(ChangeBoxLockedDialog *d) { return d->updatePassword(); }
    int remove(ChangeBoxLockedDialog *d) { return d->removePassword(); }
};

void TestPasswordDialogs::addChecksInOrder_data()
{
    QTest::addColumn<QString>("password");
    QTest::addColumn<QString>("confirm");
    QTest::addColumn<QString>("hint");
    QTest::newRow("both empty") << "" << "" << "密码不可为空";
    QTest::newRow("password empty") << "" << "abc" << "密码不可为空";
    QTest::newRow("confirm empty") << "abc" << "" << "确认密码不可为空";
    QTest::newRow("differ") << "abc" << "abd" << "密码与确认密码不一致";
    QTest::newRow("case only") << "Secret" << "secret" << "密码与确认密码不一致";
}

void TestPasswordDialogs::addChecksInOrder()
{
    QFETCH(QString, password);
    QFETCH(QString, confirm);
    QFETCH(QString, hint);
    auto *dialog = new CreateBoxLockedDialog(makeBox("docs", false));
    QString shown;
    QString keptPassword;
    bool hiddenByPress = false;
    TestSupport::onNextModal([&](QWidget *w) {
        QTest::keyClicks(edit(w, 0), password);
        QTest::keyClicks(edit(w, 1), confirm);
        QTest::keyClick(edit(w, 1), Qt::Key_Return);
        shown = shownHint(w);
        keptPassword = deepCopy(edit(w, 0)->text());
        QTest::mouseClick(edit(w, 1), Qt::LeftButton);
        hiddenByPress = shownHint(w).isEmpty();
        QTest::keyClick(w, Qt::Key_Escape);
    });
    QCOMPARE(dialog->exec(), 0);
    QCOMPARE(shown, hint);
    QCOMPARE(keptPassword, password);
    QVERIFY(hiddenByPress);
    QVERIFY(BoxDouble::calls().empty());
}

void TestPasswordDialogs::addOneCharacterPassword()
{
    auto *dialog = new CreateBoxLockedDialog(makeBox("docs", false));
    QCOMPARE(dialog->windowFlags(), Qt::Tool | Qt::FramelessWindowHint);
    QStringList atFinish;
    TestSupport::onNextModal([&](QWidget *w) {
        connect(dialog, &QDialog::finished, [&, w] { atFinish << edit(w, 0)->text() << edit(w, 1)->text(); });
        QTest::keyClicks(edit(w, 0), "x");
        QTest::keyClicks(edit(w, 1), "x");
        childWithText<QPushButton>(w, "确认")->click();
    });
    QCOMPARE(dialog->exec(), 1);
    QCOMPARE(BoxDouble::callNames(), std::vector<std::string>{"box_crypto_create"});
    QCOMPARE(args("box_crypto_create").at(0), std::string("docs"));
    QCOMPARE(args("box_crypto_create").at(1), std::string("x|1"));
    // The passwords are gone once the dialog has finished.
    QCOMPARE(atFinish, (QStringList{"", ""}));
}

void TestPasswordDialogs::addLibraryFailure()
{
    BoxDouble::setResult("box_crypto_create", -5);
    auto *dialog = new CreateBoxLockedDialog(makeBox("a “b” c", false));
    Message message;
    bool stillOpen = false;
    QStringList kept;
    QStringList atFinish;
    TestSupport::onModals({
        [&](QWidget *w) {
            connect(dialog, &QDialog::finished, [&, w] { atFinish << edit(w, 0)->text() << edit(w, 1)->text(); });
            QTest::keyClicks(edit(w, 0), "pw");
            QTest::keyClicks(edit(w, 1), "pw");
            childWithText<QPushButton>(w, "确认")->click(); // runs the message box
            stillOpen = w->isVisible();
            kept << deepCopy(edit(w, 0)->text()) << deepCopy(edit(w, 1)->text());
            childWithText<QPushButton>(w, "取消")->click();
        },
        [&](QWidget *w) { message = answerMessage(w); },
    });
    QCOMPARE(dialog->exec(), 0);
    QCOMPARE(message.title, QString("警告"));
    QCOMPARE(message.text, QString("保护箱 “a “b” c” 创建密码保护失败！"));
    QVERIFY(stillOpen);
    QCOMPARE(kept, (QStringList{"pw", "pw"}));
    QCOMPARE(atFinish, (QStringList{"", ""}));
}

void TestPasswordDialogs::changeChecksInOrder()
{
    ChangeBoxLockedDialog dialog(makeBox("docs", true));
    dialog.setAttribute(Qt::WA_DeleteOnClose, false);
    QLineEdit *current = edit(&dialog, 0);
    QLineEdit *fresh = edit(&dialog, 1);
    QLineEdit *confirm = edit(&dialog, 2);

    QCOMPARE(update(&dialog), -1);
    QCOMPARE(shownHint(&dialog), QString("原密码不可为空"));
    current->setText("old");
    QCOMPARE(update(&dialog), -2);
    QCOMPARE(shownHint(&dialog), QString("新密码不可为空"));
    fresh->setText("new");
    QCOMPARE(update(&dialog), -3);
    QCOMPARE(shownHint(&dialog), QString("新密码确认不可为空"));
    confirm->setText("New");
    QCOMPARE(update(&dialog), -4);
    QCOMPARE(shownHint(&dialog), QString("新密码与确认密码不一致"));
    // Failed checks keep what was typed.
    QCOMPARE(current->text() + fresh->text() + confirm->text(), QString("oldnewNew"));
    QVERIFY(BoxDouble::calls().empty());
}

void TestPasswordDialogs::changeNeedsBoxName()
{
    ChangeBoxLockedDialog dialog(BoxInfo{});
    dialog.setAttribute(Qt::WA_DeleteOnClose, false);
    Message message;
    TestSupport::onNextModal([&](QWidget *w) { message = answerMessage(w); });
    // Refused before any field is looked at.
    QCOMPARE(update(&dialog), -100);
    QCOMPARE(message.title, QString("警告"));
    QCOMPARE(message.text, QString("未选定须修改密码的保护箱，请选择后重新修改！"));
    QCOMPARE(shownHint(&dialog), QString());
    QVERIFY(BoxDouble::calls().empty());
}

void TestPasswordDialogs::changeCallsLibrary()
{
    ChangeBoxLockedDialog dialog(makeBox("docs", true));
    dialog.setAttribute(Qt::WA_DeleteOnClose, false);
    // A new password equal to the current one is passed on unchanged.
    edit(&dialog, 0)->setText("same");
    edit(&dialog, 1)->setText("same");
    edit(&dialog, 2)->setText("same");
    QCOMPARE(update(&dialog), 0);
    QCOMPARE(BoxDouble::callNames(), std::vector<std::string>{"box_crypto_change_passpharse"});
    QCOMPARE(args("box_crypto_change_passpharse"), (std::vector<std::string>{"docs", "same|4", "same|4"}));
}

void TestPasswordDialogs::changeLibraryFailure()
{
    BoxDouble::setResult("box_crypto_change_passpharse", -13);
    ChangeBoxLockedDialog dialog(makeBox("docs", true));
    dialog.setAttribute(Qt::WA_DeleteOnClose, false);
    edit(&dialog, 0)->setText("old");
    edit(&dialog, 1)->setText("new");
    edit(&dialog, 2)->setText("new");
    Message message;
    TestSupport::onNextModal([&](QWidget *w) { message = answerMessage(w); });
    QCOMPARE(update(&dialog), -6);
    QCOMPARE(message.title, QString("警告"));
    QCOMPARE(message.text, QString("保护箱 “docs” 密码修改失败！"));
    QCOMPARE(edit(&dialog, 0)->text(), QString("old"));
}

void TestPasswordDialogs::removeChecksAndCalls()
{
    ChangeBoxLockedDialog dialog(makeBox("docs", true));
    dialog.setAttribute(Qt::WA_DeleteOnClose, false);
    childWithText<QRadioButton>(&dialog, "解除保护")->click();
    QCOMPARE(remove(&dialog), -1);
    QCOMPARE(shownHint(&dialog), QString("确认密码不可为空"));
    QVERIFY(BoxDouble::calls().empty());
    edit(&dialog, 0)->setText("old");
    QCOMPARE(remove(&dialog), 0);
    QCOMPARE(BoxDouble::callNames(), std::vector<std::string>{"box_crypto_decrypt"});
    QCOMPARE(args("box_crypto_decrypt"), (std::vector<std::string>{"docs", "old|3"}));
}

void TestPasswordDialogs::removeLibraryFailure()
{
    BoxDouble::setResult("box_crypto_decrypt", -13);
    ChangeBoxLockedDialog dialog(makeBox("docs", true));
    dialog.setAttribute(Qt::WA_DeleteOnClose, false);
    childWithText<QRadioButton>(&dialog, "解除保护")->click();
    edit(&dialog, 0)->setText("old");
    Message message;
    TestSupport::onNextModal([&](QWidget *w) { message = answerMessage(w); });
    QCOMPARE(remove(&dialog), -2);
    QCOMPARE(message.title, QString("警告"));
    QCOMPARE(message.text, QString("解除保护箱 “docs” 密码保护失败！"));
}

void TestPasswordDialogs::modeSwitchClearsEdits()
{
    ChangeBoxLockedDialog dialog(makeBox("docs", true));
    dialog.setAttribute(Qt::WA_DeleteOnClose, false);
    dialog.show();
    QVERIFY(QTest::qWaitForWindowExposed(&dialog));
    QRadioButton *change = childWithText<QRadioButton>(&dialog, "修改密码");
    QRadioButton *remove = childWithText<QRadioButton>(&dialog, "解除保护");
    QVERIFY(change->isChecked());
    QLineEdit *current = edit(&dialog, 0);
    QLineEdit *fresh = edit(&dialog, 1);
    QLineEdit *confirm = edit(&dialog, 2);
    QVERIFY(fresh->isVisible() && confirm->isVisible());
    const int changeHeight = dialog.height();

    auto fill = [&] {
        QTest::keyClicks(current, "one");
        QTest::keyClicks(fresh, "two");
        QTest::keyClicks(confirm, "three");
    };
    fill();
    update(&dialog); // mismatch: shows the hint
    QVERIFY(!shownHint(&dialog).isEmpty());

    QTest::mouseClick(remove, Qt::LeftButton);
    QVERIFY(remove->isChecked());
    QCOMPARE(current->text() + fresh->text() + confirm->text(), QString());
    QVERIFY(!fresh->isVisible() && !confirm->isVisible());
    QVERIFY(!childWithText<QLabel>(&dialog, "新密码")->isVisible());
    QVERIFY(!childWithText<QLabel>(&dialog, "新密码确认")->isVisible());
    QCOMPARE(shownHint(&dialog), QString());
    QCOMPARE(dialog.width(), 540);
    QVERIFY2(dialog.height() < changeHeight, qPrintable(QString::number(dialog.height())));

    QTest::keyClicks(current, "four");
    // The radio being unticked does nothing by itself.
    dialog.slot_removePSWToggled(false);
    dialog.slot_updatePSWToggled(false);
    QCOMPARE(current->text(), QString("four"));

    fill();
    QTest::mouseClick(change, Qt::LeftButton);
    QCOMPARE(current->text() + fresh->text() + confirm->text(), QString());
    QVERIFY(fresh->isVisible() && confirm->isVisible());
    QCOMPARE(dialog.height(), changeHeight);
}

void TestPasswordDialogs::hintHiddenByTypingOrPress()
{
    ChangeBoxLockedDialog dialog(makeBox("docs", true));
    dialog.setAttribute(Qt::WA_DeleteOnClose, false);
    dialog.show();
    QVERIFY(QTest::qWaitForWindowExposed(&dialog));
    QLineEdit *current = edit(&dialog, 0);
    QLineEdit *fresh = edit(&dialog, 1);
    QLineEdit *confirm = edit(&dialog, 2);

    QCOMPARE(update(&dialog), -1);
    QTest::keyClicks(fresh, "n");
    QTest::keyClicks(confirm, "n");
    QCOMPARE(shownHint(&dialog), QString("原密码不可为空"));
    QTest::keyClicks(current, "o");
    QCOMPARE(shownHint(&dialog), QString());

    for (QLineEdit *e : {current, fresh, confirm}) {
        confirm->setText("x");
        QCOMPARE(update(&dialog), -4);
        QVERIFY(!shownHint(&dialog).isEmpty());
        QTest::mouseClick(e, Qt::LeftButton);
        QCOMPARE(shownHint(&dialog), QString());
    }
}

void TestPasswordDialogs::execResults()
{
    // Enter presses 确认: a successful change accepts, and the edits are wiped.
    auto *dialog = new ChangeBoxLockedDialog(makeBox("docs", true));
    QCOMPARE(dialog->windowFlags(), Qt::Tool | Qt::FramelessWindowHint);
    QStringList atFinish;
    TestSupport::onNextModal([&](QWidget *w) {
        connect(dialog, &QDialog::finished, [&, w] {
            for (int i = 0; i < 3; ++i)
                atFinish << edit(w, i)->text();
        });
        QTest::keyClicks(edit(w, 0), "old");
        QTest::keyClicks(edit(w, 1), "new");
        QTest::keyClicks(edit(w, 2), "new");
        QTest::keyClick(edit(w, 2), Qt::Key_Return);
    });
    QCOMPARE(dialog->exec(), 1);
    QCOMPARE(atFinish, (QStringList{"", "", ""}));

    // A failed change keeps the dialog; the close button then rejects it.
    BoxDouble::setResult("box_crypto_change_passpharse", -13);
    dialog = new ChangeBoxLockedDialog(makeBox("docs", true));
    bool stillOpen = false;
    TestSupport::onModals({
        [&](QWidget *w) {
            QTest::keyClicks(edit(w, 0), "old");
            QTest::keyClicks(edit(w, 1), "new");
            QTest::keyClicks(edit(w, 2), "new");
            childWithText<QPushButton>(w, "确认")->click();
            stillOpen = w->isVisible();
            w->findChild<TitleBar *>()->m_pCloseBtn->click();
        },
        [&](QWidget *w) { answerMessage(w); },
    });
    QCOMPARE(dialog->exec(), 0);
    QVERIFY(stillOpen);

    // Escape rejects; a successful removal through 确认 accepts.
    dialog = new ChangeBoxLockedDialog(makeBox("docs", true));
    TestSupport::onNextModal([&](QWidget *w) { QTest::keyClick(w, Qt::Key_Escape); });
    QCOMPARE(dialog->exec(), 0);
    dialog = new ChangeBoxLockedDialog(makeBox("docs", true));
    TestSupport::onNextModal([&](QWidget *w) {
        childWithText<QRadioButton>(w, "解除保护")->click();
        QTest::keyClicks(edit(w, 0), "old");
        childWithText<QPushButton>(w, "确认")->click();
    });
    QCOMPARE(dialog->exec(), 1);
    QCOMPARE(BoxDouble::callCount("box_crypto_decrypt"), 1);
}

QTEST_MAIN(TestPasswordDialogs)
#include "test_passworddialogs.moc"
