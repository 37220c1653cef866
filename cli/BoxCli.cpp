#include "BoxCli.h"

#include "CommandLine.h"
#include "Console.h"

#include <fcntl.h>

QString BoxCli::versionText()
{
    return QStringLiteral("%1 %2\n").arg(QString::fromLatin1(kCliProgramName), QStringLiteral(VAULTRANE_VERSION));
}

ExitStatus BoxCli::usageError(const CommandLine &line, const QString &message)
{
    Console::errorLine(message);
    Console::err(line.usage());
    return ExitStatus::Usage;
}

ExitStatus BoxCli::run(const QStringList &arguments)
{
    const CommandLine line = CommandLine::parse(arguments);
    if (!line.ok())
        return usageError(line, line.error());
    switch (line.action()) {
    case CliAction::Help:
        Console::out(line.usage());
        return ExitStatus::Ok;
    case CliAction::Version:
        Console::out(versionText());
        return ExitStatus::Ok;
    default:
        break;
    }
    if (line.passwordFd() != CommandLine::kNoDescriptor && fcntl(line.passwordFd(), F_GETFD) < 0)
        return usageError(line, tr("文件描述符 %1 未打开").arg(line.passwordFd()));
    return runBoxCommand(line);
}

ExitStatus BoxCli::runBoxCommand(const CommandLine &line)
{
    Q_UNUSED(line)
    Console::errorLine(tr("此子命令尚不可用！"));
    return ExitStatus::Failed;
}
