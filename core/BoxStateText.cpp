#include "BoxStateText.h"

QString BoxStateText::permission(SharePermission permission)
{
    switch (permission) {
    case SharePermission::None: break;
    case SharePermission::ReadOnly: return tr("仅读取");
    case SharePermission::ReadWrite: return tr("可读写");
    }
    return QString();
}

QString BoxStateText::access(const BoxInfo &box)
{
    return box.fromOther ? permission(box.access) : QString();
}

QString BoxStateText::accessKey(const BoxInfo &box)
{
    if (!box.fromOther)
        return QStringLiteral("owner");
    switch (box.access) {
    case SharePermission::None: break;
    case SharePermission::ReadOnly: return QStringLiteral("read-only");
    case SharePermission::ReadWrite: return QStringLiteral("read-write");
    }
    return QStringLiteral("none");
}

QString BoxStateText::mountedElsewhere(const BoxInfo &box)
{
    if (!box.mountedElsewhere)
        return QString();
    if (box.mountedByItsOwner())
        return tr("由所有者 %1 挂载").arg(box.owner);
    if (box.mountedBy.isEmpty())
        return tr("由其他用户挂载");
    return tr("由用户 %1 挂载").arg(box.mountedBy);
}
