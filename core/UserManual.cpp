#include "UserManual.h"

#include "BuildConfig.h"

#include <QDir>
#include <QFileInfo>

QString UserManual::installedFolder()
{
    return QStringLiteral(VAULTRANE_MANUAL_DIR);
}

QString UserManual::fileName(UiLanguage language)
{
    return language == UiLanguage::English ? QStringLiteral("vaultrane-guide.en.pdf")
                                           : QStringLiteral("vaultrane-guide.zh_CN.pdf");
}

QString UserManual::find(const QString &folder, UiLanguage language)
{
    const UiLanguage other = language == UiLanguage::English ? UiLanguage::Chinese : UiLanguage::English;
    for (const UiLanguage candidate : {language, other}) {
        const QFileInfo file(QDir(folder).filePath(fileName(candidate)));
        if (file.isFile() && file.isReadable())
            return file.filePath();
    }
    return QString();
}

QString UserManual::missingText(const QString &folder)
{
    return tr("找不到用户手册！它应安装在 %1，请重新安装 vaultrane 软件包。").arg(folder);
}

QString UserManual::noViewerText(const QString &file)
{
    return tr("无法打开用户手册 %1！请安装 PDF 阅读器（例如 evince）。").arg(file);
}
