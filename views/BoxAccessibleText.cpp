#include "BoxAccessibleText.h"

#include "BoxStateText.h"

QString BoxAccessibleText::encryption(const BoxInfo &box)
{
    if (!box.encrypted)
        return tr("未加密");
    if (box.mounted)
        return tr("已加密，已挂载");
    if (box.mountedElsewhere)
        return tr("%1，%2").arg(tr("已加密"), BoxStateText::mountedElsewhere(box));
    return tr("已加密，未挂载");
}

QString BoxAccessibleText::sharing(const BoxInfo &box)
{
    return box.shared ? tr("已共享") : tr("未共享");
}

QString BoxAccessibleText::owner(const BoxInfo &box)
{
    return box.fromOther ? tr("来自 %1").arg(box.owner) : tr("本人创建");
}

QString BoxAccessibleText::description(const BoxInfo &box)
{
    if (box.fromOther) {
        const QString access = BoxStateText::access(box);
        if (access.isEmpty())
            return tr("%1，%2").arg(encryption(box), owner(box));
        return tr("%1，%2，%3").arg(encryption(box), owner(box), access);
    }
    return tr("%1，%2，%3").arg(encryption(box), sharing(box), owner(box));
}
