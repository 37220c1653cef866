#include "CreateBoxDialog.h"

#include "BoxPswLineEdit.h"
#include "SwitchButton.h"
#include "boxdouble.h"
#include "testsupport.h"

#include <QLineEdit>
#include <QPointer>
#include <QPushButton>
#include <QtTest>

using TestSupport::childWithText;

namespace {

const QString kFormatHint = "密码格式与要求不符\n密码要求：密码长度6-18位，只能包含字母、数字和下划线";

struct Ui {
    QLineEdit *name, *psw, *confirm;
    SwitchButton *encrypt;
};

Ui ui(QWidget *d)
{
    const auto edits = d->findChildren<QLineEdit *>(QString(), Qt::FindDirectChildrenOnly);
    return {edits.value(0), d->findChild<BoxPswLineEdit *>(), edits.value(3), d->findChild<SwitchButton *>()};
}

// Types `text` key by key, as text-only key events (as an input method
// delivers characters beyond ASCII).
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

    void cleanup()
    {
        QVERIFY(TestSupport::modalHandlersDone());
        QVERIFY(TestSupport::leftoverTopLevels().isEmpty());
    }

    void inputIsChecked_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<bool>("encrypt");
        QTest::addColumn<QString>("psw");
        QTest::addColumn<QString>("confirm");
        QTest::addColumn<QString>("hint"); // empty: the box is created
        // The first failing check wins.
        QTest::newRow("plain, no name") << "" << false << "" << "" << "保护箱名称不可为空";
        QTest::newRow("name before format") << "" << true << "1bad" << "x" << "保护箱名称不可为空";
        QTest::newRow("empty password") << "b" << true << "" << "Abcdef" << "密码不可为空";
        QTest::newRow("format before confirm") << "b" << true << "abc" << "" << kFormatHint;
        QTest::newRow("empty confirmation") << "b" << true << "Abcdef" << "" << "确认密码不可为空";
        QTest::newRow("case differs") << "b" << true << "Abcdef" << "abcdef" << "密码和确认密码不一致";
        // Names are passed on unchanged, even spaces only.
        QTest::newRow("plain, spaces only") << "   " << false << "" << "" << "";
        // The password rule: 6 to 18 letters, digits or underscores, a letter first.
        QTest::newRow("6 letters") << "账本" << true << "abcdef" << "abcdef" << "";
        QTest::newRow("18 characters") << "账本" << true << "Z1234567890_____9_" << "Z1234567890_____9_" << "";
        QTest::newRow("5 letters") << "账本" << true << "abcde" << "abcde" << kFormatHint;
        QTest::newRow("19 letters") << "账本" << true << "abcdefghijklmnopqrs" << "abcdefghijklmnopqrs" << kFormatHint;
        QTest::newRow("leading digit") << "账本" << true << "1abcdef" << "1abcdef" << kFormatHint;
        QTest::newRow("leading underscore") << "账本" << true << "_abcdef" << "_abcdef" << kFormatHint;
        QTest::newRow("non-ASCII letter") << "账本" << true << "abcdéf" << "abcdéf" << kFormatHint;
    }

    // Enter creates; a refused input shows its hint and Escape then closes.
    void inputIsChecked()
    {
        QFETCH(QString, name);
        QFETCH(bool, encrypt);
        QFETCH(QString, psw);
        QFETCH(QString, confirm);
        QFETCH(QString, hint);
        bool hinted = false, wiped = false;
        auto act = [&](QWidget *d) {
            fill(d, name, encrypt, psw, confirm);
            QTest::keyClick(ui(d).name, Qt::Key_Return);
            if (d->isVisible()) {
                hinted = TestSupport::hintShows(d, hint);
                QTest::keyClick(ui(d).name, Qt::Key_Escape);
            }
        };
        QCOMPARE(run({act}, &wiped), hint.isEmpty() ? 1 : 0);
        QCOMPARE(hinted, !hint.isEmpty());
        QVERIFY(wiped);
        QString calls = hint.isEmpty() ? "box_create(" + name + ")" : "";
        if (hint.isEmpty() && encrypt)
            calls += QString(" box_crypto_create(%1,%2|%3,0x1010000)").arg(name, psw).arg(psw.size());
        QCOMPARE(TestSupport::callLog(), calls);
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
                clickOk(d); // returns once the message box below is closed
                Ui u = ui(d);
                kept = d->isVisible() && u.name->text() == "票据" && u.encrypt->isChecked() == encrypt
                       && (!encrypt || (u.psw->text() == "Secret_1" && u.confirm->text() == "Secret_1"));
                TestSupport::pressClose(d);
            };
            auto answer = [&](QWidget *box) {
                if (qobject_cast<CreateBoxDialog *>(box->parentWidget())) // over the dialog
                    warning = TestSupport::answerMessage(box);
            };
            QCOMPARE(run({act, answer}, &wiped), 0);
            QCOMPARE(warning, QString("警告: 创建保护箱失败！"));
            QVERIFY(kept && wiped);
        }
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
};

QTEST_MAIN(TestCreateBoxDialog)
#include "test_createboxdialog.moc"
