#pragma once

#include <QByteArray>
#include <QString>

// One request of the tray process to the agent: a line on the tray's
// standard output. Names travel percent-encoded, so that no name can break
// the line or pose as another request.
struct TrayCommand {
    enum class Kind { Invalid, Unmount, UnmountAll };

    Kind kind = Kind::Invalid;
    QString owner; // of the box to unmount
    QString name;

    QByteArray toLine() const;
    // Invalid for anything that is not a whole, known request.
    static TrayCommand fromLine(const QByteArray &line);
};
