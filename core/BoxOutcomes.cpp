#include "BoxOutcomes.h"

QString BoxOutcomes::failed(BoxOperation operation, const QString &box)
{
    switch (operation) {
    case BoxOperation::Create: return tr("创建保护箱失败！");
    case BoxOperation::Delete: return tr("保护箱 “%1” 删除失败！").arg(box);
    case BoxOperation::Rename: return tr("保护箱 “%1” 重命名失败！").arg(box);
    case BoxOperation::Mount: return tr("保护箱挂载失败，请检查");
    case BoxOperation::Unmount: return tr("保护箱 “%1” 卸载失败！").arg(box);
    case BoxOperation::AddPassword: return tr("保护箱 “%1” 创建密码保护失败！").arg(box);
    case BoxOperation::ChangePassword: return tr("保护箱 “%1” 密码修改失败！").arg(box);
    case BoxOperation::RemovePassword: return tr("解除保护箱 “%1” 密码保护失败！").arg(box);
    case BoxOperation::Share: return tr("保护箱 “%1” 设置共享权限失败！").arg(box);
    case BoxOperation::List: return tr("读取保护箱列表失败！");
    case BoxOperation::ReadShares: return tr("加载共享用户列表失败！");
    }
    return QString();
}

QString BoxOutcomes::refusal(const BoxInfo &box, BoxAction action, BoxRefusal refusal)
{
    switch (refusal) {
    case BoxRefusal::None:
        return QString();
    case BoxRefusal::Mounted:
        switch (action) {
        case BoxAction::Delete: return tr("无法删除，请先卸载保护箱 “%1” ！").arg(box.name);
        case BoxAction::Rename: return tr("无法进行重命名操作，请先卸载保护箱 “%1” ！").arg(box.name);
        case BoxAction::PasswordSetting: return tr("无法进行密码设置，请先卸载保护箱 “%1” ！").arg(box.name);
        case BoxAction::ShareSetting: return tr("无法进行共享设置，请先卸载保护箱 “%1” ！").arg(box.name);
        case BoxAction::Mount: return tr("保护箱 “%1” 已挂载！").arg(box.name);
        case BoxAction::Unmount: break;
        }
        return tr("保护箱 “%1” 已挂载，请先卸载！").arg(box.name);
    case BoxRefusal::NotMounted:
        return tr("保护箱 “%1” 未挂载！").arg(box.name);
    case BoxRefusal::NotEncrypted:
        return tr("保护箱 “%1” 未加密！").arg(box.name);
    case BoxRefusal::NotOwner:
        return tr("保护箱 “%1” 属于其他用户！").arg(box.name);
    case BoxRefusal::MountedElsewhere:
        if (box.mountedByItsOwner())
            return tr("保护箱 “%1” 由其所有者 %2 挂载，只有其所有者可以卸载！").arg(box.name, box.owner);
        if (box.fromOther)
            return tr("保护箱 “%1” 由用户 %2 挂载，只有该用户可以卸载！").arg(box.name, box.mountedBy);
        if (!box.mountedBy.isEmpty())
            return tr("保护箱 “%1” 正由用户 %2 挂载，请待其卸载后重试！").arg(box.name, box.mountedBy);
        return tr("保护箱 “%1” 正由其他用户挂载，请待其卸载后重试！").arg(box.name);
    }
    return QString();
}

QString BoxOutcomes::refusal(const BoxInfo &box, BoxAction action)
{
    return refusal(box, action, BoxRules::refusal(box, action));
}

QString BoxOutcomes::anotherOperationRuns()
{
    return tr("另一项保护箱操作正在进行，请稍后再试！");
}

QString BoxOutcomes::waitingForAnotherOperation()
{
    return tr("正在等待本账户的另一项保护箱操作结束……");
}

QString BoxOutcomes::wrongPassword()
{
    return tr("密码认证失败，请确认密码后重新认证");
}

QString BoxOutcomes::sharesApplied(const QString &box)
{
    return tr("保护箱 “%1” 设置共享权限成功！").arg(box);
}

QString BoxOutcomes::sharesPartlyApplied(const QString &box)
{
    return tr("保护箱 “%1” 部分用户权限共享失败，请重新共享！").arg(box);
}

QString BoxOutcomes::oneLine(const QString &headline, const QString &reason)
{
    if (reason.isEmpty())
        return headline;
    QString text = headline;
    while (text.endsWith(QChar(0xFF01)) || text.endsWith(QLatin1Char('!')) || text.endsWith(QLatin1Char(' ')))
        text.chop(1);
    //: Joins a failure and its reason on one line; in English ": ".
    return text + tr("：") + reason;
}

QString BoxOutcomes::oneLine(const QString &headline, const BoxResult &result)
{
    return oneLine(headline, result.reason);
}

QString BoxOutcomes::twoLines(const QString &headline, const BoxResult &result)
{
    return result.message(headline);
}
