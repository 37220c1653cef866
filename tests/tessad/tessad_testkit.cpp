#include "tessad_testkit.h"
#include "fuse_check.h"
#include "tsd_internal.h"

#include <acl/libacl.h>
#include <algorithm>
#include <fstream>
#include <grp.h>
#include <sys/xattr.h>
#include <pwd.h>
#include <sstream>

namespace tk {

void checkResult(long actual, long expected, const char *row, const char *file, int line)
{
    if (actual == expected)
        return;
    std::fprintf(stderr, "%s:%d: %s returned %ld, not %ld\n", file, line, row, actual, expected);
    ++failed;
}

int report(const char *test)
{
    std::printf("%s: %d failure(s)\n", test, failed);
    return failed ? 1 : 0;
}

static int skipFor(const char *test, const std::string &missing)
{
    if (missing.empty())
        return 0;
    std::printf("SKIP %s: %s\n", test, missing.c_str());
    return 77;
}

int skipWithoutMounts(const char *test)
{
    return skipFor(test, fusecheck::missingForMounts());
}

int skipUnlessRoot(const char *test)
{
    return skipFor(test, geteuid() == 0 ? "" : "creating throwaway accounts needs root");
}

std::string readFile(const std::string &path)
{
    std::ifstream in(path, std::ios::binary);
    std::ostringstream ss;
    ss << in.rdbuf();
    return ss.str();
}

bool writeFile(const std::string &path, const std::string &data, mode_t mode)
{
    int fd = open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC, mode);
    bool ok = fd >= 0 && write(fd, data.data(), data.size()) == (ssize_t)data.size();
    if (fd >= 0)
        close(fd);
    return ok;
}

void run(const std::string &cmd)
{
    if (std::system(cmd.c_str()) != 0)
        std::fprintf(stderr, "command failed: %s\n", cmd.c_str());
}

std::vector<std::string> listDir(const std::string &dir)
{
    std::vector<std::string> names;
    DIR *d = opendir(dir.c_str());
    while (struct dirent *de = d ? readdir(d) : nullptr)
        if (strcmp(de->d_name, ".") && strcmp(de->d_name, ".."))
            names.push_back(de->d_name);
    if (d)
        closedir(d);
    return names;
}

bool exists(const std::string &path)
{
    struct stat st;
    return lstat(path.c_str(), &st) == 0;
}

static std::vector<std::string> mountPoints()
{
    std::istringstream in(readFile("/proc/self/mountinfo"));
    std::vector<std::string> points;
    for (std::string id, parent, device, root, point, line; in >> id >> parent >> device >> root >> point;) {
        points.push_back(point);
        std::getline(in, line); // the rest of the line
    }
    return points;
}

bool isMountPoint(const std::string &path)
{
    auto points = mountPoints();
    return std::find(points.begin(), points.end(), path) != points.end();
}

static void unmountBelow(const std::string &prefix)
{
    auto points = mountPoints();
    for (auto it = points.rbegin(); it != points.rend(); ++it)
        if (it->compare(0, prefix.size(), prefix) == 0)
            run("fusermount3 -uz '" + *it + "' 2>/dev/null || umount -l '" + *it + "'");
}

TempRoot::TempRoot()
{
    const char *tmp = getenv("TMPDIR");
    std::string tmpl = std::string(tmp && *tmp ? tmp : "/tmp") + "/tessad-test-XXXXXX";
    base = mkdtemp(tmpl.data());
    chmod(base.c_str(), 0755); // other test accounts pass through
    root = base + "/box";
    const char *before = getenv("BOX_SERVICE_ROOT");
    previousRoot = before ? before : "";
    setenv("BOX_SERVICE_ROOT", root.c_str(), 1);
    CHECK(box_enabled() != 0);
    CHECK(box_init() == 0);
    user = root + "/" + (passwd ? passwd->pw_name : "?");
}

TempRoot::~TempRoot()
{
    unmountBelow(base);
    // Boxes made read-only by a test (an ordinary account cannot empty
    // them as they are).
    run("chmod -R u+rwX '" + base + "' 2>/dev/null; rm -rf '" + base + "'");
    // Back to what the test run set (never the machine's real root).
    if (previousRoot.empty())
        unsetenv("BOX_SERVICE_ROOT");
    else
        setenv("BOX_SERVICE_ROOT", previousRoot.c_str(), 1);
}

