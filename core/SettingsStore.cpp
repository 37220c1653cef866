#include "SettingsStore.h"

#include <QFileInfo>
#include <QSettings>
#include <QStandardPaths>

namespace {

const char *const kOrganisation = "vaultrane";
const char *const kApplication = "vaultrane";
// Set once the settings of the old file have been taken over.
const char *const kImportedKey = "settings/importedOldFile";

// Takes over what the old second file (vaultrane.ini) holds, without
// overwriting anything the store already has. The old file stays as it was.
void importOldFile(QSettings &store)
{
    if (store.value(kImportedKey).toBool())
        return;
    const QString oldPath = QFileInfo(store.fileName()).path() + QStringLiteral("/vaultrane.ini");
    // Only a regular file: a FIFO in its place would block the open.
    if (QFileInfo(oldPath).isFile()) {
        const QSettings old(oldPath, QSettings::IniFormat);
        for (const QString &key : old.allKeys())
            if (!store.contains(key))
                store.setValue(key, old.value(key));
    }
    store.setValue(kImportedKey, true);
    store.sync();
}

} // namespace

std::unique_ptr<QSettings> SettingsStore::open()
{
    auto store = std::make_unique<QSettings>(QSettings::NativeFormat, QSettings::UserScope, kOrganisation,
                                             kApplication);
    importOldFile(*store);
    return store;
}

// Where QSettings keeps the store, found without a QSettings object: making
// one may already read the file.
QString SettingsStore::filePath()
{
    return QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation)
        + QStringLiteral("/%1/%2.conf").arg(QLatin1String(kOrganisation), QLatin1String(kApplication));
}
