// The main window's box operations, its menu, help and about.
#include "Vaultrane.h"

#include "AboutDialog.h"
#include "BoxListWidget.h"
#include "BoxOperations.h"
#include "BoxOutcomes.h"
#include "BoxRules.h"
#include "BoxTableView.h"
#include "BoxWorker.h"
#include "ChangeBoxLockedDialog.h"
#include "CreateBoxDialog.h"
#include "CreateBoxLockedDialog.h"
#include "LockSettingsDialog.h"
#include "MainMenu.h"
#include "MessageBox.h"
#include "PasswordAuthenticDialog.h"
#include "PrivilegeSharedBoxDialog.h"
#include "RenameBoxDialog.h"
#include "TitleBar.h"
#include "UserGuide.h"

#include <QDebug>
#include <QCloseEvent>
#include <QDesktopServices>
#include <QDir>
#include <QEventLoop>
#include <QKeyEvent>
#include <QLabel>
#include <QLayout>
#include <QPoint>
#include <QPushButton>
#include <QUrl>
#include <QWidget>

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

// Runs a self-deleting dialog over the window and returns its result.
int Vaultrane::execCentred(QDialog *dialog, int top)
{
    // Settle the layout under the style sheet first: some dialogs come out
    // taller than they were built, and would otherwise sit below the centre.
    // This is the only move before the dialog shows; from then on the
    // window manager and the user's drags place it.
    dialog->ensurePolished();
    if (dialog->layout())
        dialog->layout()->activate();
    centreOn(dialog, this);
    if (top != kCentredVertically)
        dialog->move(dialog->x(), y() + top);
    const int result = dialog->exec();
    // Dialogs run long operations on workers of their own.
    reloadIfDeferred();
    return result;
}

BoxResult Vaultrane::runBusy(const QString &busyText, BoxWorker::Operation operation)
{
    BoxWorker worker;
    QEventLoop loop;
    BoxResult result;
    connect(&worker, &BoxWorker::finished, &loop, [&](const BoxResult &r) {
        result = r;
        loop.quit();
    });
    connect(&worker, &BoxWorker::progress, m_pCountLabel,
            [&](int percent) { m_pCountLabel->setText(QStringLiteral("%1 %2%").arg(busyText).arg(percent)); });
    connect(&worker, &BoxWorker::waiting, m_pCountLabel,
            [this] { m_pCountLabel->setText(BoxOutcomes::waitingForAnotherOperation()); });
    if (!worker.start(std::move(operation)))
        return BoxResult::failure(BoxResult::Busy, BoxOutcomes::anotherOperationRuns());

    // The window keeps painting while the worker runs; only its controls rest.
    const QString status = m_pCountLabel->text();
    const QList<QWidget *> controls{m_pTitleBar, m_pToolBarWidget, m_pBoxListWidget,
                                    m_pBoxTableView, m_pIconModeBtn, m_pTableModeBtn};
    QList<QWidget *> disabled;
    for (QWidget *control : controls) {
        if (control && control->isEnabled()) {
            control->setEnabled(false);
            disabled << control;
        }
    }
    m_busy = true;
    m_pCountLabel->setText(busyText);
    loop.exec();
    m_busy = false;
    m_pCountLabel->setText(status);
    for (QWidget *control : qAsConst(disabled))
        control->setEnabled(true);
    reloadIfDeferred();
    return result;
}

// The window stays while a box operation runs; it closes once that is done.
void Vaultrane::closeEvent(QCloseEvent *e)
{
    if (m_busy) {
        e->ignore();
        return;
    }
    FlatDropWidget::closeEvent(e);
}

void Vaultrane::slot_newBtnClicked(bool clicked)
{
    Q_UNUSED(clicked);
    auto *dialog = new CreateBoxDialog(this);
    QString created;
    connect(dialog, &CreateBoxDialog::signal_box_created, this, [&created](const QString &name) { created = name; });
    if (execCentred(dialog)) {
        refreshBoxView();
        selectBox(created, QString());
    }
}

void Vaultrane::slot_delBtnClicked(bool clicked)
{
    Q_UNUSED(clicked);
    BoxInfo box;
    if (!currentBox(box)) {
        showInformation(tr("请选择需要删除的保护箱！"), this);
        return;
    }
    if (!BoxRules::allows(box, BoxAction::Delete)) {
        showInformation(BoxOutcomes::refusal(box, BoxAction::Delete), this);
        return;
    }
    BoxResult result;
    if (box.encrypted) {
        // The password stands in for the confirmation question.
        if (!execCentred(new PasswordAuthenticDialog(tr(kPasswordPrompt), box, PasswordAuthenticDialog::CheckOnly, this)))
            return;
        // The cipher files of a large box take a while to remove.
        result = runBusy(tr("正在删除…"), [box] { return BoxOperations::deleteCheckedBox(box); });
    } else {
        if (!execMessage(MessageBox::Question, tr("删除操作不可逆，是否确认删除保护箱 “%1” ？").arg(box.name)))
            return;
        result = BoxOperations::deleteCheckedBox(box);
    }
    if (!result.ok())
        execMessage(MessageBox::Warning, result.message(BoxOutcomes::failed(BoxOperation::Delete, box.name)));
    // After a delete nothing is selected and the bottom bar shows the count;
    // after a failure the view shows how the box is now.
    refreshBoxView();
    if (result.ok())
        clearSelection();
    // A delete that had to set aside what another user left says so.
    if (result.ok() && !result.reason.isEmpty())
        execMessage(MessageBox::Information, result.message(tr("保护箱 “%1” 已删除！").arg(box.name)));
}

