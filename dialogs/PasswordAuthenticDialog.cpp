#include "PasswordAuthenticDialog.h"

#include "BoxPswLineEdit.h"
#include "SecretWipe.h"
#include "TitleBar.h"

#include <QEvent>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

namespace {

void setTextColor(QWidget *w, const char *color)
{
    QPalette pal = w->palette();
    pal.setBrush(QPalette::All, QPalette::WindowText, QBrush(QColor(color)));
    w->setPalette(pal);
}

void setPixelSize(QWidget *w, int pixelSize)
{
    QFont font;
    font.setPixelSize(pixelSize);
    w->setFont(font);
}

QHBoxLayout *newRow()
{
    auto *row = new QHBoxLayout;
    row->setContentsMargins(108, 0, 108, 0);
    return row;
}

// A private copy of the edit's text: wiping it later must not zero the
// buffer the edit still shows while the dialog stays open.
QString copyOfText(const QLineEdit *edit)
{
    const QString shown = edit->text();
    return QString(shown.constData(), shown.size());
}

} // namespace

PasswordAuthenticDialog::PasswordAuthenticDialog(const QString &prompt, const BoxInfo &box, int mode,
                                                 QWidget *parent)
    : FlatDropWidget(parent), m_prompt(prompt), m_box(box), m_mode(mode)
{
    setWindowFlags(Qt::Tool | Qt::FramelessWindowHint);
    setAttribute(Qt::WA_DeleteOnClose);
    initUI();
    initConnect();
}

void PasswordAuthenticDialog::initUI()
{
    resize(540, 260);
    setAutoFillBackground(true);
    QPalette pal = palette();
    pal.setBrush(QPalette::All, QPalette::Window, QBrush(QColor("#FFFFFF")));
    setPalette(pal);

    m_pTitleBar = new TitleBar(this);
    m_pTitleBar->setBackgroundColor("#EAEAEA");
    m_pTitleBar->m_pMenuBtn->hide();
    m_pTitleBar->m_pReturnBtn->hide();
    m_pTitleBar->m_pMinBtn->hide();
    m_pTitleBar->setTitle(m_mode == 0 ? "密码认证" : "保护箱挂载", 0, "");

    m_pHeadLabel = new QLabel(m_prompt, this);
    setTextColor(m_pHeadLabel, "#121217");
    setPixelSize(m_pHeadLabel, 20);
    m_pHeadLabel->setScaledContents(true);

    m_pBoxLabel = new QLabel(QString("保护箱: %1").arg(m_box.name), this);
    setTextColor(m_pBoxLabel, "#333333");
    setPixelSize(m_pBoxLabel, 14);
    m_pBoxLabel->setAlignment(Qt::AlignLeft);

    m_pPswLabel = new QLabel("密码", this);
    setTextColor(m_pPswLabel, "#333333");
    setPixelSize(m_pPswLabel, 14);
    m_pPswLabel->setAlignment(Qt::AlignLeft);
    m_pPswLabel->setFixedWidth(80);
    m_pPswLabel->setObjectName("UnderLineLabel");

    m_pPswEdit = new BoxPswLineEdit(this);
    m_pPswEdit->setFixedWidth(230);
    m_pPswEdit->setObjectName("UnderLineEdit");
    m_pPswEdit->setEchoMode(QLineEdit::Password);
    m_pPswEdit->setMaxLength(32);
    m_pPswEdit->installEventFilter(this);
    m_pPswEdit->setFocus(Qt::OtherFocusReason);

    m_pHintLabel = new QLabel(this);
    setTextColor(m_pHintLabel, "#FF0000");
    setPixelSize(m_pHintLabel, 14);
    m_pHintLabel->setScaledContents(true);
    m_pHintLabel->hide();
    m_pHintLabel->installEventFilter(this);

    m_pOkBtn = new QPushButton("确认", this);
    m_pOkBtn->setFixedSize(140, 34);
    m_pOkBtn->setObjectName("BoxCommonButton");
    setPixelSize(m_pOkBtn, 14);
    m_pOkBtn->setDefault(true);

    m_pCancelBtn = new QPushButton("取消", this);
    m_pCancelBtn->setFixedSize(140, 34);
    m_pCancelBtn->setObjectName("BoxCommonButton");
    setPixelSize(m_pCancelBtn, 14);

    QHBoxLayout *headRow = newRow();
    headRow->addWidget(m_pHeadLabel, 1, Qt::AlignLeft);

    QHBoxLayout *boxRow = newRow();
    boxRow->addWidget(m_pBoxLabel, 1, Qt::AlignLeft);
    boxRow->setSpacing(10);

    QHBoxLayout *pswRow = newRow();
    pswRow->addWidget(m_pPswLabel, 1, Qt::AlignLeft);
    pswRow->addWidget(m_pPswEdit, 1, Qt::AlignLeft);
    pswRow->setSpacing(10);

    QHBoxLayout *hintRow = newRow();
    hintRow->addWidget(m_pHintLabel, 1, Qt::AlignHCenter);
    hintRow->setSpacing(10);

    QHBoxLayout *buttonRow = newRow();
    buttonRow->addWidget(m_pOkBtn, 1, Qt::AlignHCenter);
    buttonRow->addWidget(m_pCancelBtn, 1, Qt::AlignHCenter);
    buttonRow->setSpacing(10);

    auto *mainLayout = new QVBoxLayout;
    mainLayout->setSpacing(20);
    mainLayout->addWidget(m_pTitleBar, 0);
    mainLayout->addLayout(headRow);
    mainLayout->addLayout(boxRow);
    mainLayout->addLayout(pswRow);
    mainLayout->addLayout(hintRow);
    mainLayout->addSpacing(20);
    mainLayout->addLayout(buttonRow);
    mainLayout->setContentsMargins(0, 0, 0, 50);
    mainLayout->setSizeConstraint(QLayout::SetMinimumSize);
    setLayout(mainLayout);
    setFixedHeight(260);
}

