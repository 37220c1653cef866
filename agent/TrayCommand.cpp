#include "TrayCommand.h"

#include <QList>
#include <QUrl>

namespace {
const QByteArray kUnmount = "unmount";
const QByteArray kUnmountAll = "unmount-all";
} // namespace

QByteArray TrayCommand::toLine() const
{
    switch (kind) {
    case Kind::Unmount:
        return kUnmount + ' ' + QUrl::toPercentEncoding(owner) + ' ' + QUrl::toPercentEncoding(name) + '\n';
    case Kind::UnmountAll:
        return kUnmountAll + '\n';
    case Kind::Invalid:
        break;
    }
    return QByteArray();
}

TrayCommand TrayCommand::fromLine(const QByteArray &line)
{
    TrayCommand command;
    const QList<QByteArray> words = line.trimmed().split(' ');
    if (words.size() == 1 && words.first() == kUnmountAll) {
        command.kind = Kind::UnmountAll;
    } else if (words.size() == 3 && words.first() == kUnmount) {
        command.owner = QUrl::fromPercentEncoding(words.at(1));
        command.name = QUrl::fromPercentEncoding(words.at(2));
        if (!command.owner.isEmpty() && !command.name.isEmpty())
            command.kind = Kind::Unmount;
    }
    return command;
}
