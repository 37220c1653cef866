#include "RightButtonMenu.h"

#include <QAction>
#include <QFont>

RightButtonMenu::RightButtonMenu(QWidget *parent)
    : QMenu(parent)
{
    QFont font;
    font.setPixelSize(12);
    setFont(font);
    setMinimumWidth(100); // wider where the words of a language need it

    m_pMountAction = new QAction(tr("挂载"), this);
    m_pUmountAction = new QAction(tr("卸载"), this);
    m_pShareAction = new QAction(tr("共享"), this);
    m_pRenameAction = new QAction(tr("重命名"), this);
    m_pDeleteAction = new QAction(tr("删除"), this);
    m_pPasswdAction = new QAction(tr("密码设置"), this);

    connect(m_pMountAction, SIGNAL(triggered()), this, SLOT(slot_mount_box()));
    connect(m_pUmountAction, SIGNAL(triggered()), this, SLOT(slot_umount_box()));
    connect(m_pShareAction, SIGNAL(triggered()), this, SLOT(slot_share_box()));
    connect(m_pRenameAction, SIGNAL(triggered()), this, SLOT(slot_rename_box()));
    connect(m_pDeleteAction, SIGNAL(triggered()), this, SLOT(slot_delete_box()));
    connect(m_pPasswdAction, SIGNAL(triggered()), this, SLOT(slot_passwd_box()));

    addAction(m_pMountAction);
    addAction(m_pUmountAction);
    addSeparator();
    addAction(m_pPasswdAction);
    addSeparator();
    addAction(m_pShareAction);
    addSeparator();
    addAction(m_pDeleteAction);
    addSeparator();
    addAction(m_pRenameAction);
}

RightButtonMenu::~RightButtonMenu()
{
    delete m_pMountAction;
    delete m_pUmountAction;
    delete m_pShareAction;
    delete m_pRenameAction;
    delete m_pDeleteAction;
    delete m_pPasswdAction;
}

void RightButtonMenu::setBoxInfo(const BoxInfo &box)
{
    bool mount = false, umount = false, ownerOps = false;
    if (box.mounted) {
        // A mounted box, own or shared, can only be unmounted.
        umount = true;
    } else if (!box.fromOther) {
        mount = box.encrypted != 0;
        ownerOps = true;
    } else {
        // Another user's box: it can only be unlocked, and only when encrypted.
        mount = box.encrypted != 0;
    }
    m_pMountAction->setVisible(mount);
    m_pUmountAction->setVisible(umount);
    m_pPasswdAction->setVisible(ownerOps);
    m_pShareAction->setVisible(ownerOps);
    m_pDeleteAction->setVisible(ownerOps);
    m_pRenameAction->setVisible(ownerOps);
}

void RightButtonMenu::slot_mount_box() { emit signal_right_menu_func_triggered(0); }

void RightButtonMenu::slot_umount_box() { emit signal_right_menu_func_triggered(1); }

void RightButtonMenu::slot_share_box() { emit signal_right_menu_func_triggered(3); }

void RightButtonMenu::slot_rename_box() { emit signal_right_menu_func_triggered(5); }

void RightButtonMenu::slot_delete_box() { emit signal_right_menu_func_triggered(4); }

void RightButtonMenu::slot_passwd_box() { emit signal_right_menu_func_triggered(2); }
