// Encrypted boxes against real gocryptfs and FUSE: the encrypt/decrypt
// round trip, passwords, mounting, busy and stale mounts, and where the
// password may never appear.
#include "tessad_testkit.h"
#include "tsd_internal.h"

#include <algorithm>
#include <sys/file.h>
#include <sys/mount.h>

using namespace tk;

static const char *kPass = "Pw_unique_7f3a9c";
static const char *kPass2 = "Other_pw_2b8e41";

static uint8_t flagsOf(const char *name)
{
    box_info *info = nullptr;
    uint8_t f = box_get_info(nullptr, name, &info) == 0 && info ? info->flags : 0;
    box_info_destroy(info);
    return f;
}

static void onProgress(const char *, int percent, void *user)
{
    static_cast<std::vector<int> *>(user)->push_back(percent);
}

// Encrypt and decrypt report their progress from 0 to 100, never back.
static bool progressed(std::vector<int> &percents)
{
    const bool whole = percents.size() >= 3 && percents.front() == 0 && percents.back() == 100;
    const bool sorted = std::is_sorted(percents.begin(), percents.end());
    percents.clear();
    return whole && sorted;
}

static void testRoundTrip()
{
    TempRoot t;
    const std::string box = t.user + "/tree";
    CHECK(box_create("tree") == 0);
    buildTree(box, 1000);
    Snapshot before = snapshot(box);
    std::vector<int> percents;
    box_set_progress(onProgress, &percents);

    Key k(kPass), k2(kPass2), wrong("Wrong_pw_1");
    CHECK(box_crypto_create("tree", &k.params) == 0 && progressed(percents));
    CHECK(flagsOf("tree") == (BOX_FLAG_ENCRYPTED | BOX_FLAG_UNSHARED | BOX_FLAG_SELF));
    CHECK(snapshot(box).size() == 1 && !exists(t.user + "/.boxes/work"));
    CHECK(box_crypto_create("tree", &k.params) == -TSD_E_ENCRYPTED);

    CHECK(box_crypto_verify_passphrase("tree", &k.pass) == 0);
    CHECK(box_crypto_verify_passphrase("tree", &wrong.pass) == -TSD_E_BADPASS);
    CHECK(box_crypto_mount(nullptr, "tree", &wrong.pass) == -TSD_E_BADPASS && !isMountPoint(box));
    CHECK(box_crypto_umount(nullptr, "tree") == -TSD_E_NOTMOUNTED);
    CHECK(box_crypto_mount(passwd->pw_name, "tree", &k.pass) == 0);
    CHECK(flagsOf("tree") & BOX_FLAG_MOUNTED);
    CHECK(box_crypto_mount(nullptr, "tree", &k.pass) == -TSD_E_MOUNTED);
    CHECK(sameTree(before, snapshot(box)));
    CHECK(box_delete("tree") == -TSD_E_MOUNTED);
    CHECK(box_change_name("tree", "other") == -TSD_E_MOUNTED);
    CHECK(box_crypto_decrypt("tree", &k.pass) == -TSD_E_MOUNTED);

    // Busy: a file held open keeps the box mounted and intact.
    int fd = open((box + "/big.bin").c_str(), O_RDONLY);
    CHECK(box_crypto_umount(passwd->pw_name, "tree") == -TSD_E_BUSY && isMountPoint(box));
    char buf[8];
    CHECK(pread(fd, buf, sizeof buf, 0) == (ssize_t)sizeof buf);
    close(fd);
    CHECK(box_crypto_umount(passwd->pw_name, "tree") == 0 && !isMountPoint(box));
    CHECK(!(flagsOf("tree") & BOX_FLAG_MOUNTED));

    CHECK(box_crypto_change_passpharse("tree", &wrong.pass, &k2.params) == -TSD_E_BADPASS);
    CHECK(box_crypto_change_passpharse("tree", &k.pass, &k2.params) == 0);
    CHECK(box_crypto_verify_passphrase("tree", &k.pass) == -TSD_E_BADPASS);
    CHECK(box_change_name("tree", "renamed") == 0);
    CHECK(box_crypto_decrypt("renamed", &k.pass) == -TSD_E_BADPASS);
    CHECK(flagsOf("renamed") & BOX_FLAG_ENCRYPTED);
    percents.clear();
    CHECK(box_crypto_decrypt("renamed", &k2.pass) == 0 && progressed(percents));
    CHECK(flagsOf("renamed") == (BOX_FLAG_PLAIN | BOX_FLAG_UNSHARED | BOX_FLAG_SELF));
    CHECK(sameTree(before, snapshot(t.user + "/renamed")));
    CHECK(!exists(t.user + "/.boxes/c/renamed") && !exists(t.user + "/.boxes/work"));
    CHECK(!filesMention(t.base, kPass) && !filesMention(t.base, kPass2));
    CHECK(!processesMention(kPass) && !processesMention(kPass2));
    // Without a callback nothing is reported.
    box_set_progress(nullptr, nullptr);
    CHECK(box_crypto_create("renamed", &k.params) == 0 && percents.empty());
}

