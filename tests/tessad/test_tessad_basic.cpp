// Plain boxes: set-up, names, lists, records, rename, delete, sharing
// records, the trash and messages.
#include "tessad_testkit.h"
#include "tsd_internal.h"

#include <climits>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/wait.h>
#include <pwd.h>

using namespace tk;

static void testInit()
{
    setenv("BOX_SERVICE_ROOT", "/proc/no-such-place/box", 1);
    CHECK(box_enabled() == 0);
    CHECK(box_init() < 0);
    TempRoot t;
    // `passwd` is the library's own copy, not getpwuid's reused buffer.
    struct passwd *sys = getpwuid(geteuid());
    CHECK(passwd && sys && passwd != sys && passwd->pw_uid == geteuid());
    struct stat st;
    CHECK(stat(t.user.c_str(), &st) == 0 && (st.st_mode & 07777) == 0711 && st.st_uid == geteuid());
    CHECK(geteuid() != 0 || (stat(t.root.c_str(), &st) == 0 && (st.st_mode & 07777) == 01777));
    CHECK(box_init() == 0); // a second init is harmless
    CHECK(countBoxes() == 0);
    if (geteuid() != 0)
        return;
    // Someone else made a folder under our login name: refuse it.
    run("rm -rf '" + t.user + "'");
    mkdir(t.user.c_str(), 0777);
    CHECK(chown(t.user.c_str(), 65534, 65534) == 0);
    CHECK(box_init() == -TSD_E_USERDIR);
    CHECK(box_create("x") < 0 && !exists(t.user + "/x"));
}

static void testNames()
{
    TempRoot t;
    const struct {
        std::string name;
        int code;
    } bad[] = {
        { "", TSD_E_NAME_EMPTY },         { ".", TSD_E_NAME_DOT },
        { "..", TSD_E_NAME_DOT },         { "a/b", TSD_E_NAME_SLASH },
        { "/abs", TSD_E_NAME_SLASH },     { ".hidden", TSD_E_NAME_HIDDEN },
        { ".boxes", TSD_E_NAME_HIDDEN },  { std::string(256, 'a'), TSD_E_NAME_LONG },
        { "tab\there", TSD_E_NAME_CHARS }, { "line\nbreak", TSD_E_NAME_CHARS },
        { "bad\xff", TSD_E_NAME_CHARS },  { "\xc0\xaf", TSD_E_NAME_CHARS },
    };
    CHECK(box_create("box") == 0);
    for (auto &b : bad) {
        CHECK_ROW(b.name.c_str(), box_create(b.name.c_str()), -b.code);
        CHECK_ROW(b.name.c_str(), box_change_name("box", b.name.c_str()), -b.code);
    }
    CHECK(box_create(nullptr) < 0);
    CHECK(listDir(t.user).size() == 2); // the state folder and "box": nothing made
    for (const std::string &good : { std::string(255, 'b'), std::string("保护箱 一"), std::string("-starts-with-dash") })
        CHECK_ROW(good.c_str(), box_create(good.c_str()), 0);
    CHECK(box_create("保护箱 一") == -TSD_E_EXISTS);
}

