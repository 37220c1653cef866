#include "boxdouble.h"

#include "box_service.h"
#include "box_service_ext.h"
#include "venmoraos_type.h"
#include "zavrit.h"

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <map>
#include <mutex>
#include <string>

namespace {

using BoxDouble::argText;
using BoxDouble::Box;
using BoxDouble::keyText;
using Args = std::vector<std::string>;
const char *const kPlainAcl = "u::rwx,g::---,o::---";

struct State {
    std::vector<Box> boxes;
    std::vector<BoxDouble::Call> calls;
    std::map<std::string, int> results;
    std::map<std::string, std::pair<int, int>> nthFailures; // func -> (n, result)
    std::map<std::string, int> counts;
    int securityStatus = 0;
    int desktop = 1;
    int live = 0;
    uid_t uid = 1000;
    std::string userName = "tester";
    std::map<int, int> reasons;
    std::string lastDetail;
    std::vector<int> progressSteps;
    std::string unavailableReason;
    int unavailableCode = 0;
};

State &state()
{
    static State s;
    return s;
}

// Blocking is shared between the test thread and a worker thread.
struct Gate {
    std::mutex mutex;
    std::condition_variable changed;
    std::string func; // the call to hold, empty for none
    bool waiting = false;
    bool released = false;
};

Gate &gate()
{
    static Gate g;
    return g;
}

thread_local box_progress_cb t_progress = nullptr;
thread_local void *t_progressUser = nullptr;

void reportProgress(const std::string &func, const char *name)
{
    if (func != "box_crypto_create" && func != "box_crypto_decrypt" && func != "box_crypto_change_passpharse")
        return;
    if (t_progress)
        for (int percent : state().progressSteps)
            t_progress(name, percent, t_progressUser);
}

void holdIfBlocked(const std::string &func)
{
    Gate &g = gate();
    std::unique_lock<std::mutex> lock(g.mutex);
    if (g.func.empty() || g.func != func)
        return;
    g.func.clear();
    g.waiting = true;
    g.changed.notify_all();
    g.changed.wait(lock, [&] { return g.released; });
    g.waiting = false;
    g.released = false;
}

struct passwd g_passwd;
char g_emptyField[1] = "";

void refreshPasswd()
{
    g_passwd = {state().userName.data(), g_emptyField, state().uid, state().uid,
                g_emptyField, g_emptyField, g_emptyField};
}


int record(const std::string &func, Args args)
{
    State &s = state();
    const std::string name = args.empty() ? std::string() : args.front();
    s.calls.push_back({func, std::move(args)});
    reportProgress(func, name.c_str());
    holdIfBlocked(func);
    int n = ++s.counts[func];
    auto nth = s.nthFailures.find(func);
    if (nth != s.nthFailures.end() && nth->second.first == n)
        return nth->second.second;
    auto it = s.results.find(func);
    return it == s.results.end() ? 0 : it->second;
}

Box *find(const char *owner, const char *name, bool own = false)
{
    for (auto &b : state().boxes)
        if (name && b.name == name && (own ? (b.flags & BOX_FLAG_SELF) : owner && b.owner == owner))
            return &b;
    return nullptr;
}

// Records the call and, when it succeeds on an own box, applies `change` to it.
int onOwn(const char *func, Args args, const char *name, const std::function<void(Box &)> &change)
{
    int r = record(func, std::move(args));
    if (r == 0)
        if (Box *b = find(nullptr, name, true))
            change(*b);
    return r;
}

box_info *makeInfo(const Box &b, bool withAcl)
{
    auto *info = static_cast<box_info *>(calloc(1, sizeof(box_info)));
    info->name = strdup(b.name.c_str());
    info->path = strdup(b.path.c_str());
    info->owner = strdup(b.owner.c_str());
    info->flags = static_cast<uint8_t>(b.flags);
    info->acl = withAcl ? acl_from_text(b.acl.c_str()) : nullptr;
    ++state().live;
    return info;
}

void freeInfo(box_info *info)
{
    free(info->name);
    free(info->path);
    free(info->owner);
    if (info->acl)
        acl_free(info->acl);
    free(info);
    --state().live;
}

// Any named-user entry "u:<id>:..." counts as a share.
void setShareFlags(Box &b)
{
    bool shared = false;
    for (size_t pos = 0; (pos = b.acl.find("u:", pos)) != std::string::npos; pos += 2)
        shared |= pos + 2 < b.acl.size() && b.acl[pos + 2] != ':';
    b.flags = (b.flags & ~(BOX_FLAG_SHARED | BOX_FLAG_UNSHARED)) | (shared ? BOX_FLAG_SHARED : BOX_FLAG_UNSHARED);
}

} // namespace

