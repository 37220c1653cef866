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

#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTimer>
#include <QtTest>

using TestSupport::childWithText;

namespace {

// "create", "create encrypted" (the switch turned on before typing, and
// once more after it for each "then"); "rename"; "add" and "change" (the
// change dialog); "check" and "mount" (the password dialog).
QDialog *makeDialog(const QString &kind)
{
    if (kind.startsWith("create"))
        return new CreateBoxDialog;
    const bool encrypted = kind != "add";
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

// Types "a|b|c" into the edits, switching the create dialog's encryption
// as the kind says.
void fill(QWidget *dialog, const QString &kind, const QString &texts)
{
    auto *encrypt = dialog->findChild<SwitchButton *>();
    if (kind.startsWith("create encrypted"))
        QTest::mouseClick(encrypt, Qt::LeftButton);
    const QStringList parts = texts.split('|');
    const QList<QLineEdit *> edits = inputs(dialog);
    for (int i = 0; i < parts.size(); ++i)
        typeInto(edits.value(i), parts[i]);
    for (int i = 0; i < kind.count(" then "); ++i)
        QTest::mouseClick(encrypt, Qt::LeftButton);
}

// Whether every password edit is empty.
bool passwordsWiped(QWidget *dialog)
{
    for (QLineEdit *edit : dialog->findChildren<QLineEdit *>())
        if ((edit->echoMode() == QLineEdit::Password || qobject_cast<BoxPswLineEdit *>(edit)) && !edit->text().isEmpty())
            return false;
    return true;
}

} // namespace

class TestFormDialogs : public QObject
{
    Q_OBJECT
private slots:
    void init() { BoxDouble::reset(); }

    void cleanup()
    {
        QVERIFY(TestSupport::modalHandlersDone());
        QVERIFY(TestSupport::leftoverTopLevels().isEmpty());
    }

    void formEnds_data()
    {
        QTest::addColumn<QString>("kind");
        QTest::addColumn<QString>("texts");   // typed, then Return
        QTest::addColumn<QString>("failing"); // the box service function that fails, if any
        QTest::addColumn<QString>("hint");    // the refusal shown; the dialog stays
        QTest::addColumn<QString>("calls");   // the box service calls made
        using N = NamePolicy::Problem;
        using P = PasswordPolicy::Problem;
        const QString none;
        // Each dialog asks core's rules and refuses what they refuse.
        QTest::newRow("create, no name") << "create" << "" << none << NamePolicy::text(N::Empty, NameForm::Create)
                                         << none;
        QTest::newRow("create, mismatch") << "create encrypted" << "b|Abcdef|abcdef" << none
                                          << PasswordPolicy::text(P::Mismatch, PasswordForm::Create) << none;
        QTest::newRow("rename, no name") << "rename" << "|x" << none << NamePolicy::text(N::Empty, NameForm::Rename)
                                         << none;
        QTest::newRow("add, too long") << "add" << "a234567890123456789|a234567890123456789" << none
                                       << PasswordPolicy::text(P::BreaksRule, PasswordForm::Add) << none;
        QTest::newRow("change, mismatch") << "change" << "old|New_pw1|new_pw1" << none
                                          << PasswordPolicy::text(P::Mismatch, PasswordForm::Change) << none;
        QTest::newRow("check, empty") << "check" << "" << none << PasswordPolicy::text(P::Empty, PasswordForm::Create)
                                      << none;
        // A wrong password renames nothing; a failed mount stays to try again.
        QTest::newRow("rename, wrong password") << "rename" << "papers|guess" << "box_crypto_verify_passphrase"
                                                << BoxOutcomes::wrongPassword()
                                                << "box_crypto_verify_passphrase(docs,guess|5)";
        QTest::newRow("mount fails") << "mount" << "Wrong_1" << "box_crypto_mount"
                                     << BoxOutcomes::failed(BoxOperation::Mount)
                                     << "box_crypto_mount(tester,docs,Wrong_1|7)";
        // Passwords typed and then switched off are neither sent nor kept.
        QTest::newRow("create, switched off and on again") << "create encrypted then plain then encrypted"
                                                           << "b|Typed_1|Typed_1" << none
                                                           << PasswordPolicy::text(P::Empty, PasswordForm::Create)
                                                           << none;
        QTest::newRow("create, switched off") << "create encrypted then plain" << "b|Typed_1|Typed_1" << none << none
                                              << "box_create(b)";
        // What is typed reaches the box service as typed, names with their spaces.
        QTest::newRow("create encrypted") << "create encrypted" << " 账本|Abcdef|Abcdef" << none << none
                                          << "box_create( 账本) box_crypto_create( 账本,Abcdef|6,0x1010000)";
        QTest::newRow("rename encrypted")
            << "rename" << "papers|s3cret" << none << none
            << "box_crypto_verify_passphrase(docs,s3cret|6) box_change_name(docs,papers)";
        // Mounting makes no separate check first.
        QTest::newRow("mount") << "mount" << "Secret_9" << none << none << "box_crypto_mount(tester,docs,Secret_9|8)";
    }

