#include "CreateBoxDialog.h"
#include "PasswordPolicy.h"

#include "BoxPswLineEdit.h"
#include "SwitchButton.h"
#include "boxdouble.h"
#include "testsupport.h"

#include <QLabel>
#include <QLineEdit>
#include <QPointer>
#include <QPushButton>
#include <QtTest>

using TestSupport::childWithText;

namespace {

const QString kFormatHint = PasswordPolicy::text(PasswordPolicy::Problem::BreaksRule, PasswordForm::Create);

struct Ui {
    QLineEdit *name, *psw, *confirm;
    SwitchButton *encrypt;
};

Ui ui(QWidget *d)
{
    const auto edits = d->findChildren<QLineEdit *>(QString(), Qt::FindDirectChildrenOnly);
    return {edits.value(0), d->findChild<BoxPswLineEdit *>(), edits.value(3), d->findChild<SwitchButton *>()};
}

// Types `text` as text-only key events, as an input method delivers them.
void typeInto(QWidget *w, const QString &text)
{
    for (const QChar c : text) {
        QKeyEvent press(QEvent::KeyPress, Qt::Key_unknown, Qt::NoModifier, QString(c));
        QApplication::sendEvent(w, &press);
    }
}

void fill(QWidget *d, const QString &name, bool encrypt, const QString &psw = {}, const QString &confirm = {})
{
    Ui u = ui(d);
    typeInto(u.name, name);
    if (encrypt != u.encrypt->isChecked())
        QTest::mouseClick(u.encrypt, Qt::LeftButton);
    typeInto(u.psw, psw);
    typeInto(u.confirm, confirm);
}

void clickOk(QWidget *d) { QTest::mouseClick(childWithText<QPushButton>(d, "确认"), Qt::LeftButton); }

// Runs a new dialog, answering it and the modals it opens with `acts`;
// returns exec()'s result. *wiped: both password edits were empty at the end.
int run(QList<std::function<void(QWidget *)>> acts, bool *wiped)
{
    auto *dialog = new CreateBoxDialog;
    QPointer<QLineEdit> psw = ui(dialog).psw, confirm = ui(dialog).confirm;
    *wiped = false;
    QObject::connect(dialog, &QDialog::finished,
                     [=] { *wiped = psw && confirm && psw->text().isEmpty() && confirm->text().isEmpty(); });
    TestSupport::onModals(acts);
    return dialog->exec();
}

} // namespace

class TestCreateBoxDialog : public QObject
{
    Q_OBJECT

private slots:
    void init() { TestSupport::resetDouble(); }

    void cleanup() { QVERIFY(TestSupport::modalHandlersDone() && TestSupport::leftoverTopLevels().isEmpty()); }

    // "name|encrypt|password|confirmation|hint"; no hint: the box is created. The first failing check wins.
    void inputIsChecked_data()
    {
        QTest::addColumn<QString>("row");
        for (const QString &r : QStringList{"|0|||保护箱名称不可为空", "|1|1bad|x|保护箱名称不可为空", "b|1||Abcdef|密码不可为空",
                                 "b|1|abc||" + kFormatHint, "b|1|Abcdef||确认密码不可为空",
                                 "b|1|Abcdef|abcdef|密码和确认密码不一致", "   |0|||", // names pass unchanged
                                 "账本|1|abcdef|abcdef|", "账本|1|Z1234567890_____9_|Z1234567890_____9_|"})
            QTest::newRow(qPrintable(r)) << r;
        // The password rule itself is tested with the box core.
        QTest::newRow("too short") << QString("账本|1|abcde|abcde|") + kFormatHint;
    }

    // Enter creates; a refused input shows its hint and Escape then closes.
    void inputIsChecked()
    {
        QFETCH(QString, row);
        const QStringList f = row.split('|');
        const QString name = f[0], psw = f[2], hint = f[4];
        const bool encrypt = f[1] == "1";
        bool hinted = false, wiped = false;
        auto act = [&](QWidget *d) {
            fill(d, name, encrypt, psw, f[3]);
            QPointer<QWidget> alive(d);
            QTest::keyClick(ui(d).name, Qt::Key_Return);
            TestSupport::waitForBoxWork();
            if (alive && d->isVisible()) {
                hinted = TestSupport::hintShows(d, hint);
                QTest::keyClick(ui(d).name, Qt::Key_Escape);
            }
        };
        QCOMPARE(run({act}, &wiped), hint.isEmpty() ? 1 : 0);
        QCOMPARE(hinted, !hint.isEmpty());
        QVERIFY(wiped);
        const QString crypto = QString(" box_crypto_create(%1,%2|%3,0x1010000)").arg(name, psw).arg(psw.size());
        QCOMPARE(TestSupport::callLog(), hint.isEmpty() ? "box_create(" + name + ")" + (encrypt ? crypto : "") : "");
    }

