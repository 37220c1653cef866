#include "RenameBoxDialog.h"

#include "BoxPswLineEdit.h"
#include "FormDialogParts.h"
#include "SecretWipe.h"
#include "TitleBar.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

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
    setWhiteBackground(this);

    m_pTitleBar = makeTitleBar(this, tr("重命名"));
    m_pHeadingLabel = makeHeadingLabel(tr("为\"%1\"保护箱重命名").arg(m_boxInfo.name), this);

    m_pNameLabel = makeRowLabel(tr("新名称"), this);
    m_pNameEdit = new QLineEdit(this);
    setUpUnderLineEdit(m_pNameEdit, 32);
    m_pNameEdit->setFocus(Qt::OtherFocusReason);
    m_pNameEdit->installEventFilter(this);

    m_pPswLabel = makeRowLabel(tr("密码验证"), this);
    m_pPswEdit = new BoxPswLineEdit(this);
    setUpPasswordEdit(m_pPswEdit, this);

    m_pHintLabel = makeHintLabel(this);
    m_pHintLabel->installEventFilter(this);

    m_pOkBtn = makeCommonButton(tr("确认"), this);
    m_pOkBtn->setDefault(true);
    m_pCancelBtn = makeCommonButton(tr("取消"), this);

    QVBoxLayout *mainLayout = makeFormLayout(m_pTitleBar);
    mainLayout->addLayout(makeFormRow({m_pHeadingLabel}));
    mainLayout->addLayout(makeFormRow({m_pNameLabel, m_pNameEdit}, Qt::AlignLeft, 10));
    mainLayout->addLayout(makeFormRow({m_pPswLabel, m_pPswEdit}, Qt::AlignLeft, 10));
    addHintAndButtons(mainLayout, m_pHintLabel, m_pOkBtn, m_pCancelBtn);
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
    showWarningOver(this, tr("保护箱 “%1” 重命名失败！").arg(m_boxInfo.name));
}

bool RenameBoxDialog::eventFilter(QObject *watched, QEvent *event)
{
    hideHintOnPress(m_pHintLabel, watched, event, {m_pNameEdit, m_pPswEdit});
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