// Passwords refused before any tool runs: empty, missing, with a line
// break, and one byte longer than the longest gocryptfs reads (refused as
// too long, never as empty). The longest one works, and an empty box
// encrypted with it keeps what is written into it while mounted.
static void testPasswords()
{
    TempRoot t;
    CHECK(box_create("p") == 0);
    Key longest(std::string(BOX_PASSPHRASE_MAX, 'x'));
    Key empty(""), lineBreak("two\nlines"), tooLong(std::string(BOX_PASSPHRASE_MAX + 1, 'x'));
    box_crypto_params noKey = { BOX_CRYPTO_SETTINGS_DEFAULT, nullptr, 0 };
    CHECK(box_crypto_create("p", nullptr) == -TSD_E_INVAL);
    CHECK(box_crypto_create("p", &noKey) == -TSD_E_EMPTYPASS);
    CHECK(refused(box_crypto_create("p", &tooLong.params), TSD_E_PASSLONG, BOX_REASON_PASS_TOO_LONG));
    CHECK(box_crypto_create("p", &empty.params) == -TSD_E_EMPTYPASS);
    CHECK(box_crypto_create("p", &lineBreak.params) == -TSD_E_PASSCHARS);
    CHECK(flagsOf("p") & BOX_FLAG_PLAIN);
    CHECK(box_crypto_create("p", &longest.params) == 0);
    for (Key *badKey : { &empty, &tooLong }) {
        const int code = badKey == &empty ? -TSD_E_EMPTYPASS : -TSD_E_PASSLONG;
        CHECK(box_crypto_mount(nullptr, "p", &badKey->pass) == code);
        CHECK(box_crypto_verify_passphrase("p", &badKey->pass) == code);
        CHECK(box_crypto_decrypt("p", &badKey->pass) == code);
        CHECK(box_crypto_change_passpharse("p", &longest.pass, &badKey->params) == code);
    }
    for (int i = 0; i < 2; i++) {
        CHECK(box_crypto_mount(nullptr, "p", &longest.pass) == 0);
        CHECK(i ? readFile(t.user + "/p/new.txt") == "written" : writeFile(t.user + "/p/new.txt", "written"));
        CHECK(box_crypto_umount(nullptr, "p") == 0);
    }
    CHECK(box_delete("p") == 0 && !exists(t.user + "/.boxes/c/p"));
    CHECK(box_create("p") == 0 && (flagsOf("p") & BOX_FLAG_PLAIN));
}

