// Plain boxes: set-up, names, lists, records, rename, delete and messages.
#include "tessad_testkit.h"
#include "tsd_internal.h"

#include <climits>
#include <pwd.h>

using namespace tk;

static void testInitAndAccount()
{
    TempRoot t;
    CHECK(passwd != nullptr);
    struct passwd *sys = getpwuid(geteuid());
    CHECK(sys && passwd != sys);
    CHECK(passwd && passwd->pw_uid == geteuid());
    CHECK(passwd && sys && std::string(passwd->pw_name) == sys->pw_name);
    struct stat st;
    CHECK(stat(t.user.c_str(), &st) == 0 && (st.st_mode & 07777) == 0711);
    CHECK(st.st_uid == geteuid());
    if (geteuid() == 0) {
        CHECK(stat(t.root.c_str(), &st) == 0 && (st.st_mode & 07777) == 01777);
    }
    // The user's own record survives the program reusing getpwuid's buffer.
    std::string name = passwd->pw_name;
    getpwnam("nobody");
    CHECK(name == passwd->pw_name);
    CHECK(box_init() == 0); // a second init is harmless
    CHECK(countBoxes() == 0);
}

static void testUserFolderOfSomeoneElse()
{
    if (geteuid() != 0) {
        std::printf("SKIP user folder ownership: needs root\n");
        return;
    }
    TempRoot t;
    // Someone else made a folder under our login name: refuse it.
    run("rm -rf '" + t.user + "'");
    mkdir(t.user.c_str(), 0777);
    CHECK(chown(t.user.c_str(), 65534, 65534) == 0);
    int rc = box_init();
    CHECK(rc == -TSD_E_USERDIR);
    CHECK(box_create("x") < 0);
    struct stat st;
    CHECK(stat((t.user + "/x").c_str(), &st) < 0);
    run("rm -rf '" + t.user + "'");
    CHECK(box_init() == 0);
}

static void testMissingRoot()
{
    setenv("BOX_SERVICE_ROOT", "/proc/no-such-place/box", 1);
    CHECK(box_enabled() == 0);
    CHECK(box_err(0) != nullptr && std::strlen(box_err(0)) > 0);
    CHECK(box_init() < 0);
    unsetenv("BOX_SERVICE_ROOT");
}

static void testNames()
{
    TempRoot t;
    struct Bad {
        std::string name;
        int code;
    } bad[] = {
        { "", TSD_E_NAME_EMPTY },
        { ".", TSD_E_NAME_DOT },
        { "..", TSD_E_NAME_DOT },
        { "a/b", TSD_E_NAME_SLASH },
        { "/abs", TSD_E_NAME_SLASH },
        { ".hidden", TSD_E_NAME_HIDDEN },
        { ".boxes", TSD_E_NAME_HIDDEN },
        { std::string(256, 'a'), TSD_E_NAME_LONG },
        { "tab\there", TSD_E_NAME_CHARS },
        { "line\nbreak", TSD_E_NAME_CHARS },
        { "bad\xff", TSD_E_NAME_CHARS },
        { "\xc0\xaf", TSD_E_NAME_CHARS },
    };
    for (auto &b : bad) {
        int rc = box_create(b.name.c_str());
        if (rc != -b.code)
            std::fprintf(stderr, "name '%s': %d\n", b.name.c_str(), rc);
        CHECK(rc == -b.code);
        CHECK(box_err(rc) && *box_err(rc));
        CHECK(box_change_name("nothing", b.name.c_str()) < 0);
    }
    CHECK(box_create(nullptr) < 0);
    CHECK(countBoxes() == 0);
    // Only our state folder besides boxes: nothing was made by the refusals.
    DIR *d = opendir(t.user.c_str());
    int entries = 0;
    while (struct dirent *e = d ? readdir(d) : nullptr)
        if (strcmp(e->d_name, ".") && strcmp(e->d_name, ".."))
            entries++;
    if (d)
        closedir(d);
    CHECK(entries == 1);

    CHECK(box_create(std::string(255, 'b').c_str()) == 0);
    CHECK(box_create("保护箱 一") == 0);
    CHECK(box_create("保护箱 一") == -TSD_E_EXISTS);
    CHECK(box_create("-starts-with-dash") == 0);
    CHECK(countBoxes() == 3);
}

