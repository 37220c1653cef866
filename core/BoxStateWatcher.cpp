#include "BoxStateWatcher.h"

#include "VaultranerProxy.h"

#include <QDir>
#include <QFileInfo>
#include <QSocketNotifier>

#include <algorithm>
#include <cerrno>
#include <climits>

#include <fcntl.h>
#include <sys/inotify.h>
#include <unistd.h>

namespace {

const uint32_t kFolderEvents = IN_CREATE | IN_DELETE | IN_MOVED_FROM | IN_MOVED_TO | IN_ATTRIB
                               | IN_DELETE_SELF | IN_MOVE_SELF | IN_ONLYDIR;

// mountinfo writes blanks, tabs, newlines and backslashes in paths as \ooo.
QString unescapeMountPath(const QByteArray &field)
{
    QByteArray path;
    path.reserve(field.size());
    for (int i = 0; i < field.size(); ++i) {
        bool octal = false;
        const int code = field[i] == '\\' ? field.mid(i + 1, 3).toInt(&octal, 8) : 0;
        if (octal && code > 0 && code < 256) {
            path += char(code);
            i += 3;
        } else {
            path += field[i];
        }
    }
    return QString::fromLocal8Bit(path);
}

QByteArray readAll(int fd)
{
    QByteArray text;
    char buffer[8192];
    if (lseek(fd, 0, SEEK_SET) < 0)
        return text;
    for (;;) {
        const ssize_t got = read(fd, buffer, sizeof buffer);
        if (got < 0 && errno == EINTR)
            continue;
        if (got <= 0)
            break;
        text.append(buffer, int(got));
    }
    return text;
}

} // namespace

BoxStateWatcher::BoxStateWatcher(const QStringList &folders, const QString &mountInfo, QObject *parent)
    : QObject(parent)
    , m_folders(folders)
{
    if (!folders.isEmpty()) {
        const QString canonical = QFileInfo(folders.first()).canonicalFilePath();
        m_root = canonical.isEmpty() ? folders.first() : canonical;
    }
    m_quiet.setSingleShot(true);
    connect(&m_quiet, &QTimer::timeout, this, &BoxStateWatcher::announce);

    m_inotify = inotify_init1(IN_NONBLOCK | IN_CLOEXEC);
    if (m_inotify >= 0) {
        m_folderNotifier = new QSocketNotifier(m_inotify, QSocketNotifier::Read, this);
        connect(m_folderNotifier, &QSocketNotifier::activated, this, &BoxStateWatcher::readFolderEvents);
        watchFolders();
    }

    // The mount table signals a change as an exceptional condition.
    m_mountInfo = open(QFile::encodeName(mountInfo).constData(), O_RDONLY | O_CLOEXEC);
    if (m_mountInfo >= 0) {
        m_mounts = boxMounts(readAll(m_mountInfo), m_root);
        m_mountNotifier = new QSocketNotifier(m_mountInfo, QSocketNotifier::Exception, this);
        connect(m_mountNotifier, &QSocketNotifier::activated, this, &BoxStateWatcher::readMounts);
    }
}

BoxStateWatcher::~BoxStateWatcher()
{
    delete m_folderNotifier;
    delete m_mountNotifier;
    if (m_inotify >= 0)
        close(m_inotify);
    if (m_mountInfo >= 0)
        close(m_mountInfo);
}

BoxStateWatcher *BoxStateWatcher::forBoxService(QObject *parent)
{
    return new BoxStateWatcher(VaultranerProxy::boxStateFolders(), QStringLiteral("/proc/self/mountinfo"), parent);
}

// Adding a watch again for a folder already watched changes nothing, so this
// also takes up folders that were missing or have been replaced.
void BoxStateWatcher::watchFolders()
{
    for (const QString &folder : qAsConst(m_folders)) {
        const int wd = inotify_add_watch(m_inotify, QFile::encodeName(folder).constData(), kFolderEvents);
        if (wd >= 0)
            m_watches.insert(wd, folder);
    }
}

void BoxStateWatcher::readFolderEvents()
{
    alignas(inotify_event) char buffer[16 * (sizeof(inotify_event) + NAME_MAX + 1)];
    bool changed = false;
    bool rewatch = false;
    for (;;) {
        const ssize_t got = read(m_inotify, buffer, sizeof buffer);
        if (got < 0 && errno == EINTR)
            continue;
        if (got <= 0)
            break;
        for (ssize_t at = 0; at < got;) {
            const auto *event = reinterpret_cast<const inotify_event *>(buffer + at);
            at += ssize_t(sizeof(inotify_event) + event->len);
            if (event->mask & IN_Q_OVERFLOW) {
                changed = rewatch = true;
                continue;
            }
            if (event->mask & IN_IGNORED) {
                // The folder went away or was replaced.
                m_watches.remove(event->wd);
                changed = rewatch = true;
                continue;
            }
            if (event->mask & (IN_DELETE_SELF | IN_MOVE_SELF)) {
                changed = rewatch = true;
                continue;
            }
            // A folder's own attributes say nothing about the boxes in it,
            // and names beginning with '.' are no boxes.
            if (event->len == 0 || event->name[0] == '.')
                continue;
            changed = true;
        }
    }
    if (rewatch)
        watchFolders();
    if (changed)
        noteChange();
}

void BoxStateWatcher::readMounts()
{
    // Reading the table is what the exceptional condition asks for; only a
    // change under the box root matters.
    QStringList mounts = boxMounts(readAll(m_mountInfo), m_root);
    if (mounts == m_mounts)
        return;
    m_mounts = std::move(mounts);
    noteChange();
}

QStringList BoxStateWatcher::boxMounts(const QByteArray &mountInfo, const QString &root)
{
    QStringList mounts;
    if (root.isEmpty())
        return mounts;
    const QString prefix = root.endsWith(QLatin1Char('/')) ? root : root + QLatin1Char('/');
    for (const QByteArray &line : mountInfo.split('\n')) {
        // id parent major:minor root mount-point options ...
        const QList<QByteArray> fields = line.split(' ');
        if (fields.size() < 5)
            continue;
        const QString point = unescapeMountPath(fields.at(4));
        if (!point.startsWith(prefix))
            continue;
        const QStringRef inRoot = point.midRef(prefix.size());
        const int login = inRoot.indexOf(QLatin1Char('/'));
        const bool shareeMount = login > 0 && inRoot.mid(login).startsWith(QLatin1String("/.boxes/mnt/"));
        if (shareeMount || !inRoot.contains(QLatin1String("/.")))
            mounts << point;
    }
    return mounts;
}

void BoxStateWatcher::noteChange()
{
    if (!m_pending) {
        m_pending = true;
        m_sinceFirst.start();
    }
    const qint64 left = kLongestDelayMs - m_sinceFirst.elapsed();
    m_quiet.start(int(std::max<qint64>(0, std::min<qint64>(kQuietMs, left))));
}

void BoxStateWatcher::flush()
{
    if (m_pending)
        announce();
}

void BoxStateWatcher::announce()
{
    m_quiet.stop();
    m_pending = false;
    emit changed();
}
