#include "ChangeBoxLockedDialog.h"

#include "BoxOperations.h"
#include "BoxOutcomes.h"
#include "BoxPswLineEdit.h"
#include "BoxRecovery.h"
#include "MessageBox.h"
#include "RecoveryKeyDialog.h"
#include "FormDialogParts.h"
#include "PasswordPolicy.h"
#include "SecretWipe.h"
#include "TitleBar.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QVBoxLayout>

#include <memory>

namespace {

QRadioButton *makeRadio(const QString &text, QWidget *parent)
{
    auto *radio = new QRadioButton(text, parent);
    setTextColour(radio, "#333333");
    radio->setFont(pixelFont(14));
    return radio;
}

} // namespace

ChangeBoxLockedDialog::ChangeBoxLockedDialog(const BoxInfo &box, QWidget *parent)
    : BoxFormDialog(parent), m_boxInfo(box)
{
    initUI();
    initConnect();
}

void ChangeBoxLockedDialog::initUI()
{
    resize(540, 340);
    setWhiteBackground(this);

    m_pTitleBar = makeTitleBar(this, tr("密码设置"));
    m_pHeadingLabel = makeHeadingLabel(tr("更改密码设置"), this);

    m_pBoxLabel = makeLabel(tr("保护箱: %1").arg(m_boxInfo.name), "#333333", 14, this);
    m_pBoxLabel->setAlignment(Qt::AlignLeft);

    m_pModeLabel = makeLabel(tr("更改方式："), "#333333", 14, this);
    m_pModeLabel->setAlignment(Qt::AlignLeft);
    m_pModeLabel->setFixedWidth(80);

    // Both radios have the dialog as parent, so they exclude each other.
    m_pUpdateRadio = makeRadio(tr("修改密码"), this);
    m_pUpdateRadio->setChecked(true);
    m_pRemoveRadio = makeRadio(tr("解除保护"), this);

    m_pCurrentLabel = makeRowLabel(tr("当前密码"), this);
    m_pCurrentEdit = new BoxPswLineEdit(this);
    setUpPasswordEdit(m_pCurrentEdit, this);
    m_pCurrentEdit->setFocus(Qt::OtherFocusReason);

    m_pNewLabel = makeRowLabel(tr("新密码"), this);
    m_pNewEdit = new BoxPswLineEdit(this);
    setUpPasswordEdit(m_pNewEdit, this);

    m_pConfirmLabel = makeRowLabel(tr("新密码确认"), this);
    m_pConfirmEdit = new QLineEdit(this);
    setUpPasswordEdit(m_pConfirmEdit, this);

    m_pHintLabel = makeHintLabel(this);
    reserveHintLines(m_pHintLabel, 2); // the password rule takes two lines

    m_pOkBtn = makeCommonButton(tr("确认"), this);
    m_pOkBtn->setDefault(true);
    m_pCancelBtn = makeCommonButton(tr("取消"), this);

    QVBoxLayout *mainLayout = makeFormLayout(m_pTitleBar);
    mainLayout->addLayout(makeFormRow({m_pHeadingLabel}));
    QHBoxLayout *boxRow = makeFormRow({m_pBoxLabel}, Qt::AlignLeft, 10);
    if (BoxRecovery::keyAvailable()) {
        m_pKeyBtn = makeLinkButton(tr("恢复密钥"), this);
        boxRow->addWidget(m_pKeyBtn, 0, Qt::AlignRight);
    }
    if (BoxRecovery::checkAvailable()) {
        m_pCheckBtn = makeLinkButton(tr("完整性检查"), this);
        boxRow->addWidget(m_pCheckBtn, 0, Qt::AlignRight);
    }
    mainLayout->addLayout(boxRow);
    mainLayout->addLayout(makeFormRow({m_pModeLabel, m_pUpdateRadio, m_pRemoveRadio}, Qt::AlignLeft, 10));
    mainLayout->addSpacing(20);
    mainLayout->addLayout(makeFormRow({m_pCurrentLabel, m_pCurrentEdit}, Qt::AlignLeft, 10));
    mainLayout->addLayout(makeFormRow({m_pNewLabel, m_pNewEdit}, Qt::AlignLeft, 10));
    mainLayout->addLayout(makeFormRow({m_pConfirmLabel, m_pConfirmEdit}, Qt::AlignLeft, 10));
    addHintAndButtons(mainLayout, m_pHintLabel, m_pOkBtn, m_pCancelBtn);
    setLayout(mainLayout);
    setFixedHeight(340);

    // Tab follows the form from top to bottom; the title bar's close button
    // comes last.
    const QList<QWidget *> chain{m_pUpdateRadio, m_pRemoveRadio, m_pCurrentEdit, m_pNewEdit, m_pConfirmEdit,
                                 m_pOkBtn, m_pCancelBtn, m_pTitleBar->m_pCloseBtn};
    for (int i = 1; i < chain.size(); ++i)
        setTabOrder(chain.at(i - 1), chain.at(i));
}

