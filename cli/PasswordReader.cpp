#include "PasswordReader.h"

#include "PasswordBuffer.h"

#include <cerrno>
#include <csignal>
#include <fcntl.h>
#include <poll.h>
#include <termios.h>
#include <unistd.h>

namespace {

volatile sig_atomic_t g_caughtSignal = 0;

void noteSignal(int signal)
{
    g_caughtSignal = signal;
}

// Signals that would end the program while the terminal has echo off: they
// are noted instead, the terminal is restored, and then they are raised
// again with the handler the program had before.
const int kEndingSignals[] = {SIGINT, SIGTERM, SIGHUP, SIGQUIT};
// Job control is held off while a password is typed.
const int kHeldSignals[] = {SIGTSTP, SIGTTIN, SIGTTOU};

// While alive, the terminal fd reads a line without echo (the final newline
// still shows) and the signals above cannot leave it that way. They stay
// blocked except inside waitReadable(), so one that comes between two reads
// is not lost: it ends the next wait.
class TerminalSession
{
public:
    TerminalSession(int fd, bool echo) : m_fd(fd)
    {
        g_caughtSignal = 0;
        sigset_t ending;
        sigemptyset(&ending);
        for (int signal : kEndingSignals)
            sigaddset(&ending, signal);
        sigprocmask(SIG_BLOCK, &ending, &m_savedMask);

        struct sigaction note = {};
        note.sa_handler = noteSignal;
        sigemptyset(&note.sa_mask);
        for (std::size_t i = 0; i < kSignalCount; ++i) {
            sigaction(kEndingSignals[i], nullptr, &m_saved[i]);
            if (m_saved[i].sa_handler != SIG_IGN)
                sigaction(kEndingSignals[i], &note, nullptr);
        }
        struct sigaction ignore = {};
        ignore.sa_handler = SIG_IGN;
        sigemptyset(&ignore.sa_mask);
        for (std::size_t i = 0; i < kHeldCount; ++i)
            sigaction(kHeldSignals[i], &ignore, &m_savedHeld[i]);

        if (!echo && tcgetattr(m_fd, &m_termios) == 0) {
            struct termios quiet = m_termios;
            quiet.c_lflag &= ~tcflag_t(ECHO | ECHOE | ECHOK);
            quiet.c_lflag |= ECHONL;
            m_restoreTermios = tcsetattr(m_fd, TCSAFLUSH, &quiet) == 0;
        }
    }

    ~TerminalSession() { end(); }
    TerminalSession(const TerminalSession &) = delete;
    TerminalSession &operator=(const TerminalSession &) = delete;

    // Waits until the descriptor has something to read (or its end); false
    // when an ending signal came instead.
    bool waitReadable()
    {
        for (;;) {
            struct pollfd poller = {m_fd, POLLIN, 0};
            // The ending signals are let through only while waiting.
            const int ready = ppoll(&poller, 1, nullptr, &m_savedMask);
            if (g_caughtSignal || takePendingSignal())
                return false;
            if (ready > 0 || (ready < 0 && errno != EINTR))
                return true; // read() reports the end or the error
        }
    }

    // Restores the terminal and the signal handlers; a noted ending signal
    // is raised again now.
    void end()
    {
        if (m_ended)
            return;
        m_ended = true;
        if (m_restoreTermios)
            tcsetattr(m_fd, TCSAFLUSH, &m_termios);
        for (std::size_t i = 0; i < kHeldCount; ++i)
            sigaction(kHeldSignals[i], &m_savedHeld[i], nullptr);
        for (std::size_t i = 0; i < kSignalCount; ++i)
            sigaction(kEndingSignals[i], &m_saved[i], nullptr);
        // A signal still pending meets the program's own handling now.
        sigprocmask(SIG_SETMASK, &m_savedMask, nullptr);
        if (g_caughtSignal)
            raise(g_caughtSignal);
    }

private:
    // A descriptor that is always readable (a file, /dev/zero) makes ppoll()
    // return at once without delivering a signal that is pending: take it
    // here so that it still ends the read.
    bool takePendingSignal()
    {
        sigset_t ending;
        sigemptyset(&ending);
        for (std::size_t i = 0; i < kSignalCount; ++i)
            if (m_saved[i].sa_handler != SIG_IGN)
                sigaddset(&ending, kEndingSignals[i]);
        const struct timespec now = {0, 0};
        const int signal = sigtimedwait(&ending, nullptr, &now);
        if (signal <= 0)
            return false;
        g_caughtSignal = signal;
        return true;
    }

    static constexpr std::size_t kSignalCount = sizeof(kEndingSignals) / sizeof(kEndingSignals[0]);
    static constexpr std::size_t kHeldCount = sizeof(kHeldSignals) / sizeof(kHeldSignals[0]);

    int m_fd;
    bool m_ended = false;
    bool m_restoreTermios = false;
    struct termios m_termios = {};
    struct sigaction m_saved[kSignalCount] = {};
    struct sigaction m_savedHeld[kHeldCount] = {};
    sigset_t m_savedMask;
};

// Opens the controlling terminal for prompts and answers, or -1.
int openTerminal()
{
    return open("/dev/tty", O_RDWR | O_NOCTTY | O_CLOEXEC);
}

void writeAll(int fd, const QByteArray &bytes)
{
    const char *p = bytes.constData();
    qsizetype left = bytes.size();
    while (left > 0) {
        const ssize_t written = write(fd, p, std::size_t(left));
        if (written < 0 && errno == EINTR)
            continue;
        if (written <= 0)
            return;
        p += written;
        left -= written;
    }
}

} // namespace

