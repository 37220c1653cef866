#include "BoxTableView.h"

#include "BoxRules.h"
#include "BoxTableModel.h"
#include "RightButtonMenu.h"
#include "ViewKeys.h"

#include <QContextMenuEvent>
#include <QCursor>
#include <QDesktopServices>
#include <QDir>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QUrl>

namespace {
// The encryption, share and owner columns can be filtered.
const int kFirstFilterColumn = 1;
const int kLastFilterColumn = 3;
} // namespace

BoxTableView::BoxTableView(QWidget *parent)
    : QTableView(parent)
{
    setAttribute(Qt::WA_MouseTracking);
    setContextMenuPolicy(Qt::CustomContextMenu);
    // Tab leaves the table instead of walking its cells.
    setTabKeyNavigation(false);
    setAccessibleName(tr("保护箱列表视图"));
    setAccessibleDescription(tr("方向键选择保护箱，回车键打开或挂载，菜单键或 Shift+F10 打开操作菜单，"
                                "Alt+向下键打开当前列的筛选"));
    m_pRightMenu = new RightButtonMenu(this);
    connect(this, &BoxTableView::customContextMenuRequested,
            this, &BoxTableView::slot_custom_context_menu);
    connect(m_pRightMenu, &RightButtonMenu::signal_right_menu_func_triggered,
            this, &BoxTableView::signal_right_menu_func_triggered);
    // Also when the window emits it on the view's behalf to clear the row.
    connect(this, &BoxTableView::signal_index_selected, this,
            [this](const QModelIndex &index) { m_selectedRow = index.row(); });
}

void BoxTableView::slot_custom_context_menu(QPoint pos)
{
    showBoxMenu(indexAt(pos).row(), QCursor::pos());
}

void BoxTableView::showBoxMenu(int row, const QPoint &globalPos)
{
    auto *boxModel = qobject_cast<BoxTableModel *>(model());
    if (row < 0 || !boxModel || row >= boxModel->boxCount())
        return;
    m_pRightMenu->setBoxInfo(boxModel->boxAt(row));
    m_pRightMenu->exec(globalPos);
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
    activateRow(indexAt(e->pos()).row());
}

void BoxTableView::activateRow(int row)
{
    auto *boxModel = qobject_cast<BoxTableModel *>(model());
    if (row < 0 || !boxModel || row >= boxModel->boxCount())
        return;
    const BoxInfo box = boxModel->boxAt(row);
    if (BoxRules::opening(box) == BoxOpening::Mount) {
        emit signal_mount_box_triggered();
        return;
    }
    // An empty path would name the working directory; it is no box folder.
    if (!box.path.isEmpty() && QDir(box.path).exists())
        QDesktopServices::openUrl(QUrl::fromLocalFile(box.path));
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

void BoxTableView::keyPressEvent(QKeyEvent *e)
{
    // Focus from the keyboard makes the first row current without selecting
    // it; a key acts on the row it sees, so that row is selected first.
    const bool acts = ViewKeys::opensContextMenu(e) || ViewKeys::activates(e) || ViewKeys::opensFilter(e);
    if (acts && currentIndex().isValid() && currentIndex().row() != m_selectedRow)
        selectIndex(currentIndex());
    const QModelIndex current = currentIndex();
    if (ViewKeys::opensContextMenu(e)) {
        if (current.isValid())
            showBoxMenu(current.row(), viewport()->mapToGlobal(visualRect(current).center()));
        return;
    }
    if (ViewKeys::activates(e)) {
        activateRow(current.row());
        return;
    }
    if (ViewKeys::opensFilter(e)) {
        // The name column has no filter: the first filter serves it.
        const int column = current.column();
        emit signal_filter_requested(column >= kFirstFilterColumn && column <= kLastFilterColumn ? column
                                                                                                : kFirstFilterColumn);
        return;
    }
    QTableView::keyPressEvent(e);
    // A key that moved to another row selects it, as a press would.
    const QModelIndex moved = currentIndex();
    if (moved.isValid() && moved.row() != m_selectedRow)
        selectIndex(moved);
}

void BoxTableView::selectIndex(const QModelIndex &index)
{
    const int row = index.row();
    const int column = index.column();
    // Listeners reset the model on this signal, which drops the current
    // index: it is set again afterwards.
    emit signal_index_selected(index);
    if (model())
        setCurrentIndex(model()->index(row, column));
}

// The menu key's own context-menu event (sent by some platforms besides the
// key press) is left to keyPressEvent, so that the menu opens once, at the
// current row.
bool BoxTableView::event(QEvent *e)
{
    if (e->type() == QEvent::ContextMenu
        && static_cast<QContextMenuEvent *>(e)->reason() == QContextMenuEvent::Keyboard) {
        e->accept();
        return true;
    }
    return QTableView::event(e);
}
