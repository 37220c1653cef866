#pragma once

// Named values for the integers that box lists, menus and shares pass
// around; each keeps the integer the interfaces carry.

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

// One user's access to a box, as ShareUser::perm carries it.
enum class SharePermission { None = 0, ReadOnly = 5, ReadWrite = 7 };

// ShareUser::type of a named user (the ACL tag).
constexpr unsigned int kShareTypeNamedUser = 2;
