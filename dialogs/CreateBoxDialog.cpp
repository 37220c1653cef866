#include "CreateBoxDialog.h"

#include "BoxPswLineEdit.h"
#include "MessageBox.h"
#include "SecretWipe.h"
#include "SwitchButton.h"
#include "TitleBar.h"
#include "VaultranerProxy.h"

#include <QEvent>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSpacerItem>
#include <QVBoxLayout>

#include <cstdlib>

namespace {

void setTextColor(QWidget *w, const char *color)
{
    QPalette pal = w->palette();
    pal.setBrush(QPalette::All, QPalette::WindowText, QBrush(QColor(color)));
    w->setPalette(pal);
}

void setPixelSize(QWidget *w, int pixelSize)
{
    QFont font;
    font.setPixelSize(pixelSize);
    w->setFont(font);
}

// The label in front of an edit: fixed width, underlined by the style sheet.
QLabel *newRowLabel(const QString &text, QWidget *parent)
{
    auto *label = new QLabel(text, parent);
    setTextColor(label, "#333333");
    setPixelSize(label, 14);
    label->setAlignment(Qt::AlignLeft);
    label->setFixedWidth(80);
    label->setObjectName("UnderLineLabel");
    return label;
}

QLineEdit *setUpEdit(QLineEdit *edit)
{
    edit->setFixedWidth(230);
    edit->setObjectName("UnderLineEdit");
    return edit;
}

QHBoxLayout *newRow()
{
    auto *row = new QHBoxLayout;
    row->setContentsMargins(108, 0, 108, 0);
    return row;
}

QHBoxLayout *newEditRow(QLabel *label, QLineEdit *edit)
{
    QHBoxLayout *row = newRow();
    row->addWidget(label, 1, Qt::AlignLeft);
    row->addWidget(edit, 1, Qt::AlignLeft);
    row->setSpacing(10);
    return row;
}

// A private copy of the edit's text: wiping it later must not zero the
// buffer the edit still shows while the dialog stays open.
QString copyOfText(const QLineEdit *edit)
{
    const QString shown = edit->text();
    return QString(shown.constData(), shown.size());
}

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
        return "密码不可为空";
    if (!passwordFollowsRule(password))
        return "密码格式与要求不符\n密码要求：密码长度6-18位，只能包含字母、数字和下划线";
    if (confirm.isEmpty())
        return "确认密码不可为空";
    if (password != confirm)
        return "密码和确认密码不一致";
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
    setAutoFillBackground(true);
    QPalette pal = palette();
    pal.setBrush(QPalette::All, QPalette::Window, QBrush(QColor("#FFFFFF")));
    setPalette(pal);

    m_pTitleBar = new TitleBar(this);
    m_pTitleBar->setBackgroundColor("#EAEAEA");
    m_pTitleBar->m_pMenuBtn->hide();
    m_pTitleBar->m_pReturnBtn->hide();
    m_pTitleBar->m_pMinBtn->hide();
    m_pTitleBar->setTitle("创建保护箱", 0, "");

    m_pHeadLabel = new QLabel("创建保护箱", this);
    setTextColor(m_pHeadLabel, "#121217");
    setPixelSize(m_pHeadLabel, 20);
    m_pHeadLabel->setScaledContents(true);

    m_pNameLabel = newRowLabel("名称", this);
    m_pNameEdit = setUpEdit(new QLineEdit(this));
    m_pNameEdit->setMaxLength(64);
    m_pNameEdit->installEventFilter(this);
    m_pNameEdit->setFocus(Qt::OtherFocusReason);

    m_pPathLabel = newRowLabel("路径", this);
    m_pPathEdit = setUpEdit(new QLineEdit(this));
    // Shown for information only: the box service chooses the place itself.
    m_pPathEdit->setText(QString("%1/%2").arg("/box").arg(QString::fromLocal8Bit(std::getenv("USER"))));
    m_pPathEdit->setReadOnly(true);
    m_pPathEdit->setEnabled(false);

    m_pSwitchBtn = new SwitchButton(this);
    m_pSwitchBtn->setButtonStyle(SwitchButton::PillTrack);
    m_pSwitchBtn->setFixedSize(30, 14);
    m_pSwitchBtn->setBgColor(QColor("#C3C9D0"), QColor("#0197EE"));
    m_pSwitchBtn->setText("", "");

