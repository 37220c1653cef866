#include "testsupport.h"

#include "BoxWorker.h"
#include "TitleBar.h"
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
#include <sys/wait.h>
#include <unistd.h>

namespace TestSupport {

namespace {
int g_pendingHandlers = 0;

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

void sendMouse(QWidget *widget, QEvent::Type type, QPoint pos, Qt::MouseButton button)
{
    QMouseEvent event(type, pos, widget->mapToGlobal(pos), button, button, Qt::NoModifier);
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

void useTestPasswdDatabase(int argc, char **argv, const char *passwdFile, const char *groupFile)
{
    Q_UNUSED(argc);
    const QByteArray lib = qgetenv("NSS_WRAPPER_LIBRARY");
    const QString data = QString::fromLocal8Bit(qgetenv("VAULTRANE_TEST_DATA"));
    if (nssWrapperActive() || lib.isEmpty() || data.isEmpty() || access(lib.constData(), R_OK) != 0)
        return;
    // The group file is used as it is; the password file gets the real uid.
    QTemporaryDir dir;
    QFile passwdIn(QDir(data).filePath(passwdFile));
    QFile passwdOut(dir.filePath("passwd"));
    if (!dir.isValid() || !passwdIn.open(QIODevice::ReadOnly) || !passwdOut.open(QIODevice::WriteOnly)) {
        std::fprintf(stderr, "cannot prepare the password database for nss_wrapper\n");
        std::exit(1);
    }
    passwdOut.write(passwdIn.readAll().replace("@SELF_UID@", QByteArray::number(uint(getuid()))));
    passwdOut.close();
    const QByteArray existing = qgetenv("LD_PRELOAD");
    qputenv("LD_PRELOAD", existing.isEmpty() ? lib : existing + ":" + lib);
    qputenv("NSS_WRAPPER_PASSWD", QFile::encodeName(passwdOut.fileName()));
    qputenv("NSS_WRAPPER_GROUP", QFile::encodeName(QDir(data).filePath(groupFile)));
    std::fflush(nullptr);
    // A child, so that the copy can be removed once it is done.
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
