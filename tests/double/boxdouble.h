// In-memory stand-in for the box service library and the two small platform
// libraries. It exports the same C functions; tests steer it through the
// BoxDouble namespace below: they lay out boxes, choose each function's
// result and read back every call with its arguments.
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

// Forget every box, call, result and setting; the caller becomes uid 1000 "tester".
void reset();

// Boxes returned by box_get_list, in this order.
void addBox(const Box &box);
void setBoxes(const std::vector<Box> &boxes);
std::vector<Box> boxes();

// The result a function returns from now on (default 0; for box_enabled 1;
// for box_get_list the number of records). The successful mutating calls
// also update the boxes held, so a following box_get_list sees the change.
void setResult(const std::string &func, int result);
// Only the n-th call (counting from 1 after this is set) of func fails with result.
void failNthCall(const std::string &func, int n, int result);

std::vector<Call> calls();
std::vector<std::string> callNames();
int callCount(const std::string &func);
void clearCalls();

// The account the library reports as the caller (the exported `passwd`).
void setCaller(uid_t uid, const std::string &name);

void setSecurityFunctionStatus(int status); // zavrit_get_func_status
void setDesktop(int desktop);               // venmora_os_check_is_desktop

// Records handed out by box_get_list/box_get_info and not yet destroyed.
int liveRecords();

} // namespace BoxDouble
