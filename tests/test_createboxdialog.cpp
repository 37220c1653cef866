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
        QCOMPARE(d->windowFlags(), Qt::Tool | Qt::FramelessWindowHint);
        QVERIFY(d->testAttribute(Qt::WA_DeleteOnClose));
        QCOMPARE(u.path->text(), QString("/box/alice"));
        QVERIFY(!u.path->isEnabled());
        QVERIFY(u.path->isReadOnly());
        QCOMPARE(d->focusWidget(), static_cast<QWidget *>(u.name));
        QCOMPARE(u.name->maxLength(), 64);
        QCOMPARE(u.psw->maxLength(), 32);
        QCOMPARE(u.confirm->maxLength(), 32);
        QCOMPARE(u.confirm->echoMode(), QLineEdit::Password);
        QVERIFY(!u.encrypt->isChecked());
        QVERIFY(u.psw->isHidden());
        QVERIFY(u.confirm->isHidden());

        // Keyboard order follows the rows from top to bottom.
        const QList<QWidget *> wanted{u.name, u.path, u.encrypt, u.psw, u.confirm, u.ok, u.cancel};
        QList<QWidget *> chain;
        for (QWidget *w = u.name; chain.size() < wanted.size(); w = w->nextInFocusChain())
            if (wanted.contains(w))
                chain << w;
        QCOMPARE(chain, wanted);
        delete d;
    }

    void plainCreate_data()
    {
        QTest::addColumn<QString>("name");
        QTest::newRow("ordinary") << "票据";
        QTest::newRow("spaces only, unchanged") << "   ";
    }

    void plainCreate()
    {
        QFETCH(QString, name);
        TestSupport::onNextModal([&](QWidget *d) {
            fill(d, name, false);
            clickOk(d);
        });
        QCOMPARE((new CreateBoxDialog)->exec(), 1);
        const auto calls = BoxDouble::calls();
        QCOMPARE(calls.size(), size_t(1));
        QCOMPARE(calls[0].func, std::string("box_create"));
        QCOMPARE(QString::fromStdString(calls[0].args.at(0)), name);
    }

    void emptyNameIsRefused()
    {
        bool hinted = false;
        TestSupport::onNextModal([&](QWidget *d) {
            clickOk(d);
            hinted = hintShows(d, "保护箱名称不可为空");
            d->close();
        });
        QCOMPARE((new CreateBoxDialog)->exec(), 0);
        QVERIFY(hinted);
        QVERIFY(BoxDouble::calls().empty());
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
        QString title, centredAt, shouldBe;
        bool textShown = false, ownedByDialog = false, kept = false, stillOpen = false;
        TestSupport::onModals({
            [&](QWidget *d) {
                fill(d, "票据", encrypt, "Secret_1", "Secret_1");
                clickOk(d); // runs the message box below to its end
                Ui u = ui(d);
                kept = u.name->text() == "票据" && u.encrypt->isChecked() == encrypt
                       && (!encrypt || (u.psw->text() == "Secret_1" && u.confirm->text() == "Secret_1"));
                stillOpen = d->isVisible();
                QTest::mouseClick(u.cancel, Qt::LeftButton);
            },
            [&](QWidget *box) {
                QWidget *d = box->parentWidget();
                ownedByDialog = qobject_cast<MessageBox *>(box) && qobject_cast<CreateBoxDialog *>(d);
                title = box->findChild<TitleBar *>()->m_pTitleLabel->text();
                textShown = childWithText<QLabel>(box, "创建保护箱失败！") != nullptr;
                if (d) {
                    QDebug(&centredAt) << box->pos();
                    QDebug(&shouldBe) << QPoint(d->x() + d->width() / 2 - box->width() / 2,
                                                d->y() + d->height() / 2 - box->height() / 2);
                }
                QTest::mouseClick(childWithText<QPushButton>(box, "确认"), Qt::LeftButton);
            },
        });
        QCOMPARE((new CreateBoxDialog)->exec(), 0);
        QVERIFY(ownedByDialog);
        QCOMPARE(title, QString("警告"));
        QVERIFY(textShown);
        QCOMPARE(centredAt, shouldBe);
        QVERIFY(kept);
        QVERIFY(stillOpen);
        if (encrypt) // no plain box is left behind
            QCOMPARE(BoxDouble::callNames(),
                     (std::vector<std::string>{"box_create", "box_crypto_create", "box_delete"}));
    }

    void encryptedInputIsCheckedInOrder_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("psw");
        QTest::addColumn<QString>("confirm");
        QTest::addColumn<QString>("hint");
        QTest::newRow("name before everything") << "" << "" << "" << "保护箱名称不可为空";
        QTest::newRow("name before format") << "" << "1bad" << "x" << "保护箱名称不可为空";
        QTest::newRow("empty password") << "b" << "" << "Abcdef" << "密码不可为空";
        QTest::newRow("format before confirm") << "b" << "abc" << "" << kFormatHint;
        QTest::newRow("empty confirmation") << "b" << "Abcdef" << "" << "确认密码不可为空";
        QTest::newRow("case differs") << "b" << "Abcdef" << "abcdef" << "密码和确认密码不一致";
        QTest::newRow("confirm longer") << "b" << "Abcdef" << "Abcdefg" << "密码和确认密码不一致";
    }

    void encryptedInputIsCheckedInOrder()
    {
        QFETCH(QString, name);
        QFETCH(QString, psw);
        QFETCH(QString, confirm);
        QFETCH(QString, hint);
        bool hinted = false;
        TestSupport::onNextModal([&](QWidget *d) {
            fill(d, name, true, psw, confirm);
            clickOk(d);
            hinted = hintShows(d, hint);
            QTest::keyClick(d, Qt::Key_Escape);
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
        QTest::newRow("non-ASCII letter inside") << "abcdéf" << false;
        QTest::newRow("full-width leading letter") << "ａbcdef" << false;
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
        QCOMPARE(calls[0].args.at(0), std::string("账本"));
        QCOMPARE(calls[1].args.at(0), std::string("账本"));
        QCOMPARE(QString::fromStdString(calls[1].args.at(1)), psw + "|" + QString::number(psw.size()));
    }

    void switchingOnClearsPasswordsOffKeepsThemUnused()
    {
        bool clearedOnEnable = false, hintGone = false, keptWhileOff = false;
        TestSupport::onNextModal([&](QWidget *d) {
            Ui u = ui(d);
            fill(d, "b", true, "Abcdef", "Abcdeg");
            clickOk(d);
            QTest::mouseClick(u.encrypt, Qt::LeftButton); // off: rows hidden, text stays
            hintGone = !hintShows(d, "密码和确认密码不一致");
            keptWhileOff = u.psw->isHidden() && u.psw->text() == "Abcdef";
            QTest::mouseClick(u.encrypt, Qt::LeftButton); // on again: both cleared
            clearedOnEnable = u.psw->text().isEmpty() && u.confirm->text().isEmpty() && u.psw->isVisible();
            typeInto(u.psw, "Typed_1");
            typeInto(u.confirm, "Typed_2");
            QTest::mouseClick(u.encrypt, Qt::LeftButton); // off: a plain create ignores them
            clickOk(d);
        });
        QCOMPARE((new CreateBoxDialog)->exec(), 1);
        QVERIFY(hintGone);
        QVERIFY(keptWhileOff);
        QVERIFY(clearedOnEnable);
        QCOMPARE(BoxDouble::callNames(), std::vector<std::string>{"box_create"});
    }

    void switchGrowsAndShrinksTheDialog()
    {
        QSize off, on, offAgain, onAgain;
        TestSupport::onNextModal([&](QWidget *d) {
            SwitchButton *encrypt = ui(d).encrypt;
            off = d->size();
            QTest::mouseClick(encrypt, Qt::LeftButton);
            on = d->size();
            QTest::mouseClick(encrypt, Qt::LeftButton);
            offAgain = d->size();
            QTest::mouseClick(encrypt, Qt::LeftButton);
            onAgain = d->size();
            d->close();
        });
        QCOMPARE((new CreateBoxDialog)->exec(), 0);
        // 540 × 320 and 540 × 380 unless the rows need more height.
        QCOMPARE(off.width(), 540);
        QVERIFY(off.height() >= 320);
        QCOMPARE(on.width(), 540);
        QVERIFY(on.height() >= 380);
        QVERIFY(on.height() > off.height());
        QCOMPARE(offAgain, off);
        QCOMPARE(onAgain, on);
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

    void enterInAnEditConfirms()
    {
        TestSupport::onNextModal([](QWidget *d) {
            fill(d, "b", true, "Abcdef", "Abcdef");
            QTest::keyClick(ui(d).confirm, Qt::Key_Return);
        });
        QCOMPARE((new CreateBoxDialog)->exec(), 1);
        QCOMPARE(BoxDouble::callCount("box_crypto_create"), 1);
    }

    void closeButtonAndEscapeReject_data()
    {
        QTest::addColumn<bool>("useEscape");
        QTest::newRow("close button") << false;
        QTest::newRow("escape") << true;
    }

    void closeButtonAndEscapeReject()
    {
        QFETCH(bool, useEscape);
        TestSupport::onNextModal([=](QWidget *d) {
            fill(d, "b", false);
            if (useEscape)
                QTest::keyClick(ui(d).name, Qt::Key_Escape);
            else
                QTest::mouseClick(d->findChild<TitleBar *>()->m_pCloseBtn, Qt::LeftButton);
        });
        QCOMPARE((new CreateBoxDialog)->exec(), 0);
        QVERIFY(BoxDouble::calls().empty());
    }

    void passwordsAreClearedWhenTheDialogCloses_data()
    {
        QTest::addColumn<int>("result");
        QTest::newRow("created") << 1;
        QTest::newRow("cancelled after a mismatch") << 0;
    }

    void passwordsAreClearedWhenTheDialogCloses()
    {
        QFETCH(int, result);
        auto *dialog = new CreateBoxDialog;
        Ui u = ui(dialog);
        QPointer<QLineEdit> psw = u.psw, confirm = u.confirm;
        QStringList leftInEdits{"not checked"};
        connect(dialog, &QDialog::finished, this, [&] {
            leftInEdits = QStringList{psw ? psw->text() : "gone", confirm ? confirm->text() : "gone"};
        });
        TestSupport::onNextModal([=](QWidget *d) {
            fill(d, "b", true, "Abcdef", result ? "Abcdef" : "Abcdeg");
            clickOk(d);
            if (d->isVisible())
                QTest::mouseClick(ui(d).cancel, Qt::LeftButton);
        });
        QCOMPARE(dialog->exec(), result);
        QCOMPARE(leftInEdits, (QStringList{"", ""}));
        QVERIFY(psw.isNull());
    }
};

QTEST_MAIN(TestCreateBoxDialog)
#include "test_createboxdialog.moc"
