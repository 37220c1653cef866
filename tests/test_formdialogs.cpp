// The form dialogs: create, rename, add, change or remove a password, and
// the password dialog that checks a password or mounts with it. Their rules
// for names and passwords are core's and tested there; here a few rows show
// that each dialog asks core, and how each dialog ends.
#include "BoxOutcomes.h"
#include "ChangeBoxLockedDialog.h"
#include "CreateBoxDialog.h"
#include "CreateBoxLockedDialog.h"
#include "NamePolicy.h"
#include "PasswordAuthenticDialog.h"
#include "PasswordPolicy.h"
#include "RenameBoxDialog.h"

#include "BoxPswLineEdit.h"
#include "ElidedPathEdit.h"
#include "SwitchButton.h"
#include "box_service.h"
#include "boxdouble.h"
#include "testsupport.h"

#include <QElapsedTimer>
#include <QLineEdit>
#include <QPointer>
#include <QPushButton>
#include <QRadioButton>
#include <QTimer>
#include <QtTest>

using TestSupport::childWithText;

namespace {

// "create" and "create encrypted" (the switch turned on); "rename" and
// "rename plain" (no password row); "add", "change", "remove" (the change
// dialog switched to 解除保护); "check" and "mount" (the password dialog).
QDialog *makeDialog(const QString &kind)
{
    if (kind.startsWith("create"))
        return new CreateBoxDialog;
    const bool encrypted = kind != "add" && kind != "rename plain";
    const unsigned flags = BOX_FLAG_SELF | BOX_FLAG_UNSHARED | (encrypted ? BOX_FLAG_ENCRYPTED : BOX_FLAG_PLAIN);
    BoxDouble::addBox({"docs", "", "tester", flags});
    BoxInfo box;
    box.name = "docs";
    box.owner = "tester";
    box.flags = BoxFlags(QFlag(int(flags)));
    box.encrypted = encrypted;
    if (kind.startsWith("rename"))
        return new RenameBoxDialog(box);
    if (kind == "add")
        return new CreateBoxLockedDialog(box);
    if (kind == "check" || kind == "mount") {
        const int mode = kind == "mount" ? PasswordAuthenticDialog::Mount : PasswordAuthenticDialog::CheckOnly;
        return new PasswordAuthenticDialog("保护箱已加密，请输入密码认证", box, mode);
    }
    return new ChangeBoxLockedDialog(box);
}

// The edits the user types into, top to bottom (the create dialog's
// greyed path is none of them).
QList<QLineEdit *> inputs(QWidget *dialog)
{
    QList<QLineEdit *> edits;
    for (QLineEdit *edit : dialog->findChildren<QLineEdit *>())
        if (!qobject_cast<ElidedPathEdit *>(edit))
            edits << edit;
    return edits;
}

// Types `text` as text-only key events, as an input method delivers them.
void typeInto(QWidget *edit, const QString &text)
{
    for (const QChar c : text) {
        QKeyEvent press(QEvent::KeyPress, Qt::Key_unknown, Qt::NoModifier, QString(c));
        QApplication::sendEvent(edit, &press);
    }
}

// Types "a|b|c" into the edits, after switching the mode the kind needs.
void fill(QWidget *dialog, const QString &kind, const QString &texts)
{
    if (kind == "create encrypted")
        QTest::mouseClick(dialog->findChild<SwitchButton *>(), Qt::LeftButton);
    if (kind == "remove")
        QTest::mouseClick(childWithText<QRadioButton>(dialog, "解除保护"), Qt::LeftButton);
    const QStringList parts = texts.split('|');
    const QList<QLineEdit *> edits = inputs(dialog);
    for (int i = 0; i < parts.size(); ++i)
        typeInto(edits.value(i), parts[i]);
}

// The texts of the first n edits the user types into, "a|b|c".
QString typedTexts(QWidget *dialog, int n)
{
    QStringList texts;
    for (QLineEdit *edit : inputs(dialog).mid(0, n))
        texts << edit->text();
    return texts.join('|');
}

// Whether every password edit is empty.
bool passwordsWiped(QWidget *dialog)
{
    for (QLineEdit *edit : dialog->findChildren<QLineEdit *>())
        if ((edit->echoMode() == QLineEdit::Password || qobject_cast<BoxPswLineEdit *>(edit)) && !edit->text().isEmpty())
            return false;
    return true;
}

void clickOk(QWidget *dialog)
{
    QTest::mouseClick(childWithText<QPushButton>(dialog, "确认"), Qt::LeftButton);
}

} // namespace

class TestFormDialogs : public QObject
{
    Q_OBJECT
private slots:
    void init() { TestSupport::resetDouble(); }

    void cleanup() { QVERIFY(TestSupport::modalHandlersDone() && TestSupport::leftoverTopLevels().isEmpty()); }

