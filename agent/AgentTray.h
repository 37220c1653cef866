#pragma once

#include <QObject>

#include "TrayCommand.h"

class QFile;
class QMenu;
class QSocketNotifier;
class QSystemTrayIcon;

// The agent's icon in the desktop's tray, in the tray process: the mounted
// boxes, each with 卸载, then 全部卸载 and 打开文件保护箱. Unmounting is
// the agent's work: the tray sends it the request on standard output, and
// quits when the agent closes its standard input. Shown only where a tray
// exists; a tray that appears later (started after us) is picked up.
class AgentTray : public QObject
{
    Q_OBJECT
public:
    explicit AgentTray(QObject *parent = nullptr);
    ~AgentTray() override;

    static constexpr int kTrayLookMilliseconds = 5000;

private:
    void showWhenTrayExists();
    void rebuildMenu();
    void send(const TrayCommand &command);
    void readAgent();
    void openMainWindow();

    QSystemTrayIcon *m_icon = nullptr;
    QMenu *m_menu = nullptr;
    QFile *m_toAgent = nullptr;
    QSocketNotifier *m_fromAgent = nullptr;
};
