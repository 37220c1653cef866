#pragma once

#include "box_service_ext.h"

// The optional functions of the box service library, looked up once at run
// time. Each accessor returns nullptr when the loaded library lacks the
// function; callers then do without the feature. Only VaultranerProxy uses
// this: it stays the one place that calls into the library.
class BoxServiceExtensions
{
public:
    static box_reason_of_fn reasonOf();
    static box_last_detail_fn lastDetail();
    static box_set_progress_fn setProgress();
    static box_set_wait_notice_fn setWaitNotice();
    static box_unavailable_reason_fn unavailableReason();
    static box_unavailable_code_fn unavailableCode();
    static box_user_folder_fn userFolder();
    static box_crypto_mount_idle_fn mountIdle();
    static box_share_state_of_fn shareStateOf();
    static box_mounted_by_fn mountedBy();
    static box_crypto_recovery_key_fn recoveryKey();
    static box_crypto_recover_fn recover();
    static box_crypto_check_fn check();
    static box_export_fn exportBox();
    static box_import_fn importBox();
    static box_state_folders_fn stateFolders();

private:
    struct Table;
    static const Table &table();
};