    void libraryFailureWarnsOverTheDialogAndKeepsInput()
    {
        for (const bool encrypt : {false, true}) {
            TestSupport::resetDouble();
            BoxDouble::setResult(encrypt ? "box_crypto_create" : "box_create", -17);
            QString warning;
            bool kept = false, wiped = false;
            auto act = [&](QWidget *d) {
                fill(d, "票据", encrypt, "Secret_1", "Secret_1");
                clickOk(d);
                TestSupport::waitForBoxWork(); // returns once the message box below is closed
                Ui u = ui(d);
                kept = d->isVisible() && u.name->text() == "票据" && u.encrypt->isChecked() == encrypt
                       && (!encrypt || (u.psw->text() == "Secret_1" && u.confirm->text() == "Secret_1"));
                TestSupport::pressClose(d);
            };
            auto answer = [&](QWidget *box) { // over the dialog
                if (qobject_cast<CreateBoxDialog *>(box->parentWidget()))
                    warning = TestSupport::answerMessage(box);
            };
            QCOMPARE(run({act, answer}, &wiped), 0);
            QCOMPARE(warning, QString("警告: 创建保护箱失败！"));
            QVERIFY(kept && wiped);
        }
    }

    // Tab walks the form from top to bottom (the greyed path is skipped) and
    // Space on the switch asks for the password; the two-line password rule
    // wraps inside the dialog, which keeps its size.
    void keyboardAndHintKeepTheSize()
    {
        bool wiped = false, hinted = false;
        QStringList order;
        QSize encryptedSize, withHint;
        int hintRight = 0;
        auto act = [&](QWidget *d) {
            Ui u = ui(d);
            const QMap<QWidget *, QString> names{{u.name, "name"}, {u.encrypt, "switch"}, {u.psw, "password"},
                                                 {u.confirm, "confirm"}};
            order << names.value(d->focusWidget(), "?");
            u.encrypt->setFocus();
            QTest::keyClick(u.encrypt, Qt::Key_Space);
            encryptedSize = d->size();
            u.name->setFocus();
            for (int i = 0; i < 6; ++i) {
                QWidget *focus = d->focusWidget();
                auto *button = qobject_cast<QPushButton *>(focus);
                order << (button ? button->text() : names.value(focus, "?"));
                QTest::keyClick(focus, Qt::Key_Tab);
            }
            typeInto(u.name, "b");
            typeInto(u.psw, "abc");
            typeInto(u.confirm, "abc");
            QTest::keyClick(u.confirm, Qt::Key_Return);
            withHint = d->size();
            hinted = TestSupport::hintShows(d, kFormatHint);
            for (QLabel *l : d->findChildren<QLabel *>())
                if (l->text() == kFormatHint)
                    hintRight = l->geometry().right();
            QTest::keyClick(u.confirm, Qt::Key_Escape);
        };
        QCOMPARE(run({act}, &wiped), 0);
        QCOMPARE(order, (QStringList{"name", "name", "switch", "password", "confirm", "确认", "取消"}));
        QVERIFY(hinted);
        QCOMPARE(withHint, encryptedSize);
        QVERIFY(hintRight > 0 && hintRight < encryptedSize.width());
    }

    void switchClearsPasswords()
    {
        QStringList seen;
        bool wiped = false;
        auto act = [&](QWidget *d) {
            Ui u = ui(d);
            fill(d, "b", true, "Abcdef", "Abcdeg");
            clickOk(d);
            QTest::mouseClick(u.encrypt, Qt::LeftButton); // off: rows and hint hidden, text kept
            seen << QString::number(TestSupport::hintShows(d, "密码和确认密码不一致"))
                 << QString::number(u.psw->isHidden() && u.psw->text() == "Abcdef");
            QTest::mouseClick(u.encrypt, Qt::LeftButton); // on again: both cleared
            seen << QString::number((u.psw->text() + u.confirm->text()).isEmpty());
            typeInto(u.psw, "Typed_1");
            QTest::mouseClick(u.encrypt, Qt::LeftButton); // off: a plain create ignores them
            clickOk(d);
        };
        QCOMPARE(run({act}, &wiped), 1);
        QCOMPARE(seen, (QStringList{"0", "1", "1"}));
        QCOMPARE(TestSupport::callLog(), QString("box_create(b)"));
    }

    // The path is the user's box folder as the library reports it, and
    // "/box/<login>" where the library cannot say.
    void pathShowsTheBoxFolder_data()
    {
        QTest::addColumn<QString>("libraryFolder");
        QTest::addColumn<QString>("shown");
        QTest::newRow("from the library") << "/home/alice/boxes/alice" << "/home/alice/boxes/alice";
        QTest::newRow("library cannot say") << "" << "/box/alice";
    }

    void pathShowsTheBoxFolder()
    {
        QFETCH(QString, libraryFolder);
        QFETCH(QString, shown);
        qputenv("USER", "alice");
        BoxDouble::setUserFolder(libraryFolder.toStdString());
        CreateBoxDialog dialog;
        const auto edits = dialog.findChildren<QLineEdit *>(QString(), Qt::FindDirectChildrenOnly);
        QCOMPARE(edits.value(1)->text(), shown);
    }
};

QTEST_MAIN(TestCreateBoxDialog)
#include "test_createboxdialog.moc"
