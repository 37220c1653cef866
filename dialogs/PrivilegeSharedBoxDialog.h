#pragma once

#include "BoxFormDialog.h"
#include "BoxTypes.h"

#include <QList>
#include <QMap>

class QButtonGroup;
class QLabel;
class QPushButton;
class QTableWidget;
class TitleBar;

// Lets the owner of a box choose per local account whether it may read the
// box (仅读取), read and write it (可读写) or not use it at all. 应用 replaces
// every share of the box with the ticked ones and reports the outcome.
//
// Create it, call initData() and show it only when that returned 0.
class PrivilegeSharedBoxDialog : public BoxFormDialog
{
    Q_OBJECT
public:
    PrivilegeSharedBoxDialog(const BoxInfo &box, QWidget *parent);

    // Reads the box's shares and the candidate accounts and fills the table.
    // -1 when the shares cannot be read (also for a box without a name).
    int initData();

public slots:
    void slot_closeBtnClicked();
    void slot_cancelBtnClicked();
    void slot_okBtnClicked();

private:
    void initUI();
    void initConnect();
    bool loadSharedUsers();
    bool loadLocalUsers();
    void initUserTable();
    QList<ShareUser> getCheckedUsers() const;
    void refreshShareState();
    // A click on a row's choice (1 仅读取, 2 可读写): the other one gives way.
    void onShareChoice(int row, int choice);

    BoxInfo m_boxInfo;
    QMap<int, ShareUser> m_sharedMap;
    QList<ShareUser> m_userList;
    QList<QButtonGroup *> m_buttonGroups;

    TitleBar *m_pTitleBar;
    QLabel *m_pHeadingLabel;
    QTableWidget *m_pUserTable;
    QWidget *m_pTableFrame;
    QPushButton *m_pApplyBtn;
    QPushButton *m_pCancelBtn;
};
