// Sharing between real accounts: the owner A, the sharee B and a
// bystander C, who must never see or reach anything. Needs root: it makes
// three throwaway accounts, runs the library as each of them in child
// processes, and removes the accounts afterwards.
#include "tessad_testkit.h"
#include "box_service_ext.h"
#include "tsd_internal.h"

#include <pwd.h>

using namespace tk;

static const char *kPass = "Share_pw_5";

// The flags the list shows for a box, -1 when it is not listed.
static int listed(const std::string &name, const std::string &owner = std::string())
{
    box_info *l = nullptr;
    box_get_list(255, &l);
    box_info *i = find(l, name, owner);
    int flags = i ? i->flags : -1;
    box_info_list_destroy(l);
    return flags;
}

// Whether ordinary accounts may mount with -allow_other.
static bool fuseAllowsOthers()
{
    std::string conf = readFile("/etc/fuse.conf");
    for (size_t at = conf.find("user_allow_other"); at != std::string::npos;
         at = conf.find("user_allow_other", at + 1)) {
        size_t lineStart = conf.rfind('\n', at);
        lineStart = lineStart == std::string::npos ? 0 : lineStart + 1;
        if (conf.find_first_not_of(" \t", lineStart) == at)
            return true;
    }
    return false;
}

static int share(const char *box, int perm, uid_t uid)
{
    return box_add_share(box, perm, uid, 2) == 0 ? 0 : 1;
}

// C finds no box of A's and reads none of its files.
static int bystanderSeesNothing(const Account &A, const std::string &home)
{
    box_info *info = nullptr;
    CHILD_CHECK(countBoxes() == 0);
    CHILD_CHECK(box_get_info(A.name.c_str(), "docs", &info) == -TSD_E_NOTFOUND);
    CHILD_CHECK(readFile(home + "/docs/a.txt").empty() && readFile(home + "/docs/b.txt").empty());
    return opendir((home + "/docs").c_str()) == nullptr ? 0 : 1;
}

