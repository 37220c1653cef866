#pragma once

#include <QString>

#include <sys/types.h>

#include "ServiceUnavailable.h"
#include "Translations.h"

// Applies the style sheet ":/images/style/<fileName>" to the whole
// application and sets the application palette from the button colour
// "#F0F0F0". A missing resource gives an empty style sheet.
void loadStyleSheet(const QString &fileName);

// What a second start of the program sends the running copy: raise the
// window.
inline constexpr char kRaiseWindowMessage[] = "raise";

// What the start-up checks ask of the system. Tests replace single entries.
struct StartupEnvironment {
    int (*boxEnabled)();
    int (*boxInit)();
    const char *(*boxErr)(int);
    uid_t (*loginUid)();     // the login uid recorded for the process
    uid_t (*effectiveUid)();
    QString (*unavailableReason)(); // why boxes are unavailable, with the fix; may be empty
    ServiceUnavailable::Cause (*unavailableCause)();

    StartupEnvironment(); // the real system
};

// Runs the start-up checks in order: box support, box service
// initialisation, and the su/sudo guard (the login uid must equal the
// effective uid; a process without a login uid is refused). The first
// refusal is shown in an Information message without parent and logged;
// when box support or initialisation fails and the library says why, the
// lines under it give that cause and its fix. Where the shared box root is
// missing, the message asks instead whether to keep the boxes in a folder of
// the user's own, and goes on with it when the user agrees. Returns true
// when the program may go on.
bool checkStartup(const StartupEnvironment &env = StartupEnvironment());
