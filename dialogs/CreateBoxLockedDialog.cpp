#include "CreateBoxLockedDialog.h"

#include "BoxOperations.h"
#include "BoxOutcomes.h"
#include "BoxPswLineEdit.h"
#include "BoxRecovery.h"
#include "RecoveryKeyDialog.h"
#include "FormDialogParts.h"
#include "PasswordPolicy.h"
#include "SecretWipe.h"
#include "TitleBar.h"

#include <QDebug>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

#include <memory>

CreateBoxLockedDialog::CreateBoxLockedDialog(const BoxInfo &box, QWidget *parent)
    : BoxFormDialog(parent), m_boxInfo(box)
{
    initUI();
    initConnect();
}

void CreateBoxLockedDialog::initUI()
{
    resize(540, 280);
    setWhiteBackground(this);

    m_pTitleBar = makeTitleBar(this, tr("创建密码"));
    m_pHeadingLabel = makeHeadingLabel(tr("创建保护箱密码"), this);

    m_pBoxLabel = makeLabel(tr("保护箱: %1").arg(m_boxInfo.name), "#333333", 14, this);
    m_pBoxLabel->setAlignment(Qt::AlignLeft);

    m_pPswLabel = makeRowLabel(tr("密码"), this);
    m_pPswEdit = new BoxPswLineEdit(this);
    setUpPasswordEdit(m_pPswEdit, this);
    m_pPswEdit->setFocus(Qt::OtherFocusReason);

    m_pConfirmLabel = makeRowLabel(tr("确认密码"), this);
    m_pConfirmEdit = new QLineEdit(this);
    setUpPasswordEdit(m_pConfirmEdit, this);

    m_pHintLabel = makeHintLabel(this);
    reserveHintLines(m_pHintLabel, 2); // the password rule takes two lines
    m_pHintLabel->installEventFilter(this);

    m_pOkBtn = makeCommonButton(tr("确认"), this);
    m_pOkBtn->setDefault(true);
    m_pCancelBtn = makeCommonButton(tr("取消"), this);

    QVBoxLayout *mainLayout = makeFormLayout(m_pTitleBar);
    mainLayout->addLayout(makeFormRow({m_pHeadingLabel}));
    mainLayout->addLayout(makeFormRow({m_pBoxLabel}, Qt::AlignLeft, 10));
    mainLayout->addLayout(makeFormRow({m_pPswLabel, m_pPswEdit}, Qt::AlignLeft, 10));
    mainLayout->addLayout(makeFormRow({m_pConfirmLabel, m_pConfirmEdit}, Qt::AlignLeft, 10));
    addHintAndButtons(mainLayout, m_pHintLabel, m_pOkBtn, m_pCancelBtn);
    setLayout(mainLayout);
    setFixedHeight(280);
}

void CreateBoxLockedDialog::initConnect()
{
    connect(m_pTitleBar->m_pCloseBtn, &QPushButton::clicked, this, &CreateBoxLockedDialog::slot_closeBtnClicked);
    connect(m_pOkBtn, &QPushButton::clicked, this, &CreateBoxLockedDialog::slot_okBtnClicked);
    connect(m_pCancelBtn, &QPushButton::clicked, this, &CreateBoxLockedDialog::slot_cancelBtnClicked);
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
    auto password = std::make_shared<SecretString>(m_pPswEdit->text());
    const SecretString confirm(m_pConfirmEdit->text());
    const PasswordPolicy::Problem problem = PasswordPolicy::check(password->text(), confirm.text());
    if (problem != PasswordPolicy::Problem::None) {
        if (problem == PasswordPolicy::Problem::Empty)
            qDebug() << size();
        showHint(PasswordPolicy::text(problem, PasswordForm::Add));
        return;
    }
    const BoxInfo box = m_boxInfo;
    auto key = std::make_shared<SecretString>();
    runBusy(tr("正在加密…"), m_pHintLabel,
            [box, password, key] {
                const BoxResult result = BoxOperations::addPassword(box, *password);
                if (result.ok())
                    BoxRecovery::newBoxKey(box.name, *password, *key);
                return result;
            },
            [this, key](const BoxResult &result) {
                if (result.ok()) {
                    RecoveryKeyDialog::showOnce(this, m_boxInfo.name, std::move(*key));
                    accept();
                    return;
                }
                showWarningOver(this, result.message(BoxOutcomes::failed(BoxOperation::AddPassword, m_boxInfo.name)));
            });
}

bool CreateBoxLockedDialog::eventFilter(QObject *watched, QEvent *event)
{
    hideHintOnPress(m_pHintLabel, watched, event, {m_pPswEdit, m_pConfirmEdit});
    return QObject::eventFilter(watched, event);
}

void CreateBoxLockedDialog::showHint(const QString &text)
{
    m_pHintLabel->setText(text);
    m_pHintLabel->show();
}

void CreateBoxLockedDialog::wipeSecrets()
{
    wipeLineEdit(m_pPswEdit);
    wipeLineEdit(m_pConfirmEdit);
}