static void testAccounts(const Account &A, const Account &B, const Account &C, const TempRoot &t)
{
    const std::string home = t.root + "/" + A.name;
    const int otherPlain = BOX_FLAG_OTHER | BOX_FLAG_SHARED | BOX_FLAG_PLAIN;
    const int otherEnc = BOX_FLAG_OTHER | BOX_FLAG_SHARED | BOX_FLAG_ENCRYPTED;
    CHECK(A.as([&] {
        CHILD_CHECK(box_create("docs") == 0 && box_create("secret") == 0 && box_create("vault") == 0);
        CHILD_CHECK(writeFile(home + "/docs/a.txt", "from A"));
        CHILD_CHECK(writeFile(home + "/vault/v.txt", "vault data"));
        return share("docs", 5, B.uid);
    }) == 0);

    // Read-only: B sees and reads the box, cannot write, sees nothing else.
    CHECK(B.as([&] {
        CHILD_CHECK(listed("docs", A.name) == otherPlain && countBoxes() == 1);
        CHILD_CHECK(readFile(home + "/docs/a.txt") == "from A");
        CHILD_CHECK(!writeFile(home + "/docs/b.txt", "x"));
        CHILD_CHECK(opendir(home.c_str()) == nullptr); // the user folder is never listed
        box_info *info = nullptr;
        CHILD_CHECK(box_get_info(A.name.c_str(), "secret", &info) == -TSD_E_NOTFOUND);
        CHILD_CHECK(box_get_info(A.name.c_str(), "docs", &info) == 0 && info->acl);
        box_info_destroy(info);
        // Only the owner changes a box.
        CHILD_CHECK(box_add_share("docs", 7, 65534, 2) == -TSD_E_NOTFOUND);
        return box_delete("docs") == -TSD_E_NOTFOUND ? 0 : 1;
    }) == 0);

    // Read-write: B writes, A reads it; clearing removes B's access.
    CHECK(A.as([&] { return share("docs", 7, B.uid); }) == 0);
    CHECK(B.as([&] {
        CHILD_CHECK(writeFile(home + "/docs/b.txt", "from B") && mkdir((home + "/docs/sub").c_str(), 0755) == 0);
        return writeFile(home + "/docs/sub/c.txt", "deeper") ? 0 : 1;
    }) == 0);
    CHECK(C.as([&] { return bystanderSeesNothing(A, home); }) == 0);
    CHECK(A.as([&] {
        CHILD_CHECK(readFile(home + "/docs/b.txt") == "from B");
        CHILD_CHECK(readFile(home + "/docs/sub/c.txt") == "deeper");
        return box_clear_share("docs") == 0 ? 0 : 1;
    }) == 0);
    CHECK(B.as([&] {
        box_info *info = nullptr;
        CHILD_CHECK(listed("docs") == -1 && readFile(home + "/docs/a.txt").empty());
        return box_get_info(A.name.c_str(), "docs", &info) == -TSD_E_NOTFOUND ? 0 : 1;
    }) == 0);

    // Unprivileged FUSE mounts need /dev/fuse open to users (mode 0666 on
    // a stock Debian; some containers keep it root-only).
    if (A.as([] { return access("/dev/fuse", R_OK | W_OK); }) != 0) {
        std::printf("SKIP encrypted sharing: /dev/fuse is not open to other accounts here\n");
        return;
    }
    // An encrypted box: only its owner mounts it. While it is unmounted
    // its folder is locked against every writer, read-write sharees
    // included (their stray files would block the owner's mount).
    CHECK(A.as([&] {
        Key k(kPass);
        CHILD_CHECK(box_crypto_create("vault", &k.params) == 0);
        CHILD_CHECK(!writeFile(home + "/vault/stray.txt", "x")); // unmounted: no stray files
        return share("vault", 5, B.uid);
    }) == 0);
    CHECK(B.as([&] {
        Key k(kPass);
        CHILD_CHECK(listed("vault", A.name) == otherEnc);
        return box_crypto_mount(A.name.c_str(), "vault", &k.pass) == -TSD_E_NOACCESS ? 0 : 1;
    }) == 0);
    CHECK(A.as([&] { return share("vault", 7, B.uid); }) == 0);
    const bool allowOther = fuseAllowsOthers();
    auto sharee = [&] {
        Key k(kPass);
        CHILD_CHECK(box_crypto_mount(A.name.c_str(), "vault", &k.pass) == -TSD_E_NOACCESS);
        CHILD_CHECK(box_last_detail() != nullptr);
        CHILD_CHECK(!writeFile(home + "/vault/stray.txt", "from B"));
        CHILD_CHECK(!exists(home + "/vault/stray.txt"));
        box_info *info = nullptr;
        CHILD_CHECK(box_get_info(A.name.c_str(), "vault", &info) == 0);
        CHILD_CHECK(aclText(info->acl).find("user:" + std::to_string(B.uid) + ":rwx") != std::string::npos);
        box_info_destroy(info);
        return 0;
    };
    CHECK(B.as(sharee) == 0);
    // Through the owner's mount, where the system lets others in.
    CHECK(A.as([&] {
        Key k(kPass);
        return box_crypto_mount(nullptr, "vault", &k.pass);
    }) == 0);
    if (allowOther) {
        CHECK(B.as([&] {
            CHILD_CHECK(listed("vault", A.name) == (otherEnc | BOX_FLAG_MOUNTED));
            CHILD_CHECK(readFile(home + "/vault/v.txt") == "vault data");
            return writeFile(home + "/vault/fromB.txt", "written by B") ? 0 : 1;
        }) == 0);
    } else {
        std::printf("SKIP sharee access through the owner's mount: no user_allow_other\n");
    }
    CHECK(B.as([&] { return box_crypto_umount(A.name.c_str(), "vault") < 0 ? 0 : 1; }) == 0);
    CHECK(A.as([&] { return box_crypto_umount(nullptr, "vault"); }) == 0);
    CHECK(B.as(sharee) == 0); // locked again
    CHECK(A.as([&] {
        Key k(kPass);
        CHILD_CHECK(box_clear_share("vault") == 0);
        // The owner takes the whole box back to plain files, B's included.
        CHILD_CHECK(box_crypto_decrypt("vault", &k.pass) == 0);
        CHILD_CHECK(!allowOther || readFile(home + "/vault/fromB.txt") == "written by B");
        return 0;
    }) == 0);
    CHECK(B.as([&] {
        Key k(kPass);
        CHILD_CHECK(listed("vault") == -1);
        return box_crypto_mount(A.name.c_str(), "vault", &k.pass) == -TSD_E_NOTFOUND ? 0 : 1;
    }) == 0);
    CHECK(!filesMention(t.base, kPass));
}

int main()
{
    if (geteuid() != 0) {
        std::printf("SKIP test_tessad_share: creating throwaway accounts needs root\n");
        return 77; // ctest's skip status for these tests
    }
    std::string suffix = std::to_string(getpid() % 100000);
    Account A, B, C;
    bool ok = A.make("tsda" + suffix) && B.make("tsdb" + suffix) && C.make("tsdc" + suffix);
    CHECK(ok);
    if (ok) {
        TempRoot t;
        testAccounts(A, B, C, t);
    }
    A.remove();
    B.remove();
    C.remove();
    return report("test_tessad_share");
}