static void testListInfoRenameDelete()
{
    TempRoot t;
    const uint8_t plain = BOX_FLAG_PLAIN | BOX_FLAG_UNSHARED | BOX_FLAG_SELF;
    CHECK(box_create("alpha") == 0 && box_create("beta") == 0);
    struct stat st;
    CHECK(stat((t.user + "/alpha").c_str(), &st) == 0 && (st.st_mode & 07777) == 0700);
    writeFile(t.user + "/alpha/f", "data", 0600);
    writeFile(t.user + "/stray.txt", "x"); // not a box

    box_info *list = nullptr;
    CHECK(box_get_list(255, &list) == 2);
    box_info *a = find(list, "alpha");
    CHECK(a && a->flags == plain && a->path == t.user + "/alpha" && !a->acl);
    CHECK(a && std::string(a->owner) == passwd->pw_name);
    box_info_list_destroy(list);
    box_info *info = nullptr;
    CHECK(box_get_info(passwd->pw_name, "alpha", &info) == 0);
    CHECK(info && info->acl && !info->next && info->flags == plain);
    box_info_destroy(info);
    info = reinterpret_cast<box_info *>(1);
    CHECK(box_get_info(passwd->pw_name, "missing", &info) == -TSD_E_NOTFOUND && !info);
    CHECK(box_get_info("no-such-user-xyz", "alpha", &info) == -TSD_E_NOTFOUND);
    CHECK(box_get_info(passwd->pw_name, "../alpha", &info) < 0);

    CHECK(box_change_name("alpha", "beta") == -TSD_E_EXISTS);
    CHECK(box_change_name("missing", "gamma") == -TSD_E_NOTFOUND);
    CHECK(box_change_name("alpha", "gamma") == 0);
    CHECK(readFile(t.user + "/gamma/f") == "data" && !exists(t.user + "/alpha"));

    // Encrypted-box operations refuse a plain one; bad share arguments
    // (the owner is no sharee).
    Key k("Secret_1");
    CHECK(box_crypto_verify_passphrase("gamma", &k.pass) == -TSD_E_PLAIN);
    CHECK(box_crypto_decrypt("gamma", &k.pass) == -TSD_E_PLAIN);
    CHECK(box_crypto_mount(nullptr, "gamma", &k.pass) == -TSD_E_PLAIN);
    CHECK(box_crypto_umount(nullptr, "gamma") == -TSD_E_PLAIN);
    CHECK(box_crypto_change_passpharse("gamma", &k.pass, &k.params) == -TSD_E_PLAIN);
    CHECK(box_add_share("gamma", 6, 65534, 2) == -TSD_E_PERM);
    CHECK(box_add_share("gamma", 5, 65534, 3) == -TSD_E_PERM);
    CHECK(box_add_share("gamma", 5, geteuid(), 2) == -TSD_E_NOUSER);
    CHECK(box_add_share("gamma", 5, 3999999, 2) == -TSD_E_NOUSER);
    CHECK(box_add_share("missing", 5, 65534, 2) == -TSD_E_NOTFOUND);
    CHECK(box_clear_share("missing") == -TSD_E_NOTFOUND);

    // Sharing sets the box's and its files' ACLs and the sharee's index,
    // which follows a rename; clearing undoes all of it.
    CHECK(box_add_share("gamma", 5, 65534, 2) == 0);
    CHECK(box_add_share("gamma", 7, 65534, 2) == 0); // replaces, not adds
    CHECK(box_get_info(nullptr, "gamma", &info) == 0);
    CHECK(info && (info->flags & BOX_FLAG_SHARED) && !(info->flags & BOX_FLAG_UNSHARED));
    box_info_destroy(info);
    CHECK(aclText(t.user + "/gamma").find("user:65534:rwx,") != std::string::npos);
    CHECK(aclText(t.user + "/gamma/f").find("user:65534:rw-") != std::string::npos);
    CHECK(readFile(t.user + "/.boxes/shares/65534") == "gamma\n");
    CHECK(box_change_name("gamma", "delta") == 0);
    CHECK(readFile(t.user + "/.boxes/shares/65534") == "delta\n");
    CHECK(box_clear_share("delta") == 0);
    CHECK(box_get_info(nullptr, "delta", &info) == 0 && (info->flags & BOX_FLAG_UNSHARED));
    box_info_destroy(info);
    CHECK(!exists(t.user + "/.boxes/shares"));
    CHECK(getxattr((t.user + "/delta/f").c_str(), "system.posix_acl_access", nullptr, 0) < 0);
    CHECK(stat((t.user + "/delta/f").c_str(), &st) == 0 && (st.st_mode & 0777) == 0600);

    CHECK(box_delete("delta") == 0 && !exists(t.user + "/delta"));
    CHECK(box_delete("delta") == -TSD_E_NOTFOUND);
    CHECK(countBoxes() == 1 && !exists(t.user + "/.boxes/work"));
    CHECK(trashDrains(t.user));
}

