#include "ProgressBar.h"

#include "TextTable.h"

#include <QByteArray>

#include <sys/ioctl.h>
#include <unistd.h>

namespace {

const int kDefaultColumns = 80;
const int kLongestBar = 40;
const int kShortestBar = 10;

int terminalColumns(int fd)
{
    struct winsize size = {};
    if (ioctl(fd, TIOCGWINSZ, &size) == 0 && size.ws_col > 0)
        return size.ws_col;
    return kDefaultColumns;
}

void put(int fd, const QString &text)
{
    const QByteArray bytes = text.toUtf8();
    qsizetype done = 0;
    while (done < bytes.size()) {
        const ssize_t written = write(fd, bytes.constData() + done, std::size_t(bytes.size() - done));
        if (written <= 0)
            return;
        done += written;
    }
}

} // namespace

ProgressBar::ProgressBar(const QString &label, int fd)
    : m_label(label), m_fd(fd), m_enabled(isatty(fd) == 1)
{
}

ProgressBar::~ProgressBar()
{
    finish(false);
}

QString ProgressBar::render(const QString &label, int percent, int columns)
{
    percent = qBound(0, percent, 100);
    // label, space, brackets, space and "100%"
    const int fixed = TextTable::displayWidth(label) + 1 + 2 + 1 + 4;
    const int barWidth = qBound(kShortestBar, columns - 1 - fixed, kLongestBar);
    const int filled = barWidth * percent / 100;
    return QStringLiteral("%1 [%2%3] %4%")
        .arg(label, QString(filled, QLatin1Char('#')), QString(barWidth - filled, QLatin1Char('.')))
        .arg(percent, 3);
}

void ProgressBar::update(int percent)
{
    percent = qBound(0, percent, 100);
    if (!m_enabled || percent == m_percent)
        return;
    m_percent = percent;
    m_drawn = true;
    put(m_fd, QLatin1Char('\r') + render(m_label, percent, terminalColumns(m_fd)));
}

void ProgressBar::finish(bool succeeded)
{
    if (!m_drawn)
        return;
    if (succeeded) {
        update(100);
        put(m_fd, QStringLiteral("\n"));
    } else {
        put(m_fd, QStringLiteral("\r\x1b[K"));
    }
    m_drawn = false;
}
