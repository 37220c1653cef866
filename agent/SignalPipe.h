#pragma once

#include <QObject>

class QSocketNotifier;

// Turns SIGTERM and SIGHUP (sent at logout) and SIGINT (Ctrl+C) into a Qt
// signal on the event loop through a self-pipe; the handler itself only
// writes one byte.
class SignalPipe : public QObject
{
    Q_OBJECT
public:
    explicit SignalPipe(QObject *parent = nullptr);
    ~SignalPipe() override;

    bool isValid() const { return m_notifier != nullptr; }

signals:
    void terminationRequested(int signalNumber);

private:
    void readSignal();
    static void handle(int signalNumber);

    QSocketNotifier *m_notifier = nullptr;
};
