#include "ServiceUnavailable.h"

#include "BuildConfig.h"
#include "VaultranerProxy.h"

#include <QFileInfo>

#include <unistd.h>

ServiceUnavailable::Cause ServiceUnavailable::currentCause()
{
    const int code = VaultranerProxy::unavailableCode();
    if (code < int(Cause::None) || code > int(Cause::DevFuseDenied))
        return Cause::Unknown;
    return Cause(code);
}

ServiceUnavailable::Installation ServiceUnavailable::currentInstallation()
{
    if (QFileInfo::exists(QStringLiteral(VAULTRANE_TMPFILES_CONF)))
        return Installation::Package;
    if (QFileInfo::exists(QStringLiteral(VAULTRANE_SETUP_SCRIPT)))
        return Installation::SourceBuild;
    return Installation::Other;
}

QString ServiceUnavailable::text(Cause cause, const QString &boxRoot, Installation installation)
{
    QString rootFix;
    switch (installation) {
    case Installation::Package:
        rootFix = tr("请管理员运行以下命令重新创建它：\n%1")
                      .arg(QStringLiteral("sudo systemd-tmpfiles --create " VAULTRANE_TMPFILES_CONF));
        break;
    case Installation::SourceBuild:
        rootFix = tr("请管理员运行以下命令创建它：\n%1").arg(QStringLiteral("sudo " VAULTRANE_SETUP_SCRIPT));
        break;
    case Installation::Other:
        rootFix = tr("请管理员运行以下命令创建它：\n%1")
                      .arg(QStringLiteral("sudo install -d -m 1777 -o root -g root %1").arg(boxRoot));
        break;
    }
    switch (cause) {
    case Cause::None:
    case Cause::Unknown:
        // A library that gives no code may still say why, in its own words.
        return VaultranerProxy::unavailableReason();
    case Cause::RootNotFolder:
        return tr("保护箱根目录 %1 已存在，但不是文件夹，须由管理员先移走。").arg(boxRoot) + "\n" + rootFix;
    case Cause::RootMissing:
        return tr("保护箱根目录 %1 不存在，当前帐户也无法创建它。").arg(boxRoot) + "\n" + rootFix;
    case Cause::CustomRootMissing:
        return tr("保护箱根目录 %1 不存在，当前帐户也无法创建它。请创建该文件夹，或改用一个您能写入的文件夹（环境变量 BOX_SERVICE_ROOT）。")
            .arg(boxRoot);
    case Cause::NoAccount:
        return tr("当前帐户（uid %1）在用户数据库中没有记录，保护箱只能由有名称的帐户使用。").arg(geteuid());
    case Cause::UserFolder:
        return tr("您的保护箱文件夹不属于您或不是文件夹。请管理员移走 %1 中以您的登录名命名的项目，下次启动时会重新创建。")
            .arg(boxRoot);
    case Cause::StartFailed:
        return tr("保护箱服务无法启动。");
    case Cause::NoGocryptfs:
        return tr("无法使用加密保护箱：未安装 gocryptfs。请管理员运行：\n%1")
            .arg(QStringLiteral("sudo apt-get install gocryptfs fuse3"));
    case Cause::NoFusermount:
        return tr("无法使用加密保护箱：未安装 fusermount3。请管理员运行：\n%1")
            .arg(QStringLiteral("sudo apt-get install fuse3"));
    case Cause::NoDevFuse:
        return tr("无法使用加密保护箱：缺少 /dev/fuse。请管理员加载 FUSE 模块（%1），在容器中则须把该设备传入容器。")
            .arg(QStringLiteral("sudo modprobe fuse"));
    case Cause::DevFuseDenied:
        return tr("无法使用加密保护箱：当前帐户不能打开 /dev/fuse。请管理员运行：\n%1")
            .arg(QStringLiteral("sudo chmod 0666 /dev/fuse"));
    }
    return QString();
}

QString ServiceUnavailable::currentText()
{
    const QString boxRoot = QFileInfo(VaultranerProxy::userBoxFolder()).path();
    return text(currentCause(), boxRoot, currentInstallation());
}

bool ServiceUnavailable::ownFolderHelps(Cause cause)
{
    return cause == Cause::RootMissing || cause == Cause::RootNotFolder;
}

QString ServiceUnavailable::ownFolderQuestion(const QString &folder)
{
    return tr("没有管理员权限时，可以把保护箱放在您自己的文件夹 %1 中（只能共享给能访问该文件夹的帐户）。现在就使用该文件夹吗？")
        .arg(folder);
}
