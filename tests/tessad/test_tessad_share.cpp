// Sharing between real accounts: the owner A, the read-write sharee B, the
// read-only sharee C and a bystander D, who must never see or reach
// anything. Needs root: it makes four throwaway accounts, runs the library
// as each of them in child processes (real gocryptfs mounts, each made by
// its own account), and removes the accounts afterwards.
#include "tessad_testkit.h"
#include "box_service_ext.h"
#include "tsd_internal.h"

#include <pwd.h>

using namespace tk;

static const char *kPass = "Share_pw_5";
static const char *kNewPass = "Share_pw_6";

struct World {
    Account A, B, C, D;
    std::string root;   // the box root
    std::string home;   // A's user folder
    std::string vault;  // A's encrypted box folder: A's own mount point
};

// The caller's record of a box: its flags (-1 when it is not listed),
// path and share state.
struct Listed {
    int flags = -1;
    std::string path;
    box_share_state state{};
    std::string mountedBy; // who else has it mounted
};

static Listed listed(const std::string &name, const std::string &owner = std::string())
{
    Listed result;
    box_info *list = nullptr;
    box_get_list(255, &list);
    if (box_info *info = find(list, name, owner)) {
        result.flags = info->flags;
        result.path = info->path;
        box_share_state_of(info, &result.state);
        char login[LOGIN_NAME_MAX + 1] = "";
        box_mounted_by(info, login, sizeof login);
        result.mountedBy = login;
    }
    box_info_list_destroy(list);
    return result;
}

static int share(const char *box, int perm, uid_t uid)
{
    return box_add_share(box, perm, uid, 2) == 0 ? 0 : 1;
}

static int mountAs(const std::string &owner)
{
    Key key(kPass);
    return box_crypto_mount(owner.c_str(), "vault", &key.pass);
}

// ---- plain boxes ----

static void testPlainShares(const World &w)
{
    const std::string docs = w.home + "/docs";
    CHECK(w.A.as([&] {
        CHILD_CHECK(box_create("docs") == 0 && box_create("secret") == 0);
        CHILD_CHECK(writeFile(docs + "/a.txt", "from A"));
        CHILD_CHECK(share("docs", 7, w.B.uid) == 0);
        return share("docs", 5, w.C.uid);
    }) == 0);
    const struct {
        const char *what;
        const Account &who;
        int access;
        bool writes;
    } sharees[] = {
        { "read-write", w.B, BOX_ACCESS_READ_WRITE, true },
        { "read-only", w.C, BOX_ACCESS_READ_ONLY, false },
    };
    for (const auto &sharee : sharees) {
        std::printf("plain box, %s sharee\n", sharee.what);
        CHECK(sharee.who.as([&] {
            const Listed box = listed("docs", w.A.name);
            CHILD_CHECK(box.flags == (BOX_FLAG_OTHER | BOX_FLAG_SHARED | BOX_FLAG_PLAIN));
            CHILD_CHECK(box.path == docs && box.state.access == sharee.access);
            CHILD_CHECK(countBoxes() == 1);
            CHILD_CHECK(readFile(docs + "/a.txt") == "from A");
            CHILD_CHECK(writeFile(docs + "/" + sharee.who.name + ".txt", "x") == sharee.writes);
            CHILD_CHECK(opendir(w.home.c_str()) == nullptr); // the user folder is never listed
            box_info *info = nullptr;
            CHILD_CHECK(box_get_info(w.A.name.c_str(), "secret", &info) == -TSD_E_NOTFOUND);
            // Only the owner changes a box.
            CHILD_CHECK(box_add_share("docs", 7, w.D.uid, 2) == -TSD_E_NOTFOUND);
            return box_delete("docs") == -TSD_E_NOTFOUND ? 0 : 1;
        }) == 0);
    }
    CHECK(w.D.as([&] {
        box_info *info = nullptr;
        CHILD_CHECK(countBoxes() == 0);
        return box_get_info(w.A.name.c_str(), "docs", &info) == -TSD_E_NOTFOUND ? 0 : 1;
    }) == 0);
    CHECK(!w.D.reaches({ docs, docs + "/a.txt" }));
}

