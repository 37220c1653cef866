#pragma once

#include <QMenu>

class QAction;

// The drop-down of the main window's menu button: 帮助手册, 设置 and 关于.
class MainMenu : public QMenu
{
    Q_OBJECT
public:
    explicit MainMenu(QWidget *parent);
    ~MainMenu() override;

signals:
    void signal_showNewCharacter();
    void signal_showAboutUs();
    void signal_showSettings();

private:
    QAction *m_pHelpAction;
    QAction *m_pAboutAction;
    QAction *m_pSettingsAction;
};
