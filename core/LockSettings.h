#pragma once

#include <QString>

// When mounted boxes lock themselves: the choices of the settings dialog,
// read by the session agent at every trigger and by every mount for the
// idle time. Stored with QSettings in the user's configuration folder
// (~/.config/vaultrane/vaultrane.ini, group "lock"). Only a regular file is
// read or written: a FIFO or a device there would block the caller.
class LockSettings
{
public:
    static constexpr int kDefaultIdleMinutes = 15;
    static constexpr int kMinIdleMinutes = 1;
    static constexpr int kMaxIdleMinutes = 24 * 60;

    bool lockOnScreenLock = true;
    bool lockBeforeSleep = true;
    bool lockOnLogout = true;
    bool lockWhenIdle = false;
    int idleMinutes = kDefaultIdleMinutes;

    // The stored choices (defaults where nothing is stored), read afresh
    // from the file so that another process's changes count at once.
    static LockSettings load();
    // Writes the choices and flushes them to disk; false when the file
    // could not be written.
    bool save() const;
    // The file the choices live in.
    static QString filePath();

    // The idle time a mount should ask for: 0 when the idle lock is off.
    unsigned int idleSeconds() const;
};