// Removed trees go through the trash: a background remover empties it,
// read-only folders of an ordinary account included (as root, the account
// nobody deletes), and box_init picks up what a killed remover left.
static void testTrash()
{
    TempRoot t;
    struct passwd *nobody = getpwnam("nobody");
    const bool asNobody = geteuid() == 0 && nobody;
    const std::string home = asNobody ? t.root + "/nobody" : t.user;
    auto deleteReadOnly = [&] {
        std::string box = home + "/ro";
        CHILD_CHECK(box_init() == 0 && box_create("ro") == 0);
        CHILD_CHECK(mkdir((box + "/a").c_str(), 0700) == 0 && mkdir((box + "/a/b").c_str(), 0700) == 0);
        for (int i = 0; i < 100; i++) // too many to remove in the call
            CHILD_CHECK(writeFile(box + "/a/b/" + std::to_string(i), "z", 0400));
        CHILD_CHECK(chmod((box + "/a/b").c_str(), 0500) == 0 && chmod((box + "/a").c_str(), 0100) == 0);
        CHILD_CHECK(box_delete("ro") == 0);
        return trashDrains(home) ? 0 : 1;
    };
    CHECK((asNobody ? inChild(deleteReadOnly, nobody->pw_uid, nobody->pw_gid) : inChild(deleteReadOnly)) == 0);
    const std::string left = t.user + "/.boxes/trash/killed/sub";
    run("mkdir -p '" + left + "' && cd '" + left + "' && seq 100 | xargs touch && chmod 500 .");
    CHECK(box_init() == 0);
    CHECK(trashDrains(t.user));
}

// Another account's share index is that account's file: a FIFO or a
// symlink to an endless device is skipped, and the list neither hangs nor
// spins.
static void testHostileShareIndex()
{
    TempRoot t;
    struct passwd *nobody = getpwnam("nobody");
    if (!nobody) {
        std::printf("SKIP hostile share index: no account \"nobody\"\n");
        return;
    }
    CHECK(box_create("mine") == 0);
    const std::string shares = t.root + "/nobody/.boxes/shares";
    run("mkdir -p '" + shares + "'");
    const std::string index = shares + "/" + std::to_string(geteuid());
    const struct {
        const char *what;
        std::function<bool()> make;
    } cases[] = {
        { "fifo", [&] { return mkfifo(index.c_str(), 0644) == 0; } },
        { "symlink to /dev/zero", [&] { return symlink("/dev/zero", index.c_str()) == 0; } },
    };
    for (auto &c : cases) {
        unlink(index.c_str());
        CHECK(c.make());
        int rc = inChild([] {
            alarm(10); // a hang ends the child with SIGALRM
            box_info *list = nullptr;
            int n = box_get_list(255, &list);
            box_info_list_destroy(list);
            return n == 1 ? 0 : 1;
        });
        if (rc != 0)
            std::fprintf(stderr, "share index %s: %d\n", c.what, rc);
        CHECK(rc == 0);
    }
    unlink(index.c_str());
}

