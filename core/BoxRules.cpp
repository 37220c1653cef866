#include "BoxRules.h"

#include "box_service_ext.h"

namespace {

bool isAsciiLetter(QChar c)
{
    return (c >= QLatin1Char('A') && c <= QLatin1Char('Z')) || (c >= QLatin1Char('a') && c <= QLatin1Char('z'));
}

bool isAsciiDigit(QChar c)
{
    return c >= QLatin1Char('0') && c <= QLatin1Char('9');
}

} // namespace

BoxRefusal BoxRules::refusal(const BoxInfo &box, BoxAction action)
{
    if (action == BoxAction::Unmount)
        return box.mounted ? BoxRefusal::None : BoxRefusal::NotMounted;
    if (box.mounted)
        return BoxRefusal::Mounted;
    if (action == BoxAction::Mount)
        return box.encrypted ? BoxRefusal::None : BoxRefusal::NotEncrypted;
    if (box.fromOther)
        return BoxRefusal::NotOwner;
    return BoxRefusal::None;
}

bool BoxRules::allows(const BoxInfo &box, BoxAction action)
{
    return refusal(box, action) == BoxRefusal::None;
}

QList<BoxAction> BoxRules::allowedActions(const BoxInfo &box)
{
    QList<BoxAction> actions;
    for (BoxAction action : {BoxAction::Mount, BoxAction::Unmount, BoxAction::PasswordSetting,
                             BoxAction::ShareSetting, BoxAction::Delete, BoxAction::Rename})
        if (allows(box, action))
            actions.append(action);
    return actions;
}

bool BoxRules::actionOfCode(int code, BoxAction &action)
{
    if (code < int(BoxAction::Mount) || code > int(BoxAction::Rename))
        return false;
    action = BoxAction(code);
    return true;
}

bool BoxRules::passwordFollowsRule(const QString &password)
{
    if (password.size() < kPasswordMinLength || password.size() > kPasswordMaxLength
        || !isAsciiLetter(password.at(0)))
        return false;
    for (int i = 1; i < password.size(); ++i) {
        const QChar c = password.at(i);
        if (!isAsciiLetter(c) && !isAsciiDigit(c) && c != QLatin1Char('_'))
            return false;
    }
    return true;
}

QString BoxRules::passwordProblem(const QString &password, const QString &confirm)
{
    if (password.isEmpty())
        return tr("密码不可为空");
    if (!passwordFollowsRule(password))
        return tr("密码格式与要求不符\n密码要求：密码长度6-18位，只能包含字母、数字和下划线");
    if (confirm.isEmpty())
        return tr("确认密码不可为空");
    if (password != confirm)
        return tr("密码和确认密码不一致");
    return QString();
}

int BoxRules::passphraseMax()
{
    return BOX_PASSPHRASE_MAX;
}
