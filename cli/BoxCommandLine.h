#pragma once

#include "CliCommand.h"

#include <QCoreApplication>
#include <QString>
#include <QStringList>

// The command line, parsed: which subcommand, its operands and options, or
// the usage error that stops the program with status 2.
class BoxCommandLine
{
    Q_DECLARE_TR_FUNCTIONS(BoxCommandLine)
public:
    // No password descriptor given.
    static constexpr int kNoDescriptor = -1;

    // Parses the arguments after the program name. Options may stand before
    // or after the subcommand and its operands; "--" ends the options.
    static BoxCommandLine parse(const QStringList &arguments);

    bool ok() const { return m_error.isEmpty(); }
    QString error() const { return m_error; }
    CliAction action() const { return m_action; }
    // The subcommand, or nullptr for the overall help and version and for
    // errors before the subcommand was known.
    const CliCommand *command() const { return m_command; }
    QStringList operands() const { return m_operands; }
    bool has(CliOption option) const { return m_options & unsigned(option); }
    int passwordFd() const { return m_passwordFd; }

    // For help: the full help of the subcommand or the overall one. After an
    // error: the usage line(s) to show with it and where to find the help.
    QString usage() const;

private:
    CliAction m_action = CliAction::Help;
    const CliCommand *m_command = nullptr;
    QStringList m_operands;
    unsigned m_options = 0;
    int m_passwordFd = kNoDescriptor;
    QString m_error;
};
