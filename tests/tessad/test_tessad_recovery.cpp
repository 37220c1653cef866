// The recovery key, the integrity check, export and import against real
// gocryptfs and FUSE: a forgotten password comes back with the key and
// with nothing else, a damaged file is named, and an exported box comes
// back intact elsewhere. Neither the key nor the password may show in any
// process's command line or environment while this happens.
#include "tessad_testkit.h"
#include "tsd_internal.h"

#include <atomic>
#include <cstdio>
#include <regex>
#include <thread>

using namespace tk;

static const char *kPass = "Pw_recovery_5d1e7b";
static const char *kNewPass = "New_pw_after_9c2f44";

// Runs `call` while another thread scans every process's command line and
// environment for the secrets; true when one showed.
static bool exposes(const std::vector<std::string> &secrets, const std::function<void()> &call)
{
    std::atomic<bool> stop{ false };
    std::atomic<bool> seen{ false };
    std::thread watcher([&] {
        while (!stop)
            for (const std::string &secret : secrets)
                if (processesMention(secret))
                    seen = true;
    });
    call();
    stop = true;
    watcher.join();
    return seen;
}

static std::string recoveryKey(const char *name, Key &password)
{
    char buf[BOX_RECOVERY_KEY_DIGITS + 1] = {0};
    if (box_crypto_recovery_key(name, &password.pass, buf, sizeof buf) != 0)
        return std::string();
    std::string key(buf);
    explicit_bzero(buf, sizeof buf);
    return key;
}

static std::string grouped(const std::string &key)
{
    std::string text;
    for (size_t i = 0; i < key.size(); i += 8)
        text += (i ? "-" : "") + key.substr(i, 8);
    return text;
}

static int recover(const char *name, const std::string &key, const char *fresh, int &checked)
{
    Key recoveryKey(key.c_str());
    Key password(fresh);
    return box_crypto_recover(name, &recoveryKey.pass, &password.params, &checked);
}

static void testRecoveryKey()
{
    TempRoot t;
    CHECK(box_create("files") == 0);
    buildTree(t.user + "/files", 40);
    Key pass(kPass);
    CHECK(box_crypto_create("files", &pass.params) == 0);
    const Snapshot before = mountedTree("files", pass);
    const std::string conf = readFile(t.user + "/.boxes/c/files/gocryptfs.conf");

    Key wrongPass("Wrong_pw_31");
    char buf[BOX_RECOVERY_KEY_DIGITS + 1];
    CHECK(box_crypto_recovery_key("files", &wrongPass.pass, buf, sizeof buf) == -TSD_E_BADPASS);
    CHECK(box_crypto_recovery_key("files", &pass.pass, buf, 10) == -ERANGE);
    const std::string key = recoveryKey("files", pass);
    CHECK(key.size() == BOX_RECOVERY_KEY_DIGITS);

    // Keys that must change nothing: another box's key, one digit short,
    // a stray letter. The old password keeps working after each.
    std::string other = key;
    other[0] = other[0] == 'a' ? 'b' : 'a';
    const struct {
        std::string key;
        int expected;
    } refusals[] = {
        {other, -TSD_E_BADKEY},
        {std::string(BOX_RECOVERY_KEY_DIGITS, '0'), -TSD_E_BADKEY},
        {key.substr(0, BOX_RECOVERY_KEY_DIGITS - 1), -TSD_E_KEYFORMAT},
        {key.substr(0, 40), -TSD_E_KEYFORMAT},
        {key.substr(0, 63) + "g", -TSD_E_KEYFORMAT},
        {std::string(), -TSD_E_KEYFORMAT},
    };
    for (const auto &r : refusals) {
        int checked = -1;
        CHECK(recover("files", r.key, kNewPass, checked) == r.expected);
        CHECK(readFile(t.user + "/.boxes/c/files/gocryptfs.conf") == conf);
        CHECK(box_crypto_verify_passphrase("files", &pass.pass) == 0);
        CHECK(!exists(t.user + "/.boxes/work"));
    }

    // The right key, as shown in groups and typed in upper case.
    std::string typed = grouped(key);
    for (char &c : typed)
        c = (char)toupper((unsigned char)c);
    int checked = -1;
    CHECK(!exposes({ key, grouped(key), kNewPass }, [&] { CHECK(recover("files", typed, kNewPass, checked) == 0); }));
    CHECK(checked == 1);
    Key fresh(kNewPass);
    CHECK(box_crypto_verify_passphrase("files", &pass.pass) == -TSD_E_BADPASS);
    CHECK(sameTree(before, mountedTree("files", fresh)));
    CHECK(recoveryKey("files", fresh) == key);
    CHECK(!filesMention(t.user, key) && !filesMention(t.user, kNewPass));
    CHECK(!exists(t.user + "/.boxes/work"));

    // An empty box has nothing to prove a key against: it is taken, and
    // the caller is told it was not checked.
    CHECK(box_create("empty") == 0 && box_crypto_create("empty", &pass.params) == 0);
    CHECK(recover("empty", recoveryKey("empty", pass), kNewPass, checked) == 0 && checked == 0);
    CHECK(box_crypto_verify_passphrase("empty", &fresh.pass) == 0);
}

