#include "Vaultrane.h"

#include "BoxFilterDialog.h"
#include "BoxItemDelegate.h"
#include "BoxListWidget.h"
#include "BoxOperations.h"
#include "BoxRules.h"
#include "BoxStateText.h"
#include "BoxStateWatcher.h"
#include "BoxTabelHeaderView.h"
#include "BoxTableModel.h"
#include "BoxTableView.h"
#include "MainMenu.h"
#include "ScreenFit.h"
#include "ScrollBarStyle.h"
#include "SettingsStore.h"
#include "SplitLine.h"
#include "TitleBar.h"

#include <QApplication>
#include <QEvent>
#include <QFont>
#include <QHBoxLayout>
#include <QIcon>
#include <QLabel>
#include <QMouseEvent>
#include <QPalette>
#include <QPushButton>
#include <QScreen>
#include <QScrollBar>
#include <QSettings>
#include <QShortcut>
#include <QSignalBlocker>

#include <memory>
#include <QSpacerItem>
#include <QToolButton>

#include <algorithm>

namespace {

const int kWindowWidth = 780;
const int kWindowHeight = 560;
const int kToolBarWidth = 300;
const int kToolBarRight = 750;

const char *const kModeBtnStyle = "QPushButton { border: none; background-color: #FFFFFF; }"
                                  "QPushButton:focus { border: 1px solid #1787F0; }";

// The display mode is remembered in the user's config folder
// ($XDG_CONFIG_HOME/vaultrane/vaultrane.conf).
const char *const kViewModeKey = "view/mode";
const char *const kIconModeValue = "icons";
const char *const kTableModeValue = "table";

QFont pixelFont(int pixelSize)
{
    QFont font;
    font.setPixelSize(pixelSize);
    return font;
}

void setBrush(QPalette &palette, QPalette::ColorRole role, const char *color)
{
    palette.setBrush(QPalette::All, role, QBrush(QColor(color)));
}

} // namespace

Vaultrane::Vaultrane(QWidget *parent)
    : FlatDropWidget(parent)
{
    m_pMainMenu = new MainMenu(this);
    initUI();
    // Changes made elsewhere (the command line, the session agent, another
    // account's shares, an idle unmount) show without a click.
    m_pWatcher = BoxStateWatcher::forBoxService(this);
    initConnect();
    // Loads the box list, once: the views start empty, and the table fills
    // when it is first shown.
    slot_show_icon_mode(true);
    m_mode = IconMode;
    m_rememberMode = true; // from now on, a change of mode is the user's
}

Vaultrane::~Vaultrane()
{
    if (m_pMainMenu) {
        delete m_pMainMenu;
        m_pMainMenu = nullptr;
    }
}