void Vaultrane::slot_crypto_mount_box()
{
    BoxInfo box;
    if (!currentBox(box)) {
        showInformation(tr("请选择需要挂载的保护箱！"), this);
        return;
    }
    if (BoxRules::opening(box) == BoxOpening::Mount) {
        if (!BoxRules::allows(box, BoxAction::Mount)) {
            execMessage(MessageBox::Information, BoxOutcomes::refusal(box, BoxAction::Mount));
            return;
        }
        if (!execCentred(new PasswordAuthenticDialog(tr(kPasswordPrompt), box, PasswordAuthenticDialog::Mount, this)))
            return;
    }
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
    if (!BoxRules::allows(box, BoxAction::Unmount)) {
        execMessage(MessageBox::Information, BoxOutcomes::refusal(box, BoxAction::Unmount));
        return;
    }
    const BoxResult result = BoxOperations::unmount(box);
    if (!result.ok())
        execMessage(MessageBox::Information, result.message(BoxOutcomes::failed(BoxOperation::Unmount, box.name)));
    refreshBoxView();
}

void Vaultrane::slot_rename_box()
{
    BoxInfo box;
    if (!currentBox(box)) {
        showInformation(tr("请选择需要重命名的保护箱！"), this);
        return;
    }
    if (!BoxRules::allows(box, BoxAction::Rename)) {
        execMessage(MessageBox::Information, BoxOutcomes::refusal(box, BoxAction::Rename));
        return;
    }
    auto *dialog = new RenameBoxDialog(box, this);
    QString renamed;
    connect(dialog, &RenameBoxDialog::signal_box_renamed, this, [&renamed](const QString &name) { renamed = name; });
    if (execCentred(dialog) > 0) {
        refreshBoxView();
        selectBox(renamed, QString());
    }
}

void Vaultrane::slot_lockedBtnClicked(bool clicked)
{
    Q_UNUSED(clicked);
    BoxInfo box;
    if (!currentBox(box)) {
        showInformation(tr("请选择需要进行密码设置的保护箱！"), this);
        return;
    }
    if (!BoxRules::allows(box, BoxAction::PasswordSetting)) {
        execMessage(MessageBox::Information, BoxOutcomes::refusal(box, BoxAction::PasswordSetting));
        return;
    }
    if (box.encrypted) {
        execCentred(new ChangeBoxLockedDialog(box, this), kChangePasswordTop);
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
    if (!BoxRules::allows(box, BoxAction::ShareSetting)) {
        execMessage(MessageBox::Information, BoxOutcomes::refusal(box, BoxAction::ShareSetting));
        return;
    }
    if (box.encrypted
        && !execCentred(new PasswordAuthenticDialog(tr(kPasswordPrompt), box, PasswordAuthenticDialog::CheckOnly, this)))
        return;
    auto *dialog = new PrivilegeSharedBoxDialog(box, this);
    centreOn(dialog, this);
    if (dialog->initData() < 0) {
        delete dialog; // never shown
        showInformation(BoxOutcomes::failed(BoxOperation::ReadShares), this);
        return;
    }
    dialog->exec();
    refreshBoxView();
}

void Vaultrane::slot_right_menu_func_triggered(int func)
{
    qDebug() << "slot_right_menu_func_triggered" << func;
    BoxAction action;
    if (!BoxRules::actionOfCode(func, action))
        return;
    switch (action) {
    case BoxAction::Mount:
        slot_crypto_mount_box();
        break;
    case BoxAction::Unmount:
        slot_crypto_umount_box();
        break;
    case BoxAction::PasswordSetting:
        slot_lockedBtnClicked(true);
        break;
    case BoxAction::ShareSetting:
        slot_sharedBtnClicked(true);
        break;
    case BoxAction::Delete:
        slot_delBtnClicked(true);
        break;
    case BoxAction::Rename:
        slot_rename_box();
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
    UserGuide::showHelp(this);
}

void Vaultrane::slot_showSettings()
{
    execCentred(new LockSettingsDialog(this));
}

void Vaultrane::slot_about_us()
{
    auto *dialog = new AboutDialog(this);
    dialog->setAttribute(Qt::WA_DeleteOnClose, true);
    execCentred(dialog);
}

// F1 asks the user guide, or opens the manual where there is none (Ctrl+F1
// does neither). Key presses then go to the plain widget handler, not the
// dialog's: Escape and Enter mean nothing here.
void Vaultrane::keyPressEvent(QKeyEvent *e)
{
    if (UserGuide::isGuideKey(e))
        UserGuide::showGuideOrManual(this);
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
