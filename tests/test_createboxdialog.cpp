#include "CreateBoxDialog.h"

#include "BoxPswLineEdit.h"
#include "MessageBox.h"
#include "SwitchButton.h"
#include "TitleBar.h"
#include "boxdouble.h"
#include "testsupport.h"

#include <QLabel>
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
    QPushButton *ok, *cancel;
};

Ui ui(QWidget *d)
{
    const auto edits = d->findChildren<QLineEdit *>(QString(), Qt::FindDirectChildrenOnly);
    return {edits.value(0), d->findChild<BoxPswLineEdit *>(), edits.value(3),
            d->findChild<SwitchButton *>(), childWithText<QPushButton>(d, "确认"),
            childWithText<QPushButton>(d, "取消")};
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

// The red hint line currently shows `text`.
bool hintShows(QWidget *d, const QString &text)
{
    QLabel *hint = childWithText<QLabel>(d, text);
    return hint && hint->isVisible();
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

void clickOk(QWidget *d) { QTest::mouseClick(ui(d).ok, Qt::LeftButton); }

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
        QTest::newRow("plain") << "票据" << false << "" << "" << "";
        QTest::newRow("plain, spaces only") << "   " << false << "" << "" << "";
        // The password rule: 6 to 18 letters, digits or underscores, a letter first.
        QTest::newRow("6 letters") << "账本" << true << "abcdef" << "abcdef" << "";
        QTest::newRow("18 characters") << "账本" << true << "Z1234567890_____9_" << "Z1234567890_____9_" << "";
        QTest::newRow("5 letters") << "账本" << true << "abcde" << "abcde" << kFormatHint;
        QTest::newRow("19 letters") << "账本" << true << "abcdefghijklmnopqrs" << "abcdefghijklmnopqrs" << kFormatHint;
        QTest::newRow("leading digit") << "账本" << true << "1abcdef" << "1abcdef" << kFormatHint;
        QTest::newRow("leading underscore") << "账本" << true << "_abcdef" << "_abcdef" << kFormatHint;
        QTest::newRow("non-ASCII letter") << "账本" << true << "abcdéf" << "abcdéf" << kFormatHint;
        QTest::newRow("full-width first letter") << "账本" << true << "ａbcdef" << "ａbcdef" << kFormatHint;
    }

    void inputIsChecked()
    {
        QFETCH(QString, name);
        QFETCH(bool, encrypt);
        QFETCH(QString, psw);
        QFETCH(QString, confirm);
        QFETCH(QString, hint);
        bool hinted = false;
        TestSupport::onNextModal([&](QWidget *d) {
            fill(d, name, encrypt, psw, confirm);
            clickOk(d);
            if (d->isVisible()) {
                hinted = hintShows(d, hint);
                d->close();
            }
        });
        QCOMPARE((new CreateBoxDialog)->exec(), hint.isEmpty() ? 1 : 0);
        QCOMPARE(hinted, !hint.isEmpty());
        const auto calls = BoxDouble::calls();
        if (!hint.isEmpty()) {
            QVERIFY(calls.empty());
        } else if (!encrypt) {
            QCOMPARE(BoxDouble::callNames(), std::vector<std::string>{"box_create"});
            QCOMPARE(QString::fromStdString(calls[0].args.at(0)), name);
        } else {
            QCOMPARE(BoxDouble::callNames(), (std::vector<std::string>{"box_create", "box_crypto_create"}));
            QCOMPARE(QString::fromStdString(calls[1].args.at(0)), name);
            QCOMPARE(QString::fromStdString(calls[1].args.at(1)), psw + "|" + QString::number(psw.size()));
        }
    }

    void libraryFailureWarnsOverTheDialogAndKeepsInput_data()
    {
        QTest::addColumn<bool>("encrypt");
        QTest::addColumn<QString>("failing");
        QTest::newRow("plain") << false << "box_create";
        QTest::newRow("encrypted") << true << "box_crypto_create";
    }

    void libraryFailureWarnsOverTheDialogAndKeepsInput()
    {
        QFETCH(bool, encrypt);
        QFETCH(QString, failing);
        BoxDouble::setResult(failing.toStdString(), -17);
        QString warning;
        bool kept = false;
        TestSupport::onModals({
            [&](QWidget *d) {
                fill(d, "票据", encrypt, "Secret_1", "Secret_1");
                clickOk(d); // returns once the message box below is closed
                Ui u = ui(d);
                kept = d->isVisible() && u.name->text() == "票据" && u.encrypt->isChecked() == encrypt
                       && (!encrypt || (u.psw->text() == "Secret_1" && u.confirm->text() == "Secret_1"));
                QTest::mouseClick(u.cancel, Qt::LeftButton);
            },
            [&](QWidget *box) {
                if (qobject_cast<MessageBox *>(box) && qobject_cast<CreateBoxDialog *>(box->parentWidget())
                    && childWithText<QLabel>(box, "创建保护箱失败！"))
                    warning = box->findChild<TitleBar *>()->m_pTitleLabel->text();
                QTest::mouseClick(childWithText<QPushButton>(box, "确认"), Qt::LeftButton);
            },
        });
        QCOMPARE((new CreateBoxDialog)->exec(), 0);
        QCOMPARE(warning, QString("警告"));
        QVERIFY(kept);
    }

    void switchClearsPasswords()
    {
        bool keptWhileOff = false, clearedOnEnable = false, hintGone = false;
        TestSupport::onNextModal([&](QWidget *d) {
            Ui u = ui(d);
            fill(d, "b", true, "Abcdef", "Abcdeg");
            clickOk(d);
            QTest::mouseClick(u.encrypt, Qt::LeftButton); // off: rows and hint hidden, text kept
            hintGone = !hintShows(d, "密码和确认密码不一致");
            keptWhileOff = u.psw->isHidden() && u.psw->text() == "Abcdef";
            QTest::mouseClick(u.encrypt, Qt::LeftButton); // on again: both cleared
            clearedOnEnable = u.psw->text().isEmpty() && u.confirm->text().isEmpty();
            typeInto(u.psw, "Typed_1");
            QTest::mouseClick(u.encrypt, Qt::LeftButton); // off: a plain create ignores them
            clickOk(d);
        });
        QCOMPARE((new CreateBoxDialog)->exec(), 1);
        QVERIFY(keptWhileOff);
        QVERIFY(clearedOnEnable);
        QVERIFY(hintGone);
        QCOMPARE(BoxDouble::callNames(), std::vector<std::string>{"box_create"});
    }

    void passwordsAreWipedHoweverTheDialogEnds_data()
    {
        QTest::addColumn<QString>("how");
        QTest::addColumn<int>("result");
        QTest::newRow("Enter creates") << "enter" << 1;
        QTest::newRow("close button") << "close" << 0;
        QTest::newRow("escape") << "escape" << 0;
    }

    void passwordsAreWipedHoweverTheDialogEnds()
    {
        QFETCH(QString, how);
        QFETCH(int, result);
        auto *dialog = new CreateBoxDialog;
        QPointer<QLineEdit> psw = ui(dialog).psw, confirm = ui(dialog).confirm;
        QStringList leftInEdits{"not checked"};
        connect(dialog, &QDialog::finished, this, [&] {
            leftInEdits = QStringList{psw ? psw->text() : "gone", confirm ? confirm->text() : "gone"};
        });
        TestSupport::onNextModal([&](QWidget *d) {
            fill(d, "b", true, "Abcdef", "Abcdef");
            if (how == "enter")
                QTest::keyClick(ui(d).confirm, Qt::Key_Return);
            else if (how == "close")
                QTest::mouseClick(d->findChild<TitleBar *>()->m_pCloseBtn, Qt::LeftButton);
            else
                QTest::keyClick(ui(d).name, Qt::Key_Escape);
        });
        QCOMPARE(dialog->exec(), result);
        QCOMPARE(leftInEdits, (QStringList{"", ""}));
        QVERIFY(psw.isNull());
        QCOMPARE(BoxDouble::callCount("box_crypto_create"), result);
    }
};

QTEST_MAIN(TestCreateBoxDialog)
#include "test_createboxdialog.moc"
