#pragma once

#include <QList>

#include <sys/types.h>

#include "BoxTypes.h"

// The local accounts a box can be shared with.
class ShareCandidates
{
public:
    // Every candidate account in the account database's order, each with
    // its permission from `shares` (SharePermission::None when it has none).
    static QList<ShareUser> collect(const QList<ShareUser> &shares);

    // The rule: people, not services (uid 0 or 1000 and above, plus the
    // security and audit administrators 600 and 700, those two only while
    // the security function is on), never the caller, and only accounts
    // whose login shell accepts logins.
    static bool isCandidate(uid_t uid, const char *shell, uid_t self, bool securityFunctionOn);
};
