#include "LockSettingsDialog.h"

#include "FormDialogParts.h"
#include "LockSettings.h"
#include "MessageBox.h"
#include "TitleBar.h"

#include <QCheckBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QSpinBox>
#include <QVBoxLayout>

namespace {
constexpr int kDialogWidth = 540;
constexpr int kDialogHeight = 360;
constexpr int kRowTextPixels = 16;
constexpr int kNoteTextPixels = 13;
} // namespace

LockSettingsDialog::LockSettingsDialog(QWidget *parent) : FlatDropWidget(parent)
{
    setWindowFlags(Qt::Tool | Qt::FramelessWindowHint);
    setAttribute(Qt::WA_DeleteOnClose);
    initUI();
    initConnect();
}

void LockSettingsDialog::initUI()
{
    resize(kDialogWidth, kDialogHeight);
    setWhiteBackground(this);
    setWindowTitle(tr("设置"));

    m_pTitleBar = makeTitleBar(this, tr("设置"));
    m_pHeadingLabel = makeHeadingLabel(tr("已挂载的保护箱自动卸载"), this);

    const LockSettings settings = LockSettings::load();
    auto makeBox = [this](const QString &text, bool checked) {
        auto *box = new QCheckBox(text, this);
        box->setFont(pixelFont(kRowTextPixels));
        box->setChecked(checked);
        return box;
    };
    m_pScreenLockBox = makeBox(tr("锁屏时卸载"), settings.lockOnScreenLock);
    m_pSleepBox = makeBox(tr("休眠前卸载"), settings.lockBeforeSleep);
    m_pLogoutBox = makeBox(tr("注销时卸载"), settings.lockOnLogout);
    m_pIdleBox = makeBox(tr("空闲后自动卸载"), settings.lockWhenIdle);

    m_pIdleMinutes = new QSpinBox(this);
    m_pIdleMinutes->setRange(LockSettings::kMinIdleMinutes, LockSettings::kMaxIdleMinutes);
    m_pIdleMinutes->setValue(settings.idleMinutes);
    m_pIdleMinutes->setSuffix(tr(" 分钟"));
    m_pIdleMinutes->setFont(pixelFont(kRowTextPixels));
    m_pIdleMinutes->setEnabled(settings.lockWhenIdle);
    m_pIdleMinutes->setAccessibleName(tr("空闲时间（分钟）"));

    // What "idle" means, and when a changed time counts: gocryptfs takes it
    // when it mounts a box.
    m_pIdleNoteLabel = makeLabel(tr("空闲指保护箱中没有任何文件被访问，与键盘和鼠标无关。") + "\n"
                                     + tr("修改的空闲时间对已挂载的保护箱在其下次挂载时生效。"),
                                 "#8C8D8F", kNoteTextPixels, this);
    m_pIdleNoteLabel->setWordWrap(true);

    m_pOkBtn = makeCommonButton(tr("确认"), this);
    m_pOkBtn->setDefault(true);
    m_pCancelBtn = makeCommonButton(tr("取消"), this);

    QVBoxLayout *column = makeFormLayout(m_pTitleBar);
    column->addLayout(makeFormRow({m_pHeadingLabel}));
    column->addLayout(makeFormRow({m_pScreenLockBox}));
    column->addLayout(makeFormRow({m_pSleepBox}));
    column->addLayout(makeFormRow({m_pLogoutBox}));
    column->addLayout(makeFormRow({m_pIdleBox, m_pIdleMinutes}, Qt::AlignLeft, 10));
    column->addLayout(makeFormRow({m_pIdleNoteLabel}));
    auto *buttons = new QHBoxLayout;
    buttons->addStretch(1);
    buttons->addWidget(m_pOkBtn);
    buttons->addSpacing(20);
    buttons->addWidget(m_pCancelBtn);
    buttons->addStretch(1);
    column->addSpacing(10);
    column->addLayout(buttons);
    setLayout(column);
    // Taller where the note needs more lines (English does).
    setFixedSize(kDialogWidth, qMax(kDialogHeight, column->totalHeightForWidth(kDialogWidth)));

    setTabOrder(m_pScreenLockBox, m_pSleepBox);
    setTabOrder(m_pSleepBox, m_pLogoutBox);
    setTabOrder(m_pLogoutBox, m_pIdleBox);
    setTabOrder(m_pIdleBox, m_pIdleMinutes);
    setTabOrder(m_pIdleMinutes, m_pOkBtn);
    setTabOrder(m_pOkBtn, m_pCancelBtn);
    m_pScreenLockBox->setFocus(Qt::OtherFocusReason);
}

void LockSettingsDialog::initConnect()
{
    connect(m_pTitleBar->m_pCloseBtn, &QPushButton::clicked, this, &QWidget::close);
    connect(m_pCancelBtn, &QPushButton::clicked, this, &QWidget::close);
    connect(m_pOkBtn, &QPushButton::clicked, this, &LockSettingsDialog::save);
    connect(m_pIdleBox, &QCheckBox::toggled, m_pIdleMinutes, &QWidget::setEnabled);
}

void LockSettingsDialog::save()
{
    LockSettings settings;
    settings.lockOnScreenLock = m_pScreenLockBox->isChecked();
    settings.lockBeforeSleep = m_pSleepBox->isChecked();
    settings.lockOnLogout = m_pLogoutBox->isChecked();
    settings.lockWhenIdle = m_pIdleBox->isChecked();
    settings.idleMinutes = m_pIdleMinutes->value();
    if (!settings.save()) {
        showWarningOver(this, tr("设置保存失败！"));
        return;
    }
    accept();
}
