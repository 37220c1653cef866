#include "CreateBoxLockedDialog.h"

#include "BoxPswLineEdit.h"
#include "MessageBox.h"
#include "SecretWipe.h"
#include "TitleBar.h"

#include <QDebug>
#include <QEvent>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

namespace {

QFont pixelFont(int pixelSize)
{
    QFont font;
    font.setPixelSize(pixelSize);
    return font;
}

void setColour(QWidget *w, QPalette::ColorRole role, const char *colour)
{
    QPalette pal = w->palette();
    pal.setBrush(QPalette::All, role, QBrush(QColor(colour)));
    w->setPalette(pal);
}

QLabel *makeLabel(const QString &text, const char *colour, int pixelSize, QWidget *parent)
{
    auto *label = new QLabel(text, parent);
    setColour(label, QPalette::WindowText, colour);
    label->setFont(pixelFont(pixelSize));
    return label;
}

// The captions in front of the underlined password edits.
QLabel *makeRowLabel(const QString &text, QWidget *parent)
{
    QLabel *label = makeLabel(text, "#333333", 14, parent);
    label->setAlignment(Qt::AlignLeft);
    label->setFixedWidth(80);
    label->setObjectName("UnderLineLabel");
    return label;
}

void setUpPasswordEdit(QLineEdit *edit, QObject *filter)
{
    edit->setFixedWidth(230);
    edit->setObjectName("UnderLineEdit");
    edit->setEchoMode(QLineEdit::Password);
    edit->setMaxLength(32);
    edit->installEventFilter(filter);
}

QPushButton *makeButton(const QString &text, QWidget *parent)
{
    auto *btn = new QPushButton(text, parent);
    btn->setFixedSize(140, 34);
    btn->setObjectName("BoxCommonButton");
    btn->setFont(pixelFont(14));
    return btn;
}

QHBoxLayout *makeRow(int spacing = -1)
{
    auto *row = new QHBoxLayout;
    row->setContentsMargins(108, 0, 108, 0);
    if (spacing >= 0)
        row->setSpacing(spacing);
    return row;
}

} // namespace

CreateBoxLockedDialog::CreateBoxLockedDialog(const BoxInfo &box, QWidget *parent)
    : FlatDropWidget(parent), m_boxInfo(box)
{
    setWindowFlags(Qt::Tool | Qt::FramelessWindowHint);
    setAttribute(Qt::WA_DeleteOnClose);
    initUI();
    initConnect();
}

