// Shared by the box service library's tests: a check macro, temporary box
// roots, tree snapshots and child processes (optionally as another account).
#pragma once

#include "box_service.h"

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <functional>
#include <map>
#include <signal.h>
#include <string>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

namespace tk {

inline int failed = 0; // checks failed so far

#define CHECK(cond)                                                                     \
    ((cond) ? (void)0                                                                   \
            : (void)(std::fprintf(stderr, "%s:%d: check failed: %s\n", __FILE__, __LINE__, #cond), ++tk::failed))

// In a child process: report the failing line through the exit status.
#define CHILD_CHECK(cond)                                                               \
    do {                                                                                \
        if (!(cond)) {                                                                  \
            std::fprintf(stderr, "%s:%d: child check: %s\n", __FILE__, __LINE__, #cond); \
            return __LINE__ % 250 + 1;                                                  \
        }                                                                               \
    } while (0)

// Like CHECK, for a call's result in a table's row: prints what it returned.
#define CHECK_ROW(row, call, expected) tk::checkResult((call), (expected), (row), __FILE__, __LINE__)

void checkResult(long actual, long expected, const char *row, const char *file, int line);

// Prints the count of failed checks; the exit status for main.
int report(const char *test);

// For main: ctest's skip status (77) after a one-line reason when this
// account cannot mount (or is not root), 0 when the test can run.
int skipWithoutMounts(const char *test);
int skipUnlessRoot(const char *test);

std::string readFile(const std::string &path);
bool writeFile(const std::string &path, const std::string &data, mode_t mode = 0644);
void run(const std::string &cmd);
std::vector<std::string> listDir(const std::string &dir); // without . and ..
bool exists(const std::string &path);                     // lstat succeeds
std::string aclText(const std::string &path);             // access ACL, numeric ids, comma separated
bool reachable(const std::string &path);                  // the folder opens or the file reads

// A temporary box root for $BOX_SERVICE_ROOT; unmounts and removes all.
struct TempRoot {
    TempRoot();
    ~TempRoot();
    std::string base, root, user; // temporary folder, box root, <root>/<login>
    std::string previousRoot;      // $BOX_SERVICE_ROOT before, restored after
};

bool isMountPoint(const std::string &path);

// One entry of a tree, as text: type, mode, owner, size, time, ACLs,
// user attributes and content (file data or link target).
using Snapshot = std::map<std::string, std::string>;
Snapshot snapshot(const std::string &dir);
bool sameTree(const Snapshot &a, const Snapshot &b);

// `files` files in nested folders, symlinks, a FIFO, an empty folder, odd
// modes, fixed times, ACLs and user attributes; as root also files of
// another owner and set-id bits.
void buildTree(const std::string &dir, int files);

// Runs fn in a child process (as uid/gid when given); returns its exit
// status, or 1000 + signal when it was killed.
int inChild(const std::function<int()> &fn, uid_t uid = (uid_t)-1, gid_t gid = (gid_t)-1);

// A throwaway account made with useradd (root only) for the sharing
// tests; `as` runs fn in a child process as that account, after box_init.
struct Account {
    std::string name;
    uid_t uid = 0;
    gid_t gid = 0;
    bool make(const std::string &login); // replaces an old one of that name
    void remove() const;
    int as(const std::function<int()> &fn) const;
    // Whether this account can open any of the paths.
    bool reaches(const std::vector<std::string> &paths) const;
    // What fn returns in a child process as this account.
    std::string output(const std::function<std::string()> &fn) const;
    std::string reads(const std::string &path) const; // empty when it cannot
    bool writes(const std::string &path, const std::string &data) const;
    bool runs(const std::string &folder, const std::string &command) const; // in the shell
};

// A sharee's command for its own folder "b-folder", closed to the owner's
// deleting (0755: the inherited mask would let the owner in), holding the
// sharee's file.
inline const char *kLeaveClosedFolder = "mkdir b-folder && chmod 0755 b-folder && echo \"B's file\" > b-folder/b.txt";

// The accounts <prefix><letter><pid>, a letter each in turn from 'a',
// removed again when it goes.
struct Accounts {
    Accounts(const std::string &prefix, const std::vector<Account *> &accounts);
    ~Accounts();
    std::vector<Account *> all;
    bool made = true;
};

// A password for both kinds of call, zeroed when it goes.
struct Key {
    explicit Key(const std::string &key);
    ~Key();
    box_passphrase pass;
    box_crypto_params params;
};

// The tree of an encrypted box, mounted for the look (empty when it does
// not mount) and unmounted again.
Snapshot mountedTree(const std::string &name, const Key &key);

// Whether `rc` is the refusal -`code`, for `reason`, with a detail
// holding `detailPart` (empty: any detail or none); prints what it got
// otherwise.
bool refused(int rc, int code, int reason, const std::string &detailPart = std::string());

// True once the state folder's trash is empty, polling for `seconds`.
bool trashDrains(const std::string &user, int seconds = 60);

box_info *find(box_info *list, const std::string &name, const std::string &owner = std::string());
int countBoxes();
bool processesMention(const std::string &secret);
bool filesMention(const std::string &dir, const std::string &secret);

} // namespace tk