PasswordReader::PasswordReader(int readFd, int promptFd, bool ownsFd, bool interactive)
    : m_readFd(readFd), m_promptFd(promptFd), m_ownsFd(ownsFd), m_interactive(interactive),
      m_pending(std::make_unique<PasswordBuffer>())
{
}

PasswordReader::PasswordReader(PasswordReader &&other) noexcept
    : m_readFd(other.m_readFd), m_promptFd(other.m_promptFd), m_ownsFd(other.m_ownsFd),
      m_interactive(other.m_interactive), m_pending(std::move(other.m_pending)),
      m_pendingOffset(other.m_pendingOffset)
{
    other.m_ownsFd = false;
}

PasswordReader::~PasswordReader()
{
    if (m_ownsFd)
        close(m_promptFd);
}

PasswordReader PasswordReader::standardInput()
{
    if (!isatty(STDIN_FILENO))
        return PasswordReader(STDIN_FILENO, STDERR_FILENO, false, false);
    const int tty = openTerminal();
    if (tty < 0)
        return PasswordReader(STDIN_FILENO, STDERR_FILENO, false, true);
    return PasswordReader(tty, tty, true, true);
}

PasswordReader PasswordReader::descriptor(int fd)
{
    if (!isatty(fd))
        return PasswordReader(fd, STDERR_FILENO, false, false);
    const int tty = openTerminal();
    if (tty < 0)
        return PasswordReader(fd, STDERR_FILENO, false, true);
    return PasswordReader(fd, tty, true, true);
}

void PasswordReader::showPrompt(const QString &prompt) const
{
    if (m_interactive)
        writeAll(m_promptFd, prompt.toUtf8());
}

PasswordReader::Status PasswordReader::readLine(const QString &prompt, PasswordBuffer &out, bool echo)
{
    out.clear();
    // Echo goes off before the prompt shows, so nothing typed after it is
    // ever echoed.
    TerminalSession session(m_readFd, echo || !m_interactive);
    showPrompt(prompt);
    bool readSomething = false;
    bool tooLong = false;
    bool carriageReturn = false; // a CR held back: part of a CR LF ending?
    for (;;) {
        if (m_pendingOffset >= m_pending->size()) {
            // Read ahead in blocks; what follows this line waits in
            // m_pending for the next one.
            m_pending->clear();
            m_pendingOffset = 0;
            if (!session.waitReadable()) {
                out.clear();
                if (m_interactive)
                    writeAll(m_promptFd, "\n");
                session.end(); // raises the caught signal
                return Status::Unreadable;
            }
            const long got = m_pending->readFrom(m_readFd);
            if (got < 0 && errno == EINTR)
                continue;
            if (got < 0) {
                out.clear();
                return Status::Unreadable;
            }
            if (got == 0) {
                if (!readSomething) {
                    if (m_interactive)
                        writeAll(m_promptFd, "\n");
                    return Status::EndOfInput;
                }
                break;
            }
        }
        readSomething = true;
        const char byte = m_pending->data()[m_pendingOffset++];
        if (byte == '\n')
            break;
        if (carriageReturn && !out.append('\r'))
            tooLong = true;
        carriageReturn = byte == '\r';
        if (!carriageReturn && !out.append(byte))
            tooLong = true;
        // Beyond the limit nothing more is read from a descriptor, which
        // may never end a line (/dev/zero). A terminal's line is read to its
        // end, or its rest would reach the shell after us.
        if (tooLong && !m_interactive) {
            m_pending->clear();
            m_pendingOffset = 0;
            break;
        }
    }
    if (tooLong) {
        out.clear();
        return Status::TooLong;
    }
    return Status::Ok;
}

PasswordReader::Status PasswordReader::readPassword(const QString &prompt, PasswordBuffer &out)
{
    const Status status = readLine(prompt, out, false);
    if (status == Status::Ok && !out.isValidText()) {
        out.clear();
        return Status::NotText;
    }
    return status;
}

PasswordReader::Status PasswordReader::readNewPassword(const QString &prompt, const QString &againPrompt,
                                                       PasswordBuffer &out, const Check &check)
{
    Status status = readPassword(prompt, out);
    if (status != Status::Ok)
        return status;
    if (check && !check(out))
        return Status::Rejected;
    if (!m_interactive)
        return status;
    PasswordBuffer again;
    status = readPassword(againPrompt, again);
    if (status != Status::Ok) {
        out.clear();
        return status;
    }
    if (!out.sameAs(again)) {
        out.clear();
        return Status::Mismatch;
    }
    return Status::Ok;
}

PasswordReader::Status PasswordReader::confirm(const QString &question, bool &yes)
{
    yes = false;
    PasswordBuffer answer;
    const Status status = readLine(question, answer, true);
    if (status != Status::Ok)
        return status;
    const QString text = QString::fromUtf8(answer.data(), int(answer.size())).trimmed().toLower();
    yes = text == QLatin1String("y") || text == QLatin1String("yes") || text == tr("是");
    return Status::Ok;
}

QString PasswordReader::describe(Status status)
{
    switch (status) {
    case Status::Ok: break;
    case Status::EndOfInput: return tr("没有读到密码！");
    case Status::TooLong: return tr("密码过长，最多 %1 字节！").arg(PasswordBuffer::kMaxLength);
    case Status::Mismatch: return tr("密码和确认密码不一致！");
    case Status::NotText: return tr("密码含有无效的字符！");
    case Status::Unreadable: return tr("无法读取密码！");
    case Status::Rejected: break; // the caller's check says why
    }
    return QString();
}