// An idle mount goes by itself; the box folder stays locked throughout,
// for its owner and for every named entry (the mask has no write).
static void testIdleMountAndLock()
{
    TempRoot t;
    const std::string box = t.user + "/idle";
    CHECK(box_create("idle") == 0);
    Key k(kPass);
    CHECK(box_crypto_create("idle", &k.params) == 0);
    CHECK(box_add_share("idle", 7, 65534, 2) == 0);
    auto locked = [&] {
        const std::string text = aclText(box);
        return text.find("user::r-x") != std::string::npos && text.find("mask::r-x") != std::string::npos;
    };
    CHECK(locked());
    CHECK(box_crypto_mount_idle(nullptr, "idle", &k.pass, 1) == 0);
    CHECK(isMountPoint(box));
    bool gone = false;
    for (int i = 0; i < 100 && !gone; i++, usleep(100000))
        gone = !isMountPoint(box);
    CHECK(gone);
    CHECK(locked());
    CHECK(box_crypto_mount_idle(nullptr, "idle", &k.pass, 0) == 0);
    usleep(2500000);
    CHECK(isMountPoint(box)); // 0: never idle
    CHECK(box_crypto_umount(nullptr, "idle") == 0);
    CHECK(box_clear_share("idle") == 0 && box_add_share("idle", 5, 65534, 2) == 0);
    CHECK(locked());
}

// The gocryptfs serving `cipher` (0 when there is none).
static pid_t daemonOf(const std::string &cipher)
{
    pid_t pid = 0;
    for (auto &p : listDir("/proc")) {
        std::string cmd = readFile("/proc/" + p + "/cmdline");
        for (auto &c : cmd)
            c = c ? c : ' ';
        if (cmd.find("gocryptfs") != std::string::npos && cmd.find(cipher + " ") != std::string::npos)
            pid = atoi(p.c_str());
    }
    return pid;
}

// Whether the process has a descriptor of `path` open.
static bool holdsOpen(pid_t pid, const std::string &path)
{
    const std::string fds = "/proc/" + std::to_string(pid) + "/fd";
    for (auto &fd : listDir(fds)) {
        char target[4096];
        const ssize_t length = readlink((fds + "/" + fd).c_str(), target, sizeof target);
        if (length > 0 && std::string(target, (size_t)length) == path)
            return true;
    }
    return false;
}

// Kills the gocryptfs serving `cipher` and waits until its mount is dead.
static void killDaemon(const std::string &cipher, const std::string &box)
{
    const pid_t pid = daemonOf(cipher);
    CHECK(pid > 0 && kill(pid, SIGKILL) == 0);
    struct stat st;
    for (int i = 0; i < 100 && !(stat(box.c_str(), &st) < 0 && errno == ENOTCONN); i++)
        usleep(20000);
    CHECK(stat(box.c_str(), &st) < 0 && errno == ENOTCONN);
}

// A dead mount ("Transport endpoint is not connected") counts as not
// mounted and is cleared by mount, unmount and decrypt. The daemon holds
// none of the caller's descriptors (here one left open across exec, as a
// careless program would), which could keep the caller's files open or
// give it what the caller may read.
static void testStaleMount()
{
    TempRoot t;
    const std::string box = t.user + "/stale", cipher = t.user + "/.boxes/c/stale";
    CHECK(box_create("stale") == 0);
    writeFile(box + "/keep.txt", "still here");
    Key k("Stale_pw_9");
    CHECK(box_crypto_create("stale", &k.params) == 0);
    const std::string inherited = t.base + "/inherited.txt";
    CHECK(writeFile(inherited, "caller's"));
    const int leaked = open(inherited.c_str(), O_RDONLY); // no O_CLOEXEC on purpose
    CHECK(box_crypto_mount(nullptr, "stale", &k.pass) == 0);
    CHECK(daemonOf(cipher) > 0 && !holdsOpen(daemonOf(cipher), inherited));
    close(leaked);
    killDaemon(cipher, box);
    CHECK(!(flagsOf("stale") & BOX_FLAG_MOUNTED));
    CHECK(box_crypto_mount(nullptr, "stale", &k.pass) == 0);
    CHECK(readFile(box + "/keep.txt") == "still here");
    killDaemon(cipher, box);
    CHECK(box_crypto_umount(nullptr, "stale") == 0 && !isMountPoint(box));
    CHECK(box_crypto_mount(nullptr, "stale", &k.pass) == 0);
    killDaemon(cipher, box);
    CHECK(box_crypto_decrypt("stale", &k.pass) == 0);
    CHECK(readFile(box + "/keep.txt") == "still here");
}