    // However a dialog ends (a refusal is left with Escape), no password is
    // left in its edits. A refusal opens no message box and reaches the box
    // service with nothing but the failing call; a press into an edit hides
    // its hint.
    void formEnds()
    {
        QFETCH(QString, kind);
        QFETCH(QString, texts);
        QFETCH(QString, failing);
        QFETCH(QString, hint);
        QFETCH(QString, calls);
        if (!failing.isEmpty())
            BoxDouble::setResult(failing.toStdString(), -13);
        QDialog *dialog = makeDialog(kind);
        bool wiped = false;
        QObject::connect(dialog, &QDialog::finished, [&] { wiped = passwordsWiped(dialog); });
        bool messageShown = false;
        bool stayed = false;
        bool hinted = false;
        bool hiddenByPress = false;
        TestSupport::onNextModal([&](QWidget *w) {
            // A message box opened all the same is closed, so that the test
            // fails rather than waits.
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
            QLineEdit *last = nullptr;
            for (QLineEdit *edit : inputs(w))
                if (edit->isVisible())
                    last = edit;
            QTest::keyClick(last, Qt::Key_Return); // the default button
            TestSupport::waitForBoxWork();
            stayed = w->isVisible();
            if (!stayed)
                return;
            hinted = TestSupport::hintShows(w, hint);
            QTest::mouseClick(inputs(w).value(0), Qt::LeftButton);
            hiddenByPress = !TestSupport::hintShows(w, hint);
            QTest::keyClick(w, Qt::Key_Escape);
        });
        QCOMPARE(dialog->exec(), hint.isEmpty() ? 1 : 0);
        QVERIFY(wiped);
        QVERIFY(!messageShown);
        QCOMPARE(stayed, !hint.isEmpty());
        QCOMPARE(hinted, !hint.isEmpty());
        QCOMPARE(hiddenByPress, !hint.isEmpty());
        QCOMPARE(TestSupport::callLog(), calls);
    }

    // While the worker encrypts, the dialog stays open with 确认 resting and
    // the progress shown: the window's own thread is free meanwhile.
    void busyWhileEncrypting()
    {
        QDialog *dialog = makeDialog("add");
        BoxDouble::setProgressSteps({25});
        BoxDouble::blockNextCall("box_crypto_create");
        bool progressShown = false;
        bool okEnabled = true;
        bool stillOpen = false;
        TestSupport::onNextModal([&](QWidget *w) {
            fill(w, "add", "Secret_1|Secret_1");
            QPushButton *ok = childWithText<QPushButton>(w, "确认");
            QTest::mouseClick(ok, Qt::LeftButton);
            if (BoxDouble::waitUntilBlocked(5000)) {
                progressShown = QTest::qWaitFor([w] {
                    for (QLabel *label : w->findChildren<QLabel *>())
                        if (label->isVisible() && label->text().contains("25%"))
                            return true;
                    return false;
                }, 1000);
                okEnabled = ok->isEnabled();
                QTest::keyClick(w, Qt::Key_Escape);
                stillOpen = w->isVisible();
            }
            BoxDouble::releaseBlocked();
        });
        QCOMPARE(dialog->exec(), 1);
        QVERIFY(progressShown);
        QVERIFY(!okEnabled);
        QVERIFY(stillOpen);
    }
};

QTEST_MAIN(TestFormDialogs)
#include "test_formdialogs.moc"
