#pragma once

#include <QIcon>
#include <QList>
#include <QListWidget>
#include <QString>

#include "BoxResult.h"
#include "BoxState.h"
#include "BoxTypes.h"

class RightButtonMenu;

// Icon mode of the box list: every box the user can see, as a 48-pixel state
// icon with its name underneath. From the keyboard, the arrow keys select,
// Return opens (or mounts) the current box and the Menu key or Shift+F10
// opens its context menu.
class BoxListWidget : public QListWidget
{
    Q_OBJECT
public:
    explicit BoxListWidget(QWidget *parent);

    // Reloads all boxes and keeps the previously current box (same name and
    // owner) current when it is still there. When the list cannot be read,
    // the view stays as it was and the result says why.
    BoxResult updateBoxList();
    // Makes the box of that name and owner (an empty owner: the user's own
    // box) current; false, with nothing current, when it is not in the list.
    bool selectBox(const QString &name, const QString &owner);
    // The current box, or an empty record when no row is current.
    BoxInfo currentBoxInfo() const;
    void clearCurrentItem();

    // Resource path of the 48-pixel icon that shows the box's state.
    static QString boxIcon48(const BoxInfo &box);

signals:
    void signal_right_menu_func_triggered(int func);
    void signal_item_selected(bool state);
    void signal_mount_box_triggered();

protected:
    void mousePressEvent(QMouseEvent *e) override;
    void mouseDoubleClickEvent(QMouseEvent *e) override;
    void keyPressEvent(QKeyEvent *e) override;
    void contextMenuEvent(QContextMenuEvent *e) override;

private:
    // What a double click does: mount a locked box, open any other's folder.
    void activateRow(int row);
    // Runs the context menu of the box in `row` at the global position.
    void showBoxMenu(int row, const QPoint &globalPos);
    // The icon for the box's state, loaded on first use and kept for every
    // later item and reload.
    const QIcon &stateIcon(const BoxInfo &box);
    static void addReadOnlyBadge(QPixmap &picture);
    // The path, and for a share what it grants and who has it mounted.
    static QString toolTip(const BoxInfo &box);

    QList<BoxInfo> m_boxList;
    RightButtonMenu *m_pRightMenu = nullptr;
    // By boxStateKey(); a null icon until first used.
    QIcon m_stateIcons[kBoxStateCount];
    QIcon m_readOnlyIcons[kBoxStateCount]; // the same for read-only shares
};
