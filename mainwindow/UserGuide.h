#pragma once

#include <QString>

class QKeyEvent;

// Help for the main window: the PDF manual in a document viewer, or this
// program's page in the desktop's user-guide service on the session bus.
namespace UserGuide {

// The application id under which the user-guide service knows this program.
inline const char *const appId = "vaultraner";

// The user-guide service's bus name for the real user.
QString guideServiceName();

// True when the session bus is reachable and nobody owns the service name.
// An unreachable bus answers false, so a guide request is still attempted.
bool guideServiceAbsent();

// Asks the user-guide service to show the guide of `appName` and waits for
// its answer; a failed call is only logged.
void showGuide(const QString &appName);

// Opens the manual files in the document viewer without waiting for it.
void openManual();

// The help menu entry: the manual on a non-desktop edition, otherwise the
// user guide when its service is running.
void showHelp();

// True for F1 with any modifiers except Ctrl alone.
bool isGuideKey(const QKeyEvent *e);

} // namespace UserGuide