void Vaultrane::initUI()
{
    setWindowTitle(tr("Venmora文件保护箱"));
    setWindowIcon(QIcon(":images/logo/32.png"));
    setFixedSize(kWindowWidth, kWindowHeight);
    // Centred on the screen it opens on; on a screen too small for it (a
    // large scale factor), its title bar stays on the screen.
    if (QScreen *screen = ScreenFit::screenForNewWindow())
        move(ScreenFit::centredIn(size(), screen->availableGeometry()));
    setAutoFillBackground(true);
    QPalette pal = palette();
    setBrush(pal, QPalette::Window, "#FFFFFF");
    setPalette(pal);

    m_pTitleBar = new TitleBar(this);
    m_pTitleBar->setBackgroundColor("#EAEAEA");
    m_pTitleBar->m_pReturnBtn->hide();
    m_pTitleBar->setTitle(tr("Venmora文件保护箱"), 0, "");
    m_pTitleBar->resize(kWindowWidth, 40);
    m_pTitleBar->move(0, 0);

    // One palette serves every text below; each widget takes it as it is
    // at that moment.
    m_pNameLabel = new QLabel(tr("文件保护箱"), this);
    setBrush(pal, QPalette::WindowText, "#333333");
    m_pNameLabel->setPalette(pal);
    m_pNameLabel->setFont(pixelFont(24));
    m_pNameLabel->setScaledContents(true);
    m_pNameLabel->move(30, 55);

    m_pDescLabel = new QLabel(tr("提供数据安全保护，支持个人数据的隔离隐藏、加密保护和共享功能"), this);
    setBrush(pal, QPalette::WindowText, "#4B4E51");
    m_pDescLabel->setPalette(pal);
    m_pDescLabel->setFont(pixelFont(14));
    m_pDescLabel->setScaledContents(true);
    m_pDescLabel->move(30, 95);

    auto *splitLine = new SplitLine(false, this);
    splitLine->move(30, 130);

    m_pAllBoxLabel = new QLabel(tr("全部保护箱"), this);
    setBrush(pal, QPalette::WindowText, "#121217");
    m_pAllBoxLabel->setPalette(pal);
    m_pAllBoxLabel->setFont(pixelFont(20));
    m_pAllBoxLabel->setScaledContents(true);
    m_pAllBoxLabel->move(30, 140);

    const QFont font12 = pixelFont(12);

    m_pToolLayout = new QHBoxLayout;
    auto makeToolButton = [&](const QString &text, const char *icon) {
        auto *btn = new QToolButton(this);
        btn->setText(text);
        btn->setToolButtonStyle(Qt::ToolButtonTextBesideIcon);
        btn->setIcon(QIcon(icon));
        btn->setIconSize(QSize(12, 12));
        btn->setPalette(pal);
        btn->setFont(font12);
        btn->setObjectName("PrivateBoxToolButton");
        btn->installEventFilter(this);
        return btn;
    };
    m_pNewBtn = makeToolButton(tr("新建"), ":/images/image/icon_new.png");
    m_pDelBtn = makeToolButton(tr("删除"), ":/images/image/icon_delete.png");
    m_pDelBtn->setEnabled(false);
    m_pLockedBtn = makeToolButton(tr("密码设置"), ":/images/image/icon_code.png");
    m_pLockedBtn->setEnabled(false);
    m_pSharedBtn = makeToolButton(tr("共享设置"), ":/images/image/icon_share.png");
    m_pSharedBtn->setEnabled(false);
    m_pNewBtn->setAccessibleDescription(tr("新建一个保护箱"));
    m_pDelBtn->setAccessibleDescription(tr("删除选中的保护箱"));
    m_pLockedBtn->setAccessibleDescription(tr("添加、修改或解除选中保护箱的密码"));
    m_pSharedBtn->setAccessibleDescription(tr("设置哪些用户可以使用选中的保护箱"));
    m_pToolLayout->addWidget(m_pNewBtn);
    m_pToolLayout->addWidget(m_pDelBtn);
    m_pToolLayout->addWidget(m_pLockedBtn);
    m_pToolLayout->addWidget(m_pSharedBtn);
    m_pToolLayout->setSpacing(0);
    m_pToolLayout->setContentsMargins(10, 0, 10, 0);

    m_pToolBarWidget = new QWidget(this);
    m_pToolBarWidget->setLayout(m_pToolLayout);
    m_pToolBarWidget->setObjectName("PrivateBoxToolBarWidget");
    // 300 pixels ending at x = 750; longer words of another language widen
    // it to the left rather than cut the buttons' words.
    m_pToolBarWidget->ensurePolished();
    const int toolBarWidth = std::max(kToolBarWidth, m_pToolBarWidget->sizeHint().width());
    m_pToolBarWidget->setFixedSize(toolBarWidth, 24);
    m_pToolBarWidget->move(kToolBarRight - toolBarWidth, 140);

    m_pBoxListWidget = new BoxListWidget(this);
    m_pBoxListWidget->setFixedSize(765, 330);
    m_pBoxListWidget->move(10, 170);

    m_pBoxTableView = new BoxTableView(this);
    m_pBoxTableView->setFixedSize(745, 330);
    m_pBoxTableView->move(30, 180);

    m_pBoxTableModel = new BoxTableModel(this);
    m_pBoxItemDelegate = new BoxItemDelegate(m_pBoxTableModel, this);
    m_pHeaderView = new BoxTabelHeaderView(this);

    m_pBoxTableView->setHorizontalHeader(m_pHeaderView);
    m_pBoxTableView->setModel(m_pBoxTableModel);
    m_pBoxTableView->setItemDelegate(m_pBoxItemDelegate);
    // The header would otherwise keep the narrow end column at its default
    // minimum width instead of 20 pixels.
    m_pHeaderView->setMinimumSectionSize(20);
    // The access column takes its width from the name column.
    const int columnWidths[BoxColumnCount] = {240, 120, 120, 120, 100, 20};
    for (int column = 0; column < BoxColumnCount; ++column)
        m_pBoxTableView->setColumnWidth(column, columnWidths[column]);
    m_pBoxTableView->setSelectionBehavior(QAbstractItemView::SelectRows);
    m_pBoxTableView->setSelectionMode(QAbstractItemView::SingleSelection);
    m_pBoxTableView->verticalHeader()->hide();
    m_pBoxTableView->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    m_pBoxTableView->horizontalHeader()->setHighlightSections(false);
    m_pBoxTableView->setShowGrid(false);
    m_pBoxTableView->verticalHeader()->setDefaultSectionSize(28);
    m_pBoxTableView->verticalScrollBar()->setStyleSheet(kThinScrollBarStyle);
    m_pBoxTableView->hide();

    m_pCountLabel = new QLabel(this);
    m_pCountLabel->setFont(font12);
    m_pCountLabel->setPalette(pal);

    m_pShareAttrBtn = new QToolButton(this);
    m_pShareAttrBtn->setText(tr("已共享"));
    m_pShareAttrBtn->setToolButtonStyle(Qt::ToolButtonTextBesideIcon);
    m_pShareAttrBtn->setIcon(QIcon(":/images/image/sahre_icon.png"));
    m_pShareAttrBtn->setIconSize(QSize(14, 14));
    m_pShareAttrBtn->setFont(font12);
    m_pShareAttrBtn->setPalette(pal);
    m_pShareAttrBtn->setObjectName("AttarToolBtn");
    m_pShareAttrBtn->setFocusPolicy(Qt::NoFocus); // a state indicator, not a control

    m_pEncryptAttrBtn = new QToolButton(this);
    m_pEncryptAttrBtn->setText(tr("已加密"));
    m_pEncryptAttrBtn->setToolButtonStyle(Qt::ToolButtonTextBesideIcon);
    m_pEncryptAttrBtn->setIcon(QIcon(":/images/image/lock_icon.png"));
    m_pEncryptAttrBtn->setFont(font12);
    m_pEncryptAttrBtn->setPalette(pal);
    m_pEncryptAttrBtn->setObjectName("AttarToolBtn");
    m_pEncryptAttrBtn->setFocusPolicy(Qt::NoFocus);

    m_pTableModeBtn = new QPushButton(this);
    m_pTableModeBtn->setIcon(QIcon(":/images/image/list_selected.png"));
    m_pTableModeBtn->setStyleSheet(kModeBtnStyle);
    m_pTableModeBtn->setFixedSize(14, 14);
    m_pTableModeBtn->setToolTip(tr("列表视图"));
    m_pTableModeBtn->setAccessibleName(tr("列表视图"));
    m_pTableModeBtn->setAccessibleDescription(tr("以表格显示保护箱，可按是否加密、是否共享和来源筛选"));

    m_pIconModeBtn = new QPushButton(this);
    m_pIconModeBtn->setIcon(QIcon(":/images/image/icon_view.png"));
    m_pIconModeBtn->setStyleSheet(kModeBtnStyle);
    m_pIconModeBtn->setFixedSize(14, 14);
    m_pIconModeBtn->setToolTip(tr("图标视图"));
    m_pIconModeBtn->setAccessibleName(tr("图标视图"));
    m_pIconModeBtn->setAccessibleDescription(tr("以图标显示保护箱"));

    m_pBottomLayout = new QHBoxLayout;
    m_pBottomLayout->setSpacing(0);
    m_pBottomLayout->setContentsMargins(0, 0, 0, 0);
    m_pBottomLayout->addWidget(m_pCountLabel);
    m_pBottomLayout->addSpacerItem(new QSpacerItem(10, 14, QSizePolicy::Fixed, QSizePolicy::Minimum));
    m_pBottomLayout->addWidget(m_pEncryptAttrBtn);
    m_pBottomLayout->addSpacerItem(new QSpacerItem(5, 14, QSizePolicy::Fixed, QSizePolicy::Minimum));
    m_pBottomLayout->addWidget(m_pShareAttrBtn);
    m_pBottomLayout->addSpacerItem(new QSpacerItem(700, 14, QSizePolicy::Expanding, QSizePolicy::Minimum));
    m_pBottomLayout->addWidget(m_pTableModeBtn);
    m_pBottomLayout->addSpacerItem(new QSpacerItem(20, 14, QSizePolicy::Fixed, QSizePolicy::Minimum));
    m_pBottomLayout->addWidget(m_pIconModeBtn);

    m_pBottomWidget = new QWidget(this);
    // The style sheet gives widgets of this name a white background.
    m_pBottomWidget->setObjectName("BoxListWidget");
    m_pBottomWidget->setLayout(m_pBottomLayout);
    m_pBottomWidget->setFixedSize(730, 20);
    m_pBottomWidget->move(30, 530);

    setUpKeyboardFocus();
}

