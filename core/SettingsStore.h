#pragma once

#include <QString>

#include <memory>

class QSettings;

// The program's one settings file, ~/.config/vaultrane/vaultrane.conf (under
// $XDG_CONFIG_HOME), shared by the window, the command line and the agent.
// Settings that earlier versions kept in vaultrane.ini beside it are read
// once into it, so that users keep them.
class SettingsStore
{
public:
    static std::unique_ptr<QSettings> open();
    static QString filePath();
};
