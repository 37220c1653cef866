#pragma once

#include <QString>
#include <QStringList>

class QKeyEvent;
class QWidget;

// Help for the main window: this program's page in the desktop's user-guide
// service on the session bus, or the PDF manual in a document viewer.
namespace UserGuide {

// The application id under which the user-guide service knows this program.
inline const char *const appId = "vaultraner";

// The user-guide service's bus name for the real user.
QString guideServiceName();

// True when the session bus is reachable and nobody owns the service name.
// An unreachable bus answers false, so a guide request is still attempted.
bool guideServiceAbsent();

// Asks the user-guide service to show the guide of `appName` and waits for
// its answer; false (and a log line) when the call failed.
bool showGuide(const QString &appName);

// The folders searched for the manual, first match wins: where the package
// installs it, then the build's own copy. Tests put folders of their own.
QStringList manualFolders();
void setManualFolders(const QStringList &folders);

// Opens the manual in the user's language: in evince when it is installed,
// otherwise in the desktop's default viewer. Without a manual or a viewer a
// message on `parent` says so; false then.
bool openManual(QWidget *parent);

// The help menu entry: on a non-desktop edition the manual; otherwise the
// user guide when its service is running and answers, else the manual.
void showHelp(QWidget *parent);

// F1: the user guide when its service is running and answers, else the
// manual.
void showGuideOrManual(QWidget *parent);

// True for F1 with any modifiers except Ctrl alone.
bool isGuideKey(const QKeyEvent *e);

} // namespace UserGuide
