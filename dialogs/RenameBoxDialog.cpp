#include "RenameBoxDialog.h"

#include "BoxOperations.h"
#include "BoxOutcomes.h"
#include "BoxPswLineEdit.h"
#include "FormDialogParts.h"
#include "NamePolicy.h"
#include "SecretWipe.h"
#include "TitleBar.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

#include <memory>

RenameBoxDialog::RenameBoxDialog(const BoxInfo &box, QWidget *parent)
    : BoxFormDialog(parent), m_boxInfo(box)
{
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
    setUpUnderLineEdit(m_pNameEdit, NamePolicy::kMaxLength);
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

    if (!m_boxInfo.encrypted) {
        m_pPswEdit->hide();
        m_pPswLabel->hide();
    }
}

void RenameBoxDialog::initConnect()
{
    connect(m_pTitleBar->m_pCloseBtn, &QPushButton::clicked, this, &RenameBoxDialog::slot_closeBtnClicked);
    connect(m_pOkBtn, &QPushButton::clicked, this, &RenameBoxDialog::slot_okBtnClicked);
    connect(m_pCancelBtn, &QPushButton::clicked, this, &RenameBoxDialog::slot_cancelBtnClicked);
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
    const QString nameProblem = NamePolicy::text(NamePolicy::check(newName), NameForm::Rename);
    if (!nameProblem.isEmpty()) {
        showHint(nameProblem);
        return;
    }
    if (!m_boxInfo.encrypted) {
        finishRename(BoxOperations::rename(m_boxInfo, newName, SecretString()));
        return;
    }
    auto password = std::make_shared<SecretString>(m_pPswEdit->text());
    if (password->isEmpty()) {
        showHint(tr("保护箱密码不可为空"));
        return;
    }
    // Knowing the password is what entitles the user to rename the box; the
    // check derives the key, so the worker makes it and then renames.
    const BoxInfo box = m_boxInfo;
    runBusy(tr("正在验证密码…"), m_pHintLabel,
            [box, newName, password] { return BoxOperations::rename(box, newName, *password); },
            [this](const BoxResult &result) { finishRename(result); });
}

void RenameBoxDialog::finishRename(const BoxResult &result)
{
    if (result.ok()) {
        emit signal_box_renamed(m_pNameEdit->text());
        accept();
        return;
    }
    if (result.code == BoxResult::WrongPassword) {
        showHint(BoxOutcomes::wrongPassword());
        return;
    }
    showWarningOver(this, result.message(BoxOutcomes::failed(BoxOperation::Rename, m_boxInfo.name)));
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

void RenameBoxDialog::wipeSecrets()
{
    wipeLineEdit(m_pPswEdit);
}
