// A hostile read-write sharee against its box's owner. Needs root: it
// makes three throwaway accounts, the owner A, the sharee B and a
// bystander C, and runs the library as each in child processes.
//
// B races A's share, clear, delete, encrypt and decrypt of the shared box
// "pub": it swaps A's folders for symlinks to A's private box, A's user
// folder and C's box, exchanges its own read-only folders with such
// symlinks through a descriptor it keeps (so it reaches the box even
// while A removes it), and puts FIFOs and symlinks to /dev/zero where A's
// files were.
// Whatever B does, nothing outside "pub" may change (modes, ACLs,
// contents), C may never get in, and no call may hang. Then, without a
// race: folders of B that A could not remove make A's operations refuse
// before they start, and nothing of them is left to the trash.
#include "tessad_testkit.h"
#include "tsd_internal.h"

#include <chrono>
#include <thread>
#include <linux/fs.h>
#include <stdio.h>

using namespace tk;

static const char *kPass = "Hostile_pw_3";
static const char *kMarker = "plain text of A that must not outlive its box";
static const unsigned kCallSeconds = 60; // no library call may take longer
static const int kRaceSeconds = 4;       // per attack, at most

struct World {
    Account A, B, C;
    std::string home, pub, cipher, priv, cHome;
    bool fuse = true; // other accounts may mount
};

// Mode, owner and ACLs of a folder whose entries come and go.
static std::string guarded(const std::string &path)
{
    std::string line = snapshot(path)[""];
    size_t cut = line.find(" size ");
    return line.substr(0, cut) + line.substr(line.find(" acl "));
}

// What must never change, whatever B does inside "pub".
static Snapshot outside(const World &w)
{
    Snapshot s;
    for (auto &kv : snapshot(w.priv))
        s["private/" + kv.first] = kv.second;
    for (auto &kv : snapshot(w.cHome + "/cbox"))
        s["C's box/" + kv.first] = kv.second;
    s["A's user folder"] = guarded(w.home);
    s["A's state folder"] = guarded(w.home + "/.boxes");
    s["C's user folder"] = guarded(w.cHome);
    return s;
}

// Runs one library call under a time limit: a call that hangs kills the
// child with SIGALRM, which the parent sees.
static int timed(const std::function<int()> &call)
{
    alarm(kCallSeconds);
    int rc = call();
    alarm(0);
    return rc;
}

static int share(const char *box, int perm, uid_t uid)
{
    return timed([&] { return box_add_share(box, perm, uid, 2); });
}

static bool exchange(const std::string &a, const std::string &b)
{
    return renameat2(AT_FDCWD, a.c_str(), AT_FDCWD, b.c_str(), RENAME_EXCHANGE) == 0;
}

// Exchanges two entries and back, holding the swap for a varying while
// (none at all every other time) to meet the owner's walk at any step.
static void swapAndBack(const std::string &a, const std::string &b)
{
    static unsigned turn = 0;
    turn++;
    if (!exchange(a, b))
        return;
    if (turn % 2)
        usleep(turn % 7 * 150);
    exchange(a, b);
}

// Writes a file below `dirfd` (if open) without following a symlink B put
// there.
static void plant(int dirfd, const char *name)
{
    int fd = dirfd < 0 ? -1 : openat(dirfd, name, O_WRONLY | O_CREAT | O_TRUNC | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC, 0644);
    if (fd >= 0 && write(fd, kMarker, strlen(kMarker)) < 0)
        std::fprintf(stderr, "could not write %s\n", name);
    if (fd >= 0)
        close(fd);
}

