#include "BoxCli.h"

#include "BoxCommands.h"
#include "BuildConfig.h"
#include "BoxCommandLine.h"
#include "Console.h"
#include "BoxAvailability.h"
#include "BoxOperations.h"
#include "BoxOutcomes.h"
#include "NameEncoding.h"

#include <fcntl.h>

QString BoxCli::versionText()
{
    return QStringLiteral("%1 %2\n").arg(QString::fromLatin1(kCliProgramName), QStringLiteral(VAULTRANE_VERSION));
}

ExitStatus BoxCli::refuseArgument(const QByteArray &argument)
{
    Console::errorLine(BoxOutcomes::oneLine(tr("无效的参数 “%1”").arg(NameEncoding::escaped(argument)),
                                            NameEncoding::invalidReason()));
    return ExitStatus::Usage;
}

ExitStatus BoxCli::usageError(const BoxCommandLine &line, const QString &message)
{
    Console::errorLine(message);
    Console::err(line.usage());
    return ExitStatus::Usage;
}

ExitStatus BoxCli::run(const QStringList &arguments)
{
    const BoxCommandLine line = BoxCommandLine::parse(arguments);
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
    if (line.passwordFd() != BoxCommandLine::kNoDescriptor && fcntl(line.passwordFd(), F_GETFD) < 0)
        return usageError(line, tr("文件描述符 %1 未打开").arg(line.passwordFd()));
    return runBoxCommand(line);
}

ExitStatus BoxCli::runBoxCommand(const BoxCommandLine &line)
{
    // As at the window's start: the refusal, then why and how to fix it
    // where the box service can say (on the same line here).
    const BoxAvailability availability = BoxAvailability::check();
    if (!availability.available()) {
        Console::errorLine(availability.message(QStringLiteral(" ")));
        return ExitStatus::Failed;
    }
    // Our output is the tables and JSON we print, not the proxy's trace.
    BoxOperations::setPrintsBoxTable(false);
    // A command held up by another of this account's operations says so
    // instead of hanging silently.
    BoxOperations::setWaitHandler([] { Console::errorLine(BoxOutcomes::waitingForAnotherOperation()); });
    BoxCommands commands(line);
    return commands.run();
}
