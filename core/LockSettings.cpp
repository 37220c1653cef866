#include "LockSettings.h"

#include "SettingsStore.h"

#include <QSettings>

#include <algorithm>

namespace {

const char *const kScreenLockKey = "lock/onScreenLock";
const char *const kSleepKey = "lock/beforeSleep";
const char *const kLogoutKey = "lock/onLogout";
const char *const kIdleKey = "lock/whenIdle";
const char *const kIdleMinutesKey = "lock/idleMinutes";

} // namespace

LockSettings LockSettings::load()
{
    const std::unique_ptr<QSettings> settings = SettingsStore::open();
    settings->sync(); // pick up what another process wrote since
    LockSettings s;
    s.lockOnScreenLock = settings->value(kScreenLockKey, s.lockOnScreenLock).toBool();
    s.lockBeforeSleep = settings->value(kSleepKey, s.lockBeforeSleep).toBool();
    s.lockOnLogout = settings->value(kLogoutKey, s.lockOnLogout).toBool();
    s.lockWhenIdle = settings->value(kIdleKey, s.lockWhenIdle).toBool();
    bool number = false;
    const int minutes = settings->value(kIdleMinutesKey, s.idleMinutes).toInt(&number);
    if (number)
        s.idleMinutes = std::clamp(minutes, kMinIdleMinutes, kMaxIdleMinutes);
    return s;
}

bool LockSettings::save() const
{
    const std::unique_ptr<QSettings> settings = SettingsStore::open();
    settings->setValue(kScreenLockKey, lockOnScreenLock);
    settings->setValue(kSleepKey, lockBeforeSleep);
    settings->setValue(kLogoutKey, lockOnLogout);
    settings->setValue(kIdleKey, lockWhenIdle);
    settings->setValue(kIdleMinutesKey, std::clamp(idleMinutes, kMinIdleMinutes, kMaxIdleMinutes));
    settings->sync();
    return settings->status() == QSettings::NoError;
}

QString LockSettings::filePath()
{
    return SettingsStore::filePath();
}

unsigned int LockSettings::idleSeconds() const
{
    if (!lockWhenIdle)
        return 0;
    return unsigned(std::clamp(idleMinutes, kMinIdleMinutes, kMaxIdleMinutes)) * 60u;
}
