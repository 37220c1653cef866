#include "FlatDropWidget.h"

#include <QMouseEvent>
#include <QWindow>

FlatDropWidget::FlatDropWidget(QWidget *parent)
    : QDialog(parent, Qt::WindowFlags())
{
    setWindowFlags(Qt::FramelessWindowHint);
    m_dragPos = QPoint(0, 0);
    m_bPressed = false;
}

// Global positions are rounded to the nearest integer (halves up), so the
// window follows the pointer by whole pixels on every screen, also at
// negative coordinates.
void FlatDropWidget::mousePressEvent(QMouseEvent *e)
{
    // Where the window system can move the window itself, the drag is handed
    // to it: on Wayland a window cannot place itself, and X11 window managers
    // keep the window within their rules. Elsewhere the window follows the
    // pointer by itself.
    if (e->button() == Qt::LeftButton && windowHandle() && windowHandle()->startSystemMove()) {
        m_bPressed = false;
        return;
    }
    m_dragPos = e->globalPos();
    m_bPressed = true;
}

void FlatDropWidget::mouseMoveEvent(QMouseEvent *e)
{
    if (!m_bPressed)
        return;
    const QPoint pos = e->globalPos();
    move(x() + pos.x() - m_dragPos.x(), y() + pos.y() - m_dragPos.y());
    m_dragPos = pos;
}

void FlatDropWidget::mouseReleaseEvent(QMouseEvent *e)
{
    m_bPressed = false;
    m_dragPos = e->globalPos();
}
