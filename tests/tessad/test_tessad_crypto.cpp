// Encrypted boxes against real gocryptfs and FUSE: the encrypt/decrypt
// round trip, passwords, mounting, busy and stale mounts, and where the
// password may never appear.
#include "tessad_testkit.h"
#include "tsd_internal.h"

#include <chrono>
#include <thread>

using namespace tk;

static const char *kPass = "Pw_unique_7f3a9c";
static const char *kPass2 = "Other_pw_2b8e41";

static uint8_t flagsOf(const char *name)
{
    box_info *info = nullptr;
    uint8_t f = 0;
    if (box_get_info(nullptr, name, &info) == 0 && info)
        f = info->flags;
    box_info_destroy(info);
    return f;
}

static void testRoundTrip()
{
    TempRoot t;
    const std::string box = t.user + "/tree";
    CHECK(box_create("tree") == 0);
    buildTree(box, 1000);
    Snapshot before = snapshot(box);
    CHECK(before.size() > 1000);

    Key k(kPass), wrong("Wrong_pw_1");
    CHECK(box_crypto_create("tree", &k.params) == 0);
    CHECK(flagsOf("tree") == (BOX_FLAG_ENCRYPTED | BOX_FLAG_UNSHARED | BOX_FLAG_SELF));
    CHECK(snapshot(box).size() == 1);
    CHECK(box_crypto_create("tree", &k.params) == -TSD_E_ENCRYPTED);
    struct stat st;
    CHECK(stat((t.user + "/.boxes/work").c_str(), &st) < 0);
    // Unmounted, the box folder is closed to its owner's writes.
    CHECK(stat(box.c_str(), &st) == 0 && !(st.st_mode & S_IWUSR));

    CHECK(box_crypto_verify_passphrase("tree", &k.pass) == 0);
    CHECK(box_crypto_verify_passphrase("tree", &wrong.pass) == -TSD_E_BADPASS);
    CHECK(box_crypto_mount(passwd->pw_name, "tree", &wrong.pass) == -TSD_E_BADPASS);
    CHECK(!isMountPoint(box));
    CHECK(box_crypto_umount(passwd->pw_name, "tree") == -TSD_E_NOTMOUNTED);

    CHECK(box_crypto_mount(passwd->pw_name, "tree", &k.pass) == 0);
    CHECK(flagsOf("tree") & BOX_FLAG_MOUNTED);
    CHECK(box_crypto_mount(passwd->pw_name, "tree", &k.pass) == -TSD_E_MOUNTED);
    CHECK(sameTree(before, snapshot(box)));
    CHECK(!processesMention(kPass));
    // Mounted boxes can be neither deleted, renamed, decrypted nor shared.
    CHECK(box_delete("tree") == -TSD_E_MOUNTED);
    CHECK(box_change_name("tree", "other") == -TSD_E_MOUNTED);
    CHECK(box_crypto_decrypt("tree", &k.pass) == -TSD_E_MOUNTED);
    CHECK(box_add_share("tree", 5, 65534, 2) == -TSD_E_MOUNTED);

    // Busy: a file held open keeps the box mounted and intact.
    int fd = open((box + "/big.bin").c_str(), O_RDONLY);
    CHECK(fd >= 0);
    CHECK(box_crypto_umount(passwd->pw_name, "tree") == -TSD_E_BUSY);
    CHECK(isMountPoint(box));
    char buf[8];
    CHECK(pread(fd, buf, sizeof buf, 0) == (ssize_t)sizeof buf);
    close(fd);
    CHECK(box_crypto_umount(passwd->pw_name, "tree") == 0);
    CHECK(!isMountPoint(box));
    CHECK(!(flagsOf("tree") & BOX_FLAG_MOUNTED));

    // Change the password: the old one stops working.
    Key k2(kPass2);
    CHECK(box_crypto_change_passpharse("tree", &wrong.pass, &k2.params) == -TSD_E_BADPASS);
    CHECK(box_crypto_change_passpharse("tree", &k.pass, &k2.params) == 0);
    CHECK(box_crypto_verify_passphrase("tree", &k.pass) == -TSD_E_BADPASS);
    CHECK(box_crypto_verify_passphrase("tree", &k2.pass) == 0);

    // Rename an encrypted box; it mounts under its new name.
    CHECK(box_change_name("tree", "renamed") == 0);
    CHECK(box_crypto_mount(passwd->pw_name, "renamed", &k2.pass) == 0);
    CHECK(readFile(t.user + "/renamed/长名字-文件.txt") == "unicode name\n");
    CHECK(box_crypto_umount(passwd->pw_name, "renamed") == 0);

    CHECK(box_crypto_decrypt("renamed", &k.pass) == -TSD_E_BADPASS);
    CHECK(flagsOf("renamed") & BOX_FLAG_ENCRYPTED);
    CHECK(box_crypto_decrypt("renamed", &k2.pass) == 0);
    CHECK(flagsOf("renamed") == (BOX_FLAG_PLAIN | BOX_FLAG_UNSHARED | BOX_FLAG_SELF));
    CHECK(sameTree(before, snapshot(t.user + "/renamed")));
    CHECK(stat((t.user + "/.boxes/c/renamed").c_str(), &st) < 0);
    CHECK(stat((t.user + "/.boxes/work").c_str(), &st) < 0);

    CHECK(!filesMention(t.base, kPass));
    CHECK(!filesMention(t.base, kPass2));
    CHECK(!processesMention(kPass2));
}

