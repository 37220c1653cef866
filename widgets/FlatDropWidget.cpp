#include "FlatDropWidget.h"

#include "WindowBorder.h"

#include <QMouseEvent>

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