static std::string aclText(const std::string &path, acl_type_t type)
{
    acl_t acl = acl_get_file(path.c_str(), type);
    char *text = acl ? acl_to_any_text(acl, nullptr, ',', TEXT_NUMERIC_IDS) : nullptr;
    const std::string result = text ? text : "";
    acl_free(text);
    acl_free(acl);
    return result;
}

std::string aclText(const std::string &path)
{
    return aclText(path, ACL_TYPE_ACCESS);
}

bool reachable(const std::string &path)
{
    const int fd = open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC); // a folder or a file
    if (fd >= 0)
        close(fd);
    return fd >= 0;
}

static std::string userXattrs(const std::string &p)
{
    char names[4096], val[4096];
    ssize_t n = llistxattr(p.c_str(), names, sizeof names);
    std::map<std::string, std::string> m;
    for (ssize_t off = 0; off < n; off += (ssize_t)strlen(names + off) + 1) {
        ssize_t v = lgetxattr(p.c_str(), names + off, val, sizeof val);
        if (strncmp(names + off, "user.", 5) == 0)
            m[names + off] = std::string(val, v > 0 ? (size_t)v : 0);
    }
    std::string r;
    for (auto &kv : m)
        r += kv.first + "=" + kv.second + ";";
    return r;
}

static void walk(const std::string &base, const std::string &rel, Snapshot &out)
{
    std::string p = rel.empty() ? base : base + "/" + rel;
    struct stat st;
    if (lstat(p.c_str(), &st) < 0)
        return;
    char head[160];
    std::snprintf(head, sizeof head, "type %o mode %o owner %u:%u size %ld mtime %ld.%09ld",
                  st.st_mode & S_IFMT, st.st_mode & 07777, st.st_uid, st.st_gid,
                  S_ISREG(st.st_mode) ? (long)st.st_size : 0L, (long)st.st_mtim.tv_sec,
                  st.st_mtim.tv_nsec);
    std::string e = head, content;
    char link[4096];
    if (S_ISLNK(st.st_mode)) {
        content.assign(link, (size_t)std::max<ssize_t>(0, readlink(p.c_str(), link, sizeof link)));
    } else {
        e += " acl '" + aclText(p, ACL_TYPE_ACCESS) + "' xattr '" + userXattrs(p) + "'";
        if (S_ISDIR(st.st_mode))
            e += " default '" + aclText(p, ACL_TYPE_DEFAULT) + "'";
        if (S_ISREG(st.st_mode))
            content = readFile(p);
    }
    out[rel] = e + " content " + content;
    if (S_ISDIR(st.st_mode))
        for (auto &n : listDir(p))
            walk(base, rel.empty() ? n : rel + "/" + n, out);
}

Snapshot snapshot(const std::string &dir)
{
    Snapshot tree;
    walk(dir, "", tree);
    return tree;
}

bool sameTree(const Snapshot &a, const Snapshot &b)
{
    for (auto &kv : a) {
        auto it = b.find(kv.first);
        if (it == b.end() || it->second != kv.second) {
            std::fprintf(stderr, "differs: '%s'\n  %.300s\n  %.300s\n", kv.first.c_str(),
                         kv.second.c_str(), it == b.end() ? "(missing)" : it->second.c_str());
            return false;
        }
    }
    return a.size() == b.size();
}

static void touchAll(const std::string &p, const struct timespec *ts)
{
    struct stat st;
    if (lstat(p.c_str(), &st) == 0 && S_ISDIR(st.st_mode))
        for (auto &n : listDir(p))
            touchAll(p + "/" + n, ts);
    utimensat(AT_FDCWD, p.c_str(), ts, AT_SYMLINK_NOFOLLOW); // after the contents
}