// The box view has the first focus, so Enter and Space never reach a button
// by accident. Tab goes on to the tool buttons, then the display modes, and
// reaches the title bar's buttons last.
void Vaultrane::setUpKeyboardFocus()
{
    for (QPushButton *modeButton : {m_pTableModeBtn, m_pIconModeBtn}) {
        modeButton->setAutoDefault(false);
        modeButton->setDefault(false);
    }
    const QList<QWidget *> chain{m_pBoxListWidget, m_pBoxTableView, m_pNewBtn, m_pDelBtn, m_pLockedBtn,
                                 m_pSharedBtn, m_pTableModeBtn, m_pIconModeBtn, m_pTitleBar->m_pMenuBtn,
                                 m_pTitleBar->m_pMinBtn, m_pTitleBar->m_pCloseBtn};
    for (int i = 1; i < chain.size(); ++i)
        setTabOrder(chain.at(i - 1), chain.at(i));
    m_pBoxListWidget->setFocus(Qt::OtherFocusReason);
}

void Vaultrane::initConnect()
{
    connect(m_pTitleBar->m_pCloseBtn, &QPushButton::clicked, this, &Vaultrane::slot_close);
    connect(m_pTitleBar->m_pMinBtn, &QPushButton::clicked, this, &Vaultrane::slot_minimize);
    connect(m_pTitleBar->m_pMenuBtn, &QPushButton::clicked, this, &Vaultrane::slot_showmenu);
    connect(m_pNewBtn, &QToolButton::clicked, this, &Vaultrane::slot_newBtnClicked);
    connect(m_pDelBtn, &QToolButton::clicked, this, &Vaultrane::slot_delBtnClicked);
    connect(m_pLockedBtn, &QToolButton::clicked, this, &Vaultrane::slot_lockedBtnClicked);
    connect(m_pSharedBtn, &QToolButton::clicked, this, &Vaultrane::slot_sharedBtnClicked);
    connect(m_pMainMenu, &MainMenu::signal_showNewCharacter, this, &Vaultrane::slot_showNewCharacter);
    connect(m_pMainMenu, &MainMenu::signal_showAboutUs, this, &Vaultrane::slot_about_us);
    connect(m_pMainMenu, &MainMenu::signal_showSettings, this, &Vaultrane::slot_showSettings);
    connect(m_pIconModeBtn, &QPushButton::clicked, this, &Vaultrane::slot_show_icon_mode);
    connect(m_pTableModeBtn, &QPushButton::clicked, this, &Vaultrane::slot_show_table_mode);
    connect(m_pBoxTableView, &BoxTableView::signal_index_hovered, m_pBoxItemDelegate,
            &BoxItemDelegate::slot_hover_index_changed);
    // The delegate must forget its selected row before the window reads the
    // selection, so it is connected first.
    connect(m_pBoxTableView, &BoxTableView::signal_index_selected, m_pBoxItemDelegate,
            &BoxItemDelegate::slot_selected_index_changed);
    connect(m_pBoxTableView, &BoxTableView::signal_index_selected, this, &Vaultrane::slot_selected_index_changed);
    connect(m_pBoxTableView, &BoxTableView::signal_mount_box_triggered, this, &Vaultrane::slot_crypto_mount_box);
    connect(m_pBoxTableView, &BoxTableView::signal_right_menu_func_triggered, this,
            &Vaultrane::slot_right_menu_func_triggered);
    connect(m_pHeaderView, &BoxTabelHeaderView::signal_clicked_section, this, &Vaultrane::slot_clicked_section);
    connect(m_pBoxTableView, &BoxTableView::signal_filter_requested, this, &Vaultrane::slot_clicked_section);
    connect(m_pBoxListWidget, &BoxListWidget::signal_right_menu_func_triggered, this,
            &Vaultrane::slot_right_menu_func_triggered);
    connect(m_pBoxListWidget, &BoxListWidget::currentRowChanged, this, &Vaultrane::slot_box_list_current_row_changed);
    connect(m_pBoxListWidget, &BoxListWidget::signal_mount_box_triggered, this, &Vaultrane::slot_crypto_mount_box);
    connect(m_pWatcher, &BoxStateWatcher::changed, this, &Vaultrane::slot_reload_boxes);
    auto *reload = new QShortcut(QKeySequence(Qt::Key_F5), this);
    connect(reload, &QShortcut::activated, this, &Vaultrane::slot_reload_boxes);
}