// B leaves a folder that A may not empty (0755, B's file in it); once B
// has lost its share, A still deletes the box, and nothing of it stays
// where anyone but an administrator could read it.
static void testOwnerDeletesWhatAShareeLeft(const World &w)
{
    std::printf("delete with a sharee's closed folder\n");
    const std::string docs = w.home + "/docs";
    CHECK(w.B.runs(docs, kLeaveClosedFolder));
    CHECK(w.A.as([&] {
        CHILD_CHECK(box_clear_share("docs") == 0);
        CHILD_CHECK(box_delete("docs") == 0);
        const char *detail = box_last_detail();
        CHILD_CHECK(detail && std::string(detail).find("b-folder") != std::string::npos);
        CHILD_CHECK(!exists(docs));
        const std::string stranded = w.home + "/.boxes/stranded";
        CHILD_CHECK(!listDir(stranded).empty());
        for (const std::string &entry : listDir(stranded))
            CHILD_CHECK(!reachable(stranded + "/" + entry)); // not even the owner walks there
        return 0;
    }) == 0);
    for (const Account *who : { &w.A, &w.B, &w.D })
        CHECK(who->as([&] { return filesMention(w.root, "B's file") ? 1 : 0; }) == 0);
}

// ---- an encrypted box, mounted by each account at a folder of its own ----

// Each sharee mounts at a folder under its own user folder, closed to
// everyone else, never at A's box folder.
static int mountsItsOwnView(const World &w, const Account &who, int access)
{
    CHILD_CHECK(mountAs(w.A.name) == 0);
    const Listed box = listed("vault", w.A.name);
    CHILD_CHECK(box.flags == (BOX_FLAG_OTHER | BOX_FLAG_SHARED | BOX_FLAG_ENCRYPTED | BOX_FLAG_MOUNTED));
    CHILD_CHECK(box.state.access == access);
    const std::string own = w.root + "/" + who.name + "/";
    CHILD_CHECK(box.path.compare(0, own.size(), own) == 0);
    CHILD_CHECK(isMountPoint(box.path));
    struct stat st;
    CHILD_CHECK(stat(own.c_str(), &st) == 0);
    // The folders up to it are the sharee's, the nearest closed to everyone
    // else (the mount point itself shows the box's root).
    const std::string parent = box.path.substr(0, box.path.rfind('/'));
    CHILD_CHECK(lstat(parent.c_str(), &st) == 0 && (st.st_mode & 077) == 0);
    for (std::string dir = parent; dir.size() > own.size(); dir = dir.substr(0, dir.rfind('/')))
        CHILD_CHECK(lstat(dir.c_str(), &st) == 0 && st.st_uid == who.uid);
    return readFile(box.path + "/v.txt") == "vault data" ? 0 : 1;
}

static std::string viewOf(const Account &who)
{
    return who.output([] { return listed("vault").path; });
}

