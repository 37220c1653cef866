#include "PrivilegeSharedBoxDialog.h"

#include "BoxOperations.h"
#include "BoxOutcomes.h"
#include "FormDialogParts.h"
#include "MessageBox.h"
#include "ShareCandidates.h"
#include "TitleBar.h"

#include <QAbstractButton>
#include <QButtonGroup>
#include <QDebug>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QPushButton>
#include <QRadioButton>
#include <QScrollBar>
#include <QTableWidget>
#include <QVBoxLayout>


namespace {

const char *const kVerticalScrollBarStyle =
    "QScrollBar:vertical {width:5px;background-color:#FFFFFF;padding-top:5px;padding-bottom:5px;}"
    "QScrollBar::handle:vertical {border-bottom: 1px solid #D3D3D3;width:5px;min-height:20px;background: #ADB5BD;border-radius:2px;}"
    "QScrollBar::handle:vertical:hover {width:5px;min-height:20px;background: #A9A9A9;}"
    "QScrollBar::add-line:vertical {height:0px;width:0px;subcontrol-position: bottom;subcontrol-origin: margin;}"
    "QScrollBar::sub-line:vertical {height:0px;width:0px;subcontrol-position: top;subcontrol-origin: margin;}"
    "QScrollBar::add-page:vertical,QScrollBar::sub-page:vertical {width:5px;background: #FFFFFF;}";

const char *const kHorizontalScrollBarStyle =
    "QScrollBar:horizontal {height:5px;background-color:#FFFFFF;padding-left:5px;padding-right:5px;}"
    "QScrollBar::handle:horizontal {height:5px;min-width:20px;background: #ADB5BD;border-radius:2px;}"
    "QScrollBar::handle:horizontal:hover {height:5px;min-width:20px;background: #A9A9A9;}"
    "QScrollBar::add-line:horizontal {height:0px;width:0px;subcontrol-position: right;subcontrol-origin: margin;}"
    "QScrollBar::sub-line:horizontal {height:0px;width:0px;subcontrol-position: left;subcontrol-origin: margin;}"
    "QScrollBar::add-page:horizontal,QScrollBar::sub-page:horizontal {height:5px;background: #FFFFFF;}";

const int kDialogWidth = 585;
const int kBodyMargin = 40;
const int kTableFrameWidth = 500;
// The narrowest a choice column gets, and the room beside a choice's caption.
const int kChoiceColumnWidth = 100;
const int kChoicePadding = 8;

// The button ids of a row's two choices.
const int kReadOnlyChoice = 1;
const int kReadWriteChoice = 2;

// Sets the ticks of one row from a permission: 仅读取, 可读写 or none.
void tickRow(QButtonGroup *group, SharePermission perm)
{
    QAbstractButton *readOnly = group->button(kReadOnlyChoice);
    QAbstractButton *readWrite = group->button(kReadWriteChoice);
    if (readOnly)
        readOnly->setChecked(perm == SharePermission::ReadOnly);
    if (readWrite)
        readWrite->setChecked(perm == SharePermission::ReadWrite);
}

} // namespace

PrivilegeSharedBoxDialog::PrivilegeSharedBoxDialog(const BoxInfo &box, QWidget *parent)
    : BoxFormDialog(parent), m_boxInfo(box)
{
    initUI();
    initConnect();
}