// A box of another account is listed only while that account owns its
// user folder, the box folder and the share index naming it: whoever else
// made one of them (a neighbour, in a box root open to all) reaches nothing.
static void testForeignOwners()
{
    struct passwd *nobody = getpwnam("nobody");
    if (geteuid() != 0 || !nobody) {
        std::printf("SKIP foreign owners: needs root (to give files away) and the account \"nobody\"\n");
        return;
    }
    TempRoot t;
    const std::string home = t.root + "/nobody";
    run("mkdir -p '" + home + "/.boxes/shares' '" + home + "/theirs' && chmod 0711 '" + home + "'");
    acl_t shared = acl_from_text("u::rwx,u:0:rwx,g::---,m::rwx,o::---");
    CHECK(shared && acl_set_file((home + "/theirs").c_str(), ACL_TYPE_ACCESS, shared) == 0);
    acl_free(shared);
    const std::string index = home + "/.boxes/shares/0";
    CHECK(writeFile(index, "theirs\n"));
    run("chown -R nobody '" + home + "'");
    const struct {
        const char *what;
        std::string notTheirs; // given to root for the row
    } rows[] = {
        { "everything theirs", std::string() },
        { "user folder", home },
        { "box folder", home + "/theirs" },
        { "share index", index },
    };
    for (auto &row : rows) {
        CHECK(row.notTheirs.empty() || chown(row.notTheirs.c_str(), 0, (gid_t)-1) == 0);
        box_info *list = nullptr;
        box_get_list(255, &list);
        const bool listed = find(list, "theirs", "nobody") != nullptr;
        box_info_list_destroy(list);
        if (listed != row.notTheirs.empty())
            std::fprintf(stderr, "foreign owners, %s: listed %d\n", row.what, listed);
        CHECK(listed == row.notTheirs.empty());
        CHECK(row.notTheirs.empty() || chown(row.notTheirs.c_str(), nobody->pw_uid, (gid_t)-1) == 0);
    }
}

// The optional functions of box_service_ext.h.
static void testExtensions()
{
    // Before box_init: the folder the user's boxes will be in.
    setenv("BOX_SERVICE_ROOT", "/proc/no-such-place/box", 1);
    char folder[4096];
    struct passwd *me = getpwuid(geteuid());
    CHECK(box_user_folder(folder, sizeof folder) == 0);
    CHECK(me && std::string(folder) == std::string("/proc/no-such-place/box/") + me->pw_name);
    CHECK(box_user_folder(folder, 8) == -ERANGE && folder[0] == 0);
    CHECK(box_user_folder(nullptr, 8) < 0);
    const char *why = box_unavailable_reason();
    CHECK(why && std::string(why).find("/proc/no-such-place/box") != std::string::npos);
    CHECK(why && std::string(why).find("BOX_SERVICE_ROOT") != std::string::npos);
    unsetenv("BOX_SERVICE_ROOT");

    TempRoot t;
    why = box_unavailable_reason();
    // All is well, unless this machine lacks what encryption needs.
    CHECK(!why || std::string(why).rfind("Encrypted boxes are unavailable", 0) == 0);
    CHECK(box_user_folder(folder, sizeof folder) == 0 && folder == t.user);
    CHECK(box_create("x") == 0 && box_last_detail() == nullptr);
}

// A write held up by another operation of the same account says so once,
// before it waits, and then goes ahead.
static void testWaitNotice()
{
    TempRoot t;
    int notices = 0;
    box_set_wait_notice([](void *count) { ++*static_cast<int *>(count); }, &notices);
    CHECK(box_create("free") == 0 && notices == 0);

    int ready[2];
    CHECK(pipe(ready) == 0);
    const std::string lock = t.user + "/.boxes/lock";
    pid_t holder = fork();
    if (holder == 0) {
        int fd = open(lock.c_str(), O_RDWR);
        if (fd < 0 || flock(fd, LOCK_EX) != 0 || write(ready[1], "x", 1) != 1)
            _exit(1);
        usleep(300 * 1000);
        _exit(0); // the lock goes with the process
    }
    char byte;
    CHECK(read(ready[0], &byte, 1) == 1);
    CHECK(box_create("held") == 0 && notices == 1);
    int status = -1;
    CHECK(waitpid(holder, &status, 0) == holder && WIFEXITED(status) && WEXITSTATUS(status) == 0);
    close(ready[0]);
    close(ready[1]);
    box_set_wait_notice(nullptr, nullptr);
}

static void testMessages()
{
    for (int c = 0; c < TSD_E_LAST + 50; c++)
        CHECK(box_err(c) && *box_err(c) && std::string(box_err(c)) == box_err(-c));
    CHECK(box_err(INT_MIN) && box_err(INT_MAX));
}

int main()
{
    testInit();
    testNames();
    testListInfoRenameDelete();
    testTrash();
    testHostileShareIndex();
    testForeignOwners();
    testExtensions();
    testWaitNotice();
    testMessages();
    return report("test_tessad_basic");
}