    void refusedInput_data()
    {
        QTest::addColumn<QString>("kind");
        QTest::addColumn<QString>("texts");
        QTest::addColumn<QString>("failing"); // the library function that fails, if any
        QTest::addColumn<QString>("hint");
        using N = NamePolicy::Problem;
        using P = PasswordPolicy::Problem;
        QTest::newRow("create, no name") << "create" << "" << "" << NamePolicy::text(N::Empty, NameForm::Create);
        QTest::newRow("create, digit first") << "create encrypted" << "b|1abcdef|1abcdef" << ""
                                             << PasswordPolicy::text(P::BreaksRule, PasswordForm::Create);
        QTest::newRow("create, mismatch") << "create encrypted" << "b|Abcdef|abcdef" << ""
                                          << PasswordPolicy::text(P::Mismatch, PasswordForm::Create);
        QTest::newRow("rename, no name") << "rename" << "|x" << "" << NamePolicy::text(N::Empty, NameForm::Rename);
        // A wrong password renames nothing.
        QTest::newRow("rename, wrong password") << "rename" << "papers|guess" << "box_crypto_verify_passphrase"
                                                << BoxOutcomes::wrongPassword();
        QTest::newRow("add, too long") << "add" << "a234567890123456789|a234567890123456789" << ""
                                       << PasswordPolicy::text(P::BreaksRule, PasswordForm::Add);
        QTest::newRow("change, mismatch") << "change" << "old|New_pw1|new_pw1" << ""
                                          << PasswordPolicy::text(P::Mismatch, PasswordForm::Change);
        QTest::newRow("check, empty") << "check" << "" << "" << "密码不可为空";
        QTest::newRow("mount fails") << "mount" << "Wrong_1" << "box_crypto_mount"
                                     << BoxOutcomes::failed(BoxOperation::Mount);
    }

    // A refused input shows its hint and keeps what was typed; nothing but
    // the failing call reaches the box service. A press into an edit hides
    // the hint.
    void refusedInput()
    {
        QFETCH(QString, kind);
        QFETCH(QString, texts);
        QFETCH(QString, failing);
        QFETCH(QString, hint);
        if (!failing.isEmpty())
            BoxDouble::setResult(failing.toStdString(), -13);
        QDialog *dialog = makeDialog(kind);
        bool hinted = false;
        QString kept;
        bool hiddenByPress = false;
        bool messageShown = false;
        TestSupport::onNextModal([&](QWidget *w) {
            // A refused input opens no message box; one that opens all the
            // same is closed, so that the test fails rather than waits.
            QTimer closer;
            connect(&closer, &QTimer::timeout, [&] {
                QWidget *modal = QApplication::activeModalWidget();
                if (modal && modal != w) {
                    messageShown = true;
                    modal->close();
                }
            });
            closer.start(50);
            fill(w, kind, texts);
            clickOk(w);
            TestSupport::waitForBoxWork();
            hinted = w->isVisible() && TestSupport::hintShows(w, hint);
            kept = typedTexts(w, texts.count('|') + 1);
            QTest::mouseClick(inputs(w).value(0), Qt::LeftButton);
            hiddenByPress = !TestSupport::hintShows(w, hint);
            QTest::keyClick(w, Qt::Key_Escape);
        });
        QCOMPARE(dialog->exec(), 0);
        QVERIFY(!messageShown);
        QVERIFY(hinted);
        QCOMPARE(kept, texts);
        QVERIFY(hiddenByPress);
        QCOMPARE(TestSupport::callLog(false), failing);
    }

    void endings_data()
    {
        QTest::addColumn<QString>("kind");
        QTest::addColumn<QString>("texts");
        QTest::addColumn<QString>("how");   // enter, close, escape, or the function that fails
        QTest::addColumn<QString>("calls"); // or, when a function fails, the message shown
        // Names go to the box service exactly as typed, spaces included.
        QTest::newRow("create plain") << "create" << " 票据" << "enter" << "box_create( 票据)";
        QTest::newRow("create encrypted") << "create encrypted" << "账本|Abcdef|Abcdef" << "enter"
                                          << "box_create(账本) box_crypto_create(账本,Abcdef|6,0x1010000)";
        QTest::newRow("create, Escape") << "create encrypted" << "账本|Abcdef|Abcdef" << "escape" << "";
        QTest::newRow("rename encrypted") << "rename" << "papers|s3cret" << "enter"
                                          << "box_crypto_verify_passphrase(docs,s3cret|6) box_change_name(docs,papers)";
        QTest::newRow("add") << "add" << "Secret1|Secret1" << "enter" << "box_crypto_create(docs,Secret1|7,0x1010000)";
        // A new password equal to the current one is passed on unchanged.
        QTest::newRow("change to same") << "change" << "Same_pw1|Same_pw1|Same_pw1" << "enter"
                                        << "box_crypto_change_passpharse(docs,Same_pw1|8,Same_pw1|8)";
        QTest::newRow("remove") << "remove" << "old" << "enter" << "box_crypto_decrypt(docs,old|3)";
        QTest::newRow("check") << "check" << "Secret_9" << "enter" << "box_crypto_verify_passphrase(docs,Secret_9|8)";
        QTest::newRow("mount, close") << "mount" << "Secret_9" << "close" << "";
        // Mounting makes no separate check first.
        QTest::newRow("mount") << "mount" << "Secret_9" << "enter" << "box_crypto_mount(tester,docs,Secret_9|8)";
        // A failure is reported over the dialog, which stays with what was typed.
        QTest::newRow("create fails") << "create encrypted" << "账本|Abcdef|Abcdef" << "box_crypto_create"
                                      << BoxOutcomes::failed(BoxOperation::Create);
        QTest::newRow("change fails") << "change" << "old|New_pw1|New_pw1" << "box_crypto_change_passpharse"
                                      << BoxOutcomes::failed(BoxOperation::ChangePassword, "docs");
    }

