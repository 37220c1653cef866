#include "CreateBoxDialog.h"

#include "ElidedPathEdit.h"

#include "BoxOperations.h"
#include "BoxPswLineEdit.h"
#include "BoxOutcomes.h"
#include "BoxRecovery.h"
#include "RecoveryKeyDialog.h"
#include "BoxRules.h"
#include "FormDialogParts.h"
#include "NamePolicy.h"
#include "PasswordPolicy.h"
#include "SecretWipe.h"
#include "SwitchButton.h"
#include "TitleBar.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSpacerItem>
#include <QVBoxLayout>

#include <memory>

namespace {
const int kPasswordHintLines = 2;
} // namespace

CreateBoxDialog::CreateBoxDialog(QWidget *parent) : BoxFormDialog(parent)
{
    initUI();
    initConnect();
    slot_checkedChanged(false);
}

void CreateBoxDialog::initUI()
{
    resize(540, 320);
    setWhiteBackground(this);

    m_pTitleBar = makeTitleBar(this, tr("创建保护箱"));
    m_pHeadLabel = makeHeadingLabel(tr("创建保护箱"), this);

    m_pNameLabel = makeRowLabel(tr("名称"), this);
    m_pNameEdit = new QLineEdit(this);
    setUpUnderLineEdit(m_pNameEdit, NamePolicy::kMaxLength);
    m_pNameEdit->installEventFilter(this);
    m_pNameEdit->setFocus(Qt::OtherFocusReason);

    m_pPathLabel = makeRowLabel(tr("路径"), this);
    m_pPathEdit = new ElidedPathEdit(this);
    setUpUnderLineEdit(m_pPathEdit);
    // Shown for information only: the box service chooses the place itself.
    m_pPathEdit->setPath(BoxOperations::userBoxFolder());
    m_pPathEdit->setEnabled(false);

    m_pSwitchBtn = new SwitchButton(this);
    m_pSwitchBtn->setButtonStyle(SwitchButton::PillTrack);
    m_pSwitchBtn->setFixedSize(30, 14);
    m_pSwitchBtn->setBgColor(QColor("#C3C9D0"), QColor("#0197EE"));
    m_pSwitchBtn->setText("", "");

    m_pEncryptLabel = makeLabel(tr("是否加密"), "#333333", 14, this);
    m_pEncryptLabel->setScaledContents(true);

    m_pPswLabel = makeRowLabel(tr("密码"), this);
    m_pPswEdit = new BoxPswLineEdit(this);
    setUpPasswordEdit(m_pPswEdit, this);

    m_pConfirmLabel = makeRowLabel(tr("确认密码"), this);
    m_pConfirmEdit = new QLineEdit(this);
    setUpPasswordEdit(m_pConfirmEdit, this);

    m_pHintLabel = makeHintLabel(this);
    m_pHintLabel->installEventFilter(this);

    m_pOkBtn = makeCommonButton(tr("确认"), this);
    m_pOkBtn->setDefault(true);
    m_pCancelBtn = makeCommonButton(tr("取消"), this);

    QHBoxLayout *switchRow = makeFormRow({}, Qt::AlignRight, 10);
    switchRow->addSpacerItem(new QSpacerItem(240, 20, QSizePolicy::Expanding, QSizePolicy::Minimum));
    switchRow->addWidget(m_pSwitchBtn, 1, Qt::AlignRight);
    switchRow->addWidget(m_pEncryptLabel, 1, Qt::AlignRight);

    QVBoxLayout *mainLayout = makeFormLayout(m_pTitleBar);
    mainLayout->addLayout(makeFormRow({m_pHeadLabel}));
    mainLayout->addLayout(makeFormRow({m_pNameLabel, m_pNameEdit}, Qt::AlignLeft, 10));
    mainLayout->addLayout(makeFormRow({m_pPathLabel, m_pPathEdit}, Qt::AlignLeft, 10));
    mainLayout->addLayout(switchRow);
    mainLayout->addLayout(makeFormRow({m_pPswLabel, m_pPswEdit}, Qt::AlignLeft, 10));
    mainLayout->addLayout(makeFormRow({m_pConfirmLabel, m_pConfirmEdit}, Qt::AlignLeft, 10));
    addHintAndButtons(mainLayout, m_pHintLabel, m_pOkBtn, m_pCancelBtn);
    setLayout(mainLayout);
    setFixedHeight(320);

    // Tab follows the form from top to bottom; the title bar's close button
    // comes last.
    m_pSwitchBtn->setAccessibleName(tr("是否加密"));
    const QList<QWidget *> chain{m_pNameEdit, m_pSwitchBtn, m_pPswEdit, m_pConfirmEdit,
                                 m_pOkBtn, m_pCancelBtn, m_pTitleBar->m_pCloseBtn};
    for (int i = 1; i < chain.size(); ++i)
        setTabOrder(chain.at(i - 1), chain.at(i));
}