void buildTree(const std::string &dir, int files)
{
    const int perDir = 50;
    for (int i = 0; i < files; i++) {
        std::string top = dir + "/d" + std::to_string(i / perDir % 7), sub = top + "/s" + std::to_string(i / perDir);
        mkdir(top.c_str(), 0755);
        mkdir(sub.c_str(), 0750);
        std::string data = std::to_string(i) + std::string((size_t)(i % 13) * 311, (char)('a' + i % 26));
        writeFile(sub + "/f" + std::to_string(i) + ".txt", data, i % 10 == 0 ? 0400 : i % 3 == 0 ? 0755 : 0640);
    }
    // Larger than a gocryptfs block and than the library's copy buffer.
    std::string big(300000, 0);
    for (size_t i = 0; i < big.size(); i++)
        big[i] = (char)(i * 7 + i / 256);
    writeFile(dir + "/big.bin", big, 0600);
    writeFile(dir + "/长名字-文件.txt", "unicode name\n", 0644);
    mkdir((dir + "/empty").c_str(), 0700);
    CHECK(symlink("big.bin", (dir + "/link-rel").c_str()) == 0);
    CHECK(symlink("/nonexistent/target", (dir + "/link-dangling").c_str()) == 0);
    CHECK(symlink("d0", (dir + "/link-dir").c_str()) == 0);
    CHECK(mkfifo((dir + "/fifo").c_str(), 0620) == 0);
    writeFile(dir + "/acl.txt", "with acl\n", 0640);
    mkdir((dir + "/acldir").c_str(), 0750);
    run("cd '" + dir + "' && setfacl -m u:65534:r-- acl.txt && setfacl -m u:65534:r-x -m d:u:65534:r-x acldir");
    if (geteuid() == 0) {
        // Owners are carried over when root copies; a change of owner
        // must not cost the set-id bits.
        struct { const char *name; uid_t uid; gid_t gid; mode_t mode; } owned[] = {
            { "theirs.txt", 65534, 65534, 0664 }, { "group.txt", 0, 65534, 0640 },
            { "setid", 65534, 0, 06755 },         { "sgid-mine", 0, 0, 02750 } };
        for (auto &o : owned) {
            std::string p = dir + "/" + o.name;
            CHECK(writeFile(p, p) && chown(p.c_str(), o.uid, o.gid) == 0 && chmod(p.c_str(), o.mode) == 0);
        }
    }
    CHECK(setxattr((dir + "/big.bin").c_str(), "user.note", "kept", 4, 0) == 0);
    CHECK(setxattr((dir + "/d0").c_str(), "user.dirnote", "also", 4, 0) == 0);
    const struct timespec ts[2] = { { 1000000000, 123456789 }, { 1100000000, 987654321 } };
    touchAll(dir, ts);
}

bool trashDrains(const std::string &user, int seconds)
{
    const std::string trash = user + "/.boxes/trash";
    for (int i = 0; i < seconds * 20; i++, usleep(50000))
        if (listDir(trash).empty())
            return true;
    std::fprintf(stderr, "trash not emptied within %d s: %s\n", seconds, trash.c_str());
    return false;
}

int inChild(const std::function<int()> &fn, uid_t uid, gid_t gid)
{
    std::fflush(nullptr);
    pid_t pid = fork();
    if (pid == 0) {
        const bool become = uid != (uid_t)-1;
        if (become && (setgroups(0, nullptr) < 0 || setresgid(gid, gid, gid) < 0 || setresuid(uid, uid, uid) < 0))
            _exit(250);
        int rc = fn();
        std::fflush(nullptr);
        _exit(rc);
    }
    int status = 0;
    while (waitpid(pid, &status, 0) < 0 && errno == EINTR)
        continue;
    return WIFSIGNALED(status) ? 1000 + WTERMSIG(status) : WEXITSTATUS(status);
}

bool Account::make(const std::string &login)
{
    name = login;
    run("userdel '" + name + "' >/dev/null 2>&1; useradd -M -N -s /usr/sbin/nologin '" + name + "'");
    struct passwd *pw = getpwnam(name.c_str());
    if (!pw)
        return false;
    uid = pw->pw_uid;
    gid = pw->pw_gid;
    return true;
}

void Account::remove() const
{
    run("userdel '" + name + "'");
}

int Account::as(const std::function<int()> &fn) const
{
    return inChild(
        [&] {
            umask(022);
            return box_init() == 0 ? fn() : 99;
        },
        uid, gid);
}

bool Account::reaches(const std::vector<std::string> &paths) const
{
    return as([&] {
        for (const std::string &path : paths)
            if (reachable(path))
                return 1;
        return 0;
    }) != 0;
}