void Vaultrane::restoreViewMode()
{
    const std::unique_ptr<QSettings> settings = SettingsStore::open();
    const bool table = settings->value(kViewModeKey).toString() == QLatin1String(kTableModeValue);
    m_savedMode = table ? TableMode : IconMode;
    if (table)
        slot_show_table_mode(true);
}

// Written only when it changes: each write replaces the settings file, which
// would otherwise be most of what a click on a mode button costs.
void Vaultrane::saveViewMode()
{
    if (!m_rememberMode || m_savedMode == m_mode)
        return;
    SettingsStore::open()->setValue(kViewModeKey, m_mode == TableMode ? kTableModeValue : kIconModeValue);
    m_savedMode = m_mode;
}

void Vaultrane::bringToFront()
{
    if (isMinimized())
        showNormal();
    show();
    raise();
    activateWindow();
}

void Vaultrane::slot_close()
{
    close();
}

void Vaultrane::slot_minimize()
{
    showMinimized();
}

// The four tool buttons show a blue icon while the pointer is over them; the
// three box buttons only while they are enabled. Events are never consumed.
bool Vaultrane::eventFilter(QObject *watched, QEvent *event)
{
    const QEvent::Type type = event->type();
    if (type == QEvent::Enter || type == QEvent::Leave || type == QEvent::EnabledChange) {
        // A button that is disabled under the pointer (the box it acted on is
        // gone) gets no Leave while disabled: it drops the blue icon at once.
        auto *widget = qobject_cast<QWidget *>(watched);
        const bool enter = type == QEvent::Enter
                           || (type == QEvent::EnabledChange && widget && widget->isEnabled()
                               && widget->underMouse());
        struct HoverIcons {
            QToolButton *button;
            const char *blue;
            const char *normal;
            bool always;
        };
        const HoverIcons table[] = {
            {m_pNewBtn, ":/images/image/icon_new_.png", ":/images/image/icon_new.png", true},
            {m_pDelBtn, ":/images/image/icon_delete_blue.png", ":/images/image/icon_delete.png", false},
            {m_pLockedBtn, ":/images/image/icon_code_blue.png", ":/images/image/icon_code.png", false},
            {m_pSharedBtn, ":/images/image/icon_share_blue.png", ":/images/image/icon_share.png", false},
        };
        for (const HoverIcons &entry : table) {
            if (watched != entry.button)
                continue;
            if (!enter || entry.always || entry.button->isEnabled())
                entry.button->setIcon(QIcon(enter ? entry.blue : entry.normal));
            break;
        }
    }
    return QObject::eventFilter(watched, event);
}