// While another process of the user holds the operation lock (a long
// encrypt), starting up, listing and unmounting go on without waiting.
static void testReadersAndUnmountDoNotWait()
{
    TempRoot t;
    CHECK(box_create("held") == 0);
    Key k(kPass);
    CHECK(box_crypto_create("held", &k.params) == 0);
    CHECK(box_crypto_mount(nullptr, "held", &k.pass) == 0);
    const int holder = open((t.user + "/.boxes/lock").c_str(), O_RDWR | O_CLOEXEC);
    CHECK(holder >= 0 && flock(holder, LOCK_EX) == 0);
    const int status = inChild([] {
        alarm(10); // a call that waits for the lock ends the child
        if (box_init() != 0 || countBoxes() != 1)
            return 1;
        return box_crypto_umount(nullptr, "held") == 0 ? 0 : 2;
    });
    CHECK(status == 0);
    CHECK(!isMountPoint(t.user + "/held"));
    close(holder);
}

// A full disk: a password change and an encryption fail naming the want
// of room and leave nothing behind, the box made for an encrypted create
// can still be deleted, and a half-written config that an earlier failure
// left does not block the next change.
static void testFullDisk()
{
    TempRoot t;
    // A small file system: the one the ordinary-account runner made for
    // us, or, as root, a tmpfs of our own (it goes with the box root).
    const char *given = getenv("TESSAD_TEST_SMALL_FS");
    std::string small = given ? given : t.base + "/small";
    mkdir(small.c_str(), 0700);
    if (!given && (geteuid() != 0 || mount("tmpfs", small.c_str(), "tmpfs", MS_NOSUID | MS_NODEV, "size=24m,mode=0700") != 0)) {
        std::printf("SKIP full disk: no small file system to fill (needs root to mount one)\n");
        return;
    }
    setenv("BOX_SERVICE_ROOT", (small + "/box").c_str(), 1);
    CHECK(box_init() == 0);
    const std::string user = small + "/box/" + passwd->pw_name;
    const std::string confTmp = user + "/.boxes/c/full/gocryptfs.conf.tmp";
    Key k(kPass), k2(kPass2);
    CHECK(box_create("full") == 0 && box_crypto_create("full", &k.params) == 0);
    const std::string filler = small + "/filler";
    CHECK(std::system(("cat /dev/zero > '" + filler + "' 2>/dev/null").c_str()) != 0); // until it is full

    CHECK(box_reason_of(box_crypto_change_passpharse("full", &k.pass, &k2.params)) == BOX_REASON_NO_SPACE);
    CHECK(!exists(confTmp));
    CHECK(box_create("fresh") == 0);
    CHECK(box_reason_of(box_crypto_create("fresh", &k.params)) == BOX_REASON_NO_SPACE);
    CHECK(box_delete("fresh") == 0 && !exists(user + "/fresh"));

    // With room again: a leftover config goes at the next start, and one
    // that turns up later does not block a change either.
    CHECK(unlink(filler.c_str()) == 0);
    CHECK(writeFile(confTmp, "", 0400));
    CHECK(box_init() == 0 && !exists(confTmp));
    CHECK(writeFile(confTmp, "", 0400));
    CHECK(box_crypto_change_passpharse("full", &k.pass, &k2.params) == 0);
    CHECK(box_crypto_verify_passphrase("full", &k2.pass) == 0 && !exists(confTmp));
    run("rm -rf '" + small + "/box'");
}

int main()
{
    if (int skip = skipWithoutMounts("test_tessad_crypto"))
        return skip;
    testRoundTrip();
    testPasswords();
    testIdleMountAndLock();
    testStaleMount();
    testReadersAndUnmountDoNotWait();
    testFullDisk();
    return report("test_tessad_crypto");
}
