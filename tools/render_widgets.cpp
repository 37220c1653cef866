// Renders the common widgets, each message-box type and each dialog with the
// application style sheet to PNG files, for checking the look by eye:
//
//     vaultrane_render OUTPUT_FOLDER
//
// The main window is left out: it lists the boxes of the real box service.

#include "AboutDialog.h"
#include "BoxPswLineEdit.h"
#include "ChangeBoxLockedDialog.h"
#include "CreateBoxDialog.h"
#include "CreateBoxLockedDialog.h"
#include "ForgotPasswordDialog.h"
#include "MainMenu.h"
#include "MessageBox.h"
#include "PasswordAuthenticDialog.h"
#include "RecoveryKeyDialog.h"
#include "RenameBoxDialog.h"
#include "SplitLine.h"
#include "Startup.h"
#include "SwitchButton.h"
#include "TitleBar.h"

#include <QApplication>
#include <QDir>
#include <QEventLoop>
#include <QLineEdit>
#include <QMouseEvent>
#include <QTimer>

#include <cstdio>

static QString outDir;

static void render(QWidget *w, const QString &name)
{
    w->show();
    QCoreApplication::processEvents();
    const QString file = outDir + "/" + name + ".png";
    if (!w->grab().save(file))
        std::fprintf(stderr, "vaultrane_render: cannot write %s\n", qPrintable(file));
    else
        std::printf("%s\n", qPrintable(file));
    w->hide();
}

// Fills every edit of `dialog` with a name and a password against the rule,
// asks for 确认 and renders the hint that follows.
static void showRuleHint(QWidget *dialog, const QString &name)
{
    dialog->show();
    for (QLineEdit *edit : dialog->findChildren<QLineEdit *>())
        edit->setText(edit->echoMode() == QLineEdit::Password ? QStringLiteral("abc") : QStringLiteral("papers"));
    QMetaObject::invokeMethod(dialog, "slot_okBtnClicked");
    render(dialog, name);
}

int main(int argc, char *argv[])
{
    if (argc != 2) {
        std::fprintf(stderr, "usage: %s OUTPUT_FOLDER\n", argv[0]);
        return 2;
    }
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    if (qEnvironmentVariableIsEmpty("QT_LOGGING_RULES"))
        qputenv("QT_LOGGING_RULES", "qt.qpa.*=false");
    QApplication app(argc, argv);
    outDir = QDir(QString::fromLocal8Bit(argv[1])).absolutePath();
    if (!QDir().mkpath(outDir)) {
        std::fprintf(stderr, "vaultrane_render: cannot create %s\n", qPrintable(outDir));
        return 1;
    }
    loadStyleSheet("blue.css");
    loadTranslator(); // in the language of the locale, LANG=en_US.UTF-8 for English

    // The small widgets together, as the dialogs use them.
    QWidget win;
    win.resize(780, 160);
    auto *bar = new TitleBar(&win);
    bar->setTitle("保护箱", 0, "");
    bar->resize(780, 40);
    auto *edit = new BoxPswLineEdit(&win);
    edit->setObjectName("UnderLineEdit");
    edit->setGeometry(20, 60, 230, 30);
    edit->setText("secret12");
    (new SplitLine(false, &win))->move(30, 120);
    auto *sw = new SwitchButton(&win);
    sw->setButtonStyle(SwitchButton::PillTrack);
    sw->setFixedSize(30, 14);
    sw->move(300, 68);
    sw->setBgColor(QColor("#C3C9D0"), QColor("#0197EE"));
    sw->setText("", "");
    render(&win, "widgets_off");
    edit->slot_psw_visiable_btn_clicked();
    QMouseEvent press(QEvent::MouseButtonPress, QPointF(5, 5), Qt::LeftButton, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(sw, &press);
    QEventLoop settle; // let the slider finish its way
    QTimer::singleShot(500, &settle, &QEventLoop::quit);
    settle.exec();
    render(&win, "widgets_on");
    MainMenu menu(nullptr);
    render(&menu, "mainmenu");

    // Each message type; the box shows modally and is grabbed once it is up.
    const char *types[] = {"information", "question", "warning", "complete"};
    for (int type = 0; type < 4; ++type) {
        QTimer::singleShot(0, [type, &types] {
            if (QWidget *box = QApplication::activeModalWidget()) {
                render(box, QString("messagebox_") + types[type]);
                box->close();
            }
        });
        (new MessageBox(nullptr))->execMessage(type, "保护箱“资料”中的文件正在被使用，请关闭后重试！");
    }

    BoxInfo box;
    box.name = "资料";
    box.path = "/box/tester/资料";
    box.owner = "tester";
    box.encrypted = true;
    CreateBoxDialog createOff;
    render(&createOff, "createbox_plain");
    CreateBoxDialog createOn;
    createOn.findChild<SwitchButton *>()->setChecked(true); // shown at its end on first show
    render(&createOn, "createbox_encrypted");
    // The password rule's hint, the longest of the hints, in each dialog
    // that chooses a new password.
    CreateBoxDialog createRule;
    createRule.findChild<SwitchButton *>()->setChecked(true);
    showRuleHint(&createRule, "createbox_password_rule");
    CreateBoxLockedDialog lockedRule(box);
    showRuleHint(&lockedRule, "createboxlocked_password_rule");
    ChangeBoxLockedDialog changeRule(box);
    showRuleHint(&changeRule, "changeboxlocked_password_rule");
    PasswordAuthenticDialog password("保护箱已加密，请输入密码认证", box, 1);
    render(&password, "passwordauthentic");
    RenameBoxDialog rename(box);
    render(&rename, "renamebox");
    CreateBoxLockedDialog createLocked(box);
    render(&createLocked, "createboxlocked");
    ChangeBoxLockedDialog changeLocked(box);
    render(&changeLocked, "changeboxlocked");
    // A made-up key: the dialog only shows it.
    RecoveryKeyDialog recoveryKey("资料", SecretString(QStringLiteral(
                                              "3f9a0c1e7b2d48a6e5c1f0b9d27a4e8c6b1d3f5a7c9e0b2d4f6a8c0e2b4d6f8a")));
    render(&recoveryKey, "recoverykey");
    ForgotPasswordDialog forgot(box);
    render(&forgot, "forgotpassword");
    AboutDialog about(nullptr);
    render(&about, "aboutdialog");
    return 0;
}
