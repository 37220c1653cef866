#pragma once

#include <QPoint>
#include <QRect>
#include <QSize>

class QScreen;

// Where a fixed-size window goes so that the user can reach it: on the
// screen it opens on, with its title bar never off that screen.
class ScreenFit
{
public:
    // The top-left corner that puts a window of `frame` into `available`:
    // moved in as far as needed, and where it is larger than the screen, its
    // top-left corner at the screen's, so the title bar stays reachable.
    static QPoint clampInto(const QRect &frame, const QRect &available);
    // The top-left corner of a window of `size` centred in `available`,
    // clamped as above.
    static QPoint centredIn(const QSize &size, const QRect &available);
    // The screen a new window opens on: the one under the pointer, or the
    // primary screen.
    static QScreen *screenForNewWindow();
};
