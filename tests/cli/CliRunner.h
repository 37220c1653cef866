// Runs the real vaultrane-box for the tests: with pipes for standard input,
// output and error and an optional extra descriptor, or on a new
// pseudo-terminal.
#pragma once

#include <QByteArray>
#include <QList>
#include <QPair>
#include <QString>
#include <QStringList>

#include <sys/types.h>

struct CliOutcome {
    int status = -1; // exit status, or 1000 + signal
    QByteArray out;
    QByteArray err;
};

// Extra environment entries of one run.
using CliEnvironment = QList<QPair<QByteArray, QByteArray>>;

class CliProcess
{
public:
    // `extraFd` > 2 gives the child a pipe on that descriptor (for
    // --password-fd); feedExtra() writes into it. With `uid` and `gid` the
    // program runs as that account (the caller must be root).
    CliProcess(const QString &program, const QStringList &arguments, int extraFd = -1,
               const CliEnvironment &environment = {}, uid_t uid = uid_t(-1), gid_t gid = gid_t(-1));
    ~CliProcess();
    CliProcess(const CliProcess &) = delete;
    CliProcess &operator=(const CliProcess &) = delete;

    pid_t pid() const { return m_pid; }
    void feed(const QByteArray &bytes);      // to standard input
    void feedExtra(const QByteArray &bytes); // to the extra descriptor
    // Closes the inputs, collects the output and waits for the end.
    CliOutcome finish();

private:
    pid_t m_pid = -1;
    int m_in = -1;
    int m_extra = -1;
    int m_out = -1;
    int m_err = -1;
};

// The program on a pseudo-terminal that is its controlling terminal and its
// standard input, output and error.
class CliTerminal
{
public:
    CliTerminal(const QString &program, const QStringList &arguments);
    ~CliTerminal();
    CliTerminal(const CliTerminal &) = delete;
    CliTerminal &operator=(const CliTerminal &) = delete;

    // Reads the screen until `text` shows (true) or time runs out.
    bool waitFor(const QByteArray &text, int timeoutMs = 20000);
    void type(const QByteArray &keys);
    // Waits for the end; the exit status, or 1000 + signal.
    int finish();
    // Whether the terminal echoes what is typed.
    bool echoes() const;
    // Everything the terminal showed so far.
    QByteArray screen() const { return m_screen; }

private:
    void readAvailable(int timeoutMs);

    pid_t m_pid = -1;
    int m_master = -1;
    QByteArray m_screen;
};

// The ids of processes whose command line or environment holds `needle`.
QList<pid_t> processesHolding(const QByteArray &needle);