void PrivilegeSharedBoxDialog::initUI()
{
    setFixedSize(kDialogWidth, 420);
    setWhiteBackground(this);

    m_pTitleBar = makeTitleBar(this, tr("共享设置"));
    m_pHeadingLabel = makeHeadingLabel(tr("为“%1”设置共享权限").arg(m_boxInfo.name), this);

    m_pUserTable = new QTableWidget(this);
    m_pUserTable->setColumnCount(4);
    m_pUserTable->setFixedWidth(490);
    // The two choices get the room their captions need (English needs more
    // than Chinese), the user names whatever the table has left beside the
    // scroll bar; a name too long for it ends in "…".
    const int readOnlyWidth = qMax(kChoiceColumnWidth, QRadioButton(tr("仅读取")).sizeHint().width() + kChoicePadding);
    const int readWriteWidth = qMax(kChoiceColumnWidth, QRadioButton(tr("可读写")).sizeHint().width() + kChoicePadding);
    m_pUserTable->setColumnWidth(0, 20);
    m_pUserTable->setColumnWidth(1, 270);
    m_pUserTable->setColumnWidth(2, readOnlyWidth);
    m_pUserTable->setColumnWidth(3, readWriteWidth);
    m_pUserTable->horizontalHeader()->setSectionResizeMode(1, QHeaderView::Stretch);
    m_pUserTable->setTextElideMode(Qt::ElideRight);
    m_pUserTable->setShowGrid(false);
    m_pUserTable->setSelectionMode(QAbstractItemView::NoSelection);
    m_pUserTable->setSelectionBehavior(QAbstractItemView::SelectRows);
    m_pUserTable->setFocusPolicy(Qt::NoFocus);
    m_pUserTable->horizontalHeader()->hide();
    m_pUserTable->verticalHeader()->hide();
    m_pUserTable->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    m_pUserTable->setStyleSheet("border:none;");
    m_pUserTable->verticalScrollBar()->setStyleSheet(kVerticalScrollBarStyle);
    m_pUserTable->horizontalScrollBar()->setStyleSheet(kHorizontalScrollBarStyle);

    m_pTableFrame = new QWidget(this);
    auto *frameLayout = new QHBoxLayout;
    frameLayout->setContentsMargins(5, 5, 5, 5);
    frameLayout->addWidget(m_pUserTable);
    m_pTableFrame->setLayout(frameLayout);
    m_pTableFrame->setFixedSize(kTableFrameWidth, 240);
    m_pTableFrame->setStyleSheet("border:1px solid #d1d1d1; border-radius:5px;");

    m_pApplyBtn = makeCommonButton(tr("应用"), this, 110);
    m_pApplyBtn->setFocus(Qt::OtherFocusReason);
    m_pApplyBtn->setDefault(true);
    m_pCancelBtn = makeCommonButton(tr("取消"), this, 110);

    auto *buttonRow = new QHBoxLayout;
    buttonRow->addSpacerItem(new QSpacerItem(480, 20, QSizePolicy::Expanding, QSizePolicy::Minimum));
    buttonRow->addWidget(m_pApplyBtn, 1, Qt::AlignRight);
    buttonRow->addWidget(m_pCancelBtn, 1, Qt::AlignRight);
    buttonRow->setSpacing(10);
    // The buttons end where the table's frame ends, not at the body's edge.
    buttonRow->setContentsMargins(0, 0, kDialogWidth - 2 * kBodyMargin - kTableFrameWidth, 0);

    auto *body = new QVBoxLayout;
    body->addWidget(m_pHeadingLabel, 1, Qt::AlignLeft | Qt::AlignTop);
    body->addWidget(m_pTableFrame, 1, Qt::AlignTop);
    body->addLayout(buttonRow);
    body->setContentsMargins(kBodyMargin, 0, kBodyMargin, 0);

    auto *mainLayout = new QVBoxLayout;
    mainLayout->setSpacing(20);
    mainLayout->addWidget(m_pTitleBar, 0);
    mainLayout->addLayout(body);
    mainLayout->setContentsMargins(0, 0, 0, 20);
    setLayout(mainLayout);
}

void PrivilegeSharedBoxDialog::initConnect()
{
    connect(m_pTitleBar->m_pCloseBtn, &QPushButton::clicked, this, &PrivilegeSharedBoxDialog::slot_closeBtnClicked);
    connect(m_pApplyBtn, &QPushButton::clicked, this, &PrivilegeSharedBoxDialog::slot_okBtnClicked);
    connect(m_pCancelBtn, &QPushButton::clicked, this, &PrivilegeSharedBoxDialog::slot_cancelBtnClicked);
}

int PrivilegeSharedBoxDialog::initData()
{
    if (!loadSharedUsers())
        return -1;
    if (!loadLocalUsers())
        return -2;
    initUserTable();
    return 0;
}

bool PrivilegeSharedBoxDialog::loadSharedUsers()
{
    if (m_boxInfo.name.isEmpty())
        return false;
    QList<ShareUser> shares;
    if (!BoxOperations::readShares(m_boxInfo, shares).ok()) {
        qDebug() << "PrivilegeSharedBoxDialog::loadSharedUsers VaultranerProxy::getSharedList failed";
        return false;
    }
    m_sharedMap.clear();
    for (const ShareUser &user : shares)
        m_sharedMap.insert(int(user.uid), user);
    return true;
}

