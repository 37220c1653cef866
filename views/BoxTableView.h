#pragma once

#include <QModelIndex>
#include <QPoint>
#include <QTableView>

class RightButtonMenu;

// Table mode of the box list. It turns mouse activity into signals (hovered
// row, pressed row, mount request) and runs the box context menu; the
// highlight itself is painted by BoxItemDelegate.
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

public slots:
    void slot_custom_context_menu(QPoint pos);

protected:
    void mousePressEvent(QMouseEvent *e) override;
    void mouseDoubleClickEvent(QMouseEvent *e) override;
    void mouseMoveEvent(QMouseEvent *e) override;
    void leaveEvent(QEvent *e) override;

private:
    void setHoverRow(int row);
    void updateRow(int row);

    RightButtonMenu *m_pRightMenu = nullptr;
    int m_hoverRow = -1; // row last reported as hovered, to repaint it when the mouse moves on
};
