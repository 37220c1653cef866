#include "SignalPipe.h"

#include <QSocketNotifier>

#include <cerrno>
#include <csignal>
#include <fcntl.h>
#include <sys/socket.h>
#include <unistd.h>

namespace {
int pipeEnds[2] = {-1, -1};
const int kEndingSignals[] = {SIGTERM, SIGHUP, SIGINT};
} // namespace

SignalPipe::SignalPipe(QObject *parent) : QObject(parent)
{
    if (socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0, pipeEnds) != 0)
        return;
    m_notifier = new QSocketNotifier(pipeEnds[1], QSocketNotifier::Read, this);
    connect(m_notifier, &QSocketNotifier::activated, this, &SignalPipe::readSignal);
    struct sigaction action = {};
    action.sa_handler = &SignalPipe::handle;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    for (int signalNumber : kEndingSignals)
        sigaction(signalNumber, &action, nullptr);
}

SignalPipe::~SignalPipe()
{
    for (int signalNumber : kEndingSignals)
        signal(signalNumber, SIG_DFL);
    for (int &end : pipeEnds) {
        if (end >= 0)
            close(end);
        end = -1;
    }
}

void SignalPipe::handle(int signalNumber)
{
    const unsigned char byte = static_cast<unsigned char>(signalNumber);
    const int saved = errno;
    if (write(pipeEnds[0], &byte, 1) < 0) {
        // Nothing to do in a signal handler: a full pipe already holds a signal.
    }
    errno = saved;
}

void SignalPipe::readSignal()
{
    unsigned char byte = 0;
    while (read(pipeEnds[1], &byte, 1) == 1)
        emit terminationRequested(byte);
}
