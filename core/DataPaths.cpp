#include "DataPaths.h"

#include "BuildConfig.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>

namespace DataPaths {

QString dataDir()
{
    const QString installed =
        QDir::cleanPath(QCoreApplication::applicationDirPath() + "/" + VAULTRANE_DATADIR_FROM_BINDIR);
    if (QFileInfo(installed).isDir())
        return installed;
    return QStringLiteral(VAULTRANE_BUILD_DATADIR);
}

QString translationsDir() { return dataDir() + "/translations"; }

} // namespace DataPaths