namespace BoxDouble {

void setUnavailableReason(const std::string &reason) { state().unavailableReason = reason; }
void setUnavailableCode(int code) { state().unavailableCode = code; }

void reset()
{
    state() = State();
    refreshPasswd();
    std::lock_guard<std::mutex> lock(gate().mutex);
    gate().func.clear();
}

void addBox(const Box &box) { state().boxes.push_back(box); }
void setBoxes(const std::vector<Box> &boxes) { state().boxes = boxes; }
std::vector<Box> boxes() { return state().boxes; }
void setResult(const std::string &func, int result) { state().results[func] = result; }
void failNthCall(const std::string &func, int n, int result)
{
    state().nthFailures[func] = {state().counts[func] + n, result};
}
std::vector<Call> calls() { return state().calls; }
std::vector<std::string> callNames()
{
    std::vector<std::string> names;
    for (const auto &c : state().calls)
        names.push_back(c.func);
    return names;
}
int callCount(const std::string &func)
{
    const auto names = callNames();
    return int(std::count(names.begin(), names.end(), func));
}
void clearCalls() { state().calls.clear(); }
void setCaller(uid_t uid, const std::string &name)
{
    state().uid = uid;
    state().userName = name;
    refreshPasswd();
}
void setSecurityFunctionStatus(int status) { state().securityStatus = status; }
void setDesktop(int desktop) { state().desktop = desktop; }
int liveRecords() { return state().live; }
void setReason(int code, int reason) { state().reasons[code] = reason; }
void setLastDetail(const std::string &detail) { state().lastDetail = detail; }
void setProgressSteps(const std::vector<int> &percents) { state().progressSteps = percents; }

void blockNextCall(const std::string &func)
{
    std::lock_guard<std::mutex> lock(gate().mutex);
    gate().func = func;
    gate().released = false;
}

bool waitUntilBlocked(int timeoutMs)
{
    Gate &g = gate();
    std::unique_lock<std::mutex> lock(g.mutex);
    return g.changed.wait_for(lock, std::chrono::milliseconds(timeoutMs), [&] { return g.waiting; });
}

void releaseBlocked()
{
    Gate &g = gate();
    std::lock_guard<std::mutex> lock(g.mutex);
    g.released = true;
    g.changed.notify_all();
}

} // namespace BoxDouble

