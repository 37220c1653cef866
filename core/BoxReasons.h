#pragma once

#include <QCoreApplication>
#include <QString>

// Turns what the box service says about a failure into a line the user can
// act on: the second line under a window's message.
class BoxReasons
{
    Q_DECLARE_TR_FUNCTIONS(BoxReasons)
public:
    // The line for a box_reason value (box_service_ext.h) with the library's
    // detail text; empty when there is nothing more specific to say.
    static QString text(int reason, const QString &detail = QString());
    // The line after a delete that succeeded but had to set aside `entry`,
    // which another user left in the box and we may not remove.
    static QString setAsideText(const QString &entry);
};
