#include "RenameBoxDialog.h"

#include "BoxPswLineEdit.h"
#include "MessageBox.h"
#include "SecretWipe.h"
#include "TitleBar.h"

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

// The "新名称"/"密码验证" captions in front of the underlined edits.
QLabel *makeRowLabel(const QString &text, QWidget *parent)
{
    QLabel *label = makeLabel(text, "#333333", 14, parent);
    label->setAlignment(Qt::AlignLeft);
    label->setFixedWidth(80);
    label->setObjectName("UnderLineLabel");
    return label;
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

RenameBoxDialog::RenameBoxDialog(const BoxInfo &box, QWidget *parent)
    : FlatDropWidget(parent), m_boxInfo(box)
{
    setWindowFlags(Qt::Tool | Qt::FramelessWindowHint);
    setAttribute(Qt::WA_DeleteOnClose);
    initUI();
    initConnect();
}

void RenameBoxDialog::initUI()
{
    resize(540, 280);
    setAutoFillBackground(true);
    setColour(this, QPalette::Window, "#FFFFFF");

    m_pTitleBar = new TitleBar(this);
    m_pTitleBar->setBackgroundColor("#EAEAEA");
    m_pTitleBar->m_pMenuBtn->hide();
    m_pTitleBar->m_pReturnBtn->hide();
    m_pTitleBar->m_pMinBtn->hide();
    m_pTitleBar->setTitle(tr("重命名"), 0, "");

    m_pHeadingLabel = makeLabel(tr("为\"%1\"保护箱重命名").arg(m_boxInfo.name), "#121217", 20, this);
    m_pHeadingLabel->setScaledContents(true);

    m_pNameLabel = makeRowLabel(tr("新名称"), this);
    m_pNameEdit = new QLineEdit(this);
    m_pNameEdit->setFixedWidth(230);
    m_pNameEdit->setObjectName("UnderLineEdit");
    m_pNameEdit->setMaxLength(32);
    m_pNameEdit->setFocus(Qt::OtherFocusReason);
    m_pNameEdit->installEventFilter(this);

    m_pPswLabel = makeRowLabel(tr("密码验证"), this);
    m_pPswEdit = new BoxPswLineEdit(this);
    m_pPswEdit->setFixedWidth(230);
    m_pPswEdit->setObjectName("UnderLineEdit");
    m_pPswEdit->setEchoMode(QLineEdit::Password);
    m_pPswEdit->setMaxLength(32);
    m_pPswEdit->installEventFilter(this);

    m_pHintLabel = makeLabel(QString(), "#FF0000", 14, this);
    m_pHintLabel->setScaledContents(true);
    m_pHintLabel->hide();
    m_pHintLabel->installEventFilter(this);

    m_pOkBtn = makeButton(tr("确认"), this);
    m_pOkBtn->setDefault(true);
    m_pCancelBtn = makeButton(tr("取消"), this);

    QHBoxLayout *headingRow = makeRow();
    headingRow->addWidget(m_pHeadingLabel, 1, Qt::AlignLeft);

    QHBoxLayout *nameRow = makeRow(10);
    nameRow->addWidget(m_pNameLabel, 1, Qt::AlignLeft);
    nameRow->addWidget(m_pNameEdit, 1, Qt::AlignLeft);

    QHBoxLayout *pswRow = makeRow(10);
    pswRow->addWidget(m_pPswLabel, 1, Qt::AlignLeft);
    pswRow->addWidget(m_pPswEdit, 1, Qt::AlignLeft);

    QHBoxLayout *hintRow = makeRow(10);
    hintRow->addWidget(m_pHintLabel, 1, Qt::AlignHCenter);

    QHBoxLayout *buttonRow = makeRow(10);
    buttonRow->addWidget(m_pOkBtn, 1, Qt::AlignHCenter);
    buttonRow->addWidget(m_pCancelBtn, 1, Qt::AlignHCenter);

    auto *mainLayout = new QVBoxLayout;
    mainLayout->setSpacing(20);
    mainLayout->addWidget(m_pTitleBar, 0);
    mainLayout->addLayout(headingRow);
    mainLayout->addLayout(nameRow);
    mainLayout->addLayout(pswRow);
    mainLayout->addLayout(hintRow);
    mainLayout->addSpacing(20);
    mainLayout->addLayout(buttonRow);
    mainLayout->setContentsMargins(0, 0, 0, 50);
    mainLayout->setSizeConstraint(QLayout::SetMinimumSize);
    setLayout(mainLayout);
    setFixedHeight(280);

    if (m_boxInfo.encrypted == 0) {
        m_pPswEdit->hide();
        m_pPswLabel->hide();
    }
}

void RenameBoxDialog::initConnect()
{
    connect(m_pTitleBar->m_pCloseBtn, SIGNAL(clicked(bool)), this, SLOT(slot_closeBtnClicked()));
    connect(m_pOkBtn, SIGNAL(clicked(bool)), this, SLOT(slot_okBtnClicked()));
    connect(m_pCancelBtn, SIGNAL(clicked(bool)), this, SLOT(slot_cancelBtnClicked()));
    // However the dialog ends, the password does not outlive it.
    connect(this, SIGNAL(finished(int)), this, SLOT(slot_wipePassword()));
}

void RenameBoxDialog::slot_closeBtnClicked()
{
    close();
}

void RenameBoxDialog::slot_cancelBtnClicked()
{
    close();
}

void RenameBoxDialog::slot_okBtnClicked()
{
    const QString newName = m_pNameEdit->text();
    if (newName.isEmpty()) {
        showHint(tr("保护箱新名称不可为空"));
        return;
    }
    if (m_boxInfo.encrypted) {
        // text() shares the edit's buffer rather than copying the password;
        // that buffer is zeroed when the dialog finishes.
        const QString password = m_pPswEdit->text();
        if (password.isEmpty()) {
            showHint(tr("保护箱密码不可为空"));
            return;
        }
        // Knowing the password is what entitles the user to rename the box.
        if (!VaultranerProxy::verifyPassphrase(m_boxInfo.name, password)) {
            showHint(tr("密码认证失败，请确认密码后重新认证"));
            return;
        }
    }
    if (VaultranerProxy::renameBox(m_boxInfo.name, newName)) {
        accept();
        return;
    }
    auto *box = new MessageBox(this);
    centreOn(box, this);
    box->execMessage(MessageBox::Warning, tr("保护箱 “%1” 重命名失败！").arg(m_boxInfo.name));
}

bool RenameBoxDialog::eventFilter(QObject *watched, QEvent *event)
{
    if ((watched == m_pNameEdit || watched == m_pPswEdit) && event->type() == QEvent::MouseButtonPress)
        m_pHintLabel->hide();
    return QObject::eventFilter(watched, event);
}

void RenameBoxDialog::showHint(const QString &text)
{
    m_pHintLabel->setText(text);
    m_pHintLabel->show();
}

void RenameBoxDialog::slot_wipePassword()
{
    wipeLineEdit(m_pPswEdit);
}