static std::vector<std::string> damagedOf(const char *name, Key &pass, int &rc)
{
    std::vector<std::string> damaged;
    rc = box_crypto_check(name, &pass.pass, [](const char *path, void *user) {
        static_cast<std::vector<std::string> *>(user)->push_back(path);
    }, &damaged);
    return damaged;
}

static void testCheck()
{
    TempRoot t;
    const std::string box = t.user + "/checked";
    Key pass(kPass), wrongPass("Wrong_pw_77");
    CHECK(box_create("checked") == 0);
    run("mkdir '" + box + "/sub' && head -c 50000 /dev/urandom > '" + box + "/sub/photo.jpg'");
    writeFile(box + "/notes.txt", "intact");
    CHECK(box_crypto_create("checked", &pass.params) == 0);

    int rc = -1;
    CHECK(damagedOf("checked", pass, rc).empty() && rc == 0);
    CHECK(damagedOf("checked", wrongPass, rc).empty() && rc == -TSD_E_BADPASS);

    // One byte of the photo's ciphertext (the largest file in the
    // subfolder) flipped.
    const std::string cipher = t.user + "/.boxes/c/checked";
    run("f=$(find '" + cipher + "' -type f -size +40k | head -1); "
        "printf '\\377' | dd of=\"$f\" bs=1 seek=20000 conv=notrunc 2>/dev/null");
    const Snapshot before = snapshot(cipher);
    const std::vector<std::string> damaged = damagedOf("checked", pass, rc);
    CHECK(rc == 1 && damaged == std::vector<std::string>{"sub/photo.jpg"});
    CHECK(sameTree(before, snapshot(cipher)));
}

// The tree without owners, named users and set-id bits: an imported box
// is its importer's own, and shares with accounts of the old place are
// gone.
static Snapshot withoutAccounts(const Snapshot &tree)
{
    static const std::regex setId(" mode [246]([0-7]{3}) ");
    static const std::regex accounts(" owner [0-9]+:[0-9]+|,user:[0-9]+:[rwx-]+|,mask::[rwx-]+| default '[^']*'");
    Snapshot result;
    for (const auto &entry : tree)
        result[entry.first] = std::regex_replace(std::regex_replace(entry.second, accounts, ""), setId, " mode $1 ");
    return result;
}

