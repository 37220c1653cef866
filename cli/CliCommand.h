#pragma once

#include <QCoreApplication>
#include <QList>
#include <QString>
#include <QStringList>

// The options a subcommand may take, as bits.
enum class CliOption : unsigned {
    None = 0,
    Json = 1u << 0,
    Encrypt = 1u << 1,
    Yes = 1u << 2,
    ReadOnly = 1u << 3,
    ReadWrite = 1u << 4,
    PasswordFd = 1u << 5,
    Names = 1u << 6,
    Move = 1u << 7,
};

// What the program does after parsing: one of the box subcommands, or the
// help and version texts.
enum class CliAction {
    List,
    Create,
    Delete,
    Rename,
    Encrypt,
    Decrypt,
    Passwd,
    Mount,
    Unmount,
    Share,
    Unshare,
    Shares,
    RecoveryKey,
    Recover,
    Check,
    Export,
    Import,
    Help,
    Version,
};

// One subcommand as the command line knows it: its word, its operands, the
// options it accepts and the line of help that describes it.
class CliCommand
{
    Q_DECLARE_TR_FUNCTIONS(CliCommand)
public:
    CliAction action;
    QString word;            // "list", "create", …
    QStringList operands;    // placeholders, e.g. "NAME", "USER"
    unsigned options = 0;    // CliOption bits
    const char *summary;     // untranslated source text of the help line

    bool accepts(CliOption option) const { return options & unsigned(option); }

    // The usage line: "vaultrane-box create NAME [--encrypt] [--password-fd N]".
    QString usageLine() const;
    // The full help of this subcommand: usage, summary and its options.
    QString help() const;

    // Every box subcommand, in the order the help lists them.
    static const QList<CliCommand> &all();
    // The subcommand with this word, or nullptr.
    static const CliCommand *find(const QString &word);
    // The overall help: every usage line and the common options.
    static QString generalHelp();
    // The text that describes one option in the help.
    static QString optionHelp(CliOption option);
    // The option's spelling on the command line, e.g. "--read-only".
    static QString optionName(CliOption option);
};

// The program's name as the user types it.
extern const char *const kCliProgramName;
