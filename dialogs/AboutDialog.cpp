#include "AboutDialog.h"

#include "BuildConfig.h"
#include "TitleBar.h"

#include <QIcon>
#include <QLabel>
#include <QPixmap>
#include <QPushButton>

namespace {
// A plain text label at `pos` in the default font family at `pixelSize`,
// coloured through its palette.
QLabel *makeTextLabel(QWidget *parent, const QString &text, const QPoint &pos, int pixelSize,
                      const QString &color)
{
    auto *label = new QLabel(text, parent);
    QFont font;
    font.setPixelSize(pixelSize);
    label->setFont(font);
    QPalette pal = label->palette();
    pal.setBrush(QPalette::All, QPalette::WindowText, QBrush(QColor(color)));
    label->setPalette(pal);
    label->setScaledContents(true);
    label->adjustSize();
    label->move(pos);
    return label;
}
} // namespace

AboutDialog::AboutDialog(QWidget *parent) : FlatDropWidget(parent)
{
    setWindowFlags(Qt::Tool | Qt::FramelessWindowHint);
    setFixedSize(560, 360);
    setAutoFillBackground(true);
    QPalette pal = palette();
    pal.setBrush(QPalette::All, QPalette::Window, QBrush(QColor("#FFFFFF")));
    setPalette(pal);

    m_pTitleBar = new TitleBar(this);
    m_pTitleBar->resize(560, 40);
    m_pTitleBar->move(0, 0);
    m_pTitleBar->setBackgroundColor("#E4E7EA");
    m_pTitleBar->m_pMinBtn->hide();
    m_pTitleBar->m_pMenuBtn->hide();
    m_pTitleBar->m_pReturnBtn->hide();
    m_pTitleBar->setTitle(tr("关于"), 0, "");
    setWindowTitle(m_pTitleBar->m_pTitleLabel->text());

    m_pLogoLabel = new QLabel(this);
    m_pLogoLabel->setPixmap(QIcon(":/images/logo/64.png").pixmap(QSize(64, 64)));
    m_pLogoLabel->setFixedSize(64, 64);
    m_pLogoLabel->move(120, 80);

    m_pNameLabel = makeTextLabel(this, tr("Venmora文件保护箱"), {190, 85}, 32, "#121217");
    m_pEnvironmentLabel =
        makeTextLabel(this, tr("运行环境: AstrelVenmora操作系统 (V10)"), {170, 190}, 12, "#49494E");
    m_pKernelLabel = makeTextLabel(this, tr("安全内核 (3.0.0) 以上"), {225, 210}, 12, "#49494E");
    m_pSuiteLabel = makeTextLabel(this, tr("保护箱套件 (3.0.8) 以上"), {225, 230}, 12, "#49494E");
    m_pVersionLabel = makeTextLabel(this, tr("软件版本: ") + VAULTRANE_VERSION, {170, 260}, 12, "#49494E");

    connect(m_pTitleBar->m_pCloseBtn, SIGNAL(clicked()), this, SLOT(close()));
}