    // However a dialog ends, no password is left in its edits.
    void endings()
    {
        QFETCH(QString, kind);
        QFETCH(QString, texts);
        QFETCH(QString, how);
        QFETCH(QString, calls);
        const bool fails = how.startsWith("box_");
        if (fails)
            BoxDouble::setResult(how.toStdString(), -13);
        QDialog *dialog = makeDialog(kind);
        bool wiped = false;
        QObject::connect(dialog, &QDialog::finished, [&] { wiped = passwordsWiped(dialog); });
        QString shown;
        QString kept;
        QList<std::function<void(QWidget *)>> acts{
            [&](QWidget *w) {
                fill(w, kind, texts);
                QLineEdit *last = inputs(w).value(texts.count('|'));
                if (how == "enter")
                    QTest::keyClick(last, Qt::Key_Return); // the default button
                else if (how == "close")
                    TestSupport::pressClose(w);
                else if (how == "escape")
                    QTest::keyClick(last, Qt::Key_Escape);
                if (!fails)
                    return;
                clickOk(w);
                TestSupport::waitForBoxWork(); // the result runs the message box
                kept = w->isVisible() ? typedTexts(w, texts.count('|') + 1) : "closed";
                TestSupport::pressClose(w);
            },
        };
        if (fails)
            acts << [&](QWidget *w) { shown = TestSupport::answerMessage(w); };
        TestSupport::onModals(acts);
        QCOMPARE(dialog->exec(), how == "enter" ? 1 : 0);
        if (fails) {
            QCOMPARE(shown, "警告: " + calls);
            QCOMPARE(kept, texts);
        } else {
            QCOMPARE(TestSupport::callLog(), calls);
        }
        QVERIFY(wiped);
    }

    // Passwords typed and then switched off are neither sent nor kept.
    void createSwitchedOffIgnoresPasswords()
    {
        QDialog *dialog = makeDialog("create");
        bool cleared = false;
        TestSupport::onNextModal([&](QWidget *w) {
            fill(w, "create encrypted", "b|Typed_1|Typed_1");
            auto *encrypt = w->findChild<SwitchButton *>();
            QTest::mouseClick(encrypt, Qt::LeftButton);
            QTest::mouseClick(encrypt, Qt::LeftButton);
            cleared = passwordsWiped(w);
            typeInto(inputs(w).value(1), "Typed_2");
            QTest::mouseClick(encrypt, Qt::LeftButton);
            clickOk(w);
        });
        QCOMPARE(dialog->exec(), 1);
        QVERIFY(cleared);
        QCOMPARE(TestSupport::callLog(), QString("box_create(b)"));
    }

    // While the worker encrypts, the dialog stays open with its controls
    // resting and the progress on its busy line: the window's own thread
    // is free while the box service works.
    void busyWhileEncrypting()
    {
        QDialog *dialog = makeDialog("add");
        BoxDouble::setProgressSteps({25});
        BoxDouble::blockNextCall("box_crypto_create");
        bool blocked = false;
        bool okEnabled = true;
        bool busyShown = false;
        bool stillOpen = false;
        TestSupport::onNextModal([&](QWidget *w) {
            fill(w, "add", "Secret_1|Secret_1");
            clickOk(w);
            blocked = BoxDouble::waitUntilBlocked(5000);
            QElapsedTimer clock;
            clock.start();
            while (!busyShown && clock.elapsed() < 1000) {
                QCoreApplication::processEvents();
                busyShown = TestSupport::hintShows(w, "正在加密… 25%");
            }
            okEnabled = childWithText<QPushButton>(w, "确认")->isEnabled();
            QTest::keyClick(w, Qt::Key_Escape);
            stillOpen = w->isVisible();
            BoxDouble::releaseBlocked();
        });
        QCOMPARE(dialog->exec(), 1);
        QVERIFY(blocked);
        QVERIFY(busyShown);
        QVERIFY(!okEnabled);
        QVERIFY(stillOpen);
    }
};

QTEST_MAIN(TestFormDialogs)
#include "test_formdialogs.moc"