std::string Account::output(const std::function<std::string()> &fn) const
{
    int channel[2];
    if (pipe(channel) != 0)
        return std::string();
    // The child writes what it has before it ends (small texts: they fit
    // in the pipe), the parent reads it after.
    as([&] {
        close(channel[0]);
        const std::string text = fn();
        return write(channel[1], text.data(), text.size()) == (ssize_t)text.size() ? 0 : 1;
    });
    close(channel[1]);
    std::string text;
    char buffer[4096];
    for (ssize_t n; (n = read(channel[0], buffer, sizeof buffer)) > 0;)
        text.append(buffer, (size_t)n);
    close(channel[0]);
    return text;
}

std::string Account::reads(const std::string &path) const
{
    return output([&] { return readFile(path); });
}

bool Account::writes(const std::string &path, const std::string &data) const
{
    return as([&] { return writeFile(path, data, 0664) ? 0 : 1; }) == 0;
}

bool Account::runs(const std::string &folder, const std::string &command) const
{
    return as([&] { return std::system(("cd '" + folder + "' && " + command).c_str()) == 0 ? 0 : 1; }) == 0;
}

Accounts::Accounts(const std::string &prefix, const std::vector<Account *> &accounts) : all(accounts)
{
    const std::string suffix = std::to_string(getpid() % 100000);
    char letter = 'a';
    for (Account *account : all)
        made = account->make(prefix + letter++ + suffix) && made;
    CHECK(made);
}

Accounts::~Accounts()
{
    for (const Account *account : all)
        account->remove();
}

Key::Key(const std::string &key)
    : pass{ strdup(key.c_str()), key.size() }, params{ BOX_CRYPTO_SETTINGS_DEFAULT, strdup(key.c_str()), key.size() }
{
}

Key::~Key()
{
    explicit_bzero(pass.key, pass.key_len);
    explicit_bzero(params.key, params.key_len);
    free(pass.key);
    free(params.key);
}

Snapshot mountedTree(const std::string &name, const Key &key)
{
    char folder[4096];
    box_passphrase pass = key.pass;
    if (box_user_folder(folder, sizeof folder) != 0 || box_crypto_mount(nullptr, name.c_str(), &pass) != 0)
        return Snapshot();
    const Snapshot tree = snapshot(std::string(folder) + "/" + name);
    // Another process on the machine may look into a fresh mount for a
    // moment (as root the mount is open to all); that is not our fault.
    int rc = box_crypto_umount(nullptr, name.c_str());
    for (int tries = 0; rc == -TSD_E_BUSY && tries < 10; tries++) {
        usleep(200000);
        rc = box_crypto_umount(nullptr, name.c_str());
    }
    CHECK(rc == 0);
    return tree;
}

bool refused(int rc, int code, int reason, const std::string &detailPart)
{
    const char *detail = box_last_detail();
    const bool named = detailPart.empty() || (detail && std::strstr(detail, detailPart.c_str()));
    if (rc == -code && box_reason_of(rc) == reason && named)
        return true;
    std::fprintf(stderr, "expected %s, got %s (detail: %s)\n", box_err(-code), box_err(rc), detail ? detail : "none");
    return false;
}

box_info *find(box_info *list, const std::string &name, const std::string &owner)
{
    for (box_info *i = list; i; i = i->next)
        if (name == i->name && (owner.empty() || owner == i->owner))
            return i;
    return nullptr;
}

int countBoxes()
{
    box_info *l = nullptr;
    int n = box_get_list(255, &l);
    box_info_list_destroy(l);
    return n;
}

bool processesMention(const std::string &secret)
{
    bool found = false;
    for (auto &pid : listDir("/proc")) // non-numeric entries have no such files
        for (const char *f : { "/cmdline", "/environ" })
            if (readFile("/proc/" + pid + f).find(secret) != std::string::npos) {
                std::fprintf(stderr, "password seen in /proc/%s%s\n", pid.c_str(), f);
                found = true;
            }
    return found;
}

bool filesMention(const std::string &dir, const std::string &secret)
{
    bool found = false;
    for (auto &kv : snapshot(dir))
        if (kv.second.find(secret) != std::string::npos) {
            std::fprintf(stderr, "password found in %s/%s\n", dir.c_str(), kv.first.c_str());
            found = true;
        }
    return found;
}

} // namespace tk