static void testPasswordInput()
{
    TempRoot t;
    CHECK(box_create("p") == 0);
    Key empty("");
    CHECK(box_crypto_create("p", &empty.params) == -TSD_E_EMPTYPASS);
    Key nl("two\nlines");
    CHECK(box_crypto_create("p", &nl.params) == -TSD_E_PASSCHARS);
    CHECK(box_crypto_create("p", nullptr) == -TSD_E_INVAL);
    box_crypto_params nokey = { BOX_CRYPTO_SETTINGS_DEFAULT, nullptr, 0 };
    CHECK(box_crypto_create("p", &nokey) == -TSD_E_EMPTYPASS);
    CHECK(flagsOf("p") & BOX_FLAG_PLAIN);
    CHECK(box_crypto_create("missing", &nl.params) < 0);

    // The program's encrypted create: an empty box, then its password.
    Key k("Ab_123456");
    CHECK(box_crypto_create("p", &k.params) == 0);
    CHECK(box_crypto_mount(nullptr, "p", &empty.pass) == -TSD_E_EMPTYPASS);
    CHECK(box_crypto_mount(passwd->pw_name, "p", &k.pass) == 0);
    CHECK(writeFile(t.user + "/p/new.txt", "written while mounted"));
    CHECK(box_crypto_umount(passwd->pw_name, "p") == 0);
    CHECK(box_crypto_mount(passwd->pw_name, "p", &k.pass) == 0);
    CHECK(readFile(t.user + "/p/new.txt") == "written while mounted");
    CHECK(box_crypto_umount(passwd->pw_name, "p") == 0);
    // Deleting an encrypted box removes its cipher folder too.
    CHECK(box_delete("p") == 0);
    struct stat st;
    CHECK(stat((t.user + "/.boxes/c/p").c_str(), &st) < 0);
    CHECK(countBoxes() == 0);
    CHECK(box_create("p") == 0);
    CHECK(flagsOf("p") & BOX_FLAG_PLAIN);
}

static pid_t daemonOf(const std::string &cipher)
{
    DIR *d = opendir("/proc");
    pid_t pid = 0;
    while (struct dirent *de = d ? readdir(d) : nullptr) {
        if (de->d_name[0] < '0' || de->d_name[0] > '9')
            continue;
        std::string cmd = readFile(std::string("/proc/") + de->d_name + "/cmdline");
        for (auto &c : cmd)
            if (c == 0)
                c = ' ';
        if (cmd.find("gocryptfs") != std::string::npos && cmd.find(cipher + " ") != std::string::npos)
            pid = atoi(de->d_name);
    }
    if (d)
        closedir(d);
    return pid;
}

static void testStaleMount()
{
    TempRoot t;
    const std::string box = t.user + "/stale";
    CHECK(box_create("stale") == 0);
    writeFile(box + "/keep.txt", "still here");
    Key k("Stale_pw_9");
    CHECK(box_crypto_create("stale", &k.params) == 0);
    CHECK(box_crypto_mount(passwd->pw_name, "stale", &k.pass) == 0);
    pid_t pid = daemonOf(t.user + "/.boxes/c/stale");
    CHECK(pid > 0);
    if (pid <= 0)
        return;
    kill(pid, SIGKILL);
    struct stat st;
    for (int i = 0; i < 100 && !(stat(box.c_str(), &st) < 0 && errno == ENOTCONN); i++)
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    CHECK(stat(box.c_str(), &st) < 0 && errno == ENOTCONN);
    // "Transport endpoint is not connected" counts as not mounted...
    CHECK(!(flagsOf("stale") & BOX_FLAG_MOUNTED));
    // ...and is cleaned away by the next mount.
    CHECK(box_crypto_mount(passwd->pw_name, "stale", &k.pass) == 0);
    CHECK(readFile(box + "/keep.txt") == "still here");
    // A second kill: unmount clears the dead mount too.
    pid = daemonOf(t.user + "/.boxes/c/stale");
    kill(pid, SIGKILL);
    for (int i = 0; i < 100 && !(stat(box.c_str(), &st) < 0 && errno == ENOTCONN); i++)
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    CHECK(box_crypto_umount(passwd->pw_name, "stale") == 0);
    CHECK(!isMountPoint(box));
    // Deleting finds no mount in its way either.
    CHECK(box_crypto_mount(passwd->pw_name, "stale", &k.pass) == 0);
    pid = daemonOf(t.user + "/.boxes/c/stale");
    kill(pid, SIGKILL);
    for (int i = 0; i < 100 && !(stat(box.c_str(), &st) < 0 && errno == ENOTCONN); i++)
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    CHECK(box_crypto_decrypt("stale", &k.pass) == 0);
    CHECK(readFile(box + "/keep.txt") == "still here");
}

static void testLockSerialises()
{
    // Two processes of one user encrypting and renaming at once: both
    // finish, one after the other, with nothing lost.
    TempRoot t;
    CHECK(box_create("one") == 0);
    CHECK(box_create("two") == 0);
    buildTree(t.user + "/one", 60);
    Snapshot s1 = snapshot(t.user + "/one");
    Key k("Lock_pw_1");
    pid_t a = fork();
    if (a == 0)
        _exit(box_init() == 0 && box_crypto_create("one", &k.params) == 0 ? 0 : 1);
    int rc2 = inChild([] {
        for (int i = 0; i < 20; i++) {
            if (box_change_name("two", "three") != 0 || box_change_name("three", "two") != 0)
                return 1;
        }
        return 0;
    });
    int status = 0;
    waitpid(a, &status, 0);
    CHECK(WIFEXITED(status) && WEXITSTATUS(status) == 0);
    CHECK(rc2 == 0);
    CHECK(box_crypto_decrypt("one", &k.pass) == 0);
    CHECK(sameTree(s1, snapshot(t.user + "/one")));
}

int main()
{
    testRoundTrip();
    testPasswordInput();
    testStaleMount();
    testLockSerialises();
    std::printf("%s: %d failure(s)\n", "test_tessad_crypto", failures());
    return failures() ? 1 : 0;
}
