// The form dialogs that rename a box and add, change or remove its password.
#include "ChangeBoxLockedDialog.h"
#include "CreateBoxLockedDialog.h"
#include "PasswordPolicy.h"
#include "RenameBoxDialog.h"

#include "boxdouble.h"
#include "box_service.h"
#include "testsupport.h"

#include <QElapsedTimer>
#include <QLabel>
#include <QLineEdit>
#include <QPointer>
#include <QPushButton>
#include <QRadioButton>
#include <QtTest>

#include <memory>

namespace {

// "rename" and "rename plain" (no password row), "add", "change", "remove"
// (the change dialog switched to 解除保护).
QDialog *makeDialog(const QString &kind, const QString &boxName = "docs")
{
    const bool encrypted = kind != "add" && kind != "rename plain";
    const unsigned flags = BOX_FLAG_SELF | BOX_FLAG_UNSHARED | (encrypted ? BOX_FLAG_ENCRYPTED : BOX_FLAG_PLAIN);
    BoxDouble::addBox({boxName.toStdString(), "", "tester", flags});
    BoxInfo box;
    box.name = boxName;
    box.owner = "tester";
    box.flags = BoxFlags(QFlag(int(flags)));
    box.encrypted = encrypted;
    if (kind.startsWith("rename"))
        return new RenameBoxDialog(box);
    if (kind == "add")
        return new CreateBoxLockedDialog(box);
    return new ChangeBoxLockedDialog(box);
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
QRadioButton *radio(QWidget *w, const QString &text) { return TestSupport::childWithText<QRadioButton>(w, text); }

// Types "a|b|c" into the first edits; for "remove" switches mode first.
void fill(QWidget *dialog, const QString &kind, const QString &texts)
{
    if (kind == "remove")
        QTest::mouseClick(radio(dialog, "解除保护"), Qt::LeftButton);
    const QStringList parts = texts.split('|');
    for (int i = 0; i < parts.size(); ++i)
        QTest::keyClicks(edit(dialog, i), parts[i]);
}

// The texts of the first n edits (all when n < 0), "a|b|c".
QString editTexts(QWidget *dialog, int n = -1)
{
    QStringList all;
    for (QLineEdit *e : dialog->findChildren<QLineEdit *>().mid(0, n))
        all << e->text();
    return all.join('|');
}

// Counts the paint events of the widget it filters.
class PaintCounter : public QObject
{
public:
    int count = 0;
    bool eventFilter(QObject *watched, QEvent *event) override
    {
        if (event->type() == QEvent::Paint)
            ++count;
        return QObject::eventFilter(watched, event);
    }
};

} // namespace

class TestFormDialogs : public QObject
{
    Q_OBJECT
private slots:
    void init() { TestSupport::resetDouble(); }
    void cleanup() { QVERIFY(TestSupport::modalHandlersDone() && TestSupport::leftoverTopLevels().isEmpty()); }

    void checksInOrder_data()
    {
        QTest::addColumn<QString>("kind");
        QTest::addColumn<QString>("texts");
        QTest::addColumn<QString>("hint");
        // Every new password follows the one rule; its wording is the policy's.
        const QString rule = PasswordPolicy::text(PasswordPolicy::Problem::BreaksRule, PasswordForm::Add);
        QTest::newRow("rename, no name") << "rename" << "|x" << "保护箱新名称不可为空";
        QTest::newRow("rename, no password") << "rename" << "papers|" << "保护箱密码不可为空";
        // A wrong password renames nothing.
        QTest::newRow("rename, wrong password") << "rename" << "papers|guess" << "密码认证失败，请确认密码后重新认证";
        QTest::newRow("add, password empty") << "add" << "|abc" << "密码不可为空";
        QTest::newRow("add, confirm empty") << "add" << "Secret1|" << "确认密码不可为空";
        QTest::newRow("add, against the rule") << "add" << "abc|abc" << rule;
        QTest::newRow("add, case only") << "add" << "Secret1|secret1" << "密码与确认密码不一致";
        QTest::newRow("change, all empty") << "change" << "||" << "原密码不可为空";
        QTest::newRow("change, no new") << "change" << "old||" << "新密码不可为空";
        QTest::newRow("change, no confirm") << "change" << "old|New_pw1|" << "新密码确认不可为空";
        QTest::newRow("change, against the rule") << "change" << "old|new|new" << rule;
        QTest::newRow("change, mismatch") << "change" << "old|New_pw1|new_pw1" << "新密码与确认密码不一致";
        QTest::newRow("remove, empty") << "remove" << "" << "确认密码不可为空";
    }

