#include "WindowBorder.h"

#include <QEvent>
#include <QPainter>

const QColor &WindowBorder::colour()
{
    static const QColor grey("#C8C8C8");
    return grey;
}

WindowBorder::WindowBorder(QWidget *window) : QWidget(window)
{
    setAttribute(Qt::WA_TransparentForMouseEvents);
    setAttribute(Qt::WA_NoSystemBackground);
    setFocusPolicy(Qt::NoFocus);
    setGeometry(window->rect());
    window->installEventFilter(this);
}

bool WindowBorder::eventFilter(QObject *watched, QEvent *event)
{
    if (watched == parent()) {
        switch (event->type()) {
        case QEvent::Resize:
            setGeometry(parentWidget()->rect());
            break;
        case QEvent::Show:
        case QEvent::ChildAdded:
            raise();
            break;
        default:
            break;
        }
    }
    return QWidget::eventFilter(watched, event);
}

void WindowBorder::paintEvent(QPaintEvent *)
{
    QPainter painter(this);
    painter.setPen(QPen(colour(), 1));
    painter.setBrush(Qt::NoBrush);
    painter.drawRect(rect().adjusted(0, 0, -1, -1));
}