// The selected box, with its state as the box service has it now: an
// operation never acts on what an outdated view shows. A box that changed or
// went away meanwhile is shown anew once the operation is over; one that
// went away is still handed on, so that the operation reports the box
// service's reason.
bool Vaultrane::currentBox(BoxInfo &box)
{
    if (m_pWatcher->hasPendingChange())
        m_pWatcher->flush();
    if (!selectedBox(box))
        return false;
    BoxInfo now;
    const BoxResult found = BoxOperations::find(box.name, now, box.fromOther ? box.owner : QString());
    const bool same = found.ok() && now.flags == box.flags && now.path == box.path
                      && now.mountedElsewhere == box.mountedElsewhere && now.access == box.access;
    if (found.ok())
        box = now;
    if (!same)
        QMetaObject::invokeMethod(this, &Vaultrane::slot_reload_boxes, Qt::QueuedConnection);
    return true;
}

bool Vaultrane::selectedBox(BoxInfo &box)
{
    if (m_mode == TableMode) {
        const int row = m_pBoxTableView->currentIndex().row();
        if (row == -1)
            return false;
        box = m_pBoxTableModel->boxAt(row);
        return true;
    }
    if (m_pBoxListWidget->currentRow() == -1)
        return false;
    box = m_pBoxListWidget->currentBoxInfo();
    return true;
}