extern "C" {

struct passwd *passwd = (refreshPasswd(), &g_passwd);

int box_enabled(void)
{
    // Enabled unless told otherwise.
    if (state().results.find("box_enabled") == state().results.end())
        state().results["box_enabled"] = 1;
    return record("box_enabled", {});
}

int box_init(void) { return record("box_init", {}); }

const char *box_err(int code)
{
    static char buf[64];
    std::snprintf(buf, sizeof buf, "double error %d", code < 0 ? -code : code);
    return buf;
}

int box_create(const char *name)
{
    int r = record("box_create", {argText(name)});
    if (r == 0 && name) {
        const std::string owner = state().userName;
        state().boxes.push_back({name, "/box/" + owner + "/" + name, owner,
                                 BOX_FLAG_PLAIN | BOX_FLAG_UNSHARED | BOX_FLAG_SELF, kPlainAcl});
    }
    return r;
}

int box_delete(const char *name)
{
    return onOwn("box_delete", {argText(name)}, name, [](Box &b) {
        auto &v = state().boxes;
        v.erase(v.begin() + (&b - v.data()));
    });
}

int box_change_name(const char *old_name, const char *new_name)
{
    return onOwn("box_change_name", {argText(old_name), argText(new_name)}, old_name, [&](Box &b) {
        b.name = new_name;
        b.path = "/box/" + b.owner + "/" + b.name;
    });
}

int box_crypto_create(const char *name, box_crypto_params *p)
{
    char settings[32];
    std::snprintf(settings, sizeof settings, "0x%llx", p ? static_cast<unsigned long long>(p->settings) : 0ULL);
    return onOwn("box_crypto_create", {argText(name), keyText(p), settings}, name,
                 [](Box &b) { b.flags = (b.flags & ~BOX_FLAG_PLAIN) | BOX_FLAG_ENCRYPTED; });
}

int box_crypto_change_passpharse(const char *name, box_passphrase *old_key, box_crypto_params *new_key)
{
    return record("box_crypto_change_passpharse", {argText(name), keyText(old_key), keyText(new_key)});
}

int box_crypto_decrypt(const char *name, box_passphrase *key)
{
    return onOwn("box_crypto_decrypt", {argText(name), keyText(key)}, name, [](Box &b) {
        b.flags = (b.flags & ~(BOX_FLAG_ENCRYPTED | BOX_FLAG_MOUNTED)) | BOX_FLAG_PLAIN;
    });
}

int box_crypto_verify_passphrase(const char *name, box_passphrase *key)
{
    return record("box_crypto_verify_passphrase", {argText(name), keyText(key)});
}

// Records a mount or unmount; on success sets or clears the box's mounted flag.
int mountCall(const char *func, Args args, const char *owner, const char *name, bool mounted)
{
    int r = record(func, std::move(args));
    if (r == 0)
        if (Box *b = find(owner, name))
            b->flags = mounted ? (b->flags | BOX_FLAG_MOUNTED) : (b->flags & ~BOX_FLAG_MOUNTED);
    return r;
}

int box_crypto_mount(const char *owner, const char *name, box_passphrase *key)
{
    return mountCall("box_crypto_mount", {argText(owner), argText(name), keyText(key)}, owner, name, true);
}

int box_crypto_umount(const char *owner, const char *name)
{
    return mountCall("box_crypto_umount", {argText(owner), argText(name)}, owner, name, false);
}

int box_get_list(int mask, box_info **list)
{
    const bool resultSet = state().results.count("box_get_list");
    int r = record("box_get_list", {std::to_string(mask)});
    *list = nullptr;
    if (r < 0)
        return r;
    box_info **tail = list;
    for (const auto &b : state().boxes) {
        *tail = makeInfo(b, false);
        tail = &(*tail)->next;
    }
    return resultSet ? r : int(state().boxes.size());
}

void box_info_list_destroy(box_info *list)
{
    state().calls.push_back({"box_info_list_destroy", {}});
    while (list) {
        box_info *next = list->next;
        freeInfo(list);
        list = next;
    }
}

int box_get_info(const char *owner, const char *name, box_info **info)
{
    int r = record("box_get_info", {argText(owner), argText(name)});
    *info = nullptr;
    if (r < 0)
        return r;
    Box *b = find(owner, name);
    if (!b)
        return -ENOENT;
    *info = makeInfo(*b, true);
    return r;
}

void box_info_destroy(box_info *info)
{
    state().calls.push_back({"box_info_destroy", {}});
    if (info)
        freeInfo(info);
}

int box_clear_share(const char *name)
{
    return onOwn("box_clear_share", {argText(name)}, name, [](Box &b) {
        b.acl = kPlainAcl;
        setShareFlags(b);
    });
}

int box_add_share(const char *name, int perm, uid_t uid, int type)
{
    Args args{argText(name), std::to_string(perm), std::to_string(uid), std::to_string(type)};
    return onOwn("box_add_share", std::move(args), name, [&](Box &b) {
        b.acl += ",u:" + std::to_string(uid) + ":" + (perm == 7 ? "rwx" : "r-x");
        if (b.acl.find("m::") == std::string::npos)
            b.acl += ",m::rwx";
        setShareFlags(b);
    });
}

int box_reason_of(int code)
{
    const auto &reasons = state().reasons;
    auto it = reasons.find(code);
    return it == reasons.end() ? BOX_REASON_NONE : it->second;
}

const char *box_last_detail(void)
{
    return state().lastDetail.empty() ? nullptr : state().lastDetail.c_str();
}

void box_set_progress(box_progress_cb cb, void *user)
{
    t_progress = cb;
    t_progressUser = user;
}

int box_crypto_mount_idle(const char *owner, const char *name, box_passphrase *key, unsigned int idle_seconds)
{
    return mountCall("box_crypto_mount_idle", {argText(owner), argText(name), keyText(key), std::to_string(idle_seconds)},
                     owner, name, true);
}

const char *box_unavailable_reason(void)
{
    const std::string &reason = state().unavailableReason;
    return reason.empty() ? nullptr : reason.c_str();
}

int box_unavailable_code(void)
{
    return state().unavailableCode;
}

// No folder of the user's: the program falls back to its own idea of it.
int box_user_folder(char *, size_t)
{
    return -1;
}

int zavrit_get_func_status(int id)
{
    state().calls.push_back({"zavrit_get_func_status", {std::to_string(id)}});
    return state().securityStatus;
}

int venmora_os_check_is_desktop(void)
{
    state().calls.push_back({"venmora_os_check_is_desktop", {}});
    return state().desktop;
}

} // extern "C"

int BoxDouble::recordCall(const std::string &func, const std::vector<std::string> &args)
{
    return record(func, args);
}
