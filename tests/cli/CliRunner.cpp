#include "CliRunner.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>

#include <cerrno>
#include <csignal>
#include <cstdlib>
#include <fcntl.h>
#include <grp.h>
#include <poll.h>
#include <pty.h>
#include <sys/wait.h>
#include <termios.h>
#include <unistd.h>

namespace {

std::vector<QByteArray> argvOf(const QString &program, const QStringList &arguments)
{
    std::vector<QByteArray> argv{QFile::encodeName(program)};
    for (const QString &argument : arguments)
        argv.push_back(argument.toUtf8());
    return argv;
}

[[noreturn]] void execute(const std::vector<QByteArray> &argv)
{
    std::vector<char *> pointers;
    for (const QByteArray &arg : argv)
        pointers.push_back(const_cast<char *>(arg.constData()));
    pointers.push_back(nullptr);
    execv(pointers[0], pointers.data());
    _exit(127);
}

int statusOf(int waitStatus)
{
    if (WIFEXITED(waitStatus))
        return WEXITSTATUS(waitStatus);
    return 1000 + WTERMSIG(waitStatus);
}

void writeAll(int fd, const QByteArray &bytes)
{
    qsizetype done = 0;
    while (fd >= 0 && done < bytes.size()) {
        const ssize_t written = write(fd, bytes.constData() + done, std::size_t(bytes.size() - done));
        if (written < 0 && errno == EINTR)
            continue;
        if (written <= 0)
            return;
        done += written;
    }
}

void closeFd(int &fd)
{
    if (fd >= 0)
        close(fd);
    fd = -1;
}

} // namespace

CliProcess::CliProcess(const QString &program, const QStringList &arguments, int extraFd,
                       const CliEnvironment &environment, uid_t uid, gid_t gid)
{
    int in[2], out[2], err[2], extra[2] = {-1, -1};
    if (pipe2(in, O_CLOEXEC) != 0 || pipe2(out, O_CLOEXEC) != 0 || pipe2(err, O_CLOEXEC) != 0)
        return;
    if (extraFd > 2 && pipe2(extra, O_CLOEXEC) != 0)
        return;
    const std::vector<QByteArray> argv = argvOf(program, arguments);
    m_pid = fork();
    if (m_pid == 0) {
        dup2(in[0], STDIN_FILENO);
        dup2(out[1], STDOUT_FILENO);
        dup2(err[1], STDERR_FILENO);
        if (extraFd > 2 && extra[0] == extraFd)
            fcntl(extraFd, F_SETFD, 0);
        else if (extraFd > 2)
            dup2(extra[0], extraFd); // dup2 clears close-on-exec
        for (const auto &entry : environment)
            setenv(entry.first.constData(), entry.second.constData(), 1);
        if (gid != gid_t(-1) && (setgroups(0, nullptr) != 0 || setgid(gid) != 0))
            _exit(126);
        if (uid != uid_t(-1) && setuid(uid) != 0)
            _exit(126);
        execute(argv);
    }
    close(in[0]);
    close(out[1]);
    close(err[1]);
    m_in = in[1];
    m_out = out[0];
    m_err = err[0];
    if (extraFd > 2) {
        close(extra[0]);
        m_extra = extra[1];
    }
}

CliProcess::~CliProcess()
{
    if (m_pid > 0) {
        kill(m_pid, SIGKILL);
        finish();
    }
}

void CliProcess::feed(const QByteArray &bytes)
{
    writeAll(m_in, bytes);
}

void CliProcess::feedExtra(const QByteArray &bytes)
{
    writeAll(m_extra, bytes);
}

CliOutcome CliProcess::finish()
{
    CliOutcome outcome;
    closeFd(m_in);
    closeFd(m_extra);
    while (m_out >= 0 || m_err >= 0) {
        struct pollfd fds[2] = {{m_out, POLLIN, 0}, {m_err, POLLIN, 0}};
        if (poll(fds, 2, -1) < 0 && errno != EINTR)
            break;
        for (int i = 0; i < 2; ++i) {
            int &fd = i == 0 ? m_out : m_err;
            if (fd < 0 || !(fds[i].revents & (POLLIN | POLLHUP | POLLERR)))
                continue;
            char chunk[4096];
            const ssize_t got = read(fd, chunk, sizeof chunk);
            if (got <= 0)
                closeFd(fd);
            else
                (i == 0 ? outcome.out : outcome.err).append(chunk, int(got));
        }
    }
    int waitStatus = 0;
    if (m_pid > 0 && waitpid(m_pid, &waitStatus, 0) == m_pid)
        outcome.status = statusOf(waitStatus);
    m_pid = -1;
    return outcome;
}

CliTerminal::CliTerminal(const QString &program, const QStringList &arguments)
{
    const std::vector<QByteArray> argv = argvOf(program, arguments);
    struct winsize size = {};
    size.ws_row = 24;
    size.ws_col = 100;
    m_pid = forkpty(&m_master, nullptr, nullptr, &size);
    if (m_pid == 0) {
        // As from a login shell on a terminal, whatever the test runner
        // ignores or blocks.
        for (int signal : {SIGINT, SIGQUIT, SIGTSTP, SIGTTIN, SIGTTOU})
            std::signal(signal, SIG_DFL);
        sigset_t none;
        sigemptyset(&none);
        sigprocmask(SIG_SETMASK, &none, nullptr);
        execute(argv);
    }
}

CliTerminal::~CliTerminal()
{
    if (m_pid > 0) {
        kill(m_pid, SIGKILL);
        waitpid(m_pid, nullptr, 0);
    }
    closeFd(m_master);
}

void CliTerminal::readAvailable(int timeoutMs)
{
    struct pollfd poller = {m_master, POLLIN, 0};
    if (poll(&poller, 1, timeoutMs) <= 0)
        return;
    char chunk[4096];
    const ssize_t got = read(m_master, chunk, sizeof chunk);
    if (got > 0)
        m_screen.append(chunk, int(got));
}

bool CliTerminal::waitFor(const QByteArray &text, int timeoutMs)
{
    QElapsedTimer timer;
    timer.start();
    const int from = m_screen.size();
    while (m_screen.indexOf(text, from) < 0 && timer.elapsed() < timeoutMs)
        readAvailable(50);
    return m_screen.indexOf(text, from) >= 0;
}

void CliTerminal::type(const QByteArray &keys)
{
    writeAll(m_master, keys);
}

bool CliTerminal::echoes() const
{
    struct termios settings = {};
    return tcgetattr(m_master, &settings) == 0 && (settings.c_lflag & ECHO);
}

int CliTerminal::finish()
{
    int waitStatus = 0;
    QElapsedTimer timer;
    timer.start();
    while (timer.elapsed() < 60000) {
        readAvailable(50);
        const pid_t done = waitpid(m_pid, &waitStatus, WNOHANG);
        if (done == m_pid) {
            readAvailable(100);
            m_pid = -1;
            return statusOf(waitStatus);
        }
    }
    return -1;
}

QList<pid_t> processesHolding(const QByteArray &needle)
{
    QList<pid_t> found;
    const QStringList entries = QDir("/proc").entryList(QDir::Dirs | QDir::NoDotAndDotDot);
    for (const QString &entry : entries) {
        bool isPid = false;
        const pid_t pid = entry.toInt(&isPid);
        if (!isPid)
            continue;
        for (const char *file : {"cmdline", "environ"}) {
            QFile f(QStringLiteral("/proc/%1/%2").arg(entry, QLatin1String(file)));
            if (f.open(QIODevice::ReadOnly) && f.readAll().contains(needle)) {
                found << pid;
                break;
            }
        }
    }
    return found;
}