void Vaultrane::refreshBoxView()
{
    BoxInfo selected;
    const bool hadSelection = selectedBox(selected);
    BoxResult result;
    if (m_mode == TableMode) {
        result = m_pBoxTableModel->refreshBoxList();
    } else {
        // The icon view reports no current box while it refills: that
        // would grey the tool buttons for a moment and take the keyboard
        // focus off the one the user is on. The selection below decides.
        const QSignalBlocker passingStates(m_pBoxListWidget);
        result = m_pBoxListWidget->updateBoxList();
    }
    noteListResult(result);
    if (hadSelection)
        selectBox(selected.name, selected.owner);
    else
        clearSelection();
}

void Vaultrane::noteListResult(const BoxResult &result)
{
    m_listFailure = result.ok() ? QString() : result.message(tr("无法读取保护箱列表！"));
}

void Vaultrane::slot_reload_boxes()
{
    // A box operation on a worker (ours or a dialog's) holds the box service
    // until it ends: the list would wait for it on this thread, and the
    // window would stop painting. The reload follows once it is over.
    if (m_busy || BoxWorker::anyRunning()) {
        m_reloadWhenIdle = true;
        return;
    }
    refreshBoxView();
}

void Vaultrane::reloadIfDeferred()
{
    if (!m_reloadWhenIdle)
        return;
    m_reloadWhenIdle = false;
    QMetaObject::invokeMethod(this, &Vaultrane::slot_reload_boxes, Qt::QueuedConnection);
}

void Vaultrane::selectBox(const QString &name, const QString &owner)
{
    if (m_mode == TableMode) {
        const int row = m_pBoxTableModel->rowOf(name, owner);
        if (row < 0) {
            clearTableSelection();
            return;
        }
        // As a press on the row does it: the delegate frames it, the window
        // describes it, and the row becomes current.
        const QModelIndex index = m_pBoxTableModel->index(row, 0);
        emit m_pBoxTableView->signal_index_selected(index);
        m_pBoxTableView->setCurrentIndex(index);
        m_pBoxTableView->scrollTo(index);
        return;
    }
    // The row changes the view reports while it empties and refills come
    // with passing states; the final state decides.
    m_pBoxListWidget->selectBox(name, owner);
    slot_box_list_current_row_changed(m_pBoxListWidget->currentRow());
}

