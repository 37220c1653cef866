#include "FlatDropWidget.h"

#include "WindowBorder.h"

#include <QGuiApplication>
#include <QMouseEvent>
#include <QWindow>

FlatDropWidget::FlatDropWidget(QWidget *parent)
    : QDialog(parent, Qt::WindowFlags())
{
    setWindowFlags(Qt::FramelessWindowHint);
    new WindowBorder(this);
}

// The window keeps the offset between its corner and the pointer that the
// press found, so it never jumps however many motion events the window system
// merges or drops, and it is moved only while a drag is under way.
void FlatDropWidget::mousePressEvent(QMouseEvent *e)
{
    // On Wayland a window cannot place itself: the drag is handed to the
    // compositor. Elsewhere the window follows the pointer by itself.
    if (e->button() == Qt::LeftButton && QGuiApplication::platformName().startsWith(QLatin1String("wayland"))
        && windowHandle() && windowHandle()->startSystemMove()) {
        m_bPressed = false;
        return;
    }
    m_pressOffset = e->globalPos() - pos();
    m_bPressed = true;
}

void FlatDropWidget::mouseMoveEvent(QMouseEvent *e)
{
    if (!m_bPressed || e->buttons() == Qt::NoButton)
        return;
    move(e->globalPos() - m_pressOffset);
}

void FlatDropWidget::mouseReleaseEvent(QMouseEvent *)
{
    m_bPressed = false;
}