static void testEncryptedShares(World &w)
{
    CHECK(w.A.as([&] {
        Key key(kPass);
        CHILD_CHECK(box_create("vault") == 0 && writeFile(w.vault + "/v.txt", "vault data"));
        CHILD_CHECK(box_crypto_create("vault", &key.params) == 0);
        CHILD_CHECK(share("vault", 7, w.B.uid) == 0);
        return share("vault", 5, w.C.uid);
    }) == 0);

    // Nothing vanishes: while A has it mounted, B still lists it, as not
    // mounted by B and mounted by its owner.
    CHECK(w.A.as([&] { return mountAs(w.A.name); }) == 0);
    CHECK(w.B.as([&] {
        const Listed box = listed("vault", w.A.name);
        CHILD_CHECK(box.flags == (BOX_FLAG_OTHER | BOX_FLAG_SHARED | BOX_FLAG_ENCRYPTED));
        return box.state.mounted_elsewhere != 0 ? 0 : 1;
    }) == 0);
    // A's own mount stays A's alone.
    CHECK(!w.B.reaches({ w.vault, w.vault + "/v.txt" }));

    std::printf("encrypted box: B and C mount their own views beside A's\n");
    CHECK(w.B.as([&] { return mountsItsOwnView(w, w.B, BOX_ACCESS_READ_WRITE); }) == 0);
    CHECK(w.C.as([&] { return mountsItsOwnView(w, w.C, BOX_ACCESS_READ_ONLY); }) == 0);
    const std::string viewB = viewOf(w.B), viewC = viewOf(w.C);
    CHECK(!viewB.empty() && !viewC.empty() && viewB != viewC);

    // Each sees what the others write, within its rights.
    CHECK(w.B.writes(viewB + "/b.txt", "from B"));
    CHECK(w.A.reads(w.vault + "/b.txt") == "from B");
    CHECK(w.A.writes(w.vault + "/a.txt", "from A"));
    CHECK(w.B.reads(viewB + "/a.txt") == "from A");
    CHECK(w.C.reads(viewC + "/a.txt") == "from A" && w.C.reads(viewC + "/b.txt") == "from B");
    CHECK(!w.C.writes(viewC + "/c.txt", "from C"));
    CHECK(w.C.as([&] {
        CHILD_CHECK(unlink((viewC + "/a.txt").c_str()) < 0);
        return mkdir((viewC + "/c-folder").c_str(), 0755) < 0 ? 0 : 1;
    }) == 0);
    CHECK(!w.D.reaches({ w.vault, w.vault + "/v.txt", viewB, viewB + "/v.txt", viewC, viewC + "/v.txt" }));

    // While B or C has it mounted, A may change the password, but not
    // take the box away from under them.
    std::printf("encrypted box: the owner's control while sharees have it mounted\n");
    CHECK(w.A.as([&] {
        CHILD_CHECK(box_crypto_umount(nullptr, "vault") == 0);
        CHILD_CHECK(listed("vault").state.mounted_elsewhere != 0);
        Key key(kPass), fresh(kNewPass);
        const int reason = BOX_REASON_MOUNTED_ELSEWHERE;
        CHILD_CHECK(refused(box_delete("vault"), TSD_E_OTHERMOUNT, reason));
        CHILD_CHECK(refused(box_change_name("vault", "vault2"), TSD_E_OTHERMOUNT, reason));
        CHILD_CHECK(refused(box_crypto_decrypt("vault", &key.pass), TSD_E_OTHERMOUNT, reason));
        CHILD_CHECK(box_last_detail() != nullptr); // the login of who has it mounted
        CHILD_CHECK(box_crypto_change_passpharse("vault", &key.pass, &fresh.params) == 0);
        return box_crypto_change_passpharse("vault", &fresh.pass, &key.params);
    }) == 0);
    CHECK(w.B.reads(viewB + "/v.txt") == "vault data");

    // Each sharee unmounts its own view (as the agent does when it locks
    // the session), by the owner and name its list shows.
    for (const Account *who : { &w.B, &w.C })
        CHECK(who->as([&] { return box_crypto_umount(w.A.name.c_str(), "vault"); }) == 0);
    CHECK(!isMountPoint(viewB) && !isMountPoint(viewC));

    // Once nobody else has it mounted, the owner's operations go through.
    CHECK(w.A.as([&] {
        CHILD_CHECK(listed("vault").state.mounted_elsewhere == 0);
        CHILD_CHECK(box_change_name("vault", "vault2") == 0);
        return box_change_name("vault2", "vault");
    }) == 0);

    // Unsharing while B has it mounted: every new open fails at once; the
    // leftover mount no longer holds the owner back, and B can take it
    // away.
    std::printf("encrypted box: unshared while mounted\n");
    CHECK(w.B.as([&] { return mountAs(w.A.name); }) == 0);
    // B's mount is named to the owner and to the other sharee alike.
    for (const Account *who : { &w.A, &w.C }) {
        CHECK(who->as([&] {
            const Listed box = listed("vault", who == &w.A ? std::string() : w.A.name);
            CHILD_CHECK(box.state.mounted_elsewhere != 0);
            return box.mountedBy == w.B.name ? 0 : 1;
        }) == 0);
    }
    CHECK(w.A.as([&] {
        CHILD_CHECK(box_clear_share("vault") == 0);
        return share("vault", 5, w.C.uid);
    }) == 0);
    CHECK(w.B.reads(viewB + "/v.txt").empty() && !w.B.writes(viewB + "/late.txt", "x"));
    CHECK(w.B.as([&] {
        CHILD_CHECK(listed("vault", w.A.name).flags == -1);
        return box_crypto_umount(w.A.name.c_str(), "vault");
    }) == 0);
    CHECK(!isMountPoint(viewB));
    CHECK(w.A.as([&] {
        Key key(kPass);
        CHILD_CHECK(box_clear_share("vault") == 0);
        CHILD_CHECK(box_crypto_decrypt("vault", &key.pass) == 0);
        CHILD_CHECK(readFile(w.vault + "/b.txt") == "from B");
        return box_delete("vault");
    }) == 0);
}

int main()
{
    if (int skip = skipUnlessRoot("test_tessad_share"))
        return skip;
    World w;
    const Accounts accounts("tsd", { &w.A, &w.B, &w.C, &w.D });
    if (accounts.made) {
        TempRoot t;
        w.root = t.root;
        w.home = t.root + "/" + w.A.name;
        w.vault = w.home + "/vault";
        testPlainShares(w);
        testOwnerDeletesWhatAShareeLeft(w);
        // Unprivileged FUSE mounts need /dev/fuse open to users (mode 0666
        // on a stock Debian; some containers keep it root-only).
        if (w.A.as([] { return access("/dev/fuse", R_OK | W_OK); }) != 0)
            std::printf("SKIP encrypted sharing: /dev/fuse is not open to ordinary accounts here\n");
        else
            testEncryptedShares(w);
        CHECK(!filesMention(t.base, kPass) && !filesMention(t.base, kNewPass));
    }
    return report("test_tessad_share");
}
