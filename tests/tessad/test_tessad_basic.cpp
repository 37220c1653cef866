// Plain boxes: set-up, names, lists, rename, delete, sharing records, what
// a neighbour may put in our way, the lock's notice and messages.
#include "tessad_testkit.h"
#include "tsd_internal.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/xattr.h>
#include <pwd.h>
#include <thread>

using namespace tk;

// Set-up: an unusable box root says where the user's boxes would be and
// why they cannot; a usable one gets the user's folder (others may pass,
// never list); a folder someone else made under our login name is refused.
static void testInit()
{
    setenv("BOX_SERVICE_ROOT", "/proc/no-such-place/box", 1);
    CHECK(box_enabled() == 0 && box_init() < 0);
    char folder[4096];
    CHECK(box_user_folder(folder, sizeof folder) == 0);
    CHECK(std::string(folder) == std::string("/proc/no-such-place/box/") + getpwuid(geteuid())->pw_name);
    CHECK(box_user_folder(folder, 8) == -ERANGE && folder[0] == 0);
    const char *why = box_unavailable_reason();
    CHECK(why && std::string(why).find("/proc/no-such-place/box") != std::string::npos);
    TempRoot t;
    // `passwd` is the library's own copy, not getpwuid's reused buffer.
    struct passwd *sys = getpwuid(geteuid());
    CHECK(passwd && sys && passwd != sys && passwd->pw_uid == geteuid());
    struct stat st;
    CHECK(stat(t.user.c_str(), &st) == 0 && (st.st_mode & 07777) == 0711 && st.st_uid == geteuid());
    CHECK(box_user_folder(folder, sizeof folder) == 0 && folder == t.user);
    CHECK(box_init() == 0 && countBoxes() == 0); // a second init is harmless
    CHECK(box_create("x") == 0 && box_last_detail() == nullptr);
    if (geteuid() != 0)
        return;
    run("rm -rf '" + t.user + "'");
    mkdir(t.user.c_str(), 0777);
    CHECK(chown(t.user.c_str(), 65534, 65534) == 0);
    CHECK(box_init() == -TSD_E_USERDIR);
    CHECK(box_create("y") < 0 && !exists(t.user + "/y"));
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

// A plain box of our own: listed, renamed and deleted; the encrypted-box
// operations refuse it. Sharing sets the box's and its files' ACLs and the
// sharee's index, which follows a rename; clearing undoes all of it. The
// owner is no sharee.
static void testPlainBox()
{
    TempRoot t;
    CHECK(box_create("alpha") == 0 && box_create("beta") == 0);
    writeFile(t.user + "/alpha/f", "data", 0600);
    writeFile(t.user + "/stray.txt", "x"); // not a box
    box_info *list = nullptr;
    CHECK(box_get_list(255, &list) == 2);
    const box_info *alpha = find(list, "alpha", passwd->pw_name);
    CHECK(alpha && alpha->flags == (BOX_FLAG_PLAIN | BOX_FLAG_UNSHARED | BOX_FLAG_SELF));
    box_info_list_destroy(list);
    CHECK(box_change_name("alpha", "beta") == -TSD_E_EXISTS);
    CHECK(box_change_name("missing", "gamma") == -TSD_E_NOTFOUND);
    CHECK(box_change_name("alpha", "gamma") == 0 && readFile(t.user + "/gamma/f") == "data");
    Key k("Secret_1");
    CHECK(box_crypto_mount(nullptr, "gamma", &k.pass) == -TSD_E_PLAIN);
    CHECK(box_crypto_decrypt("gamma", &k.pass) == -TSD_E_PLAIN);
    CHECK(box_add_share("gamma", 6, 65534, 2) == -TSD_E_PERM);
    CHECK(box_add_share("gamma", 5, 65534, 3) == -TSD_E_PERM);
    CHECK(box_add_share("gamma", 5, geteuid(), 2) == -TSD_E_NOUSER);
    CHECK(box_add_share("gamma", 5, 3999999, 2) == -TSD_E_NOUSER);
    CHECK(box_clear_share("missing") == -TSD_E_NOTFOUND);

    CHECK(box_add_share("gamma", 5, 65534, 2) == 0);
    CHECK(box_add_share("gamma", 7, 65534, 2) == 0); // replaces, not adds
    CHECK(aclText(t.user + "/gamma") == "user::rwx,user:65534:rwx,group::---,mask::rwx,other::---");
    CHECK(aclText(t.user + "/gamma/f") == "user::rw-,user:65534:rw-,group::---,mask::rw-,other::---");
    CHECK(box_change_name("gamma", "delta") == 0);
    CHECK(readFile(t.user + "/.boxes/shares/65534") == "delta\n");
    CHECK(box_clear_share("delta") == 0);
    CHECK(!exists(t.user + "/.boxes/shares"));
    CHECK(getxattr((t.user + "/delta/f").c_str(), "system.posix_acl_access", nullptr, 0) < 0);
    CHECK(box_delete("delta") == 0 && !exists(t.user + "/delta"));
    CHECK(box_delete("delta") == -TSD_E_NOTFOUND);
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
    for (bool fifo : { true, false }) {
        unlink(index.c_str());
        CHECK(fifo ? mkfifo(index.c_str(), 0644) == 0 : symlink("/dev/zero", index.c_str()) == 0);
        const int rc = inChild([] {
            alarm(10); // a hang ends the child with SIGALRM
            return countBoxes() == 1 ? 0 : 1;
        });
        CHECK_ROW(fifo ? "FIFO" : "symlink to /dev/zero", rc, 0);
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
    run("setfacl -m u:0:rwx '" + home + "/theirs'");
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
        CHECK_ROW(row.what, countBoxes(), row.notTheirs.empty() ? 1 : 0);
        CHECK(row.notTheirs.empty() || chown(row.notTheirs.c_str(), nobody->pw_uid, (gid_t)-1) == 0);
    }
}

// A write held up by another operation of the same account says so once,
// before it waits, and then goes ahead.
static void testWaitNotice()
{
    TempRoot t;
    int notices = 0;
    box_set_wait_notice([](void *count) { ++*static_cast<int *>(count); }, &notices);
    CHECK(box_create("free") == 0 && notices == 0);

    // Another holder of the lock (our own descriptor of its file), for a
    // moment.
    const int holder = open((t.user + "/.boxes/lock").c_str(), O_RDWR | O_CLOEXEC);
    CHECK(holder >= 0 && flock(holder, LOCK_EX) == 0);
    std::thread release([&] {
        usleep(300 * 1000);
        close(holder);
    });
    CHECK(box_create("held") == 0 && notices == 1);
    release.join();
    box_set_wait_notice(nullptr, nullptr);
}

int main()
{
    testInit();
    testNames();
    testPlainBox();
    testHostileShareIndex();
    testForeignOwners();
    testWaitNotice();
    return report("test_tessad_basic");
}
