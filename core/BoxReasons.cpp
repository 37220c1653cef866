#include "BoxReasons.h"

#include "box_service_ext.h"

QString BoxReasons::text(int reason, const QString &detail)
{
    switch (reason) {
    case BOX_REASON_BAD_PASSWORD:
        return tr("密码不正确！");
    case BOX_REASON_BUSY:
        return tr("保护箱中有文件正在使用，请关闭后重试！");
    case BOX_REASON_NAME_TAKEN:
        return tr("已存在同名的保护箱！");
    case BOX_REASON_NO_SPACE:
        return tr("磁盘空间不足！");
    case BOX_REASON_PASS_TOO_LONG:
        return tr("密码过长，最多%1个字节！").arg(BOX_PASSPHRASE_MAX);
    case BOX_REASON_NOT_FOUND:
        return tr("保护箱不存在！");
    case BOX_REASON_MOUNTED:
        return tr("保护箱已挂载，请先卸载！");
    case BOX_REASON_FOREIGN_ENTRY:
        if (detail.isEmpty())
            return tr("保护箱中有其他用户留下的文件，请先移除！");
        return tr("保护箱中有其他用户留下的文件 “%1”，请先移除！").arg(detail);
    case BOX_REASON_DAMAGED:
        return tr("保护箱已损坏，其他保护箱不受影响！");
    case BOX_REASON_TOOL_MISSING:
        return tr("加密工具 gocryptfs 或 fusermount3 缺失或无法运行！");
    case BOX_REASON_NOT_ALLOWED:
        return tr("没有进行此操作的权限！");
    case BOX_REASON_MOUNTED_ELSEWHERE:
        if (detail.isEmpty())
            return tr("其他用户已挂载此保护箱，请待其卸载后重试！");
        return tr("用户 “%1” 已挂载此保护箱，请待其卸载后重试！").arg(detail);
    case BOX_REASON_BAD_RECOVERY_KEY:
        return tr("恢复密钥不正确或不完整，密码未更改！");
    case BOX_REASON_NOT_A_CIPHER_FOLDER:
        return tr("这不是导出的保护箱，也不是 gocryptfs 加密文件夹！");
    default:
        return QString();
    }
}

QString BoxReasons::setAsideText(const QString &entry)
{
    return tr("其他用户留下的 “%1” 无法删除，已移到只有管理员能访问的位置！").arg(entry);
}
