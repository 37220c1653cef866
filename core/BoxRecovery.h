#pragma once

#include <QCoreApplication>
#include <QString>
#include <QStringList>

#include "BoxResult.h"
#include "BoxTypes.h"
#include "SecretString.h"
#include "VaultranerProxy.h"

// Never losing a box: its recovery key (shown when the box becomes
// encrypted and again with the password), a new password set with that key
// when the old one is forgotten, the integrity check, and export and import
// of the encrypted form. Each needs a function the box service may lack:
// the available* calls say whether to offer it.
class BoxRecovery
{
    Q_DECLARE_TR_FUNCTIONS(BoxRecovery)
public:
    static bool keyAvailable();
    static bool recoverAvailable();
    static bool checkAvailable();
    static bool exportImportAvailable();

    // The key of an encrypted box of the user's, with its password.
    static BoxResult recoveryKey(const BoxInfo &box, const SecretString &password, SecretString &key);
    // Sets `fresh` (the new-password rule applies) with the recovery key.
    // `keyChecked` is false when the box was empty and the key could not be
    // checked against anything; the new password is set all the same.
    static BoxResult recover(const BoxInfo &box, const SecretString &key, const SecretString &fresh,
                             const SecretString &confirm, bool &keyChecked);
    // What is wrong with the input of recover(), in the order a dialog
    // checks it; empty when it can go to the box service.
    static QString recoverInputProblem(const SecretString &key, const SecretString &fresh,
                                       const SecretString &confirm);
    // The key of a box that has just become encrypted with `password`;
    // empty where the service cannot tell it.
    static void newBoxKey(const QString &name, const SecretString &password, SecretString &key);
    // Checks every file of the box; `damaged` names those that are not
    // sound (paths inside the box). Changes nothing.
    static BoxResult check(const BoxInfo &box, const SecretString &password, QStringList &damaged);
    static BoxResult exportBox(const BoxInfo &box, const QString &file);
    static BoxResult importBox(const QString &source, const QString &name, const SecretString &password,
                               bool move);

    // The key in groups of four digits, four groups to a line: easy to
    // copy by hand. Typed back, spaces, dashes and line breaks are ignored.
    static QString groupedKey(const QString &key);
    // The warning shown with every key.
    static QString keyWarning();
    // What the user is told when a new password was set without the key
    // being checked.
    static QString uncheckedKeyNote(const QString &boxName);
};
