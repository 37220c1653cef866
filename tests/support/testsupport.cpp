#include "testsupport.h"

#include "BoxWorker.h"
#include "TitleBar.h"
#include "Vaultrane.h"
#include "box_service.h"
#include "boxdouble.h"

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QLabel>
#include <QMenu>
#include <QMouseEvent>
#include <QPointer>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

#include <cstdio>
#include <cstdlib>
#include <fcntl.h>
#include <sys/wait.h>
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

bool waitForBoxWork(int timeoutMs)
{
    QElapsedTimer clock;
    clock.start();
    while (BoxWorker::anyRunning() && clock.elapsed() < timeoutMs)
        QTest::qWait(1);
    return !BoxWorker::anyRunning();
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

QString messageOf(QWidget *box)
{
    QString text;
    for (QLabel *l : box->findChildren<QLabel *>())
        if (l->wordWrap())
            text = l->text();
    const TitleBar *bar = box->findChild<TitleBar *>();
    return (bar ? bar->m_pTitleLabel->text() : QString()) + ": " + text;
}

QString answerMessage(QWidget *box)
{
    const QString message = messageOf(box);
    childWithText<QPushButton>(box, "确认")->click();
    return message;
}

bool hintShows(QWidget *dialog, const QString &text)
{
    QLabel *hint = childWithText<QLabel>(dialog, text);
    return hint && hint->isVisible();
}

void pressClose(QWidget *dialog) { dialog->findChild<TitleBar *>()->m_pCloseBtn->click(); }

QString callLog(bool withArgs)
{
    QStringList log;
    for (const auto &c : BoxDouble::calls()) {
        const QString name = QString::fromStdString(c.func);
        if (!name.startsWith("box_") || name.endsWith("_destroy"))
            continue;
        QStringList args;
        for (const std::string &a : c.args)
            args << QString::fromStdString(a);
        log << (withArgs ? name + "(" + args.join(',') + ")" : name);
    }
    return log.join(' ');
}

BoxDouble::Box doubleBox(const std::string &name, unsigned flags, const std::string &path)
{
    const std::string owner = (flags & BOX_FLAG_OTHER) ? "anna" : "tester";
    return {name, path.empty() ? "/nonexistent/box/" + owner + "/" + name : path, owner, flags};
}

std::vector<BoxDouble::Box> boxOfEachKind()
{
    const unsigned own = BOX_FLAG_SELF;
    const unsigned anna = BOX_FLAG_OTHER | BOX_FLAG_SHARED;
    return {doubleBox("plain", own | BOX_FLAG_PLAIN | BOX_FLAG_UNSHARED),
            doubleBox("locked", own | BOX_FLAG_ENCRYPTED | BOX_FLAG_SHARED),
            doubleBox("mounted", own | BOX_FLAG_ENCRYPTED | BOX_FLAG_UNSHARED | BOX_FLAG_MOUNTED),
            doubleBox("theirs", anna | BOX_FLAG_PLAIN),
            doubleBox("their safe", anna | BOX_FLAG_ENCRYPTED)};
}

std::unique_ptr<Vaultrane> openMainWindow(const std::vector<BoxDouble::Box> &boxes)
{
    BoxDouble::reset();
    BoxDouble::setBoxes(boxes);
    std::unique_ptr<Vaultrane> window(new Vaultrane);
    window->show();
    if (!QTest::qWaitForWindowExposed(window.get()))
        qWarning("TestSupport: the main window was not exposed");
    return window;
}

void sendMouse(QWidget *widget, QEvent::Type type, QPoint pos, Qt::MouseButton button, Qt::MouseButtons held,
               QPoint screenOffset)
{
    if (held == Qt::NoButton)
        held = button;
    QMouseEvent event(type, pos, widget->mapToGlobal(pos) + screenOffset, button, held, Qt::NoModifier);
    QApplication::sendEvent(widget, &event);
}

void onNextMenu(QStringList *shown, const QString &entry)
{
    // The menu runs its own event loop once it is open, and this timer fires there.
    QTimer::singleShot(0, [=] {
        auto *menu = qobject_cast<QMenu *>(QApplication::activePopupWidget());
        if (!menu)
            return;
        QAction *chosen = nullptr;
        for (QAction *action : menu->actions()) {
            if (!action->isVisible() || action->isSeparator())
                continue;
            shown->append(action->text());
            if (action->text() == entry)
                chosen = action;
        }
        menu->close();
        if (chosen)
            chosen->trigger();
    });
}

bool nssWrapperActive()
{
    return qEnvironmentVariableIsSet("NSS_WRAPPER_PASSWD") && qgetenv("LD_PRELOAD").contains("nss_wrapper");
}

void useTestPasswdDatabase(int argc, char **argv) { useTestPasswdDatabase(argc, argv, "passwd", "group"); }

void useTestPasswdDatabase(int argc, char **argv, const char *passwdFile, const char *groupFile)
{
    (void)argc;
    const QByteArray lib = qgetenv("NSS_WRAPPER_LIBRARY");
    const QString data = QString::fromLocal8Bit(qgetenv("VAULTRANE_TEST_DATA"));
    if (nssWrapperActive() || lib.isEmpty() || data.isEmpty() || access(lib.constData(), R_OK) != 0)
        return;
    QTemporaryDir dir;
    QFile passwdIn(QDir(data).filePath(passwdFile)), groupIn(QDir(data).filePath(groupFile));
    QFile passwdOut(dir.filePath("passwd")), groupOut(dir.filePath("group"));
    if (!dir.isValid() || !passwdIn.open(QIODevice::ReadOnly) || !groupIn.open(QIODevice::ReadOnly)
        || !passwdOut.open(QIODevice::WriteOnly) || !groupOut.open(QIODevice::WriteOnly)) {
        std::fprintf(stderr, "cannot prepare the password database for nss_wrapper\n");
        std::exit(1);
    }
    passwdOut.write(passwdIn.readAll().replace("@SELF_UID@", QByteArray::number(uint(getuid()))));
    groupOut.write(groupIn.readAll());
    passwdOut.close();
    groupOut.close();
    const QByteArray existing = qgetenv("LD_PRELOAD");
    qputenv("LD_PRELOAD", existing.isEmpty() ? lib : existing + ":" + lib);
    qputenv("NSS_WRAPPER_PASSWD", QFile::encodeName(passwdOut.fileName()));
    qputenv("NSS_WRAPPER_GROUP", QFile::encodeName(groupOut.fileName()));
    std::fflush(nullptr);
    // A child, so that the copies can be removed once it is done.
    const pid_t child = fork();
    if (child == 0) {
        execv("/proc/self/exe", argv);
        _exit(127);
    }
    int status = 0;
    const bool waited = child > 0 && waitpid(child, &status, 0) == child;
    dir.remove();
    std::exit(!waited ? 1 : WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status));
}

} // namespace TestSupport
