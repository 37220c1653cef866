#include "tessad_testkit.h"

#include <fstream>
#include <ftw.h>
#include <sstream>

namespace tk {

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
    if (fd < 0)
        return false;
    bool ok = write(fd, data.data(), data.size()) == (ssize_t)data.size();
    close(fd);
    return ok;
}

void run(const std::string &cmd)
{
    if (std::system(cmd.c_str()) != 0)
        std::fprintf(stderr, "command failed: %s\n", cmd.c_str());
}

void unmountBelow(const std::string &prefix)
{
    std::ifstream in("/proc/self/mountinfo");
    std::string line;
    std::vector<std::string> points;
    while (std::getline(in, line)) {
        std::istringstream ls(line);
        std::string f[5];
        for (auto &x : f)
            ls >> x;
        if (f[4].compare(0, prefix.size(), prefix) == 0)
            points.push_back(f[4]);
    }
    for (auto it = points.rbegin(); it != points.rend(); ++it)
        run("fusermount3 -uz '" + *it + "' 2>/dev/null || umount -l '" + *it + "'");
}

TempRoot::TempRoot()
{
    char tmpl[] = "/tmp/tessad-test-XXXXXX";
    base = mkdtemp(tmpl);
    chmod(base.c_str(), 0755); // other test accounts pass through
    root = base + "/box";
    setenv("BOX_SERVICE_ROOT", root.c_str(), 1);
    CHECK(box_enabled() != 0);
    CHECK(box_init() == 0);
    user = root + "/" + (passwd ? passwd->pw_name : "?");
}

TempRoot::~TempRoot()
{
    unmountBelow(base);
    run("rm -rf '" + base + "'");
    unsetenv("BOX_SERVICE_ROOT");
}

bool Entry::operator==(const Entry &o) const
{
    return type == o.type && mode == o.mode && uid == o.uid && gid == o.gid && size == o.size &&
           mtime_ns == o.mtime_ns && content == o.content && acl == o.acl &&
           defacl == o.defacl && xattrs == o.xattrs;
}

static std::string aclText(const std::string &p, acl_type_t t)
{
    acl_t a = acl_get_file(p.c_str(), t);
    if (!a)
        return "";
    char *s = acl_to_any_text(a, nullptr, ',', TEXT_NUMERIC_IDS);
    std::string r = s ? s : "";
    acl_free(s);
    acl_free(a);
    return r;
}

