#include "CreateBoxDialog.h"

#include "BoxPswLineEdit.h"
#include "FormDialogParts.h"
#include "SecretWipe.h"
#include "SwitchButton.h"
#include "TitleBar.h"
#include "VaultranerProxy.h"

#include <QCoreApplication>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSpacerItem>
#include <QVBoxLayout>


namespace {

bool isAsciiLetter(QChar c)
{
    return (c >= QLatin1Char('A') && c <= QLatin1Char('Z')) || (c >= QLatin1Char('a') && c <= QLatin1Char('z'));
}

// 6 to 18 characters: an ASCII letter, then ASCII letters, digits or
// underscores.
bool passwordFollowsRule(const QString &password)
{
    if (password.size() < 6 || password.size() > 18 || !isAsciiLetter(password.at(0)))
        return false;
    for (int i = 1; i < password.size(); ++i) {
        const QChar c = password.at(i);
        if (!isAsciiLetter(c) && !(c >= QLatin1Char('0') && c <= QLatin1Char('9')) && c != QLatin1Char('_'))
            return false;
    }
    return true;
}

// What is wrong with the two password entries, or an empty string.
QString passwordProblem(const QString &password, const QString &confirm)
{
    if (password.isEmpty())
        return QCoreApplication::translate("CreateBoxDialog", "密码不可为空");
    if (!passwordFollowsRule(password))
        return QCoreApplication::translate("CreateBoxDialog", "密码格式与要求不符\n密码要求：密码长度6-18位，只能包含字母、数字和下划线");
    if (confirm.isEmpty())
        return QCoreApplication::translate("CreateBoxDialog", "确认密码不可为空");
    if (password != confirm)
        return QCoreApplication::translate("CreateBoxDialog", "密码和确认密码不一致");
    return QString();
}

} // namespace

CreateBoxDialog::CreateBoxDialog(QWidget *parent) : FlatDropWidget(parent)
{
    setWindowFlags(Qt::Tool | Qt::FramelessWindowHint);
    setAttribute(Qt::WA_DeleteOnClose);
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
    setUpUnderLineEdit(m_pNameEdit, 64);
    m_pNameEdit->installEventFilter(this);
    m_pNameEdit->setFocus(Qt::OtherFocusReason);

    m_pPathLabel = makeRowLabel(tr("路径"), this);
    m_pPathEdit = new QLineEdit(this);
    setUpUnderLineEdit(m_pPathEdit);
    // Shown for information only: the box service chooses the place itself.
    m_pPathEdit->setText(VaultranerProxy::userBoxFolder());
    m_pPathEdit->setReadOnly(true);
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
}

void CreateBoxDialog::initConnect()
{
    connect(m_pSwitchBtn, SIGNAL(checkedChanged(bool)), this, SLOT(slot_checkedChanged(bool)));
    connect(m_pTitleBar->m_pCloseBtn, SIGNAL(clicked(bool)), this, SLOT(slot_closeBtnClicked()));
    connect(m_pOkBtn, SIGNAL(clicked(bool)), this, SLOT(slot_okBtnClicked()));
    connect(m_pCancelBtn, SIGNAL(clicked(bool)), this, SLOT(slot_cancelBtnClicked()));
    // However the dialog ends, the typed passwords do not outlive it.
    connect(this, SIGNAL(finished(int)), this, SLOT(slot_wipePasswords()));
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
    if (name.isEmpty()) {
        showHint(tr("保护箱名称不可为空"));
        return;
    }

    bool created = false;
    if (!m_pSwitchBtn->isChecked()) {
        created = VaultranerProxy::createBox(name);
    } else {
        QString password = copyOfText(m_pPswEdit);
        QString confirm = copyOfText(m_pConfirmEdit);
        const QString problem = passwordProblem(password, confirm);
        if (problem.isEmpty())
            created = VaultranerProxy::createEncryptedBox(name, password);
        wipeString(password);
        wipeString(confirm);
        if (!problem.isEmpty()) {
            showHint(problem);
            return;
        }
    }

    if (created) {
        accept();
        return;
    }
    showWarningOver(this, tr("创建保护箱失败！"));
}

void CreateBoxDialog::slot_wipePasswords()
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
