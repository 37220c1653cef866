#include "TrayProcess.h"

#include <QCoreApplication>
#include <QDebug>

const char *const TrayProcess::kTrayOption = "--tray";

namespace {
constexpr int kDisplayLostExitCode = 1;
constexpr int kStopMilliseconds = 2000;
} // namespace

TrayProcess::TrayProcess(QObject *parent) : QObject(parent)
{
    m_process.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    connect(&m_process, &QProcess::readyReadStandardOutput, this, &TrayProcess::readRequests);
    connect(&m_process, QOverload<int, QProcess::ExitStatus>::of(&QProcess::finished), this,
            &TrayProcess::onFinished);
    connect(&m_process, &QProcess::errorOccurred, this, [this](QProcess::ProcessError error) {
        if (error == QProcess::FailedToStart)
            qDebug().noquote() << "vaultrane-agent: no tray, it did not start:" << m_process.errorString();
    });
}

TrayProcess::~TrayProcess()
{
    stop();
}

void TrayProcess::start()
{
    m_stopping = false;
    m_process.start(QCoreApplication::applicationFilePath(), {QString::fromLatin1(kTrayOption)});
}

void TrayProcess::stop()
{
    if (m_process.state() == QProcess::NotRunning)
        return;
    m_stopping = true;
    m_process.closeWriteChannel();
    if (!m_process.waitForFinished(kStopMilliseconds)) {
        m_process.kill();
        m_process.waitForFinished(kStopMilliseconds);
    }
}

void TrayProcess::readRequests()
{
    while (m_process.canReadLine()) {
        const TrayCommand command = TrayCommand::fromLine(m_process.readLine());
        if (command.kind != TrayCommand::Kind::Invalid)
            emit requested(command);
    }
}

void TrayProcess::onFinished(int exitCode, QProcess::ExitStatus status)
{
    if (m_stopping)
        return;
    if (status == QProcess::NormalExit && (exitCode == 0 || exitCode == kDisplayLostExitCode)) {
        qDebug().noquote() << "vaultrane-agent: the display session ended";
        emit displayEnded();
        return;
    }
    // A display that could not be reached at all, or a crash: the agent
    // goes on without a tray.
    qDebug().noquote() << "vaultrane-agent: running without a tray: it ended with status" << exitCode;
}
