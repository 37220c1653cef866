#pragma once

#include <QString>

// A box root of the user's own, for a machine without the shared box root
// and a user without administrator rights. Chosen once in the window and
// kept in the settings, so that the window, vaultrane-box and the agent
// started from the menu all find the same boxes. BOX_SERVICE_ROOT, when
// set, wins over it.
class BoxRootSetting
{
public:
    // The folder offered: under the user's data folder.
    static QString suggestedFolder();
    // The stored folder; empty when none was chosen.
    static QString stored();
    // Creates `folder` and stores it; false when either failed.
    static bool store(const QString &folder);
    // Hands the stored folder to the box service (through BOX_SERVICE_ROOT)
    // unless the environment names one already. Call before the first box
    // service call.
    static void apply();
};
