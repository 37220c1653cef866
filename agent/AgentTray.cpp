#include "AgentTray.h"

#include "LockAgent.h"

#include <QAction>
#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QIcon>
#include <QMenu>
#include <QProcess>
#include <QSystemTrayIcon>
#include <QTimer>

AgentTray::AgentTray(LockAgent *agent, QObject *parent) : QObject(parent), m_agent(agent)
{
    showWhenTrayExists();
}

AgentTray::~AgentTray()
{
    delete m_icon;
    delete m_menu;
}

void AgentTray::showWhenTrayExists()
{
    if (!QSystemTrayIcon::isSystemTrayAvailable()) {
        QTimer::singleShot(kTrayLookMilliseconds, this, &AgentTray::showWhenTrayExists);
        return;
    }
    QIcon icon;
    for (const char *size : {"16", "24", "32", "48", "64"})
        icon.addFile(QStringLiteral(":/images/logo/%1.png").arg(size));
    m_menu = new QMenu;
    m_icon = new QSystemTrayIcon(icon);
    m_icon->setToolTip(tr("文件保护箱"));
    m_icon->setContextMenu(m_menu);
    connect(m_menu, &QMenu::aboutToShow, this, &AgentTray::rebuildMenu);
    rebuildMenu();
    m_icon->show();
}

void AgentTray::rebuildMenu()
{
    m_menu->clear();
    const QList<BoxInfo> mounted = LockAgent::mountedBoxes();
    for (const BoxInfo &box : mounted) {
        QAction *action = m_menu->addAction(tr("卸载 “%1”").arg(box.name));
        connect(action, &QAction::triggered, this, [this, box] { m_agent->lockOne(box); });
    }
    if (mounted.isEmpty())
        m_menu->addAction(tr("没有已挂载的保护箱"))->setEnabled(false);
    m_menu->addSeparator();
    QAction *all = m_menu->addAction(tr("全部卸载"));
    all->setEnabled(!mounted.isEmpty());
    connect(all, &QAction::triggered, this, [this] { m_agent->lockAll(LockAgent::Trigger::User); });
    QAction *open = m_menu->addAction(tr("打开文件保护箱"));
    connect(open, &QAction::triggered, this, &AgentTray::openMainWindow);
}

// The program beside us when it is there (an installed or built tree), the
// one on the path otherwise; a running window raises itself.
void AgentTray::openMainWindow()
{
    const QString beside = QDir(QCoreApplication::applicationDirPath()).filePath(QStringLiteral("vaultrane"));
    const QString program = QFileInfo(beside).isExecutable() ? beside : QStringLiteral("vaultrane");
    QProcess::startDetached(program, {});
}
