#pragma once

#include <QString>

class QLockFile;

// Holds the single-instance key of one program: the first holder of a key
// owns it until it exits (or dies: a lock left by a dead process is taken
// over); every later holder sees that the program is already running.
//
// The lock and the socket of the running copy live only in a folder that
// the user alone owns and nobody else can write: another account must not
// be able to hold our lock, take our socket or listen for our starts. With
// no such folder the program runs unguarded (and says why in the log).
class SingleInstanceGuard
{
public:
    explicit SingleInstanceGuard(const QString &key);
    ~SingleInstanceGuard();
    SingleInstanceGuard(const SingleInstanceGuard &) = delete;
    SingleInstanceGuard &operator=(const SingleInstanceGuard &) = delete;

    bool isRunning() const { return m_otherRunning; }
    // False when no safe folder was found and the program runs unguarded.
    bool isGuarded() const { return m_lock != nullptr; }
    // The path of the running copy's socket; empty when unguarded.
    QString serverName() const { return m_serverName; }

    // The key used when none is given: the executable's path and the user.
    static QString keyForExecutable(const QString &path);

    // The folder for locks and sockets: $XDG_RUNTIME_DIR when it is the
    // user's private folder, else <temporary folder>/vaultrane-<uid>, made
    // private. Empty, with the reason in `why`, when neither is safe.
    static QString privateFolder(QString *why = nullptr);

private:
    QLockFile *m_lock = nullptr;
    bool m_otherRunning = false;
    QString m_serverName;
};