void CreateBoxDialog::initConnect()
{
    connect(m_pSwitchBtn, &SwitchButton::checkedChanged, this, &CreateBoxDialog::slot_checkedChanged);
    connect(m_pTitleBar->m_pCloseBtn, &QPushButton::clicked, this, &CreateBoxDialog::slot_closeBtnClicked);
    connect(m_pOkBtn, &QPushButton::clicked, this, &CreateBoxDialog::slot_okBtnClicked);
    connect(m_pCancelBtn, &QPushButton::clicked, this, &CreateBoxDialog::slot_cancelBtnClicked);
}

void CreateBoxDialog::slot_checkedChanged(bool checked)
{
    if (checked) {
        m_pPswLabel->show();
        m_pPswEdit->show();
        wipeLineEdit(m_pPswEdit);
        m_pConfirmLabel->show();
        m_pConfirmEdit->show();
        wipeLineEdit(m_pConfirmEdit);
        m_pHintLabel->hide();
    } else {
        // The rows keep their text while hidden; a plain create ignores it.
        m_pPswLabel->hide();
        m_pPswEdit->hide();
        m_pConfirmLabel->hide();
        m_pConfirmEdit->hide();
        m_pHintLabel->hide();
    }
    // The password rule takes two lines.
    reserveHintLines(m_pHintLabel, checked ? kPasswordHintLines : 1);
    // Let the layout take in the shown or hidden rows now, so that its
    // minimum size no longer holds the size of the other state and the
    // dialog really shrinks back when the rows go.
    layout()->activate();
    resize(540, checked ? 380 : 320);
}

void CreateBoxDialog::slot_closeBtnClicked()
{
    close();
}

void CreateBoxDialog::slot_cancelBtnClicked()
{
    close();
}

void CreateBoxDialog::slot_okBtnClicked()
{
    // The name goes to the box service exactly as typed, spaces included.
    const QString name = m_pNameEdit->text();
    const QString nameProblem = NamePolicy::text(NamePolicy::check(name), NameForm::Create);
    if (!nameProblem.isEmpty()) {
        showHint(nameProblem);
        return;
    }

    if (!m_pSwitchBtn->isChecked()) {
        finishCreate(BoxOperations::create(name));
        return;
    }
    auto password = std::make_shared<SecretString>(m_pPswEdit->text());
    const SecretString confirm(m_pConfirmEdit->text());
    const QString problem = PasswordPolicy::problemText(password->text(), confirm.text(), PasswordForm::Create);
    if (!problem.isEmpty()) {
        showHint(problem);
        return;
    }
    // Encrypting a large box takes a while: the worker does it.
    auto key = std::make_shared<SecretString>();
    runBusy(tr("正在加密…"), m_pHintLabel,
            [name, password, key] {
                const BoxResult result = BoxOperations::createEncrypted(name, *password);
                if (result.ok())
                    BoxRecovery::newBoxKey(name, *password, *key);
                return result;
            },
            [this, name, key](const BoxResult &result) {
                if (result.ok())
                    RecoveryKeyDialog::showOnce(this, name, std::move(*key));
                finishCreate(result);
            });
}

void CreateBoxDialog::finishCreate(const BoxResult &result)
{
    if (result.ok()) {
        emit signal_box_created(m_pNameEdit->text());
        accept();
        return;
    }
    showWarningOver(this, result.message(BoxOutcomes::failed(BoxOperation::Create)));
}

void CreateBoxDialog::wipeSecrets()
{
    wipeLineEdit(m_pPswEdit);
    wipeLineEdit(m_pConfirmEdit);
}

void CreateBoxDialog::showHint(const QString &text)
{
    m_pHintLabel->setText(text);
    m_pHintLabel->show();
}

bool CreateBoxDialog::eventFilter(QObject *watched, QEvent *event)
{
    hideHintOnPress(m_pHintLabel, watched, event, {m_pPswEdit, m_pConfirmEdit, m_pNameEdit});
    return QObject::eventFilter(watched, event);
}