void ChangeBoxLockedDialog::initConnect()
{
    connect(m_pUpdateRadio, &QRadioButton::toggled, this, &ChangeBoxLockedDialog::slot_updatePSWToggled);
    connect(m_pRemoveRadio, &QRadioButton::toggled, this, &ChangeBoxLockedDialog::slot_removePSWToggled);
    connect(m_pTitleBar->m_pCloseBtn, &QPushButton::clicked, this, &ChangeBoxLockedDialog::slot_closeBtnClicked);
    connect(m_pOkBtn, &QPushButton::clicked, this, &ChangeBoxLockedDialog::slot_okBtnClicked);
    connect(m_pCancelBtn, &QPushButton::clicked, this, &ChangeBoxLockedDialog::slot_cancelBtnClicked);
    if (m_pKeyBtn)
        connect(m_pKeyBtn, &QPushButton::clicked, this, &ChangeBoxLockedDialog::showRecoveryKey);
    if (m_pCheckBtn)
        connect(m_pCheckBtn, &QPushButton::clicked, this, &ChangeBoxLockedDialog::checkIntegrity);
    connect(m_pCurrentEdit, &QLineEdit::textChanged, this, &ChangeBoxLockedDialog::slot_editing);
}

void ChangeBoxLockedDialog::slot_closeBtnClicked()
{
    close();
}

void ChangeBoxLockedDialog::slot_cancelBtnClicked()
{
    close();
}

void ChangeBoxLockedDialog::slot_okBtnClicked()
{
    if (m_pUpdateRadio->isChecked() && !m_pRemoveRadio->isChecked())
        updatePassword();
    else if (m_pRemoveRadio->isChecked() && !m_pUpdateRadio->isChecked())
        removePassword();
}

void ChangeBoxLockedDialog::finishOperation(const BoxResult &result, const QString &failureText)
{
    if (result.ok())
        accept();
    else
        showWarning(result.message(failureText));
}

void ChangeBoxLockedDialog::slot_editing()
{
    m_pHintLabel->hide();
}

void ChangeBoxLockedDialog::slot_updatePSWToggled(bool toggled)
{
    if (!toggled)
        return;
    wipeLineEdit(m_pCurrentEdit);
    m_pNewLabel->show();
    m_pNewEdit->show();
    wipeLineEdit(m_pNewEdit);
    m_pConfirmLabel->show();
    m_pConfirmEdit->show();
    wipeLineEdit(m_pConfirmEdit);
    m_pHintLabel->hide();
    fitLayout();
    resize(540, 448);
}

void ChangeBoxLockedDialog::slot_removePSWToggled(bool toggled)
{
    if (!toggled)
        return;
    wipeLineEdit(m_pCurrentEdit);
    m_pNewLabel->hide();
    m_pNewEdit->hide();
    wipeLineEdit(m_pNewEdit);
    m_pConfirmLabel->hide();
    m_pConfirmEdit->hide();
    wipeLineEdit(m_pConfirmEdit);
    m_pHintLabel->hide();
    fitLayout();
    resize(540, 340);
}

int ChangeBoxLockedDialog::updatePassword()
{
    if (m_boxInfo.name.isEmpty()) {
        showWarning(tr("未选定须修改密码的保护箱，请选择后重新修改！"));
        return -100;
    }
    auto current = std::make_shared<SecretString>(m_pCurrentEdit->text());
    auto fresh = std::make_shared<SecretString>(m_pNewEdit->text());
    const SecretString confirm(m_pConfirmEdit->text());
    if (current->isEmpty()) {
        showHint(tr("原密码不可为空"));
        return -1;
    }
    const PasswordPolicy::Problem problem = PasswordPolicy::check(fresh->text(), confirm.text());
    if (problem != PasswordPolicy::Problem::None) {
        showHint(PasswordPolicy::text(problem, PasswordForm::Change));
        switch (problem) {
        case PasswordPolicy::Problem::Empty: return -2;
        case PasswordPolicy::Problem::ConfirmEmpty: return -3;
        case PasswordPolicy::Problem::Mismatch: return -4;
        case PasswordPolicy::Problem::BreaksRule: return -5;
        case PasswordPolicy::Problem::None: break;
        }
    }
    const BoxInfo box = m_boxInfo;
    runBusy(tr("正在修改密码…"), m_pHintLabel,
            [box, current, fresh] { return BoxOperations::changePassword(box, *current, *fresh); },
            [this](const BoxResult &result) {
                finishOperation(result, BoxOutcomes::failed(BoxOperation::ChangePassword, m_boxInfo.name));
            });
    return 0;
}

