#include "ShareCandidates.h"

#include "BoxTypes.h"
#include "zavrit.h"

#include <QHash>

#include <cstring>
#include <pwd.h>
#include <unistd.h>

namespace {

const uid_t kSecurityAdministrator = 600;
const uid_t kAuditAdministrator = 700;
const uid_t kLastSystemUid = 999;
// zavrit_get_func_status: the security function whose administrators may
// receive shares.
const int kSecurityFunction = 3;

bool hasLoginShell(const char *shell)
{
    static const char *const refusing[] = {"/sbin/nologin", "/usr/sbin/nologin", "/bin/false", "/usr/bin/false"};
    const char *s = shell ? shell : "";
    for (const char *r : refusing)
        if (std::strcmp(s, r) == 0)
            return false;
    return true;
}

} // namespace

bool ShareCandidates::isCandidate(uid_t uid, const char *shell, uid_t self, bool securityFunctionOn)
{
    const bool administrator = uid == kSecurityAdministrator || uid == kAuditAdministrator;
    if (uid >= 1 && uid <= kLastSystemUid && !administrator)
        return false;
    if (uid == self || !hasLoginShell(shell))
        return false;
    return !administrator || securityFunctionOn;
}

QList<ShareUser> ShareCandidates::collect(const QList<ShareUser> &shares)
{
    QHash<uint, SharePermission> permissions;
    for (const ShareUser &share : shares)
        permissions.insert(share.uid, share.perm);

    QList<ShareUser> candidates;
    const uid_t self = getuid();
    setpwent();
    while (const struct passwd *account = getpwent()) {
        const uid_t uid = account->pw_uid;
        // The security function's state is asked anew for every account
        // that passes the other tests.
        if (!isCandidate(uid, account->pw_shell, self, true))
            continue;
        if (!isCandidate(uid, account->pw_shell, self, zavrit_get_func_status(kSecurityFunction) != 0))
            continue;
        ShareUser user;
        user.uid = uid;
        user.type = kShareTypeNamedUser;
        user.perm = permissions.value(uint(uid), SharePermission::None);
        user.name = QString::fromUtf8(account->pw_name ? account->pw_name : "");
        candidates.append(user);
    }
    endpwent();
    return candidates;
}
