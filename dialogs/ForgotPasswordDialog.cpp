#include "ForgotPasswordDialog.h"

#include "BoxPswLineEdit.h"
#include "BoxRecovery.h"
#include "FormDialogParts.h"
#include "MessageBox.h"
#include "SecretWipe.h"
#include "TitleBar.h"

#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

#include <memory>

ForgotPasswordDialog::ForgotPasswordDialog(const BoxInfo &box, QWidget *parent)
    : BoxFormDialog(parent), m_box(box)
{
    initUI();
}

void ForgotPasswordDialog::initUI()
{
    setWhiteBackground(this);
    m_pTitleBar = makeTitleBar(this, tr("忘记密码"));
    QLabel *heading = makeHeadingLabel(tr("用恢复密钥设置新密码"), this);
    QLabel *boxLabel = makeLabel(tr("保护箱: %1").arg(m_box.name), "#333333", 14, this);
    boxLabel->setAlignment(Qt::AlignLeft);

    QLabel *keyLabel = makeRowLabel(tr("恢复密钥"), this);
    m_pKeyEdit = new QLineEdit(this);
    // The key is copied from paper: what is typed stays visible.
    setUpUnderLineEdit(m_pKeyEdit, 200);
    m_pKeyEdit->setPlaceholderText(tr("64 位，空格可省略"));
    m_pKeyEdit->installEventFilter(this);
    m_pKeyEdit->setFocus(Qt::OtherFocusReason);

    QLabel *newLabel = makeRowLabel(tr("新密码"), this);
    m_pNewEdit = new BoxPswLineEdit(this);
    setUpPasswordEdit(m_pNewEdit, this);
    QLabel *confirmLabel = makeRowLabel(tr("新密码确认"), this);
    m_pConfirmEdit = new QLineEdit(this);
    setUpPasswordEdit(m_pConfirmEdit, this);

    m_pHintLabel = makeHintLabel(this);
    m_pOkBtn = makeCommonButton(tr("确认"), this);
    m_pOkBtn->setDefault(true);
    m_pCancelBtn = makeCommonButton(tr("取消"), this);

    QVBoxLayout *column = makeFormLayout(m_pTitleBar);
    column->addLayout(makeFormRow({heading}));
    column->addLayout(makeFormRow({boxLabel}, Qt::AlignLeft, 10));
    column->addLayout(makeFormRow({keyLabel, m_pKeyEdit}, Qt::AlignLeft, 10));
    column->addLayout(makeFormRow({newLabel, m_pNewEdit}, Qt::AlignLeft, 10));
    column->addLayout(makeFormRow({confirmLabel, m_pConfirmEdit}, Qt::AlignLeft, 10));
    addHintAndButtons(column, m_pHintLabel, m_pOkBtn, m_pCancelBtn);
    setLayout(column);
    setFixedWidth(540);
    setFixedHeight(column->minimumSize().height());

    connect(m_pTitleBar->m_pCloseBtn, &QPushButton::clicked, this, &ForgotPasswordDialog::close);
    connect(m_pCancelBtn, &QPushButton::clicked, this, &ForgotPasswordDialog::close);
    connect(m_pOkBtn, &QPushButton::clicked, this, &ForgotPasswordDialog::submit);
}

void ForgotPasswordDialog::submit()
{
    auto key = std::make_shared<SecretString>(m_pKeyEdit->text());
    auto fresh = std::make_shared<SecretString>(m_pNewEdit->text());
    auto confirm = std::make_shared<SecretString>(m_pConfirmEdit->text());
    const QString problem = BoxRecovery::recoverInputProblem(*key, *fresh, *confirm);
    if (!problem.isEmpty()) {
        showHint(problem);
        return;
    }
    const BoxInfo box = m_box;
    auto keyChecked = std::make_shared<bool>(false);
    runBusy(tr("正在核对恢复密钥…"), m_pHintLabel,
            [box, key, fresh, confirm, keyChecked] {
                return BoxRecovery::recover(box, *key, *fresh, *confirm, *keyChecked);
            },
            [this, keyChecked](const BoxResult &result) {
                if (result.ok()) {
                    showMessageOver(this, *keyChecked ? MessageBox::Complete : MessageBox::Information,
                                    *keyChecked ? tr("新密码已设置，请用新密码挂载保护箱。")
                                                : BoxRecovery::uncheckedKeyNote(m_box.name));
                    accept();
                    return;
                }
                if (result.code == BoxResult::WrongPassword || result.code == BoxResult::InvalidInput) {
                    showHint(result.reason);
                    return;
                }
                showWarningOver(this, result.message(tr("保护箱 “%1” 密码修改失败！").arg(m_box.name)));
            });
}

void ForgotPasswordDialog::showHint(const QString &text)
{
    m_pHintLabel->setText(text);
    m_pHintLabel->show();
}

bool ForgotPasswordDialog::eventFilter(QObject *watched, QEvent *event)
{
    hideHintOnPress(m_pHintLabel, watched, event, {m_pKeyEdit, m_pNewEdit, m_pConfirmEdit});
    return QObject::eventFilter(watched, event);
}

void ForgotPasswordDialog::wipeSecrets()
{
    wipeLineEdit(m_pKeyEdit);
    wipeLineEdit(m_pNewEdit);
    wipeLineEdit(m_pConfirmEdit);
}
