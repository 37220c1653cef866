#pragma once

#include <QObject>
#include <QProcess>

#include "TrayCommand.h"

// The tray icon runs in a process of its own: this program again, with
// --tray. A display connection that breaks ends the process that holds it
// (Qt leaves no choice), and the agent must outlive the display to lock the
// boxes first. The tray's standard output carries its requests; its
// standard input is closed when the agent wants it gone.
class TrayProcess : public QObject
{
    Q_OBJECT
public:
    // The tray's exit status when the agent closed its standard input.
    static constexpr int kDismissedExitCode = 3;
    static const char *const kTrayOption;

    explicit TrayProcess(QObject *parent = nullptr);
    ~TrayProcess() override;

    void start();
    void stop();

signals:
    void requested(const TrayCommand &command);
    // The tray's session ended under it: its display went away (Qt ends a
    // program whose display connection broke with status 1) or the session
    // manager told it to quit (status 0).
    void displayEnded();

private:
    void readRequests();
    void onFinished(int exitCode, QProcess::ExitStatus status);

    QProcess m_process;
    bool m_stopping = false;
};
