#include "LockAgent.h"

#include "BoxOperations.h"
#include "DesktopNotifier.h"
#include "LockSettings.h"
#include "box_service_ext.h"

#include <QDeadlineTimer>
#include <QDebug>
#include <QSet>

#include <algorithm>

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
    if (trigger == Trigger::ScreenLock)
        m_screenHold = true;
    else if (trigger == Trigger::Sleep)
        m_sleepHold = true;
    return unmountAll(trigger == Trigger::User);
}

void LockAgent::endHold(Trigger trigger)
{
    if (trigger == Trigger::ScreenLock)
        m_screenHold = false;
    else if (trigger == Trigger::Sleep)
        m_sleepHold = false;
    if (holding() || m_ending)
        return;
    // The user is back: what the hold could not lock stays mounted.
    const QList<QString> keys = m_pending.keys();
    for (const QString &key : keys)
        if (!m_pending.value(key).userAsked)
            finish(key, false);
    if (m_pending.isEmpty())
        m_retryTimer.stop();
}

bool LockAgent::lockOne(const BoxInfo &box)
{
    const bool done = unmount(box, true) != Outcome::StaysMounted;
    emit mountsChanged();
    return done;
}

void LockAgent::lockAllAndQuit()
{
    if (m_ending)
        return;
    m_ending = true;
    m_retryTimer.stop();
    if (triggerEnabled(Trigger::Logout) && unmountAll(false) > 0) {
        // Programs holding files in a box usually end with the session too.
        const QDeadlineTimer deadline(kEndGraceMilliseconds);
        auto *endRetry = new QTimer(this);
        connect(endRetry, &QTimer::timeout, this, [this, deadline] {
            retry();
            if (m_pending.isEmpty() || deadline.hasExpired())
                QCoreApplication::quit();
        });
        endRetry->start(std::min(kEndRetryMilliseconds, m_retryTimer.interval()));
        return;
    }
    // Queued: the event loop may not run yet when the end comes early.
    QMetaObject::invokeMethod(QCoreApplication::instance(), &QCoreApplication::quit, Qt::QueuedConnection);
}

void LockAgent::mountTableChanged()
{
    // A box mounted while the boxes are held locked goes at once.
    if (holding() && !m_ending)
        unmountAll(false);
    emit mountsChanged();
}

int LockAgent::unmountAll(bool userAsked)
{
    int stillMounted = 0;
    const QList<BoxInfo> boxes = mountedBoxes();
    for (const BoxInfo &box : boxes)
        if (unmount(box, userAsked) == Outcome::StaysMounted)
            ++stillMounted;
    if (!boxes.isEmpty())
        emit mountsChanged();
    return stillMounted;
}

LockAgent::Outcome LockAgent::unmount(const BoxInfo &box, bool userAsked)
{
    const QString key = keyOf(box);
    const BoxResult result = BoxOperations::unmount(box);
    if (result.ok()) {
        if (m_pending.contains(key))
            finish(key, true);
        return Outcome::Unmounted;
    }
    // Another account's mount of a box shared with us is not ours to lock.
    if (result.code == BoxResult::Refused || result.libraryReason == BOX_REASON_MOUNTED
        || result.libraryReason == BOX_REASON_NOT_FOUND)
        return Outcome::NotOurs;
    auto found = m_pending.find(key);
    if (found == m_pending.end()) {
        m_pending.insert(key, Pending{box, 0, userAsked});
        tellStillMounted(box, result);
    } else if (!userAsked) {
        found->userAsked = false; // a hold now keeps it going
    }
    if (!m_retryTimer.isActive() && !m_ending)
        m_retryTimer.start();
    return Outcome::StaysMounted;
}

void LockAgent::tellStillMounted(const BoxInfo &box, const BoxResult &result)
{
    const QString why = result.reason.isEmpty() ? tr("保护箱中有文件正在使用。") : result.reason;
    qDebug().noquote() << "vaultrane-agent:" << box.name << "stays mounted, trying again:" << why;
    m_notifier->notify(tr("保护箱 “%1” 暂未卸载").arg(box.name), why + QLatin1Char('\n') + tr("将自动重试卸载。"));
}

void LockAgent::finish(const QString &key, bool unmounted)
{
    const BoxInfo box = m_pending.take(key).box;
    if (unmounted) {
        qDebug().noquote() << "vaultrane-agent:" << box.name << "is unmounted now";
        m_notifier->notify(tr("保护箱 “%1” 已卸载").arg(box.name), tr("其中的文件关闭后，保护箱已卸载。"));
    } else {
        qDebug().noquote() << "vaultrane-agent:" << box.name << "stays mounted, no more tries";
        m_notifier->notify(tr("保护箱 “%1” 仍处于挂载状态").arg(box.name),
                           tr("已停止尝试卸载。请关闭其中的文件后手动卸载。"));
    }
}

void LockAgent::retry()
{
    QSet<QString> mountedKeys;
    for (const BoxInfo &box : mountedBoxes())
        mountedKeys.insert(keyOf(box));
    const QList<QString> keys = m_pending.keys();
    for (const QString &key : keys) {
        // Unmounted meanwhile (by the user or the idle lock): locked all the same.
        if (!mountedKeys.contains(key)) {
            finish(key, true);
            continue;
        }
        Pending &pending = m_pending[key];
        const BoxResult result = BoxOperations::unmount(pending.box);
        if (result.ok())
            finish(key, true);
        else if (!holding() && !m_ending && (!pending.userAsked || ++pending.attempts >= kMaxUserRetries))
            finish(key, false);
    }
    if (m_pending.isEmpty())
        m_retryTimer.stop();
    emit mountsChanged();
}
