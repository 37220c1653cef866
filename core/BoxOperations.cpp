#include "BoxOperations.h"

#include "BoxOutcomes.h"
#include "BoxReasons.h"
#include "BoxRules.h"
#include "LockSettings.h"
#include "NamePolicy.h"
#include "PasswordPolicy.h"
#include "VaultranerProxy.h"
#include "box_service_ext.h"

namespace {

// A result for the proxy's last failure on this thread.
BoxResult libraryFailure(BoxResult::Code code = BoxResult::Failed)
{
    BoxResult result;
    result.code = code;
    result.libraryCode = VaultranerProxy::lastFailureCode();
    result.libraryReason = VaultranerProxy::lastFailureReason();
    result.detail = VaultranerProxy::lastFailureDetail();
    result.reason = BoxReasons::text(result.libraryReason, result.detail);
    return result;
}

// Runs one proxy call and turns its bool into a result.
template <typename Call>
BoxResult ask(Call call)
{
    VaultranerProxy::clearLastFailure();
    return call() ? BoxResult::success() : libraryFailure();
}

bool tooLong(const SecretString &password)
{
    return password.text().toUtf8().size() > BoxRules::passphraseMax();
}

} // namespace

namespace {

// Refused when the box's state does not allow the action; Ok otherwise.
BoxResult checkAllowed(const BoxInfo &box, BoxAction action)
{
    const BoxRefusal refusal = BoxRules::refusal(box, action);
    if (refusal == BoxRefusal::None)
        return BoxResult::success();
    return BoxResult::failure(BoxResult::Refused, BoxOutcomes::refusal(box, action, refusal));
}

// InvalidInput for a missing or overlong password; Ok otherwise.
BoxResult checkPassword(const SecretString &password)
{
    if (password.isEmpty())
        return BoxResult::failure(BoxResult::InvalidInput, BoxOperations::tr("密码不可为空！"));
    if (tooLong(password)) {
        BoxResult result = BoxResult::failure(BoxResult::InvalidInput);
        result.reason = BoxReasons::text(BOX_REASON_PASS_TOO_LONG);
        return result;
    }
    return BoxResult::success();
}

// The password check that entitles the user to delete or rename an
// encrypted box: WrongPassword, with the service's reason, on failure.
BoxResult checkOwnerPassword(const BoxInfo &box, const SecretString &password)
{
    if (!box.encrypted)
        return BoxResult::success();
    BoxResult result = checkPassword(password);
    if (!result.ok())
        return result;
    result = BoxOperations::verifyPassword(box, password);
    if (result.code == BoxResult::Failed)
        result.code = BoxResult::WrongPassword;
    return result;
}

BoxResult checkName(const QString &name, NameForm form)
{
    const NamePolicy::Problem problem = NamePolicy::check(name);
    if (problem == NamePolicy::Problem::None)
        return BoxResult::success();
    return BoxResult::failure(BoxResult::InvalidInput, NamePolicy::text(problem, form));
}

// InvalidInput for a new password outside the password rule.
BoxResult checkNewPassword(const SecretString &password, PasswordForm form)
{
    const PasswordPolicy::Problem problem = PasswordPolicy::check(password.text(), password.text());
    if (problem == PasswordPolicy::Problem::None)
        return BoxResult::success();
    return BoxResult::failure(BoxResult::InvalidInput, PasswordPolicy::text(problem, form));
}

} // namespace

BoxResult BoxOperations::create(const QString &name)
{
    BoxResult result = checkName(name, NameForm::Create);
    if (!result.ok())
        return result;
    return ask([&] { return VaultranerProxy::createBox(name); });
}

BoxResult BoxOperations::createEncrypted(const QString &name, const SecretString &password)
{
    BoxResult result = checkName(name, NameForm::Create);
    if (result.ok())
        result = checkNewPassword(password, PasswordForm::Create);
    if (!result.ok())
        return result;
    return ask([&] { return VaultranerProxy::createEncryptedBox(name, password.text()); });
}

BoxResult BoxOperations::deleteBox(const BoxInfo &box, const SecretString &password)
{
    BoxResult result = checkAllowed(box, BoxAction::Delete);
    if (result.ok())
        result = checkOwnerPassword(box, password);
    if (!result.ok())
        return result;
    return deleteCheckedBox(box);
}

BoxResult BoxOperations::deleteCheckedBox(const BoxInfo &box)
{
    BoxResult result = checkAllowed(box, BoxAction::Delete);
    if (!result.ok())
        return result;
    result = ask([&] { return VaultranerProxy::deleteBox(box.name); });
    const QString setAside = VaultranerProxy::lastSetAside();
    if (result.ok() && !setAside.isEmpty()) {
        result.detail = setAside;
        result.reason = BoxReasons::setAsideText(setAside);
    }
    return result;
}

BoxResult BoxOperations::rename(const BoxInfo &box, const QString &newName, const SecretString &password)
{
    BoxResult result = checkAllowed(box, BoxAction::Rename);
    if (result.ok())
        result = checkName(newName, NameForm::Rename);
    if (result.ok())
        result = checkOwnerPassword(box, password);
    if (!result.ok())
        return result;
    return ask([&] { return VaultranerProxy::renameBox(box.name, newName); });
}

BoxResult BoxOperations::mount(const BoxInfo &box, const SecretString &password, unsigned int idleSeconds)
{
    BoxResult result = checkAllowed(box, BoxAction::Mount);
    if (result.ok())
        result = checkPassword(password);
    if (!result.ok())
        return result;
    if (idleSeconds > 0 && !VaultranerProxy::canMountWithIdleTime())
        return BoxResult::failure(BoxResult::Unsupported,
                                  tr("此版本的保护箱服务不能在空闲后自动卸载保护箱！"));
    return ask([&] { return VaultranerProxy::mountBox(box.owner, box.name, password.text(), idleSeconds); });
}

