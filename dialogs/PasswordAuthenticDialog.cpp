#include "PasswordAuthenticDialog.h"

#include "BoxPswLineEdit.h"
#include "FormDialogParts.h"
#include "SecretWipe.h"
#include "TitleBar.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

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
    setWhiteBackground(this);

    m_pTitleBar = makeTitleBar(this, m_mode == 0 ? tr("密码认证") : tr("保护箱挂载"));
    m_pHeadLabel = makeHeadingLabel(m_prompt, this);

    m_pBoxLabel = makeLabel(tr("保护箱: %1").arg(m_box.name), "#333333", 14, this);
    m_pBoxLabel->setAlignment(Qt::AlignLeft);

    m_pPswLabel = makeRowLabel(tr("密码"), this);
    m_pPswEdit = new BoxPswLineEdit(this);
    setUpPasswordEdit(m_pPswEdit, this);
    m_pPswEdit->setFocus(Qt::OtherFocusReason);

    m_pHintLabel = makeHintLabel(this);
    m_pHintLabel->installEventFilter(this);

    m_pOkBtn = makeCommonButton(tr("确认"), this);
    m_pOkBtn->setDefault(true);
    m_pCancelBtn = makeCommonButton(tr("取消"), this);

    QVBoxLayout *mainLayout = makeFormLayout(m_pTitleBar);
    mainLayout->addLayout(makeFormRow({m_pHeadLabel}));
    mainLayout->addLayout(makeFormRow({m_pBoxLabel}, Qt::AlignLeft, 10));
    mainLayout->addLayout(makeFormRow({m_pPswLabel, m_pPswEdit}, Qt::AlignLeft, 10));
    addHintAndButtons(mainLayout, m_pHintLabel, m_pOkBtn, m_pCancelBtn);
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
        showHint(tr("密码不可为空"));
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
        showHint(tr("密码认证失败，请确认密码后重新认证"));
    else
        showHint(tr("保护箱挂载失败，请检查"));
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
    hideHintOnPress(m_pHintLabel, watched, event, {m_pPswEdit});
    return QObject::eventFilter(watched, event);
}