int ChangeBoxLockedDialog::removePassword()
{
    auto current = std::make_shared<SecretString>(m_pCurrentEdit->text());
    if (current->isEmpty()) {
        showHint(tr("确认密码不可为空"));
        return -1;
    }
    const BoxInfo box = m_boxInfo;
    runBusy(tr("正在解密…"), m_pHintLabel, [box, current] { return BoxOperations::removePassword(box, *current); },
            [this](const BoxResult &result) {
                finishOperation(result, BoxOutcomes::failed(BoxOperation::RemovePassword, m_boxInfo.name));
            });
    return 0;
}

bool ChangeBoxLockedDialog::eventFilter(QObject *watched, QEvent *event)
{
    hideHintOnPress(m_pHintLabel, watched, event, {m_pCurrentEdit, m_pNewEdit, m_pConfirmEdit});
    return QObject::eventFilter(watched, event);
}

// The layout recomputes the minimum size only when it next runs; without this
// the resize after showing or hiding rows would be held to the old minimum.
void ChangeBoxLockedDialog::fitLayout()
{
    if (layout())
        layout()->activate();
}

void ChangeBoxLockedDialog::showHint(const QString &text)
{
    m_pHintLabel->setText(text);
    m_pHintLabel->show();
}

void ChangeBoxLockedDialog::showWarning(const QString &text)
{
    showWarningOver(this, text);
}

void ChangeBoxLockedDialog::wipeSecrets()
{
    wipeLineEdit(m_pCurrentEdit);
    wipeLineEdit(m_pNewEdit);
    wipeLineEdit(m_pConfirmEdit);
}

bool ChangeBoxLockedDialog::takeCurrentPassword(std::shared_ptr<SecretString> &password)
{
    password = std::make_shared<SecretString>(m_pCurrentEdit->text());
    if (!password->isEmpty())
        return true;
    showHint(tr("请先输入当前密码"));
    m_pCurrentEdit->setFocus(Qt::OtherFocusReason);
    return false;
}

void ChangeBoxLockedDialog::showRecoveryKey()
{
    std::shared_ptr<SecretString> password;
    if (!takeCurrentPassword(password))
        return;
    const BoxInfo box = m_boxInfo;
    auto key = std::make_shared<SecretString>();
    runBusy(tr("正在读取恢复密钥…"), m_pHintLabel,
            [box, password, key] { return BoxRecovery::recoveryKey(box, *password, *key); },
            [this, key](const BoxResult &result) {
                if (result.ok()) {
                    RecoveryKeyDialog::showOnce(this, m_boxInfo.name, std::move(*key));
                    return;
                }
                if (result.code == BoxResult::WrongPassword) {
                    showHint(tr("密码认证失败，请确认密码后重新认证"));
                    return;
                }
                showWarningOver(this, result.message(tr("读取保护箱 “%1” 的恢复密钥失败！").arg(m_boxInfo.name)));
            });
}

void ChangeBoxLockedDialog::checkIntegrity()
{
    std::shared_ptr<SecretString> password;
    if (!takeCurrentPassword(password))
        return;
    const BoxInfo box = m_boxInfo;
    auto damaged = std::make_shared<QStringList>();
    runBusy(tr("正在检查…"), m_pHintLabel,
            [box, password, damaged] { return BoxRecovery::check(box, *password, *damaged); },
            [this, damaged](const BoxResult &result) {
                if (result.code == BoxResult::WrongPassword) {
                    showHint(tr("密码认证失败，请确认密码后重新认证"));
                    return;
                }
                if (!result.ok()) {
                    showWarningOver(this, result.message(tr("保护箱 “%1” 检查失败！").arg(m_boxInfo.name)));
                    return;
                }
                if (damaged->isEmpty()) {
                    showMessageOver(this, MessageBox::Complete, tr("保护箱 “%1” 完好。").arg(m_boxInfo.name));
                    return;
                }
                // The first few by name; the command line lists them all.
                const int kShown = 8;
                QString text = tr("保护箱 “%1” 中有 %2 个文件已损坏：").arg(m_boxInfo.name).arg(damaged->size());
                for (int i = 0; i < damaged->size() && i < kShown; ++i)
                    text += QLatin1Char('\n') + damaged->at(i);
                if (damaged->size() > kShown)
                    text += QLatin1Char('\n') + tr("……");
                showWarningOver(this, text);
            });
}
