#pragma once

#include <QModelIndex>
#include <QPoint>
#include <QTableView>

class RightButtonMenu;

// Table mode of the box list. It turns mouse and keyboard activity into
// signals (hovered row, selected row, mount request, filter request) and runs
// the box context menu; the highlight itself is painted by BoxItemDelegate.
// From the keyboard, the arrow keys select, Return opens (or mounts) the
// current box, the Menu key or Shift+F10 opens its context menu, and Alt+Down
// or F4 opens the filter of the current column.
class BoxTableView : public QTableView
{
    Q_OBJECT
public:
    explicit BoxTableView(QWidget *parent);

signals:
    void signal_index_hovered(QModelIndex index);
    void signal_index_selected(QModelIndex index);
    void signal_right_menu_func_triggered(int func);
    void signal_mount_box_triggered();
    void signal_filter_requested(int column);

public slots:
    void slot_custom_context_menu(QPoint pos);

protected:
    void mousePressEvent(QMouseEvent *e) override;
    void mouseDoubleClickEvent(QMouseEvent *e) override;
    void mouseMoveEvent(QMouseEvent *e) override;
    void leaveEvent(QEvent *e) override;
    void keyPressEvent(QKeyEvent *e) override;
    bool event(QEvent *e) override;

private:
    // What a double click does: mount a locked box, open any other's folder.
    void activateRow(int row);
    void showBoxMenu(int row, const QPoint &globalPos);
    // Makes `index` the selected and current cell, as a press on it would.
    void selectIndex(const QModelIndex &index);
    void setHoverRow(int row);
    void updateRow(int row);

    RightButtonMenu *m_pRightMenu = nullptr;
    int m_selectedRow = -1; // row of the last signal_index_selected
    int m_hoverRow = -1; // row last reported as hovered, to repaint it when the mouse moves on
};
