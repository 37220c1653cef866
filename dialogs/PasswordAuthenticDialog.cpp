#include "PasswordAuthenticDialog.h"

#include "BoxOperations.h"
#include "BoxOutcomes.h"
#include "BoxPswLineEdit.h"
#include "BoxRecovery.h"
#include "ForgotPasswordDialog.h"
#include "MessageBox.h"
#include "FormDialogParts.h"
#include "SecretWipe.h"
#include "TitleBar.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

#include <memory>

PasswordAuthenticDialog::PasswordAuthenticDialog(const QString &prompt, const BoxInfo &box, int mode,
                                                 QWidget *parent)
    : BoxFormDialog(parent), m_prompt(prompt), m_box(box), m_mode(mode)
{
    initUI();
    initConnect();
}

void PasswordAuthenticDialog::initUI()
{
    resize(540, 260);
    setWhiteBackground(this);

    m_pTitleBar = makeTitleBar(this, m_mode == CheckOnly ? tr("密码认证") : tr("保护箱挂载"));
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
    QHBoxLayout *boxRow = makeFormRow({m_pBoxLabel}, Qt::AlignLeft, 10);
    if (!m_box.fromOther && BoxRecovery::recoverAvailable()) {
        m_pForgotBtn = makeLinkButton(tr("忘记密码？"), this);
        boxRow->addWidget(m_pForgotBtn, 0, Qt::AlignRight);
    }
    mainLayout->addLayout(boxRow);
    mainLayout->addLayout(makeFormRow({m_pPswLabel, m_pPswEdit}, Qt::AlignLeft, 10));
    addHintAndButtons(mainLayout, m_pHintLabel, m_pOkBtn, m_pCancelBtn);
    setLayout(mainLayout);
    setFixedHeight(260);
}

void PasswordAuthenticDialog::initConnect()
{
    connect(m_pTitleBar->m_pCloseBtn, &QPushButton::clicked, this, &PasswordAuthenticDialog::slot_closeBtnClicked);
    connect(m_pOkBtn, &QPushButton::clicked, this, &PasswordAuthenticDialog::slot_okBtnClicked);
    connect(m_pCancelBtn, &QPushButton::clicked, this, &PasswordAuthenticDialog::slot_cancelBtnClicked);
    if (m_pForgotBtn)
        connect(m_pForgotBtn, &QPushButton::clicked, this, &PasswordAuthenticDialog::forgotPassword);
}

// The new password is set there; the user then types it here.
void PasswordAuthenticDialog::forgotPassword()
{
    auto *dialog = new ForgotPasswordDialog(m_box, this);
    dialog->adjustSize();
    centreOn(dialog, this);
    if (dialog->exec() == QDialog::Accepted) {
        m_pHintLabel->hide();
        m_pPswEdit->setFocus(Qt::OtherFocusReason);
    }
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

    auto password = std::make_shared<SecretString>(m_pPswEdit->text());
    const BoxInfo box = m_box;
    const bool mount = m_mode == Mount;
    // Deriving the key takes a noticeable moment: the worker does it.
    runBusy(mount ? tr("正在挂载…") : tr("正在验证密码…"), m_pHintLabel,
            [box, password, mount] {
                return mount ? BoxOperations::mountWithUserSettings(box, *password) : BoxOperations::verifyPassword(box, *password);
            },
            [this, mount](const BoxResult &result) {
                if (result.ok()) {
                    accept();
                    return;
                }
                if (!mount) {
                    // The hint already says the password was not taken.
                    showHint(result.wrongPasswordReason() ? BoxOutcomes::wrongPassword()
                                                          : result.message(BoxOutcomes::wrongPassword()));
                    return;
                }
                showHint(result.message(BoxOutcomes::failed(BoxOperation::Mount)));
            });
}

void PasswordAuthenticDialog::wipeSecrets()
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
