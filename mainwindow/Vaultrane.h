#pragma once

#include <QIcon>
#include <QModelIndex>
#include <QString>

#include "BoxWorker.h"
#include "FlatDropWidget.h"
#include "BoxTypes.h"

class QCloseEvent;
class QDialog;
class QEvent;
class QHBoxLayout;
class QKeyEvent;
class QLabel;
class QMouseEvent;
class QPushButton;
class QToolButton;
class QWidget;

class BoxItemDelegate;
class BoxStateWatcher;
class BoxListWidget;
class BoxTabelHeaderView;
class BoxTableModel;
class BoxTableView;
class MainMenu;
class TitleBar;

// The program's main window: the user's boxes as icons or as a filterable
// table, a tool bar with the box operations and a bottom bar with the status
// text, two state indicators and the display-mode buttons. Fixed 780 × 560.
class Vaultrane : public FlatDropWidget
{
    Q_OBJECT
    friend class TestMainWindow;
    friend class TestMainWindowOperations;

public:
    // Which view shows the boxes.
    enum DisplayMode { IconMode = 0, TableMode = 1 };

    explicit Vaultrane(QWidget *parent = nullptr);
    ~Vaultrane() override;

    // Shows the display mode the user chose last time (icons when none was
    // remembered). Every later change of mode is remembered.
    void restoreViewMode();
    // Un-minimises, raises and activates the window: a second start of the
    // program asks for this.
    void bringToFront();

public slots:
    void slot_close();
    void slot_minimize();
    void slot_newBtnClicked(bool clicked);
    void slot_delBtnClicked(bool clicked);
    void slot_lockedBtnClicked(bool clicked);
    void slot_sharedBtnClicked(bool clicked);
    void slot_crypto_mount_box();
    void slot_crypto_umount_box();
    void slot_rename_box();
    void slot_showmenu();
    void slot_showNewCharacter();
    void slot_about_us();
    void slot_showSettings();
    void slot_show_icon_mode(bool clicked);
    void slot_show_table_mode(bool clicked);
    void slot_box_list_current_row_changed(int row);
    void slot_right_menu_func_triggered(int func);
    void slot_selected_index_changed(QModelIndex index);
    void slot_clicked_section(int section);
    // The boxes changed outside the window (or F5): reload the visible view,
    // keeping the selected box selected.
    void slot_reload_boxes();

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;
    void mousePressEvent(QMouseEvent *e) override;
    void keyPressEvent(QKeyEvent *e) override;
    void closeEvent(QCloseEvent *e) override;

private:
    void initUI();
    void initConnect();
    void setUpKeyboardFocus();

    // The selected box of the visible view; false when nothing is selected.
    bool currentBox(BoxInfo &box);
    // Reloads the visible view only (the table keeps its filters), keeping
    // the selected box selected by name and owner; the buttons and the bottom
    // bar then describe what is selected. A list that cannot be read leaves
    // the view as it was and says why in the bottom bar.
    void refreshBoxView();
    // Selects the box of that name and owner (empty: the user's own) in the
    // visible view, or nothing when it is not there.
    void selectBox(const QString &name, const QString &owner);
    // Nothing selected in the visible view; the bottom bar shows the count.
    void clearSelection();
    // Reloads soon when a change came while a box operation was running.
    void reloadIfDeferred();
    // Remembers why a load of the list failed, or that it worked.
    void noteListResult(const BoxResult &result);
    // The selected box as the view shows it, without asking the box service.
    bool selectedBox(BoxInfo &box);
    // 删除, 密码设置 and 共享设置 follow the selection; 新建 is always enabled.
    void setOperateBtnEnabled(bool enabled);
    // Each tool button as the box's state allows its action.
    void setOperateBtnEnabled(const BoxInfo &box);
    void enableOperateButtons(bool remove, bool password, bool share);
    // Fills the bottom bar: the count, or in icon mode the selected box with
    // its state indicators.
    void updateStatus(bool selected, const BoxInfo &box);
    // Clears the table's highlight and current row, and with it the buttons
    // and the bottom bar, as a press on empty table space would.
    void clearTableSelection();

    // A message box of `type` centred on the window; returns its result.
    int execMessage(int type, const QString &text);
    // Vertical places of a dialog for execCentred: centred on the window, or
    // (the taller password dialog) this many pixels below the window's top.
    static const int kCentredVertically = -1;
    static const int kChangePasswordTop = 60;
    // Runs a self-deleting dialog over the window, horizontally centred and
    // placed vertically by `top`; returns its result.
    int execCentred(QDialog *dialog, int top = kCentredVertically);
    // Runs a long box operation on the worker: the window keeps painting,
    // its controls rest and the bottom bar shows `busyText` until it ends.
    BoxResult runBusy(const QString &busyText, BoxWorker::Operation operation);

    // The desktop's user guide, over the session bus.
    void showGuide(QString appName);
    bool guideServiceAbsent();

    TitleBar *m_pTitleBar = nullptr;
    QLabel *m_pNameLabel = nullptr;
    QLabel *m_pDescLabel = nullptr;
    QLabel *m_pAllBoxLabel = nullptr;
    QHBoxLayout *m_pToolLayout = nullptr;
    QToolButton *m_pNewBtn = nullptr;
    QToolButton *m_pDelBtn = nullptr;
    QToolButton *m_pLockedBtn = nullptr;
    QToolButton *m_pSharedBtn = nullptr;
    QWidget *m_pToolBarWidget = nullptr;
    BoxListWidget *m_pBoxListWidget = nullptr;
    BoxTableView *m_pBoxTableView = nullptr;
    BoxTableModel *m_pBoxTableModel = nullptr;
    BoxItemDelegate *m_pBoxItemDelegate = nullptr;
    BoxTabelHeaderView *m_pHeaderView = nullptr;
    QLabel *m_pCountLabel = nullptr;
    QToolButton *m_pEncryptAttrBtn = nullptr;
    QToolButton *m_pShareAttrBtn = nullptr;
    QPushButton *m_pTableModeBtn = nullptr;
    QPushButton *m_pIconModeBtn = nullptr;
    QHBoxLayout *m_pBottomLayout = nullptr;
    QWidget *m_pBottomWidget = nullptr;
    MainMenu *m_pMainMenu = nullptr;
    // Writes the display mode to the user's settings, once the window is built.
    void saveViewMode();

    DisplayMode m_mode = IconMode;
    bool m_rememberMode = false;
    // The mode buttons' pictures, read once: making an icon from a file
    // probes the file's format each time, which a mode click would pay.
    struct ModeIcons {
        QIcon tableActive{":/images/image/list_selected.png"};
        QIcon tableInactive{":/images/image/list_.png"};
        QIcon iconActive{":/images/image/icon_view_selected.png"};
        QIcon iconInactive{":/images/image/icon_view.png"};
    };
    const ModeIcons m_modeIcons;
    int m_savedMode = -1; // the DisplayMode in the settings; -1 before it is known
    bool m_busy = false; // a box operation runs on the worker
    BoxStateWatcher *m_pWatcher = nullptr;
    bool m_reloadWhenIdle = false; // a change came while a worker ran
    QString m_listFailure;         // why the last load failed; empty when it worked
};