bool PrivilegeSharedBoxDialog::loadLocalUsers()
{
    m_userList = ShareCandidates::collect(m_sharedMap.values());
    return true;
}

void PrivilegeSharedBoxDialog::initUserTable()
{
    m_pUserTable->clearContents();
    qDeleteAll(m_buttonGroups);
    m_buttonGroups.clear();
    m_pUserTable->setRowCount(m_userList.size() + 3);
    for (int i = 0; i < m_userList.size(); ++i) {
        const ShareUser &user = m_userList.at(i);
        m_pUserTable->setItem(i, 1, new QTableWidgetItem(QIcon(":/images/image/icon_scul.png"), user.name));

        auto *readOnly = new QRadioButton(tr("仅读取"));
        auto *readWrite = new QRadioButton(tr("可读写"));
        m_pUserTable->setCellWidget(i, 2, readOnly);
        m_pUserTable->setCellWidget(i, 3, readWrite);
        connect(readOnly, &QRadioButton::clicked, this, [this, i] { onShareChoice(i, kReadOnlyChoice); });
        connect(readWrite, &QRadioButton::clicked, this, [this, i] { onShareChoice(i, kReadWriteChoice); });

        readOnly->setChecked(user.perm == SharePermission::ReadOnly);
        readWrite->setChecked(user.perm == SharePermission::ReadWrite);

        // Not exclusive, so that clicking a ticked choice again unticks it.
        auto *group = new QButtonGroup(this);
        group->setExclusive(false);
        group->addButton(readOnly, kReadOnlyChoice);
        group->addButton(readWrite, kReadWriteChoice);
        m_buttonGroups.append(group);
    }
}

void PrivilegeSharedBoxDialog::onShareChoice(int row, int choice)
{
    if (row < 0 || row >= m_buttonGroups.size())
        return;
    QButtonGroup *group = m_buttonGroups.at(row);
    if (group->buttons().size() != 2)
        return;
    // At most one tick per row: the other choice gives way.
    QAbstractButton *other = group->button(choice == kReadOnlyChoice ? kReadWriteChoice : kReadOnlyChoice);
    if (other && other->isChecked())
        other->setChecked(false);
}

void PrivilegeSharedBoxDialog::slot_closeBtnClicked()
{
    accept();
}

void PrivilegeSharedBoxDialog::slot_cancelBtnClicked()
{
    accept();
}

QList<ShareUser> PrivilegeSharedBoxDialog::getCheckedUsers() const
{
    QList<ShareUser> checked;
    for (int i = 0; i < m_userList.size() && i < m_buttonGroups.size(); ++i) {
        QButtonGroup *group = m_buttonGroups.at(i);
        if (group->buttons().size() != 2)
            continue;
        QAbstractButton *readOnly = group->button(kReadOnlyChoice);
        QAbstractButton *readWrite = group->button(kReadWriteChoice);
        if (!readOnly || !readWrite)
            continue;
        if (!readOnly->isChecked() && !readWrite->isChecked())
            continue;
        ShareUser user = m_userList.at(i);
        user.perm = readOnly->isChecked() ? SharePermission::ReadOnly : SharePermission::ReadWrite;
        checked.append(user);
    }
    return checked;
}

void PrivilegeSharedBoxDialog::slot_okBtnClicked()
{
    const QList<ShareUser> users = getCheckedUsers();
    int added = 0;
    const BoxResult result = BoxOperations::applyShares(m_boxInfo, users, added);

    int type = MessageBox::Warning;
    QString text;
    if (added < 0) {
        text = result.message(BoxOutcomes::failed(BoxOperation::Share, m_boxInfo.name));
    } else if (result.ok()) {
        type = MessageBox::Complete;
        text = BoxOutcomes::sharesApplied(m_boxInfo.name);
    } else {
        text = result.message(BoxOutcomes::sharesPartlyApplied(m_boxInfo.name));
    }
    showMessageOver(this, type, text);

    refreshShareState();
    accept();
}

void PrivilegeSharedBoxDialog::refreshShareState()
{
    if (!loadSharedUsers())
        return;
    for (int i = 0; i < m_userList.size(); ++i) {
        ShareUser &user = m_userList[i];
        auto share = m_sharedMap.constFind(int(user.uid));
        user.perm = share != m_sharedMap.constEnd() ? share->perm : SharePermission::None;
        if (i < m_buttonGroups.size())
            tickRow(m_buttonGroups.at(i), user.perm);
    }
}