    // A refused input shows its hint, keeps what was typed and calls nothing
    // but the password check; a press into an edit hides the hint.
    void checksInOrder()
    {
        QFETCH(QString, kind);
        QFETCH(QString, texts);
        QFETCH(QString, hint);
        BoxDouble::setResult("box_crypto_verify_passphrase", -1);
        QDialog *dialog = makeDialog(kind);
        QStringList seen;
        TestSupport::onNextModal([&](QWidget *w) {
            fill(w, kind, texts);
            TestSupport::childWithText<QPushButton>(w, "确认")->click();
            TestSupport::waitForBoxWork();
            seen << shownHint(w) << QString::number(edit(w, 0)->text() == texts.section('|', 0, 0));
            QTest::mouseClick(edit(w, texts.count('|')), Qt::LeftButton);
            seen << shownHint(w);
            QTest::keyClick(w, Qt::Key_Escape);
        });
        QCOMPARE(dialog->exec(), 0);
        QCOMPARE(seen, (QStringList{hint, "1", ""}));
        QCOMPARE(TestSupport::callLog(),
                 hint.startsWith("密码认证失败") ? QString("box_crypto_verify_passphrase(docs,guess|5)") : QString());
    }

    void endings_data()
    {
        QTest::addColumn<QString>("kind");
        QTest::addColumn<QString>("texts");
        QTest::addColumn<QString>("how"); // enter, close, escape, or the function that fails
        QTest::addColumn<QString>("calls"); // or, when a function fails, the message shown
        QTest::addColumn<QString>("atFinish"); // passwords are wiped
        QTest::newRow("rename plain") << "rename plain" << "papers" << "enter" << "box_change_name(docs,papers)" << "papers|";
        QTest::newRow("rename encrypted") << "rename" << "papers|s3cret" << "enter"
                                          << "box_crypto_verify_passphrase(docs,s3cret|6) box_change_name(docs,papers)" << "papers|";
        QTest::newRow("add") << "add" << "Secret1|Secret1" << "enter" << "box_crypto_create(docs,Secret1|7,0x1010000)" << "|";
        QTest::newRow("change") << "change" << "old|New_pw1|New_pw1" << "enter" << "box_crypto_change_passpharse(docs,old|3,New_pw1|7)" << "||";
        // A new password equal to the current one is passed on unchanged.
        QTest::newRow("change to same") << "change" << "Same_pw1|Same_pw1|Same_pw1" << "enter" << "box_crypto_change_passpharse(docs,Same_pw1|8,Same_pw1|8)" << "||";
        QTest::newRow("remove") << "remove" << "old" << "enter" << "box_crypto_decrypt(docs,old|3)" << "||";
        QTest::newRow("change, close") << "change" << "old|New_pw1|New_pw1" << "close" << "" << "||";
        QTest::newRow("add, Escape") << "add" << "pw|pw" << "escape" << "" << "|";
        // A failure is reported over the dialog, which stays with what was typed.
        QTest::newRow("rename fails") << "rename plain" << "taken" << "box_change_name" << "警告: 保护箱 “docs” 重命名失败！" << "taken|";
        QTest::newRow("add fails") << "add" << "Secret1|Secret1" << "box_crypto_create" << "警告: 保护箱 “docs” 创建密码保护失败！" << "|";
        QTest::newRow("change fails") << "change" << "same|New_pw1|New_pw1" << "box_crypto_change_passpharse" << "警告: 保护箱 “docs” 密码修改失败！" << "||";
        QTest::newRow("remove fails") << "remove" << "old" << "box_crypto_decrypt" << "警告: 解除保护箱 “docs” 密码保护失败！" << "||";
    }

    void endings()
    {
        QFETCH(QString, kind);
        QFETCH(QString, texts);
        QFETCH(QString, how);
        QFETCH(QString, calls);
        QFETCH(QString, atFinish);
        const bool fails = how.startsWith("box_");
        if (fails)
            BoxDouble::setResult(how.toStdString(), -13);
        QDialog *dialog = makeDialog(kind);
        QString finished = "not finished", shown, kept;
        QObject::connect(dialog, &QDialog::finished, [&] { finished = editTexts(dialog); });
        QList<std::function<void(QWidget *)>> acts{
            [&](QWidget *w) {
                fill(w, kind, texts);
                QLineEdit *last = edit(w, texts.count('|'));
                if (how == "enter")
                    QTest::keyClick(last, Qt::Key_Return); // the default button
                else if (how == "close")
                    TestSupport::pressClose(w);
                else if (how == "escape")
                    QTest::keyClick(last, Qt::Key_Escape);
                if (!fails)
                    return;
                TestSupport::childWithText<QPushButton>(w, "确认")->click();
                TestSupport::waitForBoxWork(); // the result runs the message box
                kept = w->isVisible() ? editTexts(w, texts.count('|') + 1) : "closed";
                TestSupport::pressClose(w);
            },
        };
        if (fails)
            acts << [&](QWidget *w) { shown = TestSupport::answerMessage(w); };
        TestSupport::onModals(acts);
        QCOMPARE(dialog->exec(), how == "enter" ? 1 : 0);
        QCOMPARE(fails ? shown : TestSupport::callLog(), calls);
        QCOMPARE(kept, fails ? texts : QString());
        QCOMPARE(finished, atFinish);
    }

