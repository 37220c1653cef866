#include "ScreenFit.h"

#include <QCursor>
#include <QGuiApplication>
#include <QScreen>

#include <algorithm>

QPoint ScreenFit::clampInto(const QRect &frame, const QRect &available)
{
    if (available.isEmpty())
        return frame.topLeft();
    // The right and bottom limits first, so that the left and top ones win
    // where the window is larger than the screen.
    int x = std::min(frame.x(), available.x() + available.width() - frame.width());
    int y = std::min(frame.y(), available.y() + available.height() - frame.height());
    x = std::max(x, available.x());
    y = std::max(y, available.y());
    return QPoint(x, y);
}

QPoint ScreenFit::centredIn(const QSize &size, const QRect &available)
{
    const QPoint centred(available.x() + (available.width() - size.width()) / 2,
                         available.y() + (available.height() - size.height()) / 2);
    return clampInto(QRect(centred, size), available);
}

QScreen *ScreenFit::screenForNewWindow()
{
    QScreen *screen = QGuiApplication::screenAt(QCursor::pos());
    return screen ? screen : QGuiApplication::primaryScreen();
}
