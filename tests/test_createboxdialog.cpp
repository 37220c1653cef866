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
    QLineEdit *name, *path, *psw, *confirm;
    SwitchButton *encrypt;
    QPushButton *ok, *cancel;
};

Ui ui(QWidget *d)
{
    const auto edits = d->findChildren<QLineEdit *>(QString(), Qt::FindDirectChildrenOnly);
    return {edits.value(0), edits.value(1), d->findChild<BoxPswLineEdit *>(), edits.value(3),
            d->findChild<SwitchButton *>(), childWithText<QPushButton>(d, "确认"),
            childWithText<QPushButton>(d, "取消")};
}

// Types `text` key by key; characters beyond ASCII arrive as text-only key
// events, as an input method would deliver them.
void typeInto(QWidget *w, const QString &text)
{
    for (const QChar c : text) {
        if (c.unicode() < 128) {
            QTest::keyClick(w, c.toLatin1());
            continue;
        }
        QKeyEvent press(QEvent::KeyPress, Qt::Key_unknown, Qt::NoModifier, QString(c));
        QApplication::sendEvent(w, &press);
        QKeyEvent release(QEvent::KeyRelease, Qt::Key_unknown, Qt::NoModifier, QString(c));
        QApplication::sendEvent(w, &release);
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

    void startsPlainWithNameFocusedAndPathFromUser()
    {
        const QByteArray savedUser = qgetenv("USER");
        qputenv("USER", "alice");
        auto *d = new CreateBoxDialog;
        qputenv("USER", savedUser);
        Ui u = ui(d);
        QCOMPARE(d->findChild<TitleBar *>()->m_pTitleLabel->text(), QString("创建保护箱"));
        QCOMPARE(u.path->text(), QString("/box/alice"));
        QVERIFY(!u.path->isEnabled());
        QCOMPARE(d->focusWidget(), static_cast<QWidget *>(u.name));
        QVERIFY(!u.encrypt->isChecked());
        QVERIFY(u.psw->isHidden() && u.confirm->isHidden());

        // Keyboard order follows the rows from top to bottom.
        const QList<QWidget *> wanted{u.name, u.path, u.encrypt, u.psw, u.confirm, u.ok, u.cancel};
        QList<QWidget *> chain;
        for (QWidget *w = u.name; chain.size() < wanted.size(); w = w->nextInFocusChain())
            if (wanted.contains(w))
                chain << w;
        QCOMPARE(chain, wanted);
        delete d;
    }

    void plainCreatePassesTheNameUnchanged_data()
    {
        QTest::addColumn<QString>("name");
        QTest::newRow("ordinary") << "票据";
        QTest::newRow("spaces only") << "   ";
    }

    void plainCreatePassesTheNameUnchanged()
    {
        QFETCH(QString, name);
        TestSupport::onNextModal([&](QWidget *d) {
            fill(d, name, false);
            clickOk(d);
        });
        QCOMPARE((new CreateBoxDialog)->exec(), 1);
        const auto calls = BoxDouble::calls();
        QCOMPARE(BoxDouble::callNames(), std::vector<std::string>{"box_create"});
        QCOMPARE(QString::fromStdString(calls[0].args.at(0)), name);
    }

    void inputIsCheckedInOrder_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<bool>("encrypt");
        QTest::addColumn<QString>("psw");
        QTest::addColumn<QString>("confirm");
        QTest::addColumn<QString>("hint");
        QTest::newRow("plain, no name") << "" << false << "" << "" << "保护箱名称不可为空";
        QTest::newRow("name before password") << "" << true << "" << "" << "保护箱名称不可为空";
        QTest::newRow("name before format") << "" << true << "1bad" << "x" << "保护箱名称不可为空";
        QTest::newRow("empty password") << "b" << true << "" << "Abcdef" << "密码不可为空";
        QTest::newRow("format before confirm") << "b" << true << "abc" << "" << kFormatHint;
        QTest::newRow("empty confirmation") << "b" << true << "Abcdef" << "" << "确认密码不可为空";
        QTest::newRow("case differs") << "b" << true << "Abcdef" << "abcdef" << "密码和确认密码不一致";
    }

    void inputIsCheckedInOrder()
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
            hinted = hintShows(d, hint) && d->isVisible();
            d->close();
        });
        QCOMPARE((new CreateBoxDialog)->exec(), 0);
        QVERIFY(hinted);
        QVERIFY(BoxDouble::calls().empty());
    }

    void passwordRule_data()
    {
        QTest::addColumn<QString>("psw");
        QTest::addColumn<bool>("passes");
        QTest::newRow("6 letters") << "abcdef" << true;
        QTest::newRow("18: letter, digits, underscores") << "Z1234567890_____9_" << true;
        QTest::newRow("5 letters") << "abcde" << false;
        QTest::newRow("19 letters") << "abcdefghijklmnopqrs" << false;
        QTest::newRow("leading digit") << "1abcdef" << false;
        QTest::newRow("leading underscore") << "_abcdef" << false;
        QTest::newRow("space") << "abc def" << false;
        QTest::newRow("hyphen") << "abc-def" << false;
        QTest::newRow("non-ASCII letter") << "abcdéf" << false;
        QTest::newRow("full-width first letter") << "ａbcdef" << false;
    }

    void passwordRule()
    {
        QFETCH(QString, psw);
        QFETCH(bool, passes);
        bool formatHint = false;
        TestSupport::onNextModal([&](QWidget *d) {
            fill(d, "账本", true, psw, psw);
            clickOk(d);
            if (d->isVisible()) {
                formatHint = hintShows(d, kFormatHint);
                d->close();
            }
        });
        QCOMPARE((new CreateBoxDialog)->exec(), passes ? 1 : 0);
        QCOMPARE(formatHint, !passes);
        if (!passes) {
            QVERIFY(BoxDouble::calls().empty());
            return;
        }
        const auto calls = BoxDouble::calls();
        QCOMPARE(BoxDouble::callNames(), (std::vector<std::string>{"box_create", "box_crypto_create"}));
        QCOMPARE(calls[1].args.at(0), std::string("账本"));
        QCOMPARE(QString::fromStdString(calls[1].args.at(1)), psw + "|" + QString::number(psw.size()));
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
        QString title;
        QPoint at, centre;
        bool textShown = false, ownedByDialog = false, kept = false;
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
                QWidget *d = box->parentWidget();
                ownedByDialog = qobject_cast<MessageBox *>(box) && qobject_cast<CreateBoxDialog *>(d);
                title = box->findChild<TitleBar *>()->m_pTitleLabel->text();
                textShown = childWithText<QLabel>(box, "创建保护箱失败！") != nullptr;
                at = box->pos();
                if (d)
                    centre = QPoint(d->x() + d->width() / 2 - box->width() / 2,
                                    d->y() + d->height() / 2 - box->height() / 2);
                QTest::mouseClick(childWithText<QPushButton>(box, "确认"), Qt::LeftButton);
            },
        });
        QCOMPARE((new CreateBoxDialog)->exec(), 0);
        QVERIFY(ownedByDialog);
        QCOMPARE(title, QString("警告"));
        QVERIFY(textShown);
        QCOMPARE(at, centre);
        QVERIFY(kept);
    }

    void switchClearsPasswordsAndResizes()
    {
        bool keptWhileOff = false, clearedOnEnable = false, hintGone = false;
        QSize off, on, offAgain;
        TestSupport::onNextModal([&](QWidget *d) {
            Ui u = ui(d);
            off = d->size();
            fill(d, "b", true, "Abcdef", "Abcdeg");
            on = d->size();
            clickOk(d);
            QTest::mouseClick(u.encrypt, Qt::LeftButton); // off: rows hidden, text kept
            offAgain = d->size();
            hintGone = !hintShows(d, "密码和确认密码不一致");
            keptWhileOff = u.psw->isHidden() && u.psw->text() == "Abcdef";
            QTest::mouseClick(u.encrypt, Qt::LeftButton); // on again: both cleared
            clearedOnEnable = u.psw->text().isEmpty() && u.confirm->text().isEmpty();
            typeInto(u.psw, "Typed_1");
            typeInto(u.confirm, "Typed_2");
            QTest::mouseClick(u.encrypt, Qt::LeftButton); // off: a plain create ignores them
            clickOk(d);
        });
        QCOMPARE((new CreateBoxDialog)->exec(), 1);
        QVERIFY(keptWhileOff);
        QVERIFY(clearedOnEnable);
        QVERIFY(hintGone);
        QCOMPARE(BoxDouble::callNames(), std::vector<std::string>{"box_create"});
        // 540 × 320 and 540 × 380, or taller where the rows need it.
        QCOMPARE(off.width(), 540);
        QCOMPARE(on.width(), 540);
        QVERIFY(off.height() >= 320);
        QVERIFY(on.height() >= 380 && on.height() > off.height());
        QCOMPARE(offAgain, off);
    }

    void pressIntoAnEditHidesTheHintTypingDoesNot()
    {
        bool afterTyping = false, afterNamePress = true, afterConfirmPress = true;
        TestSupport::onNextModal([&](QWidget *d) {
            Ui u = ui(d);
            clickOk(d);
            typeInto(u.name, "x");
            afterTyping = hintShows(d, "保护箱名称不可为空");
            QTest::mouseClick(u.name, Qt::LeftButton);
            afterNamePress = hintShows(d, "保护箱名称不可为空");
            fill(d, "", true, "abc");
            clickOk(d);
            QTest::mouseClick(u.confirm, Qt::LeftButton);
            afterConfirmPress = hintShows(d, kFormatHint);
            d->close();
        });
        QCOMPARE((new CreateBoxDialog)->exec(), 0);
        QVERIFY(afterTyping);
        QVERIFY(!afterNamePress);
        QVERIFY(!afterConfirmPress);
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
