#pragma once

#include <QObject>

#include <functional>

#include "BoxResult.h"

class QThread;

// Runs one box operation at a time on a thread of its own and reports its
// progress and result back on the thread that started it (which needs a
// running event loop). Only one box operation runs in the whole program at
// a time: start() refuses while any worker is busy.
//
// An operation that needs a password captures it in a
// std::shared_ptr<SecretString>, so that the one copy is wiped when the
// operation is done with.
class BoxWorker : public QObject
{
    Q_OBJECT
public:
    using Operation = std::function<BoxResult()>;

    explicit BoxWorker(QObject *parent = nullptr);
    // Waits for a running operation: the box service call is not cut short.
    ~BoxWorker() override;

    // Starts `operation`; false (and nothing runs) while another box
    // operation is still running anywhere in the program.
    bool start(Operation operation);
    bool isRunning() const { return m_thread != nullptr; }
    static bool anyRunning();

signals:
    // The box service's percentage (0-100), where it reports one.
    void progress(int percent);
    // The operation waits for another operation of this account (perhaps in
    // another program) to end before it starts.
    void waiting();
    // The operation's result; emitted once per started operation.
    void finished(const BoxResult &result);

private:
    void deliver(const BoxResult &result);
    void release();

    QThread *m_thread = nullptr;
};
