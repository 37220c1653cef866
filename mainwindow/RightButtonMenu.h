#pragma once

#include <QMenu>

#include "BoxTypes.h"

class QAction;

// Context menu of one box. It shows only the entries that make sense for the
// box's state (BoxRules) and reports the chosen entry as the integer of its
// BoxAction: 0 mount, 1 unmount, 2 password setting, 3 share setting,
// 4 delete, 5 rename.
class RightButtonMenu : public QMenu
{
    Q_OBJECT
public:
    explicit RightButtonMenu(QWidget *parent);
    ~RightButtonMenu() override;

    // Shows or hides the entries for the given box; called before each run.
    void setBoxInfo(const BoxInfo &box);

signals:
    void signal_right_menu_func_triggered(int func);

public slots:
    void slot_mount_box();
    void slot_umount_box();
    void slot_share_box();
    void slot_rename_box();
    void slot_delete_box();
    void slot_passwd_box();

private:
    QAction *m_pMountAction = nullptr;
    QAction *m_pUmountAction = nullptr;
    QAction *m_pShareAction = nullptr;
    QAction *m_pRenameAction = nullptr;
    QAction *m_pDeleteAction = nullptr;
    QAction *m_pPasswdAction = nullptr;
};
