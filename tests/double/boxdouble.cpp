#include "boxdouble.h"

#include "box_service.h"
#include "venmoraos_type.h"
#include "zavrit.h"

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <map>
#include <mutex>
#include <string>

namespace {

struct State {
    std::vector<BoxDouble::Box> boxes;
    std::vector<BoxDouble::Call> calls;
    std::map<std::string, int> results;
    std::map<std::string, std::pair<int, int>> nthFailures; // func -> (n, result)
    std::map<std::string, int> counts;
    int securityStatus = 0;
    int desktop = 1;
    int live = 0;
    uid_t uid = 1000;
    std::string userName = "tester";
};

State &state()
{
    static State s;
    return s;
}

struct passwd g_passwd;
char g_passwdName[64] = "tester";
char g_emptyField[1] = "";

void refreshPasswd()
{
    std::snprintf(g_passwdName, sizeof g_passwdName, "%s", state().userName.c_str());
    g_passwd.pw_name = g_passwdName;
    g_passwd.pw_passwd = g_emptyField;
    g_passwd.pw_uid = state().uid;
    g_passwd.pw_gid = state().uid;
    g_passwd.pw_gecos = g_emptyField;
    g_passwd.pw_dir = g_emptyField;
    g_passwd.pw_shell = g_emptyField;
}

std::string str(const char *s) { return s ? std::string(s) : std::string("<null>"); }

int record(const std::string &func, std::vector<std::string> args)
{
    State &s = state();
    s.calls.push_back({func, std::move(args)});
    int n = ++s.counts[func];
    auto nth = s.nthFailures.find(func);
    if (nth != s.nthFailures.end() && nth->second.first == n)
        return nth->second.second;
    auto it = s.results.find(func);
    return it == s.results.end() ? 0 : it->second;
}

std::string keyArgs(const char *key, size_t len)
{
    return str(key) + "|" + std::to_string(len);
}

BoxDouble::Box *findOwn(const char *name)
{
    for (auto &b : state().boxes)
        if (name && b.name == name && (b.flags & BOX_FLAG_SELF))
            return &b;
    return nullptr;
}

BoxDouble::Box *find(const char *owner, const char *name)
{
    for (auto &b : state().boxes)
        if (name && owner && b.name == name && b.owner == owner)
            return &b;
    return nullptr;
}

char *dup(const std::string &s) { return strdup(s.c_str()); }

box_info *makeInfo(const BoxDouble::Box &b, bool withAcl)
{
    auto *info = static_cast<box_info *>(calloc(1, sizeof(box_info)));
    info->name = dup(b.name);
    info->path = dup(b.path);
    info->owner = dup(b.owner);
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

void setShareFlags(BoxDouble::Box &b)
{
    // any named-user entry "u:<id>:..." counts as a share
    bool shared = false;
    size_t pos = 0;
    while ((pos = b.acl.find("u:", pos)) != std::string::npos) {
        if (pos + 2 < b.acl.size() && b.acl[pos + 2] != ':')
            shared = true;
        pos += 2;
    }
    b.flags &= ~(BOX_FLAG_SHARED | BOX_FLAG_UNSHARED);
    b.flags |= shared ? BOX_FLAG_SHARED : BOX_FLAG_UNSHARED;
}

} // namespace

namespace BoxDouble {

void reset()
{
    state() = State();
    refreshPasswd();
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
    int n = 0;
    for (const auto &c : state().calls)
        n += c.func == func;
    return n;
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

} // namespace BoxDouble

extern "C" {

struct passwd *passwd = (refreshPasswd(), &g_passwd);

int box_enabled(void)
{
    auto it = state().results.find("box_enabled");
    state().calls.push_back({"box_enabled", {}});
    return it == state().results.end() ? 1 : it->second;
}

int box_init(void) { return record("box_init", {}); }

const char *box_err(int code)
{
    static char buf[64];
    if (code == 999 || code == -999)
        return nullptr;
    std::snprintf(buf, sizeof buf, "double error %d", code < 0 ? -code : code);
    return buf;
}

int box_create(const char *name)
{
    int r = record("box_create", {str(name)});
    if (r == 0 && name) {
        BoxDouble::Box b;
        b.name = name;
        b.owner = state().userName;
        b.path = "/box/" + b.owner + "/" + b.name;
        b.flags = BOX_FLAG_PLAIN | BOX_FLAG_UNSHARED | BOX_FLAG_SELF;
        state().boxes.push_back(b);
    }
    return r;
}

int box_delete(const char *name)
{
    int r = record("box_delete", {str(name)});
    if (r == 0) {
        auto &v = state().boxes;
        for (auto it = v.begin(); it != v.end(); ++it)
            if (name && it->name == name && (it->flags & BOX_FLAG_SELF)) {
                v.erase(it);
                break;
            }
    }
    return r;
}

int box_change_name(const char *old_name, const char *new_name)
{
    int r = record("box_change_name", {str(old_name), str(new_name)});
    if (r == 0)
        if (auto *b = findOwn(old_name)) {
            b->name = new_name;
            b->path = "/box/" + b->owner + "/" + b->name;
        }
    return r;
}

static std::string settingsText(const box_crypto_params *p)
{
    char buf[32];
    std::snprintf(buf, sizeof buf, "0x%llx", p ? static_cast<unsigned long long>(p->settings) : 0ULL);
    return buf;
}

int box_crypto_create(const char *name, box_crypto_params *p)
{
    int r = record("box_crypto_create",
                   {str(name), p ? keyArgs(p->key, p->key_len) : "<null>", settingsText(p)});
    if (r == 0)
        if (auto *b = findOwn(name))
            b->flags = (b->flags & ~BOX_FLAG_PLAIN) | BOX_FLAG_ENCRYPTED;
    return r;
}

int box_crypto_change_passpharse(const char *name, box_passphrase *old_key, box_crypto_params *new_key)
{
    return record("box_crypto_change_passpharse",
                  {str(name), old_key ? keyArgs(old_key->key, old_key->key_len) : "<null>",
                   new_key ? keyArgs(new_key->key, new_key->key_len) : "<null>"});
}

int box_crypto_decrypt(const char *name, box_passphrase *key)
{
    int r = record("box_crypto_decrypt", {str(name), key ? keyArgs(key->key, key->key_len) : "<null>"});
    if (r == 0)
        if (auto *b = findOwn(name))
            b->flags = (b->flags & ~(BOX_FLAG_ENCRYPTED | BOX_FLAG_MOUNTED)) | BOX_FLAG_PLAIN;
    return r;
}

int box_crypto_verify_passphrase(const char *name, box_passphrase *key)
{
    return record("box_crypto_verify_passphrase", {str(name), key ? keyArgs(key->key, key->key_len) : "<null>"});
}

int box_crypto_mount(const char *owner, const char *name, box_passphrase *key)
{
    int r = record("box_crypto_mount",
                   {str(owner), str(name), key ? keyArgs(key->key, key->key_len) : "<null>"});
    if (r == 0)
        if (auto *b = find(owner, name))
            b->flags |= BOX_FLAG_MOUNTED;
    return r;
}

int box_crypto_umount(const char *owner, const char *name)
{
    int r = record("box_crypto_umount", {str(owner), str(name)});
    if (r == 0)
        if (auto *b = find(owner, name))
            b->flags &= ~BOX_FLAG_MOUNTED;
    return r;
}

int box_get_list(int mask, box_info **list)
{
    auto it = state().results.find("box_get_list");
    int r = record("box_get_list", {std::to_string(mask)});
    if (list)
        *list = nullptr;
    if (r < 0)
        return r;
    box_info *head = nullptr, **tail = &head;
    int n = 0;
    for (const auto &b : state().boxes) {
        *tail = makeInfo(b, false);
        tail = &(*tail)->next;
        ++n;
    }
    if (list)
        *list = head;
    else
        box_info_list_destroy(head);
    return it == state().results.end() ? n : r;
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
    int r = record("box_get_info", {str(owner), str(name)});
    if (info)
        *info = nullptr;
    if (r < 0)
        return r;
    BoxDouble::Box *b = find(owner, name);
    if (!b)
        return -ENOENT;
    if (info)
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
    int r = record("box_clear_share", {str(name)});
    if (r == 0)
        if (auto *b = findOwn(name)) {
            b->acl = "u::rwx,g::---,o::---";
            setShareFlags(*b);
        }
    return r;
}

int box_add_share(const char *name, int perm, uid_t uid, int type)
{
    int r = record("box_add_share", {str(name), std::to_string(perm), std::to_string(uid), std::to_string(type)});
    if (r == 0)
        if (auto *b = findOwn(name)) {
            std::string bits = perm == 7 ? "rwx" : "r-x";
            b->acl += ",u:" + std::to_string(uid) + ":" + bits;
            if (b->acl.find("m::") == std::string::npos)
                b->acl += ",m::rwx";
            setShareFlags(*b);
        }
    return r;
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
