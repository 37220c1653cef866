#pragma once

#include <QCoreApplication>
#include <QString>

#include <functional>
#include <memory>

class PasswordBuffer;

// Reads the passwords a command needs. On a terminal it prompts and reads
// without echo (a new password twice); from a pipe, a file or a descriptor
// given with --password-fd it reads one line per password, a new password
// once. A line may end in LF or CR LF. Nothing is ever taken from the command line or the environment.
class PasswordReader
{
    Q_DECLARE_TR_FUNCTIONS(PasswordReader)
public:
    enum class Status {
        Ok,
        EndOfInput,   // nothing left to read
        TooLong,      // longer than PasswordBuffer::kMaxLength
        Mismatch,     // the two entries of a new password differ
        NotText,      // holds a NUL or is not UTF-8
        Unreadable,   // the descriptor cannot be read
        Rejected,     // the caller's check refused the first entry
    };

    // Looks at a new password before it is asked for again.
    using Check = std::function<bool(const PasswordBuffer &)>;

    // Reads from standard input: a terminal (then through /dev/tty, prompts
    // there too) or a stream of lines.
    static PasswordReader standardInput();
    // Reads from descriptor fd (--password-fd); a terminal there is used as
    // one.
    static PasswordReader descriptor(int fd);

    PasswordReader(const PasswordReader &) = delete;
    PasswordReader &operator=(const PasswordReader &) = delete;
    PasswordReader(PasswordReader &&other) noexcept;
    ~PasswordReader();

    // True when the input is a terminal: prompts are shown, confirmations
    // can be asked, new passwords are typed twice.
    bool interactive() const { return m_interactive; }

    // An existing password; `prompt` is shown on a terminal only.
    Status readPassword(const QString &prompt, PasswordBuffer &out);
    // A new password: on a terminal asked twice and compared, otherwise one
    // line. When `check` is given and refuses the first entry, the password
    // is not asked for again and Rejected is returned (`out` keeps the entry
    // so that the caller can say what is wrong with it).
    Status readNewPassword(const QString &prompt, const QString &againPrompt, PasswordBuffer &out,
                           const Check &check = Check());
    // A yes/no question on the terminal, answered with echo; only when
    // interactive(). `yes` is set when the answer is yes.
    Status confirm(const QString &question, bool &yes);

    // The message for a status other than Ok.
    static QString describe(Status status);

private:
    PasswordReader(int readFd, int promptFd, bool ownsFd, bool interactive);
    Status readLine(const QString &prompt, PasswordBuffer &out, bool echo);
    void showPrompt(const QString &prompt) const;

    int m_readFd;
    int m_promptFd;
    bool m_ownsFd;
    bool m_interactive;
    // Read ahead of the current line: the start of the next ones.
    std::unique_ptr<PasswordBuffer> m_pending;
    std::size_t m_pendingOffset = 0;
};
