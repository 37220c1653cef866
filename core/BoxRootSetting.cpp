#include "BoxRootSetting.h"

#include <QDir>
#include <QSettings>
#include <QStandardPaths>

namespace {
const char *const kOrganisation = "vaultrane";
const char *const kApplication = "vaultrane";
const char *const kRootKey = "boxes/root";
const char *const kRootVariable = "BOX_SERVICE_ROOT";
} // namespace

QString BoxRootSetting::suggestedFolder()
{
    return QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation)
        + QStringLiteral("/vaultrane-boxes");
}

QString BoxRootSetting::stored()
{
    QSettings settings(QSettings::IniFormat, QSettings::UserScope, kOrganisation, kApplication);
    return settings.value(kRootKey).toString();
}

bool BoxRootSetting::store(const QString &folder)
{
    if (!QDir().mkpath(folder))
        return false;
    QSettings settings(QSettings::IniFormat, QSettings::UserScope, kOrganisation, kApplication);
    settings.setValue(kRootKey, folder);
    settings.sync();
    return settings.status() == QSettings::NoError;
}

void BoxRootSetting::apply()
{
    if (!qEnvironmentVariableIsEmpty(kRootVariable))
        return;
    const QString folder = stored();
    if (!folder.isEmpty())
        qputenv(kRootVariable, QFile::encodeName(folder));
}
