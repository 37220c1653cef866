// The main window's box operations, its menu, help and about.
#include "Vaultrane.h"

#include "MainMenu.h"

#include <QKeyEvent>
#include <QPoint>

void Vaultrane::slot_newBtnClicked(bool clicked)
{
    Q_UNUSED(clicked);
}

void Vaultrane::slot_delBtnClicked(bool clicked)
{
    Q_UNUSED(clicked);
}

void Vaultrane::slot_lockedBtnClicked(bool clicked)
{
    Q_UNUSED(clicked);
}

void Vaultrane::slot_sharedBtnClicked(bool clicked)
{
    Q_UNUSED(clicked);
}

void Vaultrane::slot_crypto_mount_box()
{
}

void Vaultrane::slot_crypto_umount_box()
{
}

void Vaultrane::slot_rename_box()
{
}

// The menu opens under the title bar's menu button, 150 pixels left of the
// window's right edge.
void Vaultrane::slot_showmenu()
{
    m_pMainMenu->exec(mapToGlobal(QPoint(width() - 1 - 150, 35)));
}

void Vaultrane::slot_showNewCharacter()
{
}

void Vaultrane::slot_about_us()
{
}

void Vaultrane::slot_right_menu_func_triggered(int func)
{
    Q_UNUSED(func);
}

// Key presses go to the plain widget handler, not the dialog's: Escape and
// Enter mean nothing in the main window.
void Vaultrane::keyPressEvent(QKeyEvent *e)
{
    QWidget::keyPressEvent(e);
}

void Vaultrane::showGuide(QString appName)
{
    Q_UNUSED(appName);
}

bool Vaultrane::guideServiceAbsent()
{
    return true;
}
