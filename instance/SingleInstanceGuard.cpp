#include "SingleInstanceGuard.h"

#include <QCoreApplication>
#include <QCryptographicHash>
#include <QDebug>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLockFile>

#include <sys/stat.h>
#include <unistd.h>

namespace {

constexpr mode_t kOthersBits = S_IRWXG | S_IRWXO;
constexpr mode_t kOthersWrite = S_IWGRP | S_IWOTH;

// Why `folder` is no safe home for our lock and socket; empty when it is:
// a real folder (no symlink) of ours that nobody else can enter, inside a
// folder that nobody else can rename it out of.
QString unsafeBecause(const QString &folder)
{
    struct stat st;
    if (lstat(QFile::encodeName(folder).constData(), &st) != 0)
        return QStringLiteral("%1 cannot be read").arg(folder);
    if (!S_ISDIR(st.st_mode))
        return QStringLiteral("%1 is not a folder").arg(folder);
    if (st.st_uid != geteuid())
        return QStringLiteral("%1 belongs to another account").arg(folder);
    if (st.st_mode & kOthersBits)
        return QStringLiteral("%1 is open to other accounts").arg(folder);
    const QString parent = QFileInfo(QFileInfo(folder).absolutePath()).canonicalFilePath();
    struct stat up;
    if (parent.isEmpty() || stat(QFile::encodeName(parent).constData(), &up) != 0)
        return QStringLiteral("the folder around %1 cannot be read").arg(folder);
    const bool trustedOwner = up.st_uid == geteuid() || up.st_uid == 0;
    const bool othersMayRename = (up.st_mode & kOthersWrite) && !(up.st_mode & S_ISVTX);
    if (!trustedOwner || othersMayRename)
        return QStringLiteral("others may replace %1").arg(folder);
    return QString();
}

} // namespace

QString SingleInstanceGuard::privateFolder(QString *why)
{
    QStringList problems;
    const QString runtime = qEnvironmentVariable("XDG_RUNTIME_DIR");
    if (!runtime.isEmpty()) {
        const QString problem = unsafeBecause(runtime);
        if (problem.isEmpty())
            return runtime;
        problems << problem;
    }
    // Made by us with no access for anyone else; one that was there before
    // counts only when it passes the same checks.
    const QString fallback = QDir::tempPath() + QStringLiteral("/vaultrane-%1").arg(geteuid());
    mkdir(QFile::encodeName(fallback).constData(), S_IRWXU);
    const QString problem = unsafeBecause(fallback);
    if (problem.isEmpty())
        return fallback;
    problems << problem;
    if (why)
        *why = problems.join(QStringLiteral("; "));
    return QString();
}

SingleInstanceGuard::SingleInstanceGuard(const QString &key)
{
    QString why;
    const QString folder = privateFolder(&why);
    if (folder.isEmpty()) {
        qWarning().noquote() << QCoreApplication::applicationName()
                             << "runs without its single-instance guard:" << why;
        return;
    }
    const QByteArray hash = QCryptographicHash::hash(key.toUtf8(), QCryptographicHash::Sha1).toHex().left(16);
    const QString base = folder + QStringLiteral("/vaultrane-instance-") + QString::fromLatin1(hash);
    m_serverName = base + QStringLiteral(".socket");
    m_lock = new QLockFile(base + QStringLiteral(".lock"));
    m_lock->setStaleLockTime(0); // only a dead owner makes the lock stale
    m_otherRunning = !m_lock->tryLock(0);
}

SingleInstanceGuard::~SingleInstanceGuard()
{
    delete m_lock;
}

QString SingleInstanceGuard::keyForExecutable(const QString &path)
{
    return QStringLiteral("%1@%2").arg(path).arg(geteuid());
}