void Vaultrane::clearSelection()
{
    if (m_mode == TableMode) {
        clearTableSelection();
        return;
    }
    m_pBoxListWidget->clearCurrentItem();
    slot_box_list_current_row_changed(-1);
}

void Vaultrane::setOperateBtnEnabled(bool enabled)
{
    enableOperateButtons(enabled, enabled, enabled);
}

void Vaultrane::setOperateBtnEnabled(const BoxInfo &box)
{
    enableOperateButtons(BoxRules::allows(box, BoxAction::Delete), BoxRules::allows(box, BoxAction::PasswordSetting),
                         BoxRules::allows(box, BoxAction::ShareSetting));
}

void Vaultrane::enableOperateButtons(bool remove, bool password, bool share)
{
    // The keyboard focus on a button that goes grey returns to the box view
    // (where a box can be chosen again) instead of wandering on to the next
    // button that happens to be enabled.
    QWidget *focused = focusWidget();
    if ((focused == m_pDelBtn && !remove) || (focused == m_pLockedBtn && !password)
        || (focused == m_pSharedBtn && !share)) {
        QWidget *view = m_mode == 1 ? static_cast<QWidget *>(m_pBoxTableView) : m_pBoxListWidget;
        view->setFocus(Qt::OtherFocusReason);
    }
    m_pDelBtn->setEnabled(remove);
    m_pLockedBtn->setEnabled(password);
    m_pSharedBtn->setEnabled(share);
}

void Vaultrane::updateStatus(bool selected, const BoxInfo &box)
{
    if (!m_listFailure.isEmpty()) {
        // Until a load works again, what the view shows may be outdated.
        m_pCountLabel->setText(m_listFailure.section(QLatin1Char('\n'), 0, 0));
        m_pCountLabel->setToolTip(m_listFailure);
        m_pEncryptAttrBtn->hide();
        m_pShareAttrBtn->hide();
        return;
    }
    m_pCountLabel->setToolTip(QString());
    if (m_mode == TableMode || !selected) {
        const int count = m_mode == TableMode ? m_pBoxTableModel->boxCount() : m_pBoxListWidget->count();
        m_pCountLabel->setText(tr("保护箱: %1 项").arg(count));
        m_pEncryptAttrBtn->hide();
        m_pShareAttrBtn->hide();
        return;
    }

    QString text;
    if (box.fromOther) {
        text = tr("保护箱：%1 (来自 %2)").arg(box.name, box.owner);
        m_pShareAttrBtn->hide();
    } else {
        text = tr("保护箱：%1").arg(box.name);
        m_pShareAttrBtn->setVisible(box.shared);
    }
    // Why it cannot be unmounted, deleted or renamed from here.
    if (!box.mounted && box.mountedElsewhere)
        text = tr("%1，%2").arg(text, BoxStateText::mountedElsewhere(box));
    m_pCountLabel->setText(text);

    if (box.mounted) {
        m_pEncryptAttrBtn->setIcon(QIcon(":/images/image/blue_unlock_icon.png"));
        m_pEncryptAttrBtn->setText(tr("已挂载"));
    } else {
        m_pEncryptAttrBtn->setIcon(QIcon(":/images/image/lock_icon.png"));
        m_pEncryptAttrBtn->setText(tr("已加密"));
    }
    m_pEncryptAttrBtn->setVisible(box.encrypted);
}

void Vaultrane::clearTableSelection()
{
    // Emitted on the view's behalf: the delegate forgets its selected row
    // (resetting the model, which drops the current index), then
    // slot_selected_index_changed sees no selection.
    emit m_pBoxTableView->signal_index_selected(QModelIndex());
}

