#include "BoxServiceExtensions.h"

#include <dlfcn.h>

struct BoxServiceExtensions::Table {
    box_reason_of_fn reasonOf = nullptr;
    box_last_detail_fn lastDetail = nullptr;
    box_set_progress_fn setProgress = nullptr;
    box_unavailable_reason_fn unavailableReason = nullptr;
    box_user_folder_fn userFolder = nullptr;
    box_crypto_mount_idle_fn mountIdle = nullptr;
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
        t.unavailableReason = lookUp<box_unavailable_reason_fn>("box_unavailable_reason");
        t.userFolder = lookUp<box_user_folder_fn>("box_user_folder");
        t.mountIdle = lookUp<box_crypto_mount_idle_fn>("box_crypto_mount_idle");
        t.stateFolders = lookUp<box_state_folders_fn>("box_state_folders");
        return t;
    }();
    return resolved;
}

box_reason_of_fn BoxServiceExtensions::reasonOf() { return table().reasonOf; }
box_last_detail_fn BoxServiceExtensions::lastDetail() { return table().lastDetail; }
box_set_progress_fn BoxServiceExtensions::setProgress() { return table().setProgress; }
box_unavailable_reason_fn BoxServiceExtensions::unavailableReason() { return table().unavailableReason; }
box_user_folder_fn BoxServiceExtensions::userFolder() { return table().userFolder; }
box_crypto_mount_idle_fn BoxServiceExtensions::mountIdle() { return table().mountIdle; }
box_state_folders_fn BoxServiceExtensions::stateFolders() { return table().stateFolders; }
