// The main window's box operations, its menu, help and about.
#include "Vaultrane.h"

#include "AboutDialog.h"
#include "ChangeBoxLockedDialog.h"
#include "CreateBoxDialog.h"
#include "CreateBoxLockedDialog.h"
#include "MainMenu.h"
#include "MessageBox.h"
#include "PasswordAuthenticDialog.h"
#include "PrivilegeSharedBoxDialog.h"
#include "RenameBoxDialog.h"
#include "UserGuide.h"

#include <QDebug>
#include <QDesktopServices>
#include <QDir>
#include <QKeyEvent>
#include <QLayout>
#include <QPoint>
#include <QUrl>

namespace {
const char *const kPasswordPrompt = QT_TRANSLATE_NOOP("Vaultrane", "保护箱已加密，请输入密码认证");
} // namespace

// Shows a message of `type` centred on the window; returns the box's result.
int Vaultrane::execMessage(int type, const QString &text)
{
    auto *box = new MessageBox(this);
    centreOn(box, this);
    return box->execMessage(type, text);
}

// Runs a self-deleting dialog centred on the window and returns its result.
int Vaultrane::execCentred(QDialog *dialog)
{
    // Settle the layout under the style sheet first: some dialogs come out
    // taller than they were built, and would otherwise sit below the centre.
    dialog->ensurePolished();
    if (dialog->layout())
        dialog->layout()->activate();
    centreOn(dialog, this);
    return dialog->exec();
}

void Vaultrane::slot_newBtnClicked(bool clicked)
{
    Q_UNUSED(clicked);
    if (execCentred(new CreateBoxDialog(this)))
        refreshBoxView();
}

void Vaultrane::slot_delBtnClicked(bool clicked)
{
    Q_UNUSED(clicked);
    BoxInfo box;
    if (!currentBox(box)) {
        showInformation(tr("请选择需要删除的保护箱！"), this);
        return;
    }
    if (box.encrypted) {
        if (box.mounted) {
            showInformation(tr("无法删除，请先卸载保护箱 “%1” ！").arg(box.name), this);
            return;
        }
        // The password stands in for the confirmation question.
        if (!execCentred(new PasswordAuthenticDialog(tr(kPasswordPrompt), box, 0, this)))
            return;
    } else if (!execMessage(MessageBox::Question,
                            tr("删除操作不可逆，是否确认删除保护箱 “%1” ？").arg(box.name))) {
        return;
    }
    if (VaultranerProxy::deleteBox(box.name))
        refreshBoxView();
    else
        execMessage(MessageBox::Warning, tr("保护箱 “%1” 删除失败！").arg(box.name));
}

void Vaultrane::slot_crypto_mount_box()
{
    BoxInfo box;
    if (!currentBox(box)) {
        showInformation(tr("请选择需要挂载的保护箱！"), this);
        return;
    }
    if (box.encrypted == 1 && !execCentred(new PasswordAuthenticDialog(tr(kPasswordPrompt), box, 1, this)))
        return;
    refreshBoxView();
    // An empty path would name the working directory: never open that.
    if (!box.path.isEmpty() && QDir(box.path).exists())
        QDesktopServices::openUrl(QUrl::fromLocalFile(box.path));
}

void Vaultrane::slot_crypto_umount_box()
{
    BoxInfo box;
    if (!currentBox(box)) {
        showInformation(tr("请选择需要卸载的保护箱！"), this);
        return;
    }
    if (VaultranerProxy::umountBox(box.owner, box.name))
        refreshBoxView();
    else
        execMessage(MessageBox::Information, tr("保护箱 “%1” 卸载失败！").arg(box.name));
}

void Vaultrane::slot_rename_box()
{
    BoxInfo box;
    if (!currentBox(box)) {
        showInformation(tr("请选择需要重命名的保护箱！"), this);
        return;
    }
    if (box.mounted) {
        execMessage(MessageBox::Information, tr("无法进行重命名操作，请先卸载保护箱 “%1” ！").arg(box.name));
        return;
    }
    if (execCentred(new RenameBoxDialog(box, this)) > 0)
        refreshBoxView();
}

void Vaultrane::slot_lockedBtnClicked(bool clicked)
{
    Q_UNUSED(clicked);
    BoxInfo box;
    if (!currentBox(box)) {
        showInformation(tr("请选择需要进行密码设置的保护箱！"), this);
        return;
    }
    if (box.mounted) {
        execMessage(MessageBox::Information, tr("无法进行密码设置，请先卸载保护箱 “%1” ！").arg(box.name));
        return;
    }
    if (box.encrypted) {
        // The taller change dialog sits 60 pixels below the window's top.
        auto *dialog = new ChangeBoxLockedDialog(box, this);
        dialog->move(x() + width() / 2 - dialog->width() / 2, y() + 60);
        dialog->exec();
    } else {
        execCentred(new CreateBoxLockedDialog(box, this));
    }
    refreshBoxView();
}

void Vaultrane::slot_sharedBtnClicked(bool clicked)
{
    Q_UNUSED(clicked);
    BoxInfo box;
    if (!currentBox(box)) {
        showInformation(tr("请选择需要进行共享设置的保护箱！"), this);
        return;
    }
    if (box.mounted) {
        execMessage(MessageBox::Information, tr("无法进行共享设置，请先卸载保护箱 “%1” ！").arg(box.name));
        return;
    }
    if (box.encrypted == 1 && !execCentred(new PasswordAuthenticDialog(tr(kPasswordPrompt), box, 0, this)))
        return;
    auto *dialog = new PrivilegeSharedBoxDialog(box, this);
    centreOn(dialog, this);
    if (dialog->initData() < 0) {
        delete dialog; // never shown
        showInformation(tr("加载共享用户列表失败！"), this);
        return;
    }
    dialog->exec();
    refreshBoxView();
}

void Vaultrane::slot_right_menu_func_triggered(int func)
{
    qDebug() << "slot_right_menu_func_triggered" << func;
    switch (func) {
    case 0:
        slot_crypto_mount_box();
        break;
    case 1:
        slot_crypto_umount_box();
        break;
    case 2:
        slot_lockedBtnClicked(true);
        break;
    case 3:
        slot_sharedBtnClicked(true);
        break;
    case 4:
        slot_delBtnClicked(true);
        break;
    case 5:
        slot_rename_box();
        break;
    default:
        break;
    }
}

// The menu opens under the title bar's menu button, 150 pixels left of the
// window's right edge.
void Vaultrane::slot_showmenu()
{
    m_pMainMenu->exec(mapToGlobal(QPoint(width() - 1 - 150, 35)));
}

void Vaultrane::slot_showNewCharacter()
{
    UserGuide::showHelp();
}

void Vaultrane::slot_about_us()
{
    auto *dialog = new AboutDialog(this);
    dialog->setAttribute(Qt::WA_DeleteOnClose, true);
    execCentred(dialog);
}

// F1 asks the user guide (Ctrl+F1 does not). Key presses then go to the plain
// widget handler, not the dialog's: Escape and Enter mean nothing here.
void Vaultrane::keyPressEvent(QKeyEvent *e)
{
    if (UserGuide::isGuideKey(e) && !guideServiceAbsent())
        showGuide(UserGuide::appId);
    QWidget::keyPressEvent(e);
}

void Vaultrane::showGuide(QString appName)
{
    UserGuide::showGuide(appName);
}

bool Vaultrane::guideServiceAbsent()
{
    return UserGuide::guideServiceAbsent();
}
