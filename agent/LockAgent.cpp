#include "LockAgent.h"

#include "BoxOperations.h"
#include "DesktopNotifier.h"
#include "LockSettings.h"

#include <QDebug>

LockAgent::LockAgent(DesktopNotifier *notifier, QObject *parent) : QObject(parent), m_notifier(notifier)
{
    m_retryTimer.setInterval(kDefaultRetryMilliseconds);
    connect(&m_retryTimer, &QTimer::timeout, this, &LockAgent::retry);
}

void LockAgent::setRetryInterval(int milliseconds)
{
    m_retryTimer.setInterval(milliseconds);
}

bool LockAgent::triggerEnabled(Trigger trigger)
{
    const LockSettings settings = LockSettings::load();
    switch (trigger) {
    case Trigger::ScreenLock:
        return settings.lockOnScreenLock;
    case Trigger::Sleep:
        return settings.lockBeforeSleep;
    case Trigger::Logout:
        return settings.lockOnLogout;
    case Trigger::User:
        return true;
    }
    return true;
}

QList<BoxInfo> LockAgent::mountedBoxes()
{
    QList<BoxInfo> boxes;
    if (!BoxOperations::list(boxes).ok())
        return {};
    QList<BoxInfo> mounted;
    for (const BoxInfo &box : qAsConst(boxes))
        if (box.mounted)
            mounted.append(box);
    return mounted;
}

int LockAgent::lockAll(Trigger trigger)
{
    if (!triggerEnabled(trigger))
        return 0;
    int stillMounted = 0;
    const QList<BoxInfo> boxes = mountedBoxes();
    for (const BoxInfo &box : boxes)
        if (!unmount(box))
            ++stillMounted;
    if (!boxes.isEmpty())
        emit mountsChanged();
    return stillMounted;
}

bool LockAgent::lockOne(const BoxInfo &box)
{
    const bool done = unmount(box);
    emit mountsChanged();
    return done;
}

bool LockAgent::unmount(const BoxInfo &box)
{
    const BoxResult result = BoxOperations::unmount(box);
    const QString key = keyOf(box);
    if (result.ok()) {
        m_pending.remove(key);
        return true;
    }
    // Told once per box until it is finally unmounted: a second trigger
    // while it is still in use says nothing new.
    if (!m_pending.contains(key)) {
        m_pending.insert(key, Pending{box, 0});
        tellStillMounted(box, result);
    }
    if (!m_retryTimer.isActive())
        m_retryTimer.start();
    return false;
}

void LockAgent::tellStillMounted(const BoxInfo &box, const BoxResult &result)
{
    const QString summary = tr("保护箱 “%1” 未能卸载").arg(box.name);
    const QString why = result.reason.isEmpty() ? tr("保护箱中有文件正在使用，关闭后将再次尝试卸载。") : result.reason;
    qDebug().noquote() << "vaultrane-agent:" << box.name << "stays mounted:" << why;
    m_notifier->notify(summary, why);
}

void LockAgent::retry()
{
    const QList<BoxInfo> mounted = mountedBoxes();
    QSet<QString> mountedKeys;
    for (const BoxInfo &box : mounted)
        mountedKeys.insert(keyOf(box));
    for (auto it = m_pending.begin(); it != m_pending.end();) {
        // Unmounted meanwhile (by the user or the idle lock): nothing to do.
        if (!mountedKeys.contains(it.key())) {
            it = m_pending.erase(it);
            continue;
        }
        const BoxResult result = BoxOperations::unmount(it->box);
        if (result.ok() || ++it->attempts >= kMaxRetries)
            it = m_pending.erase(it);
        else
            ++it;
    }
    if (m_pending.isEmpty())
        m_retryTimer.stop();
    emit mountsChanged();
}
