#include "AgentTray.h"

#include "LockAgent.h"
#include "TrayProcess.h"

#include <QAction>
#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QIcon>
#include <QMenu>
#include <QProcess>
#include <QSocketNotifier>
#include <QSystemTrayIcon>
#include <QTimer>

#include <unistd.h>

AgentTray::AgentTray(QObject *parent) : QObject(parent)
{
    m_toAgent = new QFile(this);
    m_toAgent->open(STDOUT_FILENO, QIODevice::WriteOnly);
    m_fromAgent = new QSocketNotifier(STDIN_FILENO, QSocketNotifier::Read, this);
    connect(m_fromAgent, &QSocketNotifier::activated, this, &AgentTray::readAgent);
    showWhenTrayExists();
}

AgentTray::~AgentTray()
{
    delete m_icon;
    delete m_menu;
}

// The agent writes nothing; the end of the input means it wants us gone.
void AgentTray::readAgent()
{
    char buffer[64];
    const ssize_t got = read(STDIN_FILENO, buffer, sizeof buffer);
    if (got <= 0) {
        m_fromAgent->setEnabled(false);
        QCoreApplication::exit(TrayProcess::kDismissedExitCode);
    }
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
        TrayCommand command;
        command.kind = TrayCommand::Kind::Unmount;
        command.owner = box.owner;
        command.name = box.name;
        connect(action, &QAction::triggered, this, [this, command] { send(command); });
    }
    if (mounted.isEmpty())
        m_menu->addAction(tr("没有已挂载的保护箱"))->setEnabled(false);
    m_menu->addSeparator();
    QAction *all = m_menu->addAction(tr("全部卸载"));
    all->setEnabled(!mounted.isEmpty());
    TrayCommand unmountAll;
    unmountAll.kind = TrayCommand::Kind::UnmountAll;
    connect(all, &QAction::triggered, this, [this, unmountAll] { send(unmountAll); });
    QAction *open = m_menu->addAction(tr("打开文件保护箱"));
    connect(open, &QAction::triggered, this, &AgentTray::openMainWindow);
}

void AgentTray::send(const TrayCommand &command)
{
    m_toAgent->write(command.toLine());
    m_toAgent->flush();
}

// The program beside us when it is there (an installed or built tree), the
// one on the path otherwise; a running window raises itself.
void AgentTray::openMainWindow()
{
    const QString beside = QDir(QCoreApplication::applicationDirPath()).filePath(QStringLiteral("vaultrane"));
    const QString program = QFileInfo(beside).isExecutable() ? beside : QStringLiteral("vaultrane");
    QProcess::startDetached(program, {});
}