void CreateBoxLockedDialog::initUI()
{
    resize(540, 280);
    setAutoFillBackground(true);
    setColour(this, QPalette::Window, "#FFFFFF");

    m_pTitleBar = new TitleBar(this);
    m_pTitleBar->setBackgroundColor("#EAEAEA");
    m_pTitleBar->m_pMenuBtn->hide();
    m_pTitleBar->m_pReturnBtn->hide();
    m_pTitleBar->m_pMinBtn->hide();
    m_pTitleBar->setTitle(tr("创建密码"), 0, "");

    m_pHeadingLabel = makeLabel(tr("创建保护箱密码"), "#121217", 20, this);
    m_pHeadingLabel->setScaledContents(true);

    m_pBoxLabel = makeLabel(tr("保护箱: %1").arg(m_boxInfo.name), "#333333", 14, this);
    m_pBoxLabel->setAlignment(Qt::AlignLeft);

    m_pPswLabel = makeRowLabel(tr("密码"), this);
    m_pPswEdit = new BoxPswLineEdit(this);
    setUpPasswordEdit(m_pPswEdit, this);
    m_pPswEdit->setFocus(Qt::OtherFocusReason);

    m_pConfirmLabel = makeRowLabel(tr("确认密码"), this);
    m_pConfirmEdit = new QLineEdit(this);
    setUpPasswordEdit(m_pConfirmEdit, this);

    m_pHintLabel = makeLabel(QString(), "#FF0000", 14, this);
    m_pHintLabel->setScaledContents(true);
    m_pHintLabel->hide();
    m_pHintLabel->installEventFilter(this);

    m_pOkBtn = makeButton(tr("确认"), this);
    m_pOkBtn->setDefault(true);
    m_pCancelBtn = makeButton(tr("取消"), this);

    QHBoxLayout *headingRow = makeRow();
    headingRow->addWidget(m_pHeadingLabel, 1, Qt::AlignLeft);

    QHBoxLayout *boxRow = makeRow(10);
    boxRow->addWidget(m_pBoxLabel, 1, Qt::AlignLeft);

    QHBoxLayout *pswRow = makeRow(10);
    pswRow->addWidget(m_pPswLabel, 1, Qt::AlignLeft);
    pswRow->addWidget(m_pPswEdit, 1, Qt::AlignLeft);

    QHBoxLayout *confirmRow = makeRow(10);
    confirmRow->addWidget(m_pConfirmLabel, 1, Qt::AlignLeft);
    confirmRow->addWidget(m_pConfirmEdit, 1, Qt::AlignLeft);

    QHBoxLayout *hintRow = makeRow(10);
    hintRow->addWidget(m_pHintLabel, 1, Qt::AlignHCenter);

    QHBoxLayout *buttonRow = makeRow(10);
    buttonRow->addWidget(m_pOkBtn, 1, Qt::AlignHCenter);
    buttonRow->addWidget(m_pCancelBtn, 1, Qt::AlignHCenter);

    auto *mainLayout = new QVBoxLayout;
    mainLayout->setSpacing(20);
    mainLayout->addWidget(m_pTitleBar, 0);
    mainLayout->addLayout(headingRow);
    mainLayout->addLayout(boxRow);
    mainLayout->addLayout(pswRow);
    mainLayout->addLayout(confirmRow);
    mainLayout->addLayout(hintRow);
    mainLayout->addSpacing(20);
    mainLayout->addLayout(buttonRow);
    mainLayout->setContentsMargins(0, 0, 0, 50);
    mainLayout->setSizeConstraint(QLayout::SetMinimumSize);
    setLayout(mainLayout);
    setFixedHeight(280);
}

void CreateBoxLockedDialog::initConnect()
{
    connect(m_pTitleBar->m_pCloseBtn, SIGNAL(clicked(bool)), this, SLOT(slot_closeBtnClicked()));
    connect(m_pOkBtn, SIGNAL(clicked(bool)), this, SLOT(slot_okBtnClicked()));
    connect(m_pCancelBtn, SIGNAL(clicked(bool)), this, SLOT(slot_cancelBtnClicked()));
    // However the dialog ends, the passwords do not outlive it.
    connect(this, SIGNAL(finished(int)), this, SLOT(slot_wipePasswords()));
}

void CreateBoxLockedDialog::slot_closeBtnClicked()
{
    close();
}

void CreateBoxLockedDialog::slot_cancelBtnClicked()
{
    close();
}

void CreateBoxLockedDialog::slot_okBtnClicked()
{
    // text() shares the edits' buffers rather than copying the passwords;
    // those buffers are zeroed when the dialog finishes.
    const QString password = m_pPswEdit->text();
    const QString confirm = m_pConfirmEdit->text();
    if (password.isEmpty()) {
        qDebug() << size();
        showHint(tr("密码不可为空"));
        return;
    }
    if (confirm.isEmpty()) {
        showHint(tr("确认密码不可为空"));
        return;
    }
    if (password != confirm) {
        showHint(tr("密码与确认密码不一致"));
        return;
    }
    if (VaultranerProxy::addPassphrase(m_boxInfo.name, password)) {
        accept();
        return;
    }
    auto *box = new MessageBox(this);
    centreOn(box, this);
    box->execMessage(MessageBox::Warning, tr("保护箱 “%1” 创建密码保护失败！").arg(m_boxInfo.name));
}

bool CreateBoxLockedDialog::eventFilter(QObject *watched, QEvent *event)
{
    if ((watched == m_pPswEdit || watched == m_pConfirmEdit) && event->type() == QEvent::MouseButtonPress)
        m_pHintLabel->hide();
    return QObject::eventFilter(watched, event);
}

void CreateBoxLockedDialog::showHint(const QString &text)
{
    m_pHintLabel->setText(text);
    m_pHintLabel->show();
}

void CreateBoxLockedDialog::slot_wipePasswords()
{
    wipeLineEdit(m_pPswEdit);
    wipeLineEdit(m_pConfirmEdit);
}
