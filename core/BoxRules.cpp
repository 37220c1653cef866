#include "BoxRules.h"

#include "box_service_ext.h"

BoxRefusal BoxRules::refusal(const BoxInfo &box, BoxAction action)
{
    if (action == BoxAction::Unmount) {
        if (box.mounted)
            return BoxRefusal::None;
        return box.mountedElsewhere ? BoxRefusal::MountedElsewhere : BoxRefusal::NotMounted;
    }
    if (box.mounted)
        return BoxRefusal::Mounted;
    if (action == BoxAction::Mount)
        return box.encrypted ? BoxRefusal::None : BoxRefusal::NotEncrypted;
    if (box.fromOther)
        return BoxRefusal::NotOwner;
    if (box.mountedElsewhere && (action == BoxAction::Delete || action == BoxAction::Rename))
        return BoxRefusal::MountedElsewhere;
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

BoxOpening BoxRules::opening(const BoxInfo &box)
{
    return box.encrypted && !box.mounted ? BoxOpening::Mount : BoxOpening::OpenFolder;
}

bool BoxRules::actionOfCode(int code, BoxAction &action)
{
    if (code < int(BoxAction::Mount) || code > int(BoxAction::Rename))
        return false;
    action = BoxAction(code);
    return true;
}

int BoxRules::passphraseMax()
{
    return BOX_PASSPHRASE_MAX;
}
