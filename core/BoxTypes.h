#pragma once

#include <QFlags>
#include <QList>
#include <QString>

// The program's own names for boxes, shares and the integers that menus and
// filters pass around. Only the proxy converts between these and the box
// service's C records.

// The operations a box offers. The values are the codes the context menu
// reports and the main window dispatches on.
enum class BoxAction {
    Mount = 0,
    Unmount = 1,
    PasswordSetting = 2,
    ShareSetting = 3,
    Delete = 4,
    Rename = 5,
};

// The three selectors of a box list (the table header's filter buttons
// "全部", "是"/"个人创建", "否"/"他人共享").
enum class OwnerFilter { All = 0, Own = 1, Others = 2 };
enum class EncryptionFilter { All = 0, Encrypted = 1, Plain = 2 };
enum class ShareFilter { All = 0, Shared = 1, Unshared = 2 };

// One account's access to a box. The values are the permission numbers the
// box service takes (r-x and rwx).
enum class SharePermission { None = 0, ReadOnly = 5, ReadWrite = 7 };

// The ACL tag of a named user, the only kind of share there is.
constexpr unsigned int kShareTypeNamedUser = 2;

// The state bits of a box as the box service reports them; they travel
// along unchanged in BoxInfo::flags.
enum class BoxFlag : quint8 {
    Plain = 0x01,
    Encrypted = 0x02,
    Shared = 0x04,
    Unshared = 0x08,
    Self = 0x10,
    Other = 0x20,
    Mounted = 0x40,
};
Q_DECLARE_FLAGS(BoxFlags, BoxFlag)
Q_DECLARE_OPERATORS_FOR_FLAGS(BoxFlags)

// One box as the program sees it: a value copied out of the box service.
struct BoxInfo {
    QString name;
    QString path;
    QString owner;
    BoxFlags flags;
    bool shared = false;    // shared with at least one account
    bool encrypted = false; // protected by a password
    bool fromOther = false; // another account's box shared with us
    bool mounted = false;   // unlocked, by the calling account
    // Unlocked by another account (the owner, or another sharee): that
    // mount is not ours to unmount.
    bool mountedElsewhere = false;
    // The login of an account that has it mounted; empty where the box
    // service does not say.
    QString mountedBy;
    // Whether that other mount is its owner's (for a box shared with us, a
    // box service that names nobody means the owner).
    bool mountedByItsOwner() const { return fromOther && (mountedBy.isEmpty() || mountedBy == owner); }
    // What a share grants us on another account's box; None on our own.
    SharePermission access = SharePermission::None;
};

// One account's share of a box.
struct ShareUser {
    unsigned int uid = 0;
    unsigned int type = kShareTypeNamedUser;
    SharePermission perm = SharePermission::None;
    QString name;
};

