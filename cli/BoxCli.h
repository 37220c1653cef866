#pragma once

#include <QCoreApplication>
#include <QStringList>

class BoxCommandLine;

// The exit statuses of vaultrane-box.
enum class ExitStatus {
    Ok = 0,
    Failed = 1, // the operation failed; one line on stderr says why
    Usage = 2,  // the command line was wrong; the usage follows
};

// The command-line program: parses the arguments, runs the subcommand and
// returns the exit status.
class BoxCli
{
    Q_DECLARE_TR_FUNCTIONS(BoxCli)
public:
    // `arguments` without the program name.
    static ExitStatus run(const QStringList &arguments);

    // Refuses an argument that is not UTF-8 text, before anything runs.
    static ExitStatus refuseArgument(const QByteArray &argument);

    // "vaultrane-box <version>".
    static QString versionText();

private:
    static ExitStatus usageError(const BoxCommandLine &line, const QString &message);
    static ExitStatus runBoxCommand(const BoxCommandLine &line);
};
