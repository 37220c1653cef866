#include "LockSettings.h"

#include "SettingsStore.h"

#include <QDebug>
#include <QFile>
#include <QSettings>
#include <QStandardPaths>

#include <algorithm>
#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

const char *const kScreenLockKey = "lock/onScreenLock";
const char *const kSleepKey = "lock/beforeSleep";
const char *const kLogoutKey = "lock/onLogout";
const char *const kIdleKey = "lock/whenIdle";
const char *const kIdleMinutesKey = "lock/idleMinutes";

// QSettings opens the file with a plain blocking open: a FIFO (or a
// device) in its place would hang the caller, the session agent among
// them. Only a regular file, or none yet, is handed to it.
bool fileIsSafeToOpen(const QString &path)
{
    const int fd = open(QFile::encodeName(path).constData(), O_RDONLY | O_NONBLOCK | O_CLOEXEC | O_NOCTTY);
    if (fd < 0)
        return errno == ENOENT;
    struct stat st;
    const bool regular = fstat(fd, &st) == 0 && S_ISREG(st.st_mode);
    close(fd);
    if (!regular) {
        static bool told = false;
        if (!told)
            qWarning().noquote() << path << "is not a regular file: the lock settings are left at their defaults";
        told = true;
    }
    return regular;
}

} // namespace

LockSettings LockSettings::load()
{
    LockSettings s;
    if (!fileIsSafeToOpen(filePath()))
        return s;
    const std::unique_ptr<QSettings> settings = SettingsStore::open();
    settings->sync(); // pick up what another process wrote since
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
    if (!fileIsSafeToOpen(filePath()))
        return false;
    const std::unique_ptr<QSettings> settings = SettingsStore::open();
    settings->setValue(kScreenLockKey, lockOnScreenLock);
    settings->setValue(kSleepKey, lockBeforeSleep);
    settings->setValue(kLogoutKey, lockOnLogout);
    settings->setValue(kIdleKey, lockWhenIdle);
    settings->setValue(kIdleMinutesKey, std::clamp(idleMinutes, kMinIdleMinutes, kMaxIdleMinutes));
    settings->sync();
    return settings->status() == QSettings::NoError;
}

// Where QSettings keeps them, found without a QSettings object: making
// one already reads the file.
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
