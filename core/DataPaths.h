#pragma once

#include <QString>

// Folders of the program's installed data. Installed programs find them
// relative to their own executable (so the whole tree may move to another
// prefix); a program run from the build tree uses the build's copy.
namespace DataPaths {

// share/vaultrane under the install prefix, or its twin in the build tree.
QString dataDir();

// The compiled translation catalogues (*.qm) of our programs.
QString translationsDir();

} // namespace DataPaths