BoxResult BoxOperations::mountWithUserSettings(const BoxInfo &box, const SecretString &password)
{
    const unsigned int idle = VaultranerProxy::canMountWithIdleTime() ? LockSettings::load().idleSeconds() : 0;
    return mount(box, password, idle);
}

BoxResult BoxOperations::unmount(const BoxInfo &box)
{
    BoxResult result = checkAllowed(box, BoxAction::Unmount);
    if (!result.ok())
        return result;
    return ask([&] { return VaultranerProxy::umountBox(box.owner, box.name); });
}

BoxResult BoxOperations::addPassword(const BoxInfo &box, const SecretString &password)
{
    BoxResult result = checkAllowed(box, BoxAction::PasswordSetting);
    if (result.ok() && box.encrypted)
        result = BoxResult::failure(BoxResult::Refused, tr("保护箱 “%1” 已加密！").arg(box.name));
    if (result.ok())
        result = checkNewPassword(password, PasswordForm::Add);
    if (!result.ok())
        return result;
    return ask([&] { return VaultranerProxy::addPassphrase(box.name, password.text()); });
}

BoxResult BoxOperations::changePassword(const BoxInfo &box, const SecretString &current,
                                        const SecretString &fresh)
{
    BoxResult result = checkAllowed(box, BoxAction::PasswordSetting);
    if (result.ok() && !box.encrypted)
        result = BoxResult::failure(BoxResult::Refused,
                                    BoxOutcomes::refusal(box, BoxAction::PasswordSetting, BoxRefusal::NotEncrypted));
    if (result.ok())
        result = checkPassword(current);
    if (result.ok())
        result = checkNewPassword(fresh, PasswordForm::Change);
    if (!result.ok())
        return result;
    return ask([&] { return VaultranerProxy::changePassphrase(box.name, current.text(), fresh.text()); });
}

BoxResult BoxOperations::removePassword(const BoxInfo &box, const SecretString &current)
{
    BoxResult result = checkAllowed(box, BoxAction::PasswordSetting);
    if (result.ok() && !box.encrypted)
        result = BoxResult::failure(BoxResult::Refused,
                                    BoxOutcomes::refusal(box, BoxAction::PasswordSetting, BoxRefusal::NotEncrypted));
    if (result.ok())
        result = checkPassword(current);
    if (!result.ok())
        return result;
    return ask([&] { return VaultranerProxy::removePassphrase(box.name, current.text()); });
}

BoxResult BoxOperations::verifyPassword(const BoxInfo &box, const SecretString &password)
{
    BoxResult result = checkPassword(password);
    if (!result.ok())
        return result;
    return ask([&] { return VaultranerProxy::verifyPassphrase(box.name, password.text()); });
}

BoxResult BoxOperations::list(QList<BoxInfo> &boxes, OwnerFilter owner, EncryptionFilter encryption,
                              ShareFilter share)
{
    return ask([&] { return VaultranerProxy::getBoxList(boxes, int(owner), int(encryption), int(share)); });
}

void BoxOperations::setPrintsBoxTable(bool print)
{
    VaultranerProxy::setPrintsBoxTable(print);
}

void BoxOperations::setLogsFailures(bool logs)
{
    VaultranerProxy::setLogsFailures(logs);
}

void BoxOperations::setProgressHandler(std::function<void(int percent)> handler)
{
    VaultranerProxy::setProgressHandler(std::move(handler));
}

void BoxOperations::setWaitHandler(std::function<void()> handler)
{
    VaultranerProxy::setWaitHandler(std::move(handler));
}

const char *BoxOperations::serviceErrorText(int code)
{
    return VaultranerProxy::boxError(code);
}

QString BoxOperations::userBoxFolder()
{
    return VaultranerProxy::userBoxFolder();
}

BoxResult BoxOperations::find(const QString &name, BoxInfo &box, const QString &owner)
{
    QList<BoxInfo> boxes;
    BoxResult result = list(boxes);
    if (!result.ok())
        return result;
    for (const BoxInfo &candidate : qAsConst(boxes)) {
        if (isBox(candidate, name, owner)) {
            box = candidate;
            return result;
        }
    }
    BoxResult missing = BoxResult::failure(BoxResult::InvalidInput, BoxReasons::text(BOX_REASON_NOT_FOUND));
    missing.libraryReason = BOX_REASON_NOT_FOUND;
    return missing;
}

bool BoxOperations::isBox(const BoxInfo &box, const QString &name, const QString &owner)
{
    const bool ownerMatches = owner.isEmpty() ? !box.fromOther : box.owner == owner;
    return box.name == name && ownerMatches;
}

BoxResult BoxOperations::readShares(const BoxInfo &box, QList<ShareUser> &shares)
{
    if (box.name.isEmpty())
        return BoxResult::failure(BoxResult::InvalidInput, BoxReasons::text(BOX_REASON_NOT_FOUND));
    shares.clear();
    return ask([&] { return VaultranerProxy::getSharedList(box.owner, box.name, shares); });
}

BoxResult BoxOperations::applyShares(const BoxInfo &box, const QList<ShareUser> &shares, int &added)
{
    added = 0;
    BoxResult result = checkAllowed(box, BoxAction::ShareSetting);
    if (!result.ok())
        return result;
    VaultranerProxy::clearLastFailure();
    added = VaultranerProxy::setSharedList(box.name, shares);
    if (added == shares.size())
        return BoxResult::success();
    return libraryFailure();
}
