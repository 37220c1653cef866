#include "TitleBar.h"

#include <QHBoxLayout>
#include <QIcon>
#include <QLabel>
#include <QPixmap>
#include <QPushButton>

namespace {
// An icon-only button: its tip is also the name a screen reader says.
QPushButton *makeButton(QWidget *parent, const QString &tip, const QString &description, const QString &icon)
{
    auto *btn = new QPushButton(parent);
    btn->setFixedSize(30, 24);
    btn->setObjectName("MenuBtn");
    btn->setToolTip(tip);
    btn->setAccessibleName(tip);
    btn->setAccessibleDescription(description);
    btn->setIcon(QIcon(icon));
    // Enter and Space belong to the window's content: a title-bar button is
    // never a default button, and only Tab (never a click or the window's
    // first focus) gives it the keyboard focus.
    btn->setAutoDefault(false);
    btn->setDefault(false);
    btn->setFocusPolicy(Qt::TabFocus);
    return btn;
}
} // namespace

TitleBar::TitleBar(QWidget *parent) : QWidget(parent)
{
    setFixedHeight(40);
    setAutoFillBackground(true);
    QPalette pal = palette();
    pal.setBrush(QPalette::All, QPalette::Window, QBrush(QColor("#E4E7EA")));
    setPalette(pal);

    m_pLogoLabel = new QLabel(this);
    // Through QIcon, which takes "24@2x.png" on a screen scaled by 2.
    m_pLogoLabel->setPixmap(QIcon(":/images/logo/24.png").pixmap(QSize(24, 24)));
    m_pLogoLabel->setFixedSize(24, 24);

    m_pTitleLabel = new QLabel(this);
    pal.setBrush(QPalette::All, QPalette::WindowText, QBrush(QColor("#1D1D1F")));
    m_pTitleLabel->setPalette(pal);
    QFont font;
    font.setPixelSize(16);
    m_pTitleLabel->setFont(font);
    m_pTitleLabel->setScaledContents(true);

    m_pCloseBtn = makeButton(this, tr("关闭"), tr("关闭窗口"), ":/images/image/close_icon.png");
    m_pMinBtn = makeButton(this, tr("最小化"), tr("最小化窗口"), ":/images/image/minimun_icon.png");
    m_pMenuBtn = makeButton(this, tr("菜单"), tr("打开主菜单：帮助手册和关于"), ":/images/image/menu_icon.png");
    m_pReturnBtn = makeButton(this, tr("返回"), tr("返回上一步"), ":/images/image/return_icon1818px.png");

    m_pLayout = new QHBoxLayout;
    m_pLayout->setSpacing(8);
    m_pLayout->addWidget(m_pLogoLabel);
    m_pLayout->addWidget(m_pTitleLabel);
    m_pLayout->addSpacerItem(new QSpacerItem(800, 24, QSizePolicy::Expanding, QSizePolicy::Minimum));
    m_pLayout->addWidget(m_pReturnBtn);
    m_pLayout->addWidget(m_pMenuBtn);
    m_pLayout->addWidget(m_pMinBtn);
    m_pLayout->addWidget(m_pCloseBtn);
    m_pLayout->setSpacing(8);
    m_pLayout->setContentsMargins(20, 0, 8, 0);
    setLayout(m_pLayout);
}

void TitleBar::setTitle(const QString &text, int pixelSize, const QString &color)
{
    m_pTitleLabel->setText(text);
    if (pixelSize != 0) {
        QFont font;
        font.setPixelSize(pixelSize);
        m_pTitleLabel->setFont(font);
    }
    if (!color.isEmpty()) {
        QPalette pal = palette();
        pal.setBrush(QPalette::All, QPalette::WindowText, QBrush(QColor(color)));
        m_pTitleLabel->setPalette(pal);
    }
}

void TitleBar::setBackgroundColor(const QString &color)
{
    QPalette pal = palette();
    pal.setBrush(QPalette::All, QPalette::Window, QBrush(QColor(color)));
    setPalette(pal);
}