static std::string userXattrs(const std::string &p)
{
    char names[4096];
    ssize_t n = llistxattr(p.c_str(), names, sizeof names);
    std::map<std::string, std::string> m;
    for (ssize_t off = 0; off < n; off += (ssize_t)strlen(names + off) + 1) {
        std::string name = names + off;
        if (name.compare(0, 5, "user.") != 0)
            continue;
        char val[4096];
        ssize_t v = lgetxattr(p.c_str(), name.c_str(), val, sizeof val);
        m[name] = std::string(val, v > 0 ? (size_t)v : 0);
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
    Entry e;
    e.mode = st.st_mode & 07777;
    e.uid = st.st_uid;
    e.gid = st.st_gid;
    e.mtime_ns = (long long)st.st_mtim.tv_sec * 1000000000LL + st.st_mtim.tv_nsec;
    if (S_ISDIR(st.st_mode)) {
        e.type = 'd';
        e.defacl = aclText(p, ACL_TYPE_DEFAULT);
    } else if (S_ISREG(st.st_mode)) {
        e.type = 'f';
        e.size = st.st_size;
        e.content = readFile(p);
    } else if (S_ISLNK(st.st_mode)) {
        e.type = 'l';
        char buf[4096];
        ssize_t n = readlink(p.c_str(), buf, sizeof buf);
        e.content.assign(buf, n > 0 ? (size_t)n : 0);
    } else if (S_ISFIFO(st.st_mode)) {
        e.type = 'p';
    } else {
        e.type = '?';
    }
    if (!S_ISLNK(st.st_mode)) {
        e.acl = aclText(p, ACL_TYPE_ACCESS);
        e.xattrs = userXattrs(p);
    }
    out[rel] = e;
    if (S_ISDIR(st.st_mode)) {
        DIR *d = opendir(p.c_str());
        std::vector<std::string> names;
        while (d) {
            struct dirent *de = readdir(d);
            if (!de)
                break;
            if (strcmp(de->d_name, ".") && strcmp(de->d_name, ".."))
                names.push_back(de->d_name);
        }
        if (d)
            closedir(d);
        for (auto &n : names)
            walk(base, rel.empty() ? n : rel + "/" + n, out);
    }
}

Snapshot snapshot(const std::string &dir)
{
    Snapshot s;
    walk(dir, "", s);
    return s;
}

bool sameTree(const Snapshot &a, const Snapshot &b)
{
    if (a.size() != b.size())
        std::fprintf(stderr, "trees differ in size: %zu vs %zu\n", a.size(), b.size());
    for (auto &kv : a) {
        auto it = b.find(kv.first);
        if (it == b.end()) {
            std::fprintf(stderr, "missing: '%s'\n", kv.first.c_str());
            return false;
        }
        if (!(kv.second == it->second)) {
            const Entry &x = kv.second, &y = it->second;
            std::fprintf(stderr,
                         "differs: '%s' type %c/%c mode %o/%o uid %u/%u gid %u/%u size %ld/%ld mtime %lld/%lld "
                         "acl '%s'/'%s' def '%s'/'%s' xattr '%s'/'%s' content %s\n",
                         kv.first.c_str(), x.type, y.type, x.mode, y.mode, x.uid, y.uid, x.gid, y.gid,
                         (long)x.size, (long)y.size, x.mtime_ns, y.mtime_ns, x.acl.c_str(),
                         y.acl.c_str(), x.defacl.c_str(), y.defacl.c_str(), x.xattrs.c_str(),
                         y.xattrs.c_str(), x.content == y.content ? "same" : "differs");
            return false;
        }
    }
    return a.size() == b.size();
}

static void setAcl(const std::string &p, const char *text, acl_type_t t = ACL_TYPE_ACCESS)
{
    acl_t a = acl_from_text(text);
    CHECK(a && acl_set_file(p.c_str(), t, a) == 0);
    if (a)
        acl_free(a);
}

void buildTree(const std::string &dir, int files)
{
    const int perDir = 50;
    std::vector<std::string> dirs;
    for (int d = 0; d * perDir < files; d++) {
        std::string sub = dir + "/d" + std::to_string(d % 7) + "/s" + std::to_string(d);
        mkdir((dir + "/d" + std::to_string(d % 7)).c_str(), 0755);
        mkdir(sub.c_str(), 0750);
        dirs.push_back(sub);
    }
    for (int i = 0; i < files; i++) {
        std::string p = dirs[(size_t)(i / perDir)] + "/f" + std::to_string(i) + ".txt";
        std::string data = "file " + std::to_string(i) + "\n";
        data += std::string((size_t)(i % 13) * 311, (char)('a' + i % 26));
        writeFile(p, data, i % 10 == 0 ? 0400 : i % 3 == 0 ? 0755 : 0640);
    }
    // One file larger than a gocryptfs block and than our copy buffer.
    std::string big;
    for (int i = 0; i < 300000; i++)
        big += (char)(i * 7 + i / 256);
    writeFile(dir + "/big.bin", big, 0600);
    writeFile(dir + "/长名字-文件.txt", "unicode name\n", 0644);
    mkdir((dir + "/empty").c_str(), 0700);
    CHECK(symlink("big.bin", (dir + "/link-rel").c_str()) == 0);
    CHECK(symlink("/nonexistent/target", (dir + "/link-dangling").c_str()) == 0);
    CHECK(symlink("d0", (dir + "/link-dir").c_str()) == 0);
    CHECK(mkfifo((dir + "/fifo").c_str(), 0620) == 0);
    writeFile(dir + "/acl.txt", "with acl\n", 0640);
    setAcl(dir + "/acl.txt", "u::rw-,u:65534:r--,g::r--,m::r--,o::---");
    mkdir((dir + "/acldir").c_str(), 0750);
    setAcl(dir + "/acldir", "u::rwx,u:65534:r-x,g::r-x,m::r-x,o::---");
    setAcl(dir + "/acldir", "u::rwx,u:65534:r-x,g::r-x,m::r-x,o::---", ACL_TYPE_DEFAULT);
    if (geteuid() == 0) {
        // Ownership is carried over when root copies; a change of owner
        // must not cost the set-id bits.
        writeFile(dir + "/theirs.txt", "someone else's\n", 0664);
        CHECK(chown((dir + "/theirs.txt").c_str(), 65534, 65534) == 0);
        writeFile(dir + "/group.txt", "our file, their group\n", 0640);
        CHECK(chown((dir + "/group.txt").c_str(), 0, 65534) == 0);
        writeFile(dir + "/setid", "#!/bin/sh\n", 0755);
        CHECK(chown((dir + "/setid").c_str(), 65534, 0) == 0);
        CHECK(chmod((dir + "/setid").c_str(), 06755) == 0);
        writeFile(dir + "/sgid-mine", "x\n", 0755);
        CHECK(chmod((dir + "/sgid-mine").c_str(), 02750) == 0);
    }
    CHECK(setxattr((dir + "/big.bin").c_str(), "user.note", "kept", 4, 0) == 0);
    CHECK(setxattr((dir + "/d0").c_str(), "user.dirnote", "also", 4, 0) == 0);
    // Fixed times, deepest first so that folder times are not touched again.
    struct timespec ts[2] = { { 1000000000, 123456789 }, { 1100000000, 987654321 } };
    std::vector<std::string> all;
    std::function<void(const std::string &)> collect = [&](const std::string &p) {
        struct stat st;
        if (lstat(p.c_str(), &st) < 0)
            return;
        if (S_ISDIR(st.st_mode)) {
            DIR *d = opendir(p.c_str());
            std::vector<std::string> names;
            while (struct dirent *de = d ? readdir(d) : nullptr)
                if (strcmp(de->d_name, ".") && strcmp(de->d_name, ".."))
                    names.push_back(de->d_name);
            if (d)
                closedir(d);
            for (auto &n : names)
                collect(p + "/" + n);
        }
        all.push_back(p);
    };
    collect(dir);
    for (auto &p : all)
        utimensat(AT_FDCWD, p.c_str(), ts, AT_SYMLINK_NOFOLLOW);
}

bool trashDrains(const std::string &user, int seconds)
{
    const std::string trash = user + "/.boxes/trash";
    for (int i = 0; i < seconds * 20; i++) {
        DIR *d = opendir(trash.c_str());
        if (!d)
            return errno == ENOENT;
        int entries = 0;
        while (struct dirent *de = readdir(d))
            entries += strcmp(de->d_name, ".") && strcmp(de->d_name, "..");
        closedir(d);
        if (entries == 0)
            return true;
        usleep(50000);
    }
    std::fprintf(stderr, "trash not emptied within %d s: %s\n", seconds, trash.c_str());
    return false;
}

int inChild(const std::function<int()> &fn, uid_t uid, gid_t gid)
{
    std::fflush(nullptr);
    pid_t pid = fork();
    if (pid == 0) {
        if (uid != (uid_t)-1) {
            if (setgroups(0, nullptr) < 0 || setresgid(gid, gid, gid) < 0 ||
                setresuid(uid, uid, uid) < 0)
                _exit(250);
        }
        int rc = fn();
        std::fflush(nullptr);
        _exit(rc);
    }
    int status = 0;
    while (waitpid(pid, &status, 0) < 0 && errno == EINTR) {
    }
    if (WIFSIGNALED(status))
        return 1000 + WTERMSIG(status);
    return WEXITSTATUS(status);
}

Key::Key(const char *k)
{
    pass.key = strdup(k);
    pass.key_len = strlen(k);
    params.settings = BOX_CRYPTO_SETTINGS_DEFAULT;
    params.key = strdup(k);
    params.key_len = strlen(k);
}

Key::~Key()
{
    explicit_bzero(pass.key, pass.key_len);
    explicit_bzero(params.key, params.key_len);
    free(pass.key);
    free(params.key);
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

bool isMountPoint(const std::string &path)
{
    std::ifstream in("/proc/self/mountinfo");
    std::string line;
    while (std::getline(in, line)) {
        std::istringstream ls(line);
        std::string f[5];
        for (auto &x : f)
            ls >> x;
        if (f[4] == path)
            return true;
    }
    return false;
}

bool processesMention(const std::string &secret)
{
    DIR *d = opendir("/proc");
    bool found = false;
    while (struct dirent *de = d ? readdir(d) : nullptr) {
        if (de->d_name[0] < '0' || de->d_name[0] > '9')
            continue;
        for (const char *f : { "cmdline", "environ" }) {
            std::string data = readFile(std::string("/proc/") + de->d_name + "/" + f);
            if (data.find(secret) != std::string::npos) {
                std::fprintf(stderr, "password seen in /proc/%s/%s\n", de->d_name, f);
                found = true;
            }
        }
    }
    if (d)
        closedir(d);
    return found;
}

static std::string g_secret;
static bool g_seen;
static int scanCb(const char *p, const struct stat *st, int flag, struct FTW *)
{
    if (flag == FTW_F && S_ISREG(st->st_mode)) {
        if (readFile(p).find(g_secret) != std::string::npos) {
            std::fprintf(stderr, "password found in file %s\n", p);
            g_seen = true;
        }
    }
    return 0;
}

bool filesMention(const std::string &dir, const std::string &secret)
{
    g_secret = secret;
    g_seen = false;
    nftw(dir.c_str(), scanCb, 16, FTW_PHYS);
    return g_seen;
}

} // namespace tk