    // While the worker encrypts, the dialog stays open with its controls
    // resting and a busy line, and the window behind it keeps painting.
    void windowPaintsWhileEncrypting()
    {
        QWidget window;
        window.resize(400, 300);
        window.show();
        QVERIFY(QTest::qWaitForWindowExposed(&window));
        PaintCounter paints;
        window.installEventFilter(&paints);
        BoxDouble::addBox({"docs", "", "tester", BOX_FLAG_SELF | BOX_FLAG_UNSHARED | BOX_FLAG_PLAIN});
        BoxInfo box;
        box.name = "docs";
        box.owner = "tester";
        auto *dialog = new CreateBoxLockedDialog(box, &window);
        BoxDouble::setProgressSteps({25});
        BoxDouble::blockNextCall("box_crypto_create");
        bool blocked = false;
        bool okEnabled = true;
        bool stillOpen = false;
        QString busyLine;
        qint64 paintDelay = -1;
        TestSupport::onNextModal([&](QWidget *w) {
            fill(w, "add", "Secret_1|Secret_1");
            QPushButton *ok = TestSupport::childWithText<QPushButton>(w, "确认");
            ok->click();
            blocked = BoxDouble::waitUntilBlocked(5000);
            QTest::qWait(20); // the queued progress report
            okEnabled = ok->isEnabled();
            busyLine = TestSupport::hintShows(w, "正在加密… 25%") ? "正在加密… 25%" : "";
            QTest::keyClick(w, Qt::Key_Escape);
            stillOpen = w->isVisible();
            paints.count = 0;
            window.update();
            QElapsedTimer clock;
            clock.start();
            while (paints.count == 0 && clock.elapsed() < 1000)
                QCoreApplication::processEvents();
            paintDelay = paints.count ? clock.elapsed() : -1;
            BoxDouble::releaseBlocked();
        });
        QCOMPARE(dialog->exec(), 1);
        QVERIFY(blocked);
        QVERIFY(!okEnabled);
        QCOMPARE(busyLine, QString("正在加密… 25%"));
        QVERIFY(stillOpen);
        QVERIFY2(paintDelay >= 0 && paintDelay < 100, qPrintable(QString::number(paintDelay)));
        QCOMPARE(TestSupport::callLog(false), QString("box_crypto_create"));
    }

    void modeSwitchClearsEditsAndTypingHidesHint()
    {
        std::unique_ptr<QDialog> owner(makeDialog("change"));
        QDialog &dialog = *owner;
        dialog.setAttribute(Qt::WA_DeleteOnClose, false);
        dialog.show();
        QVERIFY(QTest::qWaitForWindowExposed(&dialog));
        QLineEdit *current = edit(&dialog, 0), *fresh = edit(&dialog, 1), *confirm = edit(&dialog, 2);
        const int changeHeight = dialog.height();
        for (const char *mode : {"解除保护", "修改密码"}) { // typed into the hidden edits too
            for (QLineEdit *e : {current, fresh, confirm})
                QTest::keyClicks(e, "typed");
            QTest::mouseClick(radio(&dialog, mode), Qt::LeftButton);
            QCOMPARE(editTexts(&dialog), QString("||"));
            const bool remove = mode == QString("解除保护");
            QVERIFY(fresh->isVisible() != remove && confirm->isVisible() != remove);
            QVERIFY(remove ? dialog.height() < changeHeight : dialog.height() == changeHeight);
        }

        // Only typing into the edit that the hint is about hides it.
        TestSupport::childWithText<QPushButton>(&dialog, "确认")->click();
        QCOMPARE(shownHint(&dialog), QString("原密码不可为空"));
        for (QLineEdit *e : {fresh, confirm})
            QTest::keyClicks(e, "n");
        QCOMPARE(shownHint(&dialog), QString("原密码不可为空"));
        QTest::keyClicks(current, "o");
        QCOMPARE(shownHint(&dialog), QString());
    }
};

QTEST_MAIN(TestFormDialogs)
#include "test_formdialogs.moc"