static void testListInfoRenameDelete()
{
    TempRoot t;
    CHECK(box_create("alpha") == 0);
    CHECK(box_create("beta") == 0);
    struct stat st;
    CHECK(stat((t.user + "/alpha").c_str(), &st) == 0 && (st.st_mode & 07777) == 0700);
    writeFile(t.user + "/alpha/a.txt", "A");
    // Stray files in the user folder are not boxes.
    writeFile(t.user + "/stray.txt", "x");

    box_info *list = nullptr;
    CHECK(box_get_list(255, &list) == 2);
    box_info *a = find(list, "alpha");
    CHECK(a && a->flags == (BOX_FLAG_PLAIN | BOX_FLAG_UNSHARED | BOX_FLAG_SELF));
    CHECK(a && std::string(a->path) == t.user + "/alpha");
    CHECK(a && std::string(a->owner) == passwd->pw_name);
    CHECK(a && a->acl == nullptr);
    CHECK(find(list, "stray.txt") == nullptr && find(list, ".boxes") == nullptr);
    box_info_list_destroy(list);
    CHECK(box_get_list(255, nullptr) < 0);

    box_info *info = nullptr;
    CHECK(box_get_info(passwd->pw_name, "alpha", &info) == 0);
    CHECK(info && info->acl != nullptr && info->next == nullptr);
    CHECK(info && info->flags == (BOX_FLAG_PLAIN | BOX_FLAG_UNSHARED | BOX_FLAG_SELF));
    box_info_destroy(info);
    info = reinterpret_cast<box_info *>(1);
    CHECK(box_get_info(passwd->pw_name, "missing", &info) == -TSD_E_NOTFOUND && info == nullptr);
    CHECK(box_get_info("no-such-user-xyz", "alpha", &info) == -TSD_E_NOTFOUND);
    CHECK(box_get_info(passwd->pw_name, "../alpha", &info) < 0);

    CHECK(box_change_name("alpha", "beta") == -TSD_E_EXISTS);
    CHECK(box_change_name("alpha", "alpha") == -TSD_E_EXISTS);
    CHECK(box_change_name("missing", "gamma") == -TSD_E_NOTFOUND);
    CHECK(box_change_name("alpha", "gamma") == 0);
    CHECK(readFile(t.user + "/gamma/a.txt") == "A");
    CHECK(stat((t.user + "/alpha").c_str(), &st) < 0);

    // Operations that need an encrypted box refuse a plain one.
    Key k("Secret_1");
    CHECK(box_crypto_verify_passphrase("gamma", &k.pass) == -TSD_E_PLAIN);
    CHECK(box_crypto_decrypt("gamma", &k.pass) == -TSD_E_PLAIN);
    CHECK(box_crypto_mount(passwd->pw_name, "gamma", &k.pass) == -TSD_E_PLAIN);
    CHECK(box_crypto_umount(passwd->pw_name, "gamma") == -TSD_E_PLAIN);
    CHECK(box_crypto_change_passpharse("gamma", &k.pass, &k.params) == -TSD_E_PLAIN);

    // Sharing arguments.
    CHECK(box_add_share("gamma", 6, 65534, 2) == -TSD_E_PERM);
    CHECK(box_add_share("gamma", 5, 65534, 3) == -TSD_E_PERM);
    CHECK(box_add_share("gamma", 5, geteuid(), 2) == -TSD_E_NOUSER);
    CHECK(box_add_share("gamma", 5, 3999999, 2) == -TSD_E_NOUSER);
    CHECK(box_add_share("missing", 5, 65534, 2) == -TSD_E_NOTFOUND);
    CHECK(box_clear_share("missing") == -TSD_E_NOTFOUND);

    // A read-only folder inside a box does not stop its deletion.
    mkdir((t.user + "/gamma/ro").c_str(), 0700);
    writeFile(t.user + "/gamma/ro/x", "x");
    chmod((t.user + "/gamma/ro").c_str(), 0500);
    CHECK(box_delete("gamma") == 0);
    CHECK(stat((t.user + "/gamma").c_str(), &st) < 0);
    CHECK(box_delete("gamma") == -TSD_E_NOTFOUND);
    CHECK(countBoxes() == 1);
    CHECK(stat((t.user + "/.boxes/work").c_str(), &st) < 0);
    CHECK(trashDrains(t.user));
}