    m_pEncryptLabel = new QLabel("是否加密", this);
    setTextColor(m_pEncryptLabel, "#333333");
    setPixelSize(m_pEncryptLabel, 14);
    m_pEncryptLabel->setScaledContents(true);

    m_pPswLabel = newRowLabel("密码", this);
    m_pPswEdit = new BoxPswLineEdit(this);
    setUpEdit(m_pPswEdit);
    m_pPswEdit->setEchoMode(QLineEdit::Password);
    m_pPswEdit->setMaxLength(32);
    m_pPswEdit->installEventFilter(this);

    m_pConfirmLabel = newRowLabel("确认密码", this);
    m_pConfirmEdit = setUpEdit(new QLineEdit(this));
    m_pConfirmEdit->setEchoMode(QLineEdit::Password);
    m_pConfirmEdit->setMaxLength(32);
    m_pConfirmEdit->installEventFilter(this);

    m_pHintLabel = new QLabel(this);
    setTextColor(m_pHintLabel, "#FF0000");
    setPixelSize(m_pHintLabel, 14);
    m_pHintLabel->setScaledContents(true);
    m_pHintLabel->hide();
    m_pHintLabel->installEventFilter(this);

    m_pOkBtn = new QPushButton("确认", this);
    m_pOkBtn->setFixedSize(140, 34);
    m_pOkBtn->setObjectName("BoxCommonButton");
    setPixelSize(m_pOkBtn, 14);
    m_pOkBtn->setDefault(true);

    m_pCancelBtn = new QPushButton("取消", this);
    m_pCancelBtn->setFixedSize(140, 34);
    m_pCancelBtn->setObjectName("BoxCommonButton");
    setPixelSize(m_pCancelBtn, 14);

    QHBoxLayout *headRow = newRow();
    headRow->addWidget(m_pHeadLabel, 1, Qt::AlignLeft);

    QHBoxLayout *nameRow = newEditRow(m_pNameLabel, m_pNameEdit);
    QHBoxLayout *pathRow = newEditRow(m_pPathLabel, m_pPathEdit);

    QHBoxLayout *switchRow = newRow();
    switchRow->addSpacerItem(new QSpacerItem(240, 20, QSizePolicy::Expanding, QSizePolicy::Minimum));
    switchRow->addWidget(m_pSwitchBtn, 1, Qt::AlignRight);
    switchRow->addWidget(m_pEncryptLabel, 1, Qt::AlignRight);
    switchRow->setSpacing(10);

    QHBoxLayout *pswRow = newEditRow(m_pPswLabel, m_pPswEdit);
    QHBoxLayout *confirmRow = newEditRow(m_pConfirmLabel, m_pConfirmEdit);

    QHBoxLayout *hintRow = newRow();
    hintRow->addWidget(m_pHintLabel, 1, Qt::AlignHCenter);
    hintRow->setSpacing(10);

    QHBoxLayout *buttonRow = newRow();
    buttonRow->addWidget(m_pOkBtn, 1, Qt::AlignHCenter);
    buttonRow->addWidget(m_pCancelBtn, 1, Qt::AlignHCenter);
    buttonRow->setSpacing(10);

    auto *mainLayout = new QVBoxLayout;
    mainLayout->setSpacing(20);
    mainLayout->addWidget(m_pTitleBar, 0);
    mainLayout->addLayout(headRow);
    mainLayout->addLayout(nameRow);
    mainLayout->addLayout(pathRow);
    mainLayout->addLayout(switchRow);
    mainLayout->addLayout(pswRow);
    mainLayout->addLayout(confirmRow);
    mainLayout->addLayout(hintRow);
    mainLayout->addSpacing(20);
    mainLayout->addLayout(buttonRow);
    mainLayout->setContentsMargins(0, 0, 0, 50);
    mainLayout->setSizeConstraint(QLayout::SetMinimumSize);
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
        showHint("保护箱名称不可为空");
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
    auto *box = new MessageBox(this);
    centreOn(box, this);
    box->execMessage(MessageBox::Warning, "创建保护箱失败！");
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
    // Only a press into an edit clears the hint; typing leaves it shown.
    if ((watched == m_pPswEdit || watched == m_pConfirmEdit || watched == m_pNameEdit)
        && event->type() == QEvent::MouseButtonPress)
        m_pHintLabel->hide();
    return QObject::eventFilter(watched, event);
}
