#include "BoxRecovery.h"

#include "PasswordPolicy.h"

#include "BoxOperations.h"
#include "BoxReasons.h"
#include "BoxRules.h"
#include "box_service_ext.h"

#include <cerrno>

namespace {

BoxResult libraryFailure()
{
    BoxResult result;
    result.code = BoxResult::Failed;
    result.libraryCode = VaultranerProxy::lastFailureCode();
    result.libraryReason = VaultranerProxy::lastFailureReason();
    result.detail = VaultranerProxy::lastFailureDetail();
    result.reason = BoxReasons::text(result.libraryReason, result.detail);
    if (result.libraryReason == BOX_REASON_BAD_PASSWORD)
        result.code = BoxResult::WrongPassword;
    return result;
}

template <typename Call>
BoxResult ask(Call call)
{
    VaultranerProxy::clearLastFailure();
    return call() ? BoxResult::success() : libraryFailure();
}

BoxResult requireAvailable(bool available)
{
    if (available)
        return BoxResult::success();
    return BoxResult::failure(BoxResult::Unsupported, BoxRecovery::tr("当前的保护箱服务不支持此功能！"));
}

// Only the owner's encrypted boxes have a key, a password to check with
// and an encrypted form to export.
BoxResult requireOwnEncrypted(const BoxInfo &box)
{
    if (box.fromOther)
        return BoxResult::failure(BoxResult::Refused, BoxRecovery::tr("保护箱 “%1” 属于其他用户！").arg(box.name));
    if (!box.encrypted)
        return BoxResult::failure(BoxResult::Refused, BoxRecovery::tr("保护箱 “%1” 未加密！").arg(box.name));
    return BoxResult::success();
}

BoxResult requirePassword(const SecretString &password)
{
    if (password.isEmpty())
        return BoxResult::failure(BoxResult::InvalidInput, BoxRecovery::tr("密码不可为空！"));
    return BoxResult::success();
}

} // namespace

bool BoxRecovery::keyAvailable() { return VaultranerProxy::canShowRecoveryKey(); }
bool BoxRecovery::recoverAvailable() { return VaultranerProxy::canRecover(); }
bool BoxRecovery::checkAvailable() { return VaultranerProxy::canCheck(); }
bool BoxRecovery::exportImportAvailable() { return VaultranerProxy::canExportAndImport(); }

BoxResult BoxRecovery::recoveryKey(const BoxInfo &box, const SecretString &password, SecretString &key)
{
    BoxResult result = requireAvailable(keyAvailable());
    if (result.ok())
        result = requireOwnEncrypted(box);
    if (result.ok())
        result = requirePassword(password);
    if (!result.ok())
        return result;
    return ask([&] { return VaultranerProxy::recoveryKey(box.name, password.text(), key); });
}

BoxResult BoxRecovery::recover(const BoxInfo &box, const SecretString &key, const SecretString &fresh,
                               const SecretString &confirm, bool &keyChecked)
{
    keyChecked = false;
    BoxResult result = requireAvailable(recoverAvailable());
    if (result.ok())
        result = requireOwnEncrypted(box);
    if (!result.ok())
        return result;
    const QString problem = recoverInputProblem(key, fresh, confirm);
    if (!problem.isEmpty())
        return BoxResult::failure(BoxResult::InvalidInput, problem);
    result = ask([&] { return VaultranerProxy::recoverPassphrase(box.name, key.text(), fresh.text(), keyChecked); });
    if (result.libraryReason == BOX_REASON_BAD_RECOVERY_KEY)
        result.code = BoxResult::WrongPassword;
    return result;
}

BoxResult BoxRecovery::check(const BoxInfo &box, const SecretString &password, QStringList &damaged)
{
    damaged.clear();
    BoxResult result = requireAvailable(checkAvailable());
    if (result.ok())
        result = requireOwnEncrypted(box);
    if (result.ok())
        result = requirePassword(password);
    if (!result.ok())
        return result;
    return ask([&] { return VaultranerProxy::checkBox(box.name, password.text(), damaged); });
}

BoxResult BoxRecovery::exportBox(const BoxInfo &box, const QString &file)
{
    BoxResult result = requireAvailable(exportImportAvailable());
    if (result.ok())
        result = requireOwnEncrypted(box);
    if (result.ok() && box.mounted)
        result = BoxResult::failure(BoxResult::Refused, tr("保护箱 “%1” 已挂载，请先卸载！").arg(box.name));
    if (result.ok() && file.isEmpty())
        result = BoxResult::failure(BoxResult::InvalidInput, tr("请选择导出的文件！"));
    if (!result.ok())
        return result;
    result = ask([&] { return VaultranerProxy::exportBox(box.name, file); });
    if (result.libraryCode == -EEXIST || result.libraryCode == EEXIST)
        result.reason = tr("文件 “%1” 已存在！").arg(file);
    return result;
}

BoxResult BoxRecovery::importBox(const QString &source, const QString &name, const SecretString &password,
                                 bool move)
{
    BoxResult result = requireAvailable(exportImportAvailable());
    if (result.ok() && name.isEmpty())
        result = BoxResult::failure(BoxResult::InvalidInput, tr("保护箱名称不可为空！"));
    if (result.ok())
        result = requirePassword(password);
    if (!result.ok())
        return result;
    return ask([&] { return VaultranerProxy::importBox(source, name, password.text(), move); });
}

QString BoxRecovery::groupedKey(const QString &key)
{
    QString text;
    for (int i = 0; i < key.size(); i += 4) {
        if (i > 0)
            text += (i % 16 == 0) ? QLatin1Char('\n') : QLatin1Char(' ');
        text += key.mid(i, 4).toUpper();
    }
    return text;
}

QString BoxRecovery::keyWarning()
{
    return tr("任何拿到恢复密钥的人都能打开此保护箱。请把它抄写或保存在安全的地方，不要与他人分享。"
              "忘记密码时，凭它可以设置新密码。");
}

QString BoxRecovery::uncheckedKeyNote(const QString &boxName)
{
    return tr("保护箱 “%1” 是空的，无法核对恢复密钥；新密码已设置。").arg(boxName);
}

QString BoxRecovery::recoverInputProblem(const SecretString &key, const SecretString &fresh,
                                         const SecretString &confirm)
{
    if (key.isEmpty())
        return tr("恢复密钥不可为空！");
    return PasswordPolicy::problemText(fresh.text(), confirm.text(), PasswordForm::Change);
}

void BoxRecovery::newBoxKey(const QString &name, const SecretString &password, SecretString &key)
{
    if (!keyAvailable())
        return;
    BoxInfo box;
    if (BoxOperations::find(name, box).ok())
        recoveryKey(box, password, key);
}