// Removed trees go through the trash: a background remover empties it,
// read-only folders of an ordinary account included, and box_init picks
// up what a killed remover left.
static void testTrash()
{
    TempRoot t;
    struct passwd *nobody = getpwnam("nobody");
    if (geteuid() == 0 && nobody) {
        int rc = inChild(
            [&] {
                CHILD_CHECK(box_init() == 0);
                std::string user = t.root + "/nobody";
                CHILD_CHECK(box_create("ro") == 0);
                CHILD_CHECK(mkdir((user + "/ro/a").c_str(), 0700) == 0);
                CHILD_CHECK(mkdir((user + "/ro/a/b").c_str(), 0700) == 0);
                CHILD_CHECK(writeFile(user + "/ro/a/b/f", "x", 0400));
                CHILD_CHECK(writeFile(user + "/ro/a/g", "y", 0600));
                for (int i = 0; i < 100; i++) // too many to remove in the call
                    CHILD_CHECK(writeFile(user + "/ro/a/b/" + std::to_string(i), "z", 0400));
                CHILD_CHECK(chmod((user + "/ro/a/b").c_str(), 0500) == 0);
                CHILD_CHECK(chmod((user + "/ro/a").c_str(), 0100) == 0);
                CHILD_CHECK(box_delete("ro") == 0);
                CHILD_CHECK(trashDrains(user));
                return 0;
            },
            nobody->pw_uid, nobody->pw_gid);
        CHECK(rc == 0);
    } else {
        std::printf("testTrash: not root, the ordinary account case is skipped\n");
    }

    const std::string left = t.user + "/.boxes/trash/killed";
    run("mkdir -p '" + left + "/sub' && echo x > '" + left + "/sub/f' && seq 100 | sed 's#^#" +
        left + "/sub/#' | xargs touch && chmod 500 '" + left + "/sub'");
    CHECK(box_init() == 0);
    CHECK(trashDrains(t.user));
}

static void testShareFlagsSameUser()
{
    TempRoot t;
    CHECK(box_create("s") == 0);
    writeFile(t.user + "/s/f", "data", 0600);
    CHECK(box_add_share("s", 7, 65534, 2) == 0);
    box_info *info = nullptr;
    CHECK(box_get_info(nullptr, "s", &info) == 0);
    CHECK(info && (info->flags & BOX_FLAG_SHARED) && !(info->flags & BOX_FLAG_UNSHARED));
    int found = 0;
    acl_entry_t e;
    for (int w = ACL_FIRST_ENTRY; info && acl_get_entry(info->acl, w, &e) == 1; w = ACL_NEXT_ENTRY) {
        acl_tag_t tag;
        acl_get_tag_type(e, &tag);
        if (tag == ACL_USER) {
            uid_t *q = static_cast<uid_t *>(acl_get_qualifier(e));
            acl_permset_t ps;
            acl_get_permset(e, &ps);
            found = *q == 65534 && acl_get_perm(ps, ACL_READ) && acl_get_perm(ps, ACL_WRITE) &&
                    acl_get_perm(ps, ACL_EXECUTE);
            acl_free(q);
        }
    }
    CHECK(found);
    box_info_destroy(info);
    // Files inside reach the sharee too; the index names the box for it.
    CHECK(readFile(t.user + "/.boxes/shares/65534") == "s\n");
    acl_t fa = acl_get_file((t.user + "/s/f").c_str(), ACL_TYPE_ACCESS);
    char *txt = acl_to_any_text(fa, nullptr, ',', TEXT_NUMERIC_IDS);
    CHECK(std::string(txt).find("user:65534:rw-") != std::string::npos);
    acl_free(txt);
    acl_free(fa);
    CHECK(box_add_share("s", 5, 65534, 2) == 0); // replaces, not adds
    CHECK(box_change_name("s", "t") == 0);
    CHECK(readFile(t.user + "/.boxes/shares/65534") == "t\n");
    CHECK(box_clear_share("t") == 0);
    CHECK(box_get_info(nullptr, "t", &info) == 0);
    CHECK(info && (info->flags & BOX_FLAG_UNSHARED));
    box_info_destroy(info);
    struct stat st;
    CHECK(stat((t.user + "/.boxes/shares").c_str(), &st) < 0);
    CHECK(getxattr((t.user + "/t/f").c_str(), "system.posix_acl_access", nullptr, 0) < 0);
    CHECK(stat((t.user + "/t/f").c_str(), &st) == 0 && (st.st_mode & 0777) == 0600);
}

static void testMessages()
{
    for (int c = 0; c < TSD_E_LAST + 50; c++) {
        CHECK(box_err(c) != nullptr && *box_err(c));
        CHECK(box_err(-c) != nullptr);
        CHECK(std::string(box_err(c)) == box_err(-c));
    }
    CHECK(box_err(INT_MIN) != nullptr);
    CHECK(box_err(INT_MAX) != nullptr);
    CHECK(std::string(box_err(-TSD_E_BADPASS)) == "wrong password");
    CHECK(std::string(box_err(-ENOENT)) == "No such file or directory");
}

int main()
{
    testInitAndAccount();
    testUserFolderOfSomeoneElse();
    testMissingRoot();
    testNames();
    testListInfoRenameDelete();
    testTrash();
    testShareFlagsSameUser();
    testMessages();
    std::printf("%s: %d failure(s)\n", "test_tessad_basic", failures());
    return failures() ? 1 : 0;
}
