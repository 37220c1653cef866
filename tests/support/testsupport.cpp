#include "testsupport.h"

#include "boxdouble.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QPointer>
#include <QTimer>

#include <cstdio>
#include <fcntl.h>
#include <unistd.h>

namespace TestSupport {

namespace {
int g_pendingHandlers = 0;
// Every live DebugCapture collects each line; the first one installs the handler.
QList<QStringList *> g_captures;
QtMessageHandler g_previousHandler = nullptr;

void poll(QPointer<QWidget> before, std::function<void(QWidget *)> act, QElapsedTimer clock, int timeoutMs)
{
    QWidget *modal = QApplication::activeModalWidget();
    if (modal && modal != before && modal->isVisible()) {
        act(modal);
        --g_pendingHandlers;
        return;
    }
    if (clock.elapsed() > timeoutMs) {
        --g_pendingHandlers;
        qWarning("TestSupport: no modal widget appeared within %d ms", timeoutMs);
        return;
    }
    QTimer::singleShot(0, [=] { poll(before, act, clock, timeoutMs); });
}

void debugHandler(QtMsgType type, const QMessageLogContext &ctx, const QString &msg)
{
    // The offscreen platform's own complaints are not the program's output.
    const bool platformNoise = msg.startsWith("This plugin does not support");
    if (!platformNoise)
        for (QStringList *lines : g_captures)
            lines->append(msg);
    if (g_previousHandler && qEnvironmentVariableIsSet("VAULTRANE_TEST_VERBOSE"))
        g_previousHandler(type, ctx, msg);
}
} // namespace

void onNextModal(std::function<void(QWidget *)> act, int timeoutMs)
{
    ++g_pendingHandlers;
    QPointer<QWidget> before = QApplication::activeModalWidget();
    QElapsedTimer clock;
    clock.start();
    QTimer::singleShot(0, [=] { poll(before, act, clock, timeoutMs); });
}

void onModals(QList<std::function<void(QWidget *)>> acts, int timeoutMs)
{
    if (acts.isEmpty())
        return;
    auto first = acts.takeFirst();
    onNextModal([first, acts, timeoutMs](QWidget *w) {
        // Arm the next handler before acting: acting may open the next modal.
        onModals(acts, timeoutMs);
        first(w);
    }, timeoutMs);
}

bool modalHandlersDone() { return g_pendingHandlers == 0; }

QString captureStdout(const std::function<void()> &fn)
{
    std::fflush(stdout);
    char path[] = "/tmp/vaultrane-stdout-XXXXXX";
    int tmp = mkstemp(path);
    unlink(path);
    int saved = dup(STDOUT_FILENO);
    dup2(tmp, STDOUT_FILENO);
    fn();
    std::fflush(stdout);
    dup2(saved, STDOUT_FILENO);
    close(saved);
    QByteArray out;
    lseek(tmp, 0, SEEK_SET);
    char buf[4096];
    ssize_t n;
    while ((n = read(tmp, buf, sizeof buf)) > 0)
        out.append(buf, int(n));
    close(tmp);
    return QString::fromUtf8(out);
}

DebugCapture::DebugCapture() : m_lines(new QStringList)
{
    if (g_captures.isEmpty())
        g_previousHandler = qInstallMessageHandler(debugHandler);
    g_captures.append(m_lines);
}

DebugCapture::~DebugCapture()
{
    g_captures.removeOne(m_lines);
    if (g_captures.isEmpty())
        qInstallMessageHandler(g_previousHandler);
    delete m_lines;
}

QStringList DebugCapture::lines() const { return *m_lines; }

bool DebugCapture::contains(const QString &text) const
{
    for (const QString &l : lines())
        if (l.contains(text))
            return true;
    return false;
}

QWidgetList leftoverTopLevels(const QWidgetList &allowed)
{
    QWidgetList left;
    for (QWidget *w : QApplication::topLevelWidgets()) {
        if (allowed.contains(w))
            continue;
        // Qt keeps a few internal top-levels (desktop widget, menus' tear-offs).
        if (w->windowType() == Qt::Desktop || w->inherits("QDesktopWidget"))
            continue;
        if (w->inherits("QMenu") && !w->isVisible() && w->parentWidget())
            continue;
        left << w;
    }
    return left;
}

void resetDouble() { BoxDouble::reset(); }

} // namespace TestSupport

namespace TestSupport {

bool nssWrapperActive()
{
    return qEnvironmentVariableIsSet("NSS_WRAPPER_PASSWD") && qgetenv("LD_PRELOAD").contains("nss_wrapper");
}

void useTestPasswdDatabase(int argc, char **argv)
{
    (void)argc;
    if (nssWrapperActive())
        return;
    const QByteArray lib = qgetenv("NSS_WRAPPER_LIBRARY");
    const QByteArray data = qgetenv("VAULTRANE_TEST_DATA");
    if (lib.isEmpty() || data.isEmpty() || access(lib.constData(), R_OK) != 0)
        return;
    QByteArray preload = lib;
    const QByteArray existing = qgetenv("LD_PRELOAD");
    if (!existing.isEmpty())
        preload = existing + ":" + lib;
    qputenv("LD_PRELOAD", preload);
    qputenv("NSS_WRAPPER_PASSWD", data + "/passwd");
    qputenv("NSS_WRAPPER_GROUP", data + "/group");
    execv("/proc/self/exe", argv);
    // exec failed: go on without the wrapper; tests that need it skip.
}

} // namespace TestSupport
