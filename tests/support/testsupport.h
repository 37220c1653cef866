// Helpers shared by the program tests.
#pragma once

#include "boxdouble.h"

#include <QEvent>
#include <QList>
#include <QString>
#include <QStringList>
#include <QWidget>

#include <functional>
#include <memory>
namespace TestSupport {

// Arms a zero-time timer that waits (up to timeoutMs) for a modal widget other
// than the one active now and hands it to `act`. Call it right before the code
// that runs exec(); `act` must close the dialog. Returns at once.
void onNextModal(std::function<void(QWidget *)> act, int timeoutMs = 5000);

// Like onNextModal, for a chain: after `act` the next modal is waited for again
// by the following entry.
void onModals(QList<std::function<void(QWidget *)>> acts, int timeoutMs = 5000);

// True once every armed onNextModal handler has run.
bool modalHandlersDone();

// Processes events until no box operation runs on the worker any more and
// its result has been handled (message boxes it raised included); false
// after timeoutMs.
bool waitForBoxWork(int timeoutMs = 5000);

// Top-level widgets that are still alive and visible or not yet deleted,
// excluding those passed in.
QWidgetList leftoverTopLevels(const QWidgetList &allowed = {});

// Finds the child of `w` of type T whose text() equals `text`.
template <class T> T *childWithText(QWidget *w, const QString &text)
{
    for (T *c : w->findChildren<T *>())
        if (c->text() == text)
            return c;
    return nullptr;
}


// "title: text" of a message box (its title and its word-wrapped text line).
QString messageOf(QWidget *box);
// Answers a message box with 确认; returns messageOf(box).
QString answerMessage(QWidget *box);
// Whether a label of `dialog` with exactly `text` is shown (a red hint line).
bool hintShows(QWidget *dialog, const QString &text);
// Presses the close button of the dialog's title bar.
void pressClose(QWidget *dialog);
// The box service calls made so far, "box_x(arg,arg) box_y(arg)" (without
// the *_destroy clean-ups); names only when withArgs is false.
QString callLog(bool withArgs = true);

// Sends a mouse event at `pos` of `widget`, caused by `button`, which is held.
void sendMouse(QWidget *widget, QEvent::Type type, QPoint pos, Qt::MouseButton button = Qt::LeftButton);

// Arms a handler for a pop-up menu opened right after (a menu is no modal
// widget): it records the visible entries in `shown` and triggers the one
// with text `entry`, or only closes the menu when there is none. When no
// menu opened, it does nothing.
void onNextMenu(QStringList *shown, const QString &entry);

// Runs the tests in a child process whose password database (through
// nss_wrapper) is the given files of the test data folder, with @SELF_UID@
// filled in with the real uid; exits with the child's status. Call first
// thing in main(). Without the wrapper library it returns and
// nssWrapperActive() is false.
void useTestPasswdDatabase(int argc, char **argv, const char *passwdFile = "passwd", const char *groupFile = "group");
bool nssWrapperActive();
} // namespace TestSupport

// A QTEST_MAIN that runs the tests against the test password database.
#define VAULTRANE_TEST_MAIN_WITH_PASSWD(TestObject)                                                 \
    int main(int argc, char *argv[])                                                               \
    {                                                                                              \
        TestSupport::useTestPasswdDatabase(argc, argv);                                            \
        QApplication app(argc, argv);                                                              \
        app.setAttribute(Qt::AA_Use96Dpi, true);                                                   \
        TestObject tc;                                                                             \
        QTEST_SET_MAIN_SOURCE_PATH                                                                 \
        return QTest::qExec(&tc, argc, argv);                                                      \
    }
