#include "MessageBox.h"

#include "TitleBar.h"

#include <QIcon>
#include <QLabel>
#include <QPixmap>
#include <QPushButton>
#include <QVariant>

namespace {
constexpr int kBoxWidth = 500;
constexpr int kBoxHeight = 320;
constexpr int kButtonTop = 238;
constexpr int kTextButtonGap = 12; // least room between the text and the buttons
} // namespace

MessageBox::MessageBox(QWidget *parent) : FlatDropWidget(parent)
{
    setFixedSize(500, 320);
    setAutoFillBackground(true);
    QPalette pal = palette();
    pal.setBrush(QPalette::All, backgroundRole(), QBrush(QColor("#FFFFFF")));
    setPalette(pal);

    m_pTitleBar = new TitleBar(this);
    m_pTitleBar->resize(500, 40);
    m_pTitleBar->m_pMinBtn->hide();
    m_pTitleBar->m_pMenuBtn->hide();
    m_pTitleBar->m_pReturnBtn->hide();
    m_pTitleBar->move(0, 0);
    connect(m_pTitleBar->m_pCloseBtn, SIGNAL(clicked(bool)), this, SLOT(close()));

    m_pIconLabel = new QLabel(this);
    m_pIconLabel->setFixedSize(56, 56);
    m_pIconLabel->move(222, 80);

    QFont font;
    font.setPixelSize(16);
    m_pTextLabel = new QLabel(this);
    m_pTextLabel->setFont(font);
    QPalette textPal = m_pTextLabel->palette();
    textPal.setBrush(QPalette::All, QPalette::WindowText, QBrush(QColor("#333333")));
    m_pTextLabel->setPalette(textPal);
    m_pTextLabel->setWordWrap(true);
    m_pTextLabel->setAlignment(Qt::AlignCenter);
    m_pTextLabel->setTextFormat(Qt::PlainText);
    m_pTextLabel->setFixedWidth(380);
    m_pTextLabel->move(60, 154);

    m_pOkBtn = new QPushButton(tr("确认"), this);
    m_pOkBtn->setFixedSize(140, 34);
    m_pOkBtn->setObjectName("MessageBoxBtn");
    m_pOkBtn->setProperty("MsgType", "Complete");
    m_pOkBtn->setFont(font);
    m_pOkBtn->setDefault(true);
    m_pOkBtn->move(100, 238);
    connect(m_pOkBtn, SIGNAL(clicked(bool)), this, SLOT(slot_okBtnClicked()));

    m_pCancelBtn = new QPushButton(tr("取消"), this);
    m_pCancelBtn->setFixedSize(140, 34);
    m_pCancelBtn->setObjectName("MessageBoxBtn");
    m_pCancelBtn->setProperty("MsgType", "Complete");
    m_pCancelBtn->setFont(font);
    m_pCancelBtn->move(260, 238);
    connect(m_pCancelBtn, SIGNAL(clicked(bool)), this, SLOT(close()));

    setAttribute(Qt::WA_DeleteOnClose);
    setWindowFlags(Qt::Tool | Qt::FramelessWindowHint);
}

int MessageBox::execMessage(int type, const QString &text)
{
    QString title;
    QString icon;
    switch (type) {
    case Question:
        title = tr("询问");
        icon = ":/images/image/question_icon.png";
        break;
    case Information:
        title = tr("提示");
        icon = ":/images/image/remind.png";
        break;
    case Warning:
        title = tr("警告");
        icon = ":/images/image/waring.png";
        break;
    default:
        title = tr("完成");
        icon = ":/images/image/finish.png";
        break;
    }
    m_pTitleBar->setTitle(title, 0, "");
    setWindowTitle(title);
    m_pIconLabel->setPixmap(QIcon(icon).pixmap(QSize(56, 56)));
    if (type == Question) {
        m_pCancelBtn->show();
        m_pOkBtn->move(100, 238);
        m_pCancelBtn->move(260, 238);
    } else {
        m_pCancelBtn->hide();
        m_pOkBtn->move(180, 238);
    }
    m_pTextLabel->setText(text);
    fitText();
    return exec();
}

void MessageBox::fitText()
{
    // A text taller than the room above the buttons (a cause and its fix on a
    // second line) makes the box grow downwards instead of running under them.
    m_pTextLabel->ensurePolished();
    const int textHeight = m_pTextLabel->heightForWidth(m_pTextLabel->width());
    const int extra = m_pTextLabel->y() + textHeight + kTextButtonGap - kButtonTop;
    if (extra <= 0)
        return;
    m_pTextLabel->resize(m_pTextLabel->width(), textHeight);
    setFixedSize(kBoxWidth, kBoxHeight + extra);
    m_pOkBtn->move(m_pOkBtn->x(), kButtonTop + extra);
    m_pCancelBtn->move(m_pCancelBtn->x(), kButtonTop + extra);
}

void MessageBox::slot_okBtnClicked()
{
    done(1);
    close();
}

void centreOn(QWidget *dialog, const QWidget *over)
{
    dialog->move(over->x() + over->width() / 2 - dialog->width() / 2,
                 over->y() + over->height() / 2 - dialog->height() / 2);
}

void showInformation(const QString &text, QWidget *parent)
{
    auto *box = new MessageBox(parent);
    if (parent)
        centreOn(box, parent);
    box->execMessage(MessageBox::Information, text);
}
