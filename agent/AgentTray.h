#pragma once

#include <QCoreApplication>
#include <QObject>

class LockAgent;
class QMenu;
class QSystemTrayIcon;

// The agent's icon in the desktop's tray: the mounted boxes, each with
// 卸载, then 全部卸载 and 打开文件保护箱. Shown only where a tray exists;
// a tray that appears later (started after us) is picked up.
class AgentTray : public QObject
{
    Q_OBJECT
public:
    explicit AgentTray(LockAgent *agent, QObject *parent = nullptr);
    ~AgentTray() override;

    static constexpr int kTrayLookMilliseconds = 5000;

private:
    void showWhenTrayExists();
    void rebuildMenu();
    void openMainWindow();

    LockAgent *m_agent;
    QSystemTrayIcon *m_icon = nullptr;
    QMenu *m_menu = nullptr;
};
