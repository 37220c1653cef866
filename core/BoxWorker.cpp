#include "BoxWorker.h"

#include "VaultranerProxy.h"

#include <QMetaObject>
#include <QThread>

#include <atomic>

namespace {
std::atomic<bool> g_running{false};
} // namespace

BoxWorker::BoxWorker(QObject *parent) : QObject(parent)
{
    qRegisterMetaType<BoxResult>();
}

BoxWorker::~BoxWorker()
{
    release();
}

bool BoxWorker::anyRunning()
{
    return g_running;
}

bool BoxWorker::start(Operation operation)
{
    bool expected = false;
    if (!operation || !g_running.compare_exchange_strong(expected, true))
        return false;
    m_thread = QThread::create([this, operation = std::move(operation)]() mutable {
        VaultranerProxy::setProgressHandler([this](int percent) {
            QMetaObject::invokeMethod(this, [this, percent] { emit progress(percent); }, Qt::QueuedConnection);
        });
        VaultranerProxy::setWaitHandler([this] {
            QMetaObject::invokeMethod(this, [this] { emit waiting(); }, Qt::QueuedConnection);
        });
        const BoxResult result = operation();
        VaultranerProxy::setProgressHandler({});
        VaultranerProxy::setWaitHandler({});
        operation = nullptr; // passwords it captured go now, on this thread
        QMetaObject::invokeMethod(this, [this, result] { deliver(result); }, Qt::QueuedConnection);
    });
    m_thread->start();
    return true;
}

void BoxWorker::deliver(const BoxResult &result)
{
    // Free for the next operation before anyone hears of this one's end, so
    // that a handler may start the next step at once.
    release();
    emit finished(result);
}

void BoxWorker::release()
{
    if (!m_thread)
        return;
    m_thread->wait();
    delete m_thread;
    m_thread = nullptr;
    g_running = false;
}