void Vaultrane::slot_show_icon_mode(bool clicked)
{
    Q_UNUSED(clicked);
    // The keyboard focus goes with the view (also before the window shows,
    // when the remembered mode is restored).
    const bool viewHadFocus = focusWidget() == m_pBoxTableView;
    m_pBoxListWidget->show();
    m_pBoxTableView->hide();
    if (viewHadFocus)
        m_pBoxListWidget->setFocus(Qt::OtherFocusReason);
    const BoxResult result = m_pBoxListWidget->updateBoxList();
    noteListResult(result);
    m_pTableModeBtn->setIcon(m_modeIcons.tableInactive);
    m_pIconModeBtn->setIcon(m_modeIcons.iconActive);
    m_mode = IconMode;
    m_pBoxListWidget->clearCurrentItem();
    slot_box_list_current_row_changed(-1);
    saveViewMode();
}

void Vaultrane::slot_show_table_mode(bool clicked)
{
    Q_UNUSED(clicked);
    const bool viewHadFocus = focusWidget() == m_pBoxListWidget;
    m_pBoxTableView->show();
    m_pBoxListWidget->hide();
    if (viewHadFocus)
        m_pBoxTableView->setFocus(Qt::OtherFocusReason);
    m_pBoxTableModel->resetFilter();
    const BoxResult result = m_pBoxTableModel->refreshBoxList();
    noteListResult(result);
    m_pTableModeBtn->setIcon(m_modeIcons.tableActive);
    m_pIconModeBtn->setIcon(m_modeIcons.iconInactive);
    m_mode = TableMode;
    clearTableSelection();
    saveViewMode();
}

void Vaultrane::slot_box_list_current_row_changed(int row)
{
    if (row == -1) {
        setOperateBtnEnabled(false);
        updateStatus(false, BoxInfo());
        return;
    }
    const BoxInfo box = m_pBoxListWidget->currentBoxInfo();
    setOperateBtnEnabled(box);
    updateStatus(true, box);
}

void Vaultrane::slot_selected_index_changed(QModelIndex index)
{
    if (index.row() >= 0 && index.column() >= 0 && index.model()) {
        const BoxInfo box = m_pBoxTableModel->boxAt(index.row());
        setOperateBtnEnabled(box);
        updateStatus(false, box);
    } else {
        setOperateBtnEnabled(false);
        updateStatus(false, BoxInfo());
    }
}

// A press that reaches the window itself: on its background or on a child
// that takes no presses. The left button clears the selection; every button
// may start a drag.
void Vaultrane::mousePressEvent(QMouseEvent *e)
{
    if (e->button() == Qt::LeftButton) {
        m_pBoxListWidget->clearCurrentItem();
        setOperateBtnEnabled(false);
        updateStatus(false, BoxInfo());
        if (!m_pBoxTableView->geometry().contains(e->localPos().toPoint()))
            clearTableSelection();
    }
    FlatDropWidget::mousePressEvent(e);
}

// A press on a filterable column of the table header opens its drop-down
// right under the column; closing it by a click outside applies the choice.
void Vaultrane::slot_clicked_section(int section)
{
    int kind = 0;
    int *selector = nullptr;
    switch (section) {
    case 1:
        kind = 0;
        selector = &m_pBoxTableModel->m_encryptFilter;
        break;
    case 2:
        kind = 1;
        selector = &m_pBoxTableModel->m_shareFilter;
        break;
    case 3:
        kind = 2;
        selector = &m_pBoxTableModel->m_ownerFilter;
        break;
    default:
        return;
    }

    const QPoint origin = m_pBoxTableView->mapToGlobal(QPoint(0, 0));
    const QPoint pos(origin.x() + m_pHeaderView->sectionPosition(section), origin.y() + 32);

    BoxFilterDialog dialog(kind, this);
    dialog.setCheckedIndex(*selector);
    dialog.move(pos);
    if (dialog.exec() != 0) {
        *selector = dialog.checkedIndex();
        const BoxResult result = m_pBoxTableModel->refreshBoxList();
        noteListResult(result);
        // The filtered rows are other boxes than before: drop the selection
        // and show the new count.
        clearTableSelection();
    }
}
