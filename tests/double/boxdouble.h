// In-memory stand-in for the box service library and the two small platform
// libraries: it exports the same C functions, and tests lay out boxes, choose
// results and read back every call with its arguments through BoxDouble.
#pragma once

#include <sys/types.h>

#include <string>
#include <vector>

namespace BoxDouble {

struct Call {
    std::string func;
    std::vector<std::string> args; // strings as passed; numbers in decimal
};

struct Box {
    std::string name;
    std::string path;
    std::string owner;
    unsigned flags = 0;
    std::string acl = "u::rwx,g::---,o::---"; // text form, see acl_from_text(3)
};

// An argument as the calls record it: a text ("<null>" for none), and a
// password as "<key>|<length>".
inline std::string argText(const char *s)
{
    return s ? std::string(s) : std::string("<null>");
}

template <class Key> std::string keyText(const Key *k)
{
    return k ? argText(k->key) + "|" + std::to_string(k->key_len) : "<null>";
}

// Records a call like the double's own functions and returns its result.
int recordCall(const std::string &func, const std::vector<std::string> &args);

// The recovery functions of box_service_ext.h live in a library of their
// own (boxservice_double_recovery) that only the tests of the windows using
// them link; calling this keeps the linker from dropping it.
void offerRecovery();
// What its box_crypto_recovery_key hands out.
inline const char *const kRecoveryKey = "0123456789abcdef0123456789abcdef0123456789abcdef0123456789abcdef";

// Forget every box, call, result and setting; the caller becomes uid 1000 "tester".
void reset();

// Boxes returned by box_get_list, in this order.
void addBox(const Box &box);
void setBoxes(const std::vector<Box> &boxes);
std::vector<Box> boxes();

// func's result from now on (default 0; box_enabled 1; box_get_list the record
// count). Successful mutating calls update the boxes held.
void setResult(const std::string &func, int result);
// Only the n-th call of func from now on (counting from 1) fails with result.
void failNthCall(const std::string &func, int n, int result);

std::vector<Call> calls();
std::vector<std::string> callNames();
int callCount(const std::string &func);
void clearCalls();

void setCaller(uid_t uid, const std::string &name); // the exported `passwd`
void setSecurityFunctionStatus(int status);         // zavrit_get_func_status
void setDesktop(int desktop);                       // venmora_os_check_is_desktop
int liveRecords(); // box_info records handed out and not yet destroyed

// The optional functions (box_service_ext.h). box_reason_of maps a result
// code to the reason set for it (BOX_REASON_NONE otherwise); box_last_detail
// returns the detail set (NULL while empty).
void setReason(int code, int reason);
void setLastDetail(const std::string &detail);
// Percentages that encrypting, decrypting and changing a password report
// through the callback of box_set_progress, before they finish.
void setProgressSteps(const std::vector<int> &percents);
// box_unavailable_reason returns the reason set (NULL while empty);
// box_user_folder always fails.
void setUnavailableReason(const std::string &reason);
// What box_unavailable_code answers (a box_unavailable value; 0 by default).
void setUnavailableCode(int code);

// The next call of func waits, after reporting its progress, until
// releaseBlocked(); waitUntilBlocked() returns once a call waits (false
// after timeoutMs). For operations on worker threads.
void blockNextCall(const std::string &func);
bool waitUntilBlocked(int timeoutMs);
void releaseBlocked();

} // namespace BoxDouble
