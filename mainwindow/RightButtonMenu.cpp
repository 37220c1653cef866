#include "RightButtonMenu.h"

#include "BoxRules.h"

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

    connect(m_pMountAction, &QAction::triggered, this, &RightButtonMenu::slot_mount_box);
    connect(m_pUmountAction, &QAction::triggered, this, &RightButtonMenu::slot_umount_box);
    connect(m_pShareAction, &QAction::triggered, this, &RightButtonMenu::slot_share_box);
    connect(m_pRenameAction, &QAction::triggered, this, &RightButtonMenu::slot_rename_box);
    connect(m_pDeleteAction, &QAction::triggered, this, &RightButtonMenu::slot_delete_box);
    connect(m_pPasswdAction, &QAction::triggered, this, &RightButtonMenu::slot_passwd_box);

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

// The entries follow the same table as the tool buttons and the operations.
void RightButtonMenu::setBoxInfo(const BoxInfo &box)
{
    m_pMountAction->setVisible(BoxRules::allows(box, BoxAction::Mount));
    m_pUmountAction->setVisible(BoxRules::allows(box, BoxAction::Unmount));
    m_pPasswdAction->setVisible(BoxRules::allows(box, BoxAction::PasswordSetting));
    m_pShareAction->setVisible(BoxRules::allows(box, BoxAction::ShareSetting));
    m_pDeleteAction->setVisible(BoxRules::allows(box, BoxAction::Delete));
    m_pRenameAction->setVisible(BoxRules::allows(box, BoxAction::Rename));
}

void RightButtonMenu::slot_mount_box() { emit signal_right_menu_func_triggered(int(BoxAction::Mount)); }

void RightButtonMenu::slot_umount_box() { emit signal_right_menu_func_triggered(int(BoxAction::Unmount)); }

void RightButtonMenu::slot_share_box() { emit signal_right_menu_func_triggered(int(BoxAction::ShareSetting)); }

void RightButtonMenu::slot_rename_box() { emit signal_right_menu_func_triggered(int(BoxAction::Rename)); }

void RightButtonMenu::slot_delete_box() { emit signal_right_menu_func_triggered(int(BoxAction::Delete)); }

void RightButtonMenu::slot_passwd_box() { emit signal_right_menu_func_triggered(int(BoxAction::PasswordSetting)); }