// A's box "pub", shared read-write with B: a folder, files with a marker.
// While B races, what B swapped in is left alone (the test must not
// follow B's symlinks either).
static int folderIn(int at, const char *name, mode_t mode)
{
    mkdirat(at, name, mode);
    return openat(at, name, O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
}

static int makePub(const World &w)
{
    if (!tk::exists(w.pub))
        CHILD_CHECK(timed([] { return box_create("pub"); }) == 0);
    const int top = folderIn(AT_FDCWD, w.pub.c_str(), 0700);
    CHILD_CHECK(top >= 0);
    const int dir = folderIn(top, "dir", 0755);
    const int deeper = dir >= 0 ? folderIn(dir, "deeper", 0700) : -1;
    plant(deeper, "f.txt");
    plant(top, "a.txt");
    for (int fd : { deeper, dir, top })
        close(fd); // (-1 when it is not there: harmless)
    return share("pub", 7, w.B.uid);
}

// ---- B's attacks: one step each, repeated until the race ends ----

// Fault 1: the share walk reaching A's private box through a folder of
// "pub" swapped for a symlink.
static void swapFolderForSymlink(const World &w)
{
    static int turn = 0;
    const std::string targets[] = { w.priv, w.home, w.cHome, w.priv + "/secret.txt" };
    const std::string link = w.pub + "/link-" + std::to_string(getpid());
    symlink(targets[turn++ % 4].c_str(), link.c_str());
    swapAndBack(w.pub + "/dir", link);
    unlink(link.c_str());
}

// Fault 2: removal opening up B's read-only folders (0555 | 0700) after
// each has been exchanged with a symlink to A's private box. B works
// through a descriptor of A's folder "pub/dir", kept open: it still
// reaches the folder after A has moved the box away to remove it. Several
// pairs, exchanged as fast as B can, give each walk many chances.
static void exchangeReadOnlyFolder(const World &w)
{
    static int dir = -1;
    const int pairs = 8;
    // Move on to the folder of a new "pub" once there is one.
    int now = open((w.pub + "/dir").c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
    struct stat held, current;
    if (now >= 0 && (dir < 0 || (fstat(dir, &held) == 0 && fstat(now, &current) == 0 && held.st_ino != current.st_ino))) {
        if (dir >= 0)
            close(dir);
        dir = now;
    } else if (now >= 0) {
        close(now);
    }
    if (dir < 0)
        return;
    for (int i = 0; i < pairs; i++) {
        const std::string ro = "ro" + std::to_string(i);
        mkdirat(dir, ro.c_str(), 0555);
        symlinkat(w.priv.c_str(), dir, (ro + "-link").c_str());
    }
    for (int round = 0; round < 20; round++)
        for (int i = 0; i < pairs; i++) {
            const std::string ro = "ro" + std::to_string(i);
            renameat2(dir, ro.c_str(), dir, (ro + "-link").c_str(), RENAME_EXCHANGE);
        }
}

// A file that turns into a FIFO (the copy would block on it for ever) or a
// symlink to an endless device while encrypt copies it.
static void fifoInPlaceOfFile(const World &w)
{
    const std::string fifo = w.pub + "/fifo-" + std::to_string(getpid());
    const std::string zero = w.pub + "/zero-" + std::to_string(getpid());
    mkfifo(fifo.c_str(), 0666);
    symlink("/dev/zero", zero.c_str());
    swapAndBack(w.pub + "/a.txt", fifo);
    swapAndBack(w.pub + "/a.txt", zero);
}

// Decrypt reads the cipher folder, which a read-write sharee may write:
// B swaps A's cipher folders for symlinks to A's private box.
static void swapCipherFolder(const World &w)
{
    const std::string link = w.cipher + "/link-" + std::to_string(getpid());
    symlink(w.priv.c_str(), link.c_str());
    for (auto &name : listDir(w.cipher)) {
        struct stat st;
        if (lstat((w.cipher + "/" + name).c_str(), &st) == 0 && S_ISDIR(st.st_mode))
            swapAndBack(w.cipher + "/" + name, link);
    }
    unlink(link.c_str());
}

// ---- A's operations, repeated for the length of the race ----

static int shareAndClear(const World &w)
{
    CHILD_CHECK(share("pub", 5, w.C.uid) == 0);
    CHILD_CHECK(timed([] { return box_clear_share("pub"); }) == 0);
    return share("pub", 7, w.B.uid) == 0 ? 0 : 1;
}

static const useconds_t kPlantTime = 20000; // for B to fill a new "pub"

static int deleteBox(const World &w)
{
    usleep(kPlantTime);
    CHILD_CHECK(timed([] { return box_delete("pub"); }) == 0);
    return makePub(w);
}

// Encrypting a plain tree that B changes must work; decrypting a cipher
// folder that B has just swapped things in may fail (and be rolled back),
// and is tried again in the next round and once B has stopped.
static int encryptAndDecrypt(const World &w)
{
    Key k(kPass);
    if (!tk::exists(w.cipher))
        CHILD_CHECK(timed([&] { return box_crypto_create("pub", &k.params); }) == 0);
    if (timed([&] { return box_crypto_decrypt("pub", &k.pass); }) != 0)
        return 0;
    return makePub(w);
}

static int encryptOnce()
{
    Key k(kPass);
    return timed([&] { return box_crypto_create("pub", &k.params); });
}

static int decryptOnce()
{
    Key k(kPass);
    return timed([&] { return box_crypto_decrypt("pub", &k.pass); });
}

// Once B has stopped, a box left encrypted decrypts.
static int settle(const World &w)
{
    return tk::exists(w.cipher) ? decryptOnce() : 0;
}

// C may not read A's private box, nor find it.
static bool bystanderShutOut(const World &w)
{
    const int found = w.C.as([&] {
        box_info *info = nullptr;
        return box_get_info(w.A.name.c_str(), "private", &info) == -TSD_E_NOTFOUND ? 0 : 1;
    });
    return found == 0 && !w.C.reaches({ w.priv, w.priv + "/secret.txt" });
}

struct Race {
    const char *what;
    void (*attack)(const World &);
    int (*operation)(const World &);
    bool needsFuse;
};

static void testRaces(const World &w)
{
    const Race races[] = {
        { "share/clear vs folder swapped for a symlink", swapFolderForSymlink, shareAndClear, false },
        { "share/clear vs read-only folder exchanged with a symlink", exchangeReadOnlyFolder, shareAndClear, false },
        { "delete vs folder swapped for a symlink", swapFolderForSymlink, deleteBox, false },
        { "delete vs read-only folder exchanged with a symlink", exchangeReadOnlyFolder, deleteBox, false },
        { "encrypt/decrypt vs folder swapped for a symlink", swapFolderForSymlink, encryptAndDecrypt, true },
        { "encrypt/decrypt vs read-only folder exchanged with a symlink", exchangeReadOnlyFolder, encryptAndDecrypt, true },
        { "encrypt/decrypt vs FIFO and /dev/zero in place of a file", fifoInPlaceOfFile, encryptAndDecrypt, true },
        { "encrypt/decrypt vs cipher folder swapped for a symlink", swapCipherFolder, encryptAndDecrypt, true },
    };
    for (const Race &race : races) {
        if (race.needsFuse && !w.fuse)
            continue;
        std::printf("race: %s\n", race.what);
        CHECK(w.A.as([&] { return makePub(w); }) == 0);
        Snapshot before = outside(w);
        const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(kRaceSeconds);
        // B attacks until the race ends, always finishing a step (so that
        // what it swapped is swapped back).
        std::thread attacker([&] {
            w.B.as([&] {
                while (std::chrono::steady_clock::now() < end)
                    race.attack(w);
                return 0;
            });
        });
        // Every round runs, even after one failed: a failed call can be
        // the sign of a walk gone astray, not the end of it.
        int rc = w.A.as([&] {
            int rounds = 0, failures = 0;
            while (std::chrono::steady_clock::now() < end && rounds++ < 300)
                failures += race.operation(w) != 0;
            CHILD_CHECK(failures == 0);
            return 0;
        });
        attacker.join();
        CHECK(w.A.as([&] { return settle(w); }) == 0);
        if (rc != 0)
            std::fprintf(stderr, "  owner's child ended with %d (%s)\n", rc,
                         rc == 1000 + SIGALRM ? "a call hung" : "a check failed");
        CHECK(rc == 0);
        CHECK(sameTree(before, outside(w)));
        CHECK(bystanderShutOut(w));
        // No plain text of A's is left in the state folder once the
        // background removal is done (the cipher folders hold none).
        CHECK(trashDrains(w.home));
        CHECK(!filesMention(w.home + "/.boxes", kMarker));
        CHECK(!tk::exists(w.home + "/.boxes/stranded"));
    }
}

// ---- folders of B that A cannot remove, without a race ----

struct Blocker {
    const char *what;
    int (*operation)();
    bool encrypted; // the box is encrypted first (B then writes into its cipher folder)
    const char *leave, *takeAway; // B's commands in the folder
};

// (Delete does not wait for B: test_tessad_share shows it setting B's
// folder aside.)
static void testBlockers(const World &w)
{
    const Blocker blockers[] = {
        { "encrypt, B's closed folder", encryptOnce, false, kLeaveClosedFolder, "chmod 0777 b-folder" },
        { "encrypt, B's unreadable file", encryptOnce, false, "echo B > b-secret.txt && chmod 0600 b-secret.txt",
          "rm b-secret.txt" },
        { "decrypt, B's closed folder in the cipher folder", decryptOnce, true, kLeaveClosedFolder, "chmod 0777 b-folder" },
    };
    for (const Blocker &b : blockers) {
        if (!w.fuse)
            continue;
        std::printf("blocker: %s\n", b.what);
        const std::string in = b.encrypted ? w.cipher : w.pub;
        CHECK(w.A.as([&] {
            CHILD_CHECK(makePub(w) == 0);
            return b.encrypted ? encryptOnce() : 0;
        }) == 0);
        CHECK(w.B.runs(in, b.leave));
        Snapshot box = snapshot(in);
        // Refused before it starts: the box is as it was, no journal.
        // The detail names B's entry.
        CHECK(w.A.as([&] { return refused(b.operation(), TSD_E_FOREIGN, BOX_REASON_FOREIGN_ENTRY, in + "/b-") ? 0 : 1; }) == 0);
        CHECK(sameTree(box, snapshot(in)));
        CHECK(!tk::exists(w.home + "/.boxes/journal"));
        // Once B takes it away, the operation goes through and leaves
        // nothing behind.
        CHECK(w.B.runs(in, b.takeAway));
        CHECK(w.A.as([&] { return b.operation(); }) == 0);
        CHECK(trashDrains(w.home));
        CHECK(!tk::exists(w.home + "/.boxes/stranded"));
        CHECK(!filesMention(w.home + "/.boxes", kMarker));
        CHECK(w.A.as([&] { return tk::exists(w.pub) && box_delete("pub") != 0 ? 1 : 0; }) == 0);
    }
}

// What a sharee makes unremovable while an operation runs ends up in the
// trash: the next box_init empties it and sets the rest aside once, so
// that no later start meets it again.
static void testTrashDoesNotLoop(const World &w)
{
    std::printf("trash and junk with B's closed folder\n");
    const std::string trash = w.home + "/.boxes/trash";
    const std::string junk = w.home + "/.boxes/junk.1";
    // Earlier rows may have left the trash folder itself (its removers
    // work in the background); it only has to be there and be A's.
    CHECK((mkdir(trash.c_str(), 0700) == 0 || errno == EEXIST) && chown(trash.c_str(), w.A.uid, w.A.gid) == 0);
    for (const std::string &dir : { trash + "/1.1", junk }) {
        CHECK(mkdir(dir.c_str(), 0700) == 0 && writeFile(dir + "/a.txt", kMarker));
        CHECK(mkdir((dir + "/b-folder").c_str(), 0755) == 0 && writeFile(dir + "/b-folder/b.txt", "B's"));
        run("chown -R " + w.A.name + ":" + std::to_string(w.A.gid) + " '" + dir + "'");
        run("chown -R " + w.B.name + ":" + std::to_string(w.B.gid) + " '" + dir + "/b-folder'");
    }
    CHECK(w.A.as([&] { return 0; }) == 0); // box_init sweeps
    CHECK(trashDrains(w.home));
    CHECK(!tk::exists(junk));
    CHECK(!filesMention(w.home + "/.boxes", kMarker));
    const std::string stranded = w.home + "/.boxes/stranded";
    CHECK(listDir(stranded).size() == 2);
    Snapshot aside = snapshot(stranded);
    CHECK(w.A.as([&] { return 0; }) == 0);
    CHECK(sameTree(aside, snapshot(stranded))); // not walked again
    run("rm -rf '" + stranded + "'");
}

int main()
{
    if (int skip = skipUnlessRoot("test_tessad_hostile"))
        return skip;
    World w;
    const Accounts accounts("tsh", { &w.A, &w.B, &w.C });
    if (accounts.made) {
        TempRoot t;
        w.home = t.root + "/" + w.A.name;
        w.pub = w.home + "/pub";
        w.cipher = w.home + "/.boxes/c/pub";
        w.priv = w.home + "/private";
        w.cHome = t.root + "/" + w.C.name;
        CHECK(w.A.as([&] {
            CHILD_CHECK(box_create("private") == 0 && mkdir((w.priv + "/sub").c_str(), 0700) == 0);
            CHILD_CHECK(writeFile(w.priv + "/secret.txt", "A's private data", 0600));
            return writeFile(w.priv + "/sub/inner.txt", "deeper", 0640) ? 0 : 1;
        }) == 0);
        CHECK(w.C.as([&] { return box_create("cbox") == 0 && writeFile(w.cHome + "/cbox/c.txt", "C's") ? 0 : 1; }) == 0);
        w.fuse = w.A.as([] { return access("/dev/fuse", R_OK | W_OK); }) == 0;
        if (!w.fuse)
            std::printf("SKIP encrypted cases: /dev/fuse is not open to other accounts here\n");
        testRaces(w);
        testBlockers(w);
        testTrashDoesNotLoop(w);
    }
    return report("test_tessad_hostile");
}
