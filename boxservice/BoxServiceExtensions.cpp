#include "BoxServiceExtensions.h"

#include <dlfcn.h>

struct BoxServiceExtensions::Table {
    box_reason_of_fn reasonOf = nullptr;
    box_last_detail_fn lastDetail = nullptr;
    box_set_progress_fn setProgress = nullptr;
    box_set_wait_notice_fn setWaitNotice = nullptr;
    box_unavailable_reason_fn unavailableReason = nullptr;
    box_unavailable_code_fn unavailableCode = nullptr;
    box_user_folder_fn userFolder = nullptr;
    box_crypto_mount_idle_fn mountIdle = nullptr;
    box_share_state_of_fn shareStateOf = nullptr;
    box_mounted_by_fn mountedBy = nullptr;
    box_crypto_recovery_key_fn recoveryKey = nullptr;
    box_crypto_recover_fn recover = nullptr;
    box_crypto_check_fn check = nullptr;
    box_export_fn exportBox = nullptr;
    box_import_fn importBox = nullptr;
    box_state_folders_fn stateFolders = nullptr;
};

namespace {
template <typename Fn>
Fn lookUp(const char *symbol)
{
    return reinterpret_cast<Fn>(dlsym(RTLD_DEFAULT, symbol));
}
} // namespace

// Resolved on first use; a function-local static is initialised once even
// when worker threads get here first.
const BoxServiceExtensions::Table &BoxServiceExtensions::table()
{
    static const Table resolved = [] {
        Table t;
        t.reasonOf = lookUp<box_reason_of_fn>("box_reason_of");
        t.lastDetail = lookUp<box_last_detail_fn>("box_last_detail");
        t.setProgress = lookUp<box_set_progress_fn>("box_set_progress");
        t.setWaitNotice = lookUp<box_set_wait_notice_fn>("box_set_wait_notice");
        t.unavailableReason = lookUp<box_unavailable_reason_fn>("box_unavailable_reason");
        t.unavailableCode = lookUp<box_unavailable_code_fn>("box_unavailable_code");
        t.userFolder = lookUp<box_user_folder_fn>("box_user_folder");
        t.mountIdle = lookUp<box_crypto_mount_idle_fn>("box_crypto_mount_idle");
        t.shareStateOf = lookUp<box_share_state_of_fn>("box_share_state_of");
        t.mountedBy = lookUp<box_mounted_by_fn>("box_mounted_by");
        t.recoveryKey = lookUp<box_crypto_recovery_key_fn>("box_crypto_recovery_key");
        t.recover = lookUp<box_crypto_recover_fn>("box_crypto_recover");
        t.check = lookUp<box_crypto_check_fn>("box_crypto_check");
        t.exportBox = lookUp<box_export_fn>("box_export");
        t.importBox = lookUp<box_import_fn>("box_import");
        t.stateFolders = lookUp<box_state_folders_fn>("box_state_folders");
        return t;
    }();
    return resolved;
}

box_reason_of_fn BoxServiceExtensions::reasonOf() { return table().reasonOf; }
box_last_detail_fn BoxServiceExtensions::lastDetail() { return table().lastDetail; }
box_set_progress_fn BoxServiceExtensions::setProgress() { return table().setProgress; }
box_set_wait_notice_fn BoxServiceExtensions::setWaitNotice() { return table().setWaitNotice; }
box_unavailable_reason_fn BoxServiceExtensions::unavailableReason() { return table().unavailableReason; }
box_unavailable_code_fn BoxServiceExtensions::unavailableCode() { return table().unavailableCode; }
box_user_folder_fn BoxServiceExtensions::userFolder() { return table().userFolder; }
box_crypto_mount_idle_fn BoxServiceExtensions::mountIdle() { return table().mountIdle; }
box_share_state_of_fn BoxServiceExtensions::shareStateOf() { return table().shareStateOf; }
box_mounted_by_fn BoxServiceExtensions::mountedBy() { return table().mountedBy; }
box_crypto_recovery_key_fn BoxServiceExtensions::recoveryKey() { return table().recoveryKey; }
box_crypto_recover_fn BoxServiceExtensions::recover() { return table().recover; }
box_crypto_check_fn BoxServiceExtensions::check() { return table().check; }
box_export_fn BoxServiceExtensions::exportBox() { return table().exportBox; }
box_import_fn BoxServiceExtensions::importBox() { return table().importBox; }
box_state_folders_fn BoxServiceExtensions::stateFolders() { return table().stateFolders; }
