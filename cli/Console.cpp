#include "Console.h"

#include "CliCommand.h"

#include <QByteArray>

#include <cerrno>
#include <unistd.h>

namespace {

void writeAll(int fd, const QString &text)
{
    const QByteArray bytes = text.toUtf8();
    qsizetype done = 0;
    while (done < bytes.size()) {
        const ssize_t written = write(fd, bytes.constData() + done, std::size_t(bytes.size() - done));
        if (written < 0 && errno == EINTR)
            continue;
        if (written <= 0)
            return;
        done += written;
    }
}

} // namespace

void Console::out(const QString &text)
{
    writeAll(STDOUT_FILENO, text);
}

void Console::err(const QString &text)
{
    writeAll(STDERR_FILENO, text);
}

void Console::errorLine(const QString &message)
{
    QString line = message;
    line.replace(QLatin1String("\r\n"), QLatin1String(" "));
    line.replace(QLatin1Char('\n'), QLatin1Char(' '));
    line.replace(QLatin1Char('\r'), QLatin1Char(' '));
    err(QStringLiteral("%1: %2\n").arg(QString::fromLatin1(kCliProgramName), line.trimmed()));
}
