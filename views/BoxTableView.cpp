#include "BoxTableView.h"

#include "BoxTableModel.h"
#include "RightButtonMenu.h"

#include <QCursor>
#include <QDesktopServices>
#include <QDir>
#include <QMouseEvent>
#include <QUrl>

BoxTableView::BoxTableView(QWidget *parent)
    : QTableView(parent)
{
    setAttribute(Qt::WA_MouseTracking);
    setContextMenuPolicy(Qt::CustomContextMenu);
    m_pRightMenu = new RightButtonMenu(this);
    connect(this, &BoxTableView::customContextMenuRequested,
            this, &BoxTableView::slot_custom_context_menu);
    connect(m_pRightMenu, &RightButtonMenu::signal_right_menu_func_triggered,
            this, &BoxTableView::signal_right_menu_func_triggered);
}

void BoxTableView::slot_custom_context_menu(QPoint pos)
{
    QModelIndex index = indexAt(pos);
    auto *boxModel = qobject_cast<BoxTableModel *>(model());
    if (!index.isValid() || !boxModel)
        return;
    m_pRightMenu->setBoxInfo(boxModel->boxAt(index.row()));
    m_pRightMenu->exec(QCursor::pos());
}

void BoxTableView::mousePressEvent(QMouseEvent *e)
{
    QModelIndex index = indexAt(e->pos());
    // Listeners reset the model on this signal, which drops the current index;
    // the pressed row is made current only afterwards.
    emit signal_index_selected(index);
    setCurrentIndex(index);
    // Handled as a move so that the base class never records a pressed index:
    // no pressed/clicked signals and no drag start.
    QTableView::mouseMoveEvent(e);
}

void BoxTableView::mouseDoubleClickEvent(QMouseEvent *e)
{
    if (e->button() != Qt::LeftButton)
        return;
    QModelIndex index = indexAt(e->pos());
    auto *boxModel = qobject_cast<BoxTableModel *>(model());
    if (!index.isValid() || !boxModel)
        return;
    BoxInfo box = boxModel->boxAt(index.row());
    if (box.encrypted == 0 || box.mounted == 1) {
        // An empty path would name the working directory; it is no box folder.
        if (!box.path.isEmpty() && QDir(box.path).exists())
            QDesktopServices::openUrl(QUrl::fromLocalFile(box.path));
    } else {
        emit signal_mount_box_triggered();
    }
}

void BoxTableView::mouseMoveEvent(QMouseEvent *e)
{
    QModelIndex index = indexAt(e->pos());
    emit signal_index_hovered(index);
    setHoverRow(index.row());
    QTableView::mouseMoveEvent(e);
}

void BoxTableView::leaveEvent(QEvent *e)
{
    emit signal_index_hovered(QModelIndex());
    setHoverRow(-1);
    QWidget::leaveEvent(e);
}

// The delegate paints the hover highlight; when the hovered row changes, the
// row that lost it and the row that got it are repainted at once.
void BoxTableView::setHoverRow(int row)
{
    if (row == m_hoverRow)
        return;
    int old = m_hoverRow;
    m_hoverRow = row;
    updateRow(old);
    updateRow(row);
}

void BoxTableView::updateRow(int row)
{
    if (row < 0 || !model() || row >= model()->rowCount())
        return;
    viewport()->update(QRect(0, rowViewportPosition(row), viewport()->width(), rowHeight(row)));
}
