#pragma once

#include <QCoreApplication>
#include <QString>

#include "BoxResult.h"
#include "BoxRules.h"
#include "BoxTypes.h"

// The operations whose outcome the user reads.
enum class BoxOperation {
    Create,
    Delete,
    Rename,
    Mount,
    Unmount,
    AddPassword,
    ChangePassword,
    RemovePassword,
    Share,
    List,
    ReadShares,
};

// What the window and the command line say about an operation: the
// headline of a failure, why a box's state refuses an action, the share
// outcomes. Both front ends take their words from here.
class BoxOutcomes
{
    Q_DECLARE_TR_FUNCTIONS(BoxOutcomes)
public:
    // The headline of a failed operation on `box` (the name is unused where
    // the headline names no box).
    static QString failed(BoxOperation operation, const QString &box = QString());

    // Why the box's state refuses `action`; empty for BoxRefusal::None.
    static QString refusal(const BoxInfo &box, BoxAction action, BoxRefusal refusal);
    // The refusal of `action` for `box` by the table; empty when allowed.
    static QString refusal(const BoxInfo &box, BoxAction action);

    // Another box operation of this program is still running.
    static QString anotherOperationRuns();
    // An operation waits for another one of this account (here or in
    // another program) to end before it starts.
    static QString waitingForAnotherOperation();

    // A password that did not open the box.
    static QString wrongPassword();

    // The outcome of applying shares: all set, none, or some of them.
    static QString sharesApplied(const QString &box);
    static QString sharesPartlyApplied(const QString &box);

    // A whole one-line message: the headline, then the reason after the
    // language's colon ("…失败：原因" or "… failed: reason"). The headline's
    // own closing "！"/"!" gives way to the colon. No reason: the headline.
    static QString oneLine(const QString &headline, const QString &reason);
    static QString oneLine(const QString &headline, const BoxResult &result);
    // The window's form: the reason on a line of its own under the headline.
    static QString twoLines(const QString &headline, const BoxResult &result);
};
