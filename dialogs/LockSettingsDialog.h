#pragma once

#include "FlatDropWidget.h"

class QCheckBox;
class QLabel;
class QPushButton;
class QSpinBox;
class TitleBar;

// The 设置 dialog of the main menu: when mounted boxes lock themselves
// (screen lock, sleep, logout, idle time). 确认 stores the choices, which
// the session agent and later mounts follow at once.
class LockSettingsDialog : public FlatDropWidget
{
    Q_OBJECT
public:
    explicit LockSettingsDialog(QWidget *parent = nullptr);

private:
    void initUI();
    void initConnect();
    void save();

    TitleBar *m_pTitleBar;
    QLabel *m_pHeadingLabel;
    QCheckBox *m_pScreenLockBox;
    QCheckBox *m_pSleepBox;
    QCheckBox *m_pLogoutBox;
    QCheckBox *m_pIdleBox;
    QSpinBox *m_pIdleMinutes;
    QLabel *m_pIdleNoteLabel;
    QPushButton *m_pOkBtn;
    QPushButton *m_pCancelBtn;
};