void PasswordAuthenticDialog::initConnect()
{
    connect(m_pTitleBar->m_pCloseBtn, SIGNAL(clicked(bool)), this, SLOT(slot_closeBtnClicked()));
    connect(m_pOkBtn, SIGNAL(clicked(bool)), this, SLOT(slot_okBtnClicked()));
    connect(m_pCancelBtn, SIGNAL(clicked(bool)), this, SLOT(slot_cancelBtnClicked()));
    // However the dialog ends, the typed password does not outlive it.
    connect(this, SIGNAL(finished(int)), this, SLOT(slot_wipePassword()));
}

void PasswordAuthenticDialog::slot_closeBtnClicked()
{
    close();
}

void PasswordAuthenticDialog::slot_cancelBtnClicked()
{
    close();
}

void PasswordAuthenticDialog::slot_okBtnClicked()
{
    if (m_pPswEdit->text().isEmpty()) {
        showHint("密码不可为空");
        return;
    }

    QString password = copyOfText(m_pPswEdit);
    bool ok;
    if (m_mode == 0)
        ok = VaultranerProxy::verifyPassphrase(m_box.name, password);
    else
        ok = VaultranerProxy::mountBox(m_box.owner, m_box.name, password);
    wipeString(password);

    if (ok)
        accept();
    else if (m_mode == 0)
        showHint("密码认证失败，请确认密码后重新认证");
    else
        showHint("保护箱挂载失败，请检查");
}

void PasswordAuthenticDialog::slot_wipePassword()
{
    wipeLineEdit(m_pPswEdit);
}

void PasswordAuthenticDialog::showHint(const QString &text)
{
    m_pHintLabel->setText(text);
    m_pHintLabel->show();
}

bool PasswordAuthenticDialog::eventFilter(QObject *watched, QEvent *event)
{
    // Only a press into the edit clears the hint; typing leaves it shown.
    if (watched == m_pPswEdit && event->type() == QEvent::MouseButtonPress)
        m_pHintLabel->hide();
    return QObject::eventFilter(watched, event);
}
