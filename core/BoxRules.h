#pragma once

#include <QCoreApplication>
#include <QList>
#include <QString>

#include "BoxTypes.h"

// Why a box's state does not allow an action.
enum class BoxRefusal {
    None,         // allowed
    Mounted,      // unmount the box first
    NotMounted,   // only a mounted box can be unmounted
    NotEncrypted, // only an encrypted box is mounted with a password
    NotOwner,     // another user's box: only mounting it is offered
};

// The rules every caller applies alike: which actions a box's state allows
// (the context menu, the tool buttons and the operations read the same
// table) and what makes a good password.
class BoxRules
{
    Q_DECLARE_TR_FUNCTIONS(BoxRules)
public:
    // One table: a mounted box offers only unmount; an own box offers
    // password, share, delete and rename, plus mount when it is encrypted;
    // another user's box offers only mount, and only when it is encrypted.
    static BoxRefusal refusal(const BoxInfo &box, BoxAction action);
    static bool allows(const BoxInfo &box, BoxAction action);
    static QList<BoxAction> allowedActions(const BoxInfo &box);

    // The action of a context-menu code, or false for a code out of range.
    static bool actionOfCode(int code, BoxAction &action);

    // The password rule of new boxes: 6 to 18 characters, an ASCII letter
    // first, then ASCII letters, digits or underscores.
    static constexpr int kPasswordMinLength = 6;
    static constexpr int kPasswordMaxLength = 18;
    static bool passwordFollowsRule(const QString &password);
    // What is wrong with a new password and its confirmation, in the order
    // the create dialog checks them; empty when both are fine.
    static QString passwordProblem(const QString &password, const QString &confirm);

    // The longest passphrase the box service takes, in bytes of UTF-8.
    static int passphraseMax();
};
