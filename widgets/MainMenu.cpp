#include "MainMenu.h"

#include <QAction>

MainMenu::MainMenu(QWidget *parent) : QMenu(parent)
{
    QFont font;
    font.setPixelSize(16);
    setFont(font);
    setMinimumWidth(110); // wider where the words of a language need it

    m_pHelpAction = new QAction(tr("帮助手册"), this);
    m_pAboutAction = new QAction(tr("关于"), this);
    m_pSettingsAction = new QAction(tr("设置"), this);
    addAction(m_pHelpAction);
    addSeparator();
    addAction(m_pSettingsAction);
    addSeparator();
    addAction(m_pAboutAction);

    connect(m_pHelpAction, SIGNAL(triggered()), this, SIGNAL(signal_showNewCharacter()));
    connect(m_pAboutAction, SIGNAL(triggered()), this, SIGNAL(signal_showAboutUs()));
    connect(m_pSettingsAction, &QAction::triggered, this, &MainMenu::signal_showSettings);
    setObjectName("menu");
}

MainMenu::~MainMenu()
{
    delete m_pHelpAction;
    delete m_pAboutAction;
    delete m_pSettingsAction;
}
