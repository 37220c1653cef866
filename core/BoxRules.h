#pragma once

#include <QCoreApplication>
#include <QList>
#include <QString>

#include "BoxTypes.h"

// Why a box's state does not allow an action.
enum class BoxRefusal {
    None,             // allowed
    Mounted,          // unmount the box first
    NotMounted,       // only a mounted box can be unmounted
    NotEncrypted,     // only an encrypted box is mounted with a password
    NotOwner,         // another account's box: only mounting it is offered
    MountedElsewhere, // another account has it mounted: not ours to unmount,
                      // and not to be deleted or renamed under it
};

// What opening a box (a double-click, `vaultrane-box mount` of a plain box)
// does.
enum class BoxOpening {
    Mount,      // an encrypted box not mounted by us: mount it first
    OpenFolder, // open its folder as it is
};

// Which actions a box's state allows. The one table behind the context
// menu, the tool buttons, every operation, the command line and the
// double-click.
class BoxRules
{
    Q_DECLARE_TR_FUNCTIONS(BoxRules)
public:
    // A box mounted by us offers only unmount; an own box offers password,
    // share, delete and rename, plus mount when it is encrypted; another
    // account's box offers only mount, and only when it is encrypted. A
    // mount made by another account is not ours to unmount, and while it
    // lasts the owner can neither delete nor rename the box.
    static BoxRefusal refusal(const BoxInfo &box, BoxAction action);
    static bool allows(const BoxInfo &box, BoxAction action);
    static QList<BoxAction> allowedActions(const BoxInfo &box);

    // Double-click: mounts an encrypted box we have not mounted, otherwise
    // opens its folder.
    static BoxOpening opening(const BoxInfo &box);

    // The action of a context-menu code, or false for a code out of range.
    static bool actionOfCode(int code, BoxAction &action);

    // The longest passphrase the box service takes, in bytes of UTF-8.
    static int passphraseMax();
};