static void testExportImport()
{
    TempRoot t;
    Key pass(kPass), wrongPass("Wrong_pw_12");
    CHECK(box_create("travel") == 0);
    buildTree(t.user + "/travel", 30);
    CHECK(box_crypto_create("travel", &pass.params) == 0);
    const Snapshot plain = mountedTree("travel", pass);
    const std::string key = recoveryKey("travel", pass);
    const std::string archive = t.base + "/travel.tar";
    CHECK(!exposes({ key, kPass }, [&] { CHECK(box_export("travel", archive.c_str()) == 0); }));
    struct stat st;
    CHECK(stat(archive.c_str(), &st) == 0 && (st.st_mode & 0777) == 0600);
    CHECK(readFile(archive).find("intact") == std::string::npos);
    CHECK(box_export("travel", archive.c_str()) == -EEXIST);

    // Failed imports leave nothing behind.
    writeFile(t.base + "/not-an-archive", "plain words");
    run("mkdir -p '" + t.base + "/not-a-folder'");
    const struct {
        std::string source;
        const char *name;
        Key *password;
        int expected;
    } failing[] = {
        {archive, "copy", &wrongPass, -TSD_E_BADPASS},
        {t.base + "/not-an-archive", "copy", &pass, -TSD_E_NOTCIPHER},
        {t.base + "/not-a-folder", "copy", &pass, -TSD_E_NOTCIPHER},
        {archive, "travel", &pass, -TSD_E_EXISTS},
        {t.user + "/.boxes/c/travel", "copy", &pass, -TSD_E_INVAL},
    };
    for (const auto &f : failing) {
        CHECK(box_import(f.source.c_str(), f.name, &f.password->pass, 0) == f.expected);
        CHECK(countBoxes() == 1 && !exists(t.user + "/copy") && !exists(t.user + "/.boxes/c/copy"));
        CHECK(!exists(t.user + "/.boxes/work"));
    }

    // Another box root, another account where we can have one: the box
    // mounts with the same password and holds the same files.
    // (Only where other accounts may mount: /dev/fuse open to everyone.)
    struct stat fuse;
    const bool fuseForAll = stat("/dev/fuse", &fuse) == 0 && (fuse.st_mode & (S_IROTH | S_IWOTH)) == (S_IROTH | S_IWOTH);
    Account other;
    const bool asOther = geteuid() == 0 && fuseForAll && other.make("tsdrecov1");
    TempRoot elsewhere;
    chmod(elsewhere.root.c_str(), 01777);
    chmod(t.base.c_str(), 0755);
    chmod(archive.c_str(), 0644);
    auto importThere = [&]() -> int {
        setenv("BOX_SERVICE_ROOT", elsewhere.root.c_str(), 1);
        CHILD_CHECK(box_init() == 0);
        Key password(kPass);
        int imported = -1;
        CHILD_CHECK(!exposes({ kPass }, [&] { imported = box_import(archive.c_str(), "arrived", &password.pass, 0); }));
        CHILD_CHECK(imported == 0);
        CHILD_CHECK(sameTree(withoutAccounts(mountedTree("arrived", password)), withoutAccounts(plain)));
        // Its cipher folder is the importer's own, closed to everyone else.
        char folder[4096];
        struct stat cipher;
        CHILD_CHECK(box_user_folder(folder, sizeof folder) == 0);
        CHILD_CHECK(stat((std::string(folder) + "/.boxes/c/arrived").c_str(), &cipher) == 0);
        return cipher.st_uid == geteuid() && (cipher.st_mode & 077) == 0 ? 0 : 1;
    };
    CHECK((asOther ? inChild(importThere, other.uid, other.gid) : inChild(importThere)) == 0);
    if (asOther) {
        CHECK(trashDrains(elsewhere.root + "/" + other.name));
        other.remove();
    }
    else
        std::printf("import by another account: skipped (needs root, and /dev/fuse open to every account)\n");
}

int main()
{
    if (int skip = skipWithoutMounts("test_tessad_recovery"))
        return skip;
    testRecoveryKey();
    testCheck();
    testExportImport();
    return report("test_tessad_recovery");
}
