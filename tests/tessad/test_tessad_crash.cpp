// Crash safety: a child process is killed (SIGKILL, by the test build's
// crash hook) at every step of encrypt, decrypt, rename and delete in
// turn; after each kill the next box_init must find the box wholly as
// before or wholly as after, with every file intact, and no leftovers.
// Also: short free space makes encrypt and decrypt fail cleanly.
#include "tessad_testkit.h"
#include "tsd_internal.h"

using namespace tk;

static const char *kPass = "Crash_pw_42";

enum class State { Missing, Plain, Encrypted };

static State stateOf(const TempRoot &t, const std::string &name)
{
    struct stat st;
    bool box = stat((t.user + "/" + name).c_str(), &st) == 0;
    bool cipher = stat((t.user + "/.boxes/c/" + name).c_str(), &st) == 0;
    if (!box && !cipher)
        return State::Missing;
    CHECK(box); // an encrypted box always keeps its mount point
    return cipher ? State::Encrypted : State::Plain;
}

// The box's files as the user sees them (mounting an encrypted box).
static Snapshot contents(const TempRoot &t, const std::string &name, State s)
{
    Key k(kPass);
    std::string box = t.user + "/" + name;
    if (s == State::Plain)
        return snapshot(box);
    CHECK(box_crypto_mount(nullptr, name.c_str(), &k.pass) == 0);
    Snapshot snap = snapshot(box);
    CHECK(box_crypto_umount(nullptr, name.c_str()) == 0);
    return snap;
}

static void checkClean(const TempRoot &t)
{
    struct stat st;
    CHECK(stat((t.user + "/.boxes/work").c_str(), &st) < 0);
    CHECK(stat((t.user + "/.boxes/journal").c_str(), &st) < 0);
    CHECK(trashDrains(t.user));
    std::string mounts = readFile("/proc/self/mountinfo");
    CHECK(mounts.find(t.user + "/.boxes") == std::string::npos);
}

// Finds the crash points `op` passes (a dry run on a box that `prepare`
// makes) and keeps every distinct step, but only the first, a middle and
// the last of a run of per-file copy steps.
static std::vector<int> crashPoints(const std::function<void()> &prepare,
                                    const std::function<int()> &op)
{
    prepare();
    char tmpl[] = "/tmp/tessad-trace-XXXXXX";
    int fd = mkstemp(tmpl);
    close(fd);
    int rc = inChild([&] {
        if (box_init() != 0)
            return 90;
        setenv("TESSAD_TEST_CRASH_TRACE", tmpl, 1);
        return op() == 0 ? 0 : 91;
    });
    CHECK(rc == 0);
    std::vector<std::string> names;
    std::string all = readFile(tmpl), line;
    unlink(tmpl);
    for (char c : all) {
        if (c == '\n') {
            names.push_back(line);
            line.clear();
        } else {
            line += c;
        }
    }
    std::vector<int> picks;
    for (size_t i = 0; i < names.size(); i++) {
        bool copy = names[i] == "copy-entry";
        bool first = copy && (i == 0 || names[i - 1] != "copy-entry");
        bool last = copy && (i + 1 == names.size() || names[i + 1] != "copy-entry");
        size_t start = i;
        while (copy && start > 0 && names[start - 1] == "copy-entry")
            start--;
        size_t end = i;
        while (copy && end + 1 < names.size() && names[end + 1] == "copy-entry")
            end++;
        bool middle = copy && i == (start + end) / 2;
        if (!copy || first || last || middle)
            picks.push_back((int)i + 1);
    }
    picks.push_back((int)names.size() + 1); // past the last: no kill
    return picks;
}

// Runs `op` in a child that dies at each chosen crash point in turn, and
// lets `verify` judge each outcome after the recovery of box_init.
static int crashLoop(const char *what, const std::function<void()> &prepare,
                     const std::function<int()> &op, const std::function<void(bool)> &verify)
{
    int kills = 0;
    std::vector<int> points = crashPoints(prepare, op);
    CHECK(box_init() == 0);
    verify(true);
    for (int n : points) {
        prepare();
        int rc = inChild([&] {
            if (box_init() != 0)
                return 90;
            setenv("TESSAD_TEST_CRASH_AT", std::to_string(n).c_str(), 1);
            return op() == 0 ? 0 : 91;
        });
        bool killed = rc == 1000 + SIGKILL;
        CHECK(killed || rc == 0);
        CHECK(killed == (n != points.back()));
        CHECK(box_init() == 0); // recovery
        verify(!killed);
        if (killed)
            kills++;
    }
    std::printf("%s: survived %d kills\n", what, kills);
    return kills;
}

static void testEncryptDecrypt()
{
    TempRoot t;
    CHECK(box_create("ref") == 0);
    buildTree(t.user + "/ref", 60); // big enough for the background remover
    const Snapshot ref = snapshot(t.user + "/ref");
    Key k(kPass);
    int round = 0;
    std::string name;

    auto freshPlain = [&] {
        if (!name.empty())
            CHECK(box_delete(name.c_str()) == 0);
        name = "enc" + std::to_string(round++);
        CHECK(box_create(name.c_str()) == 0);
        run("cp -a '" + t.user + "/ref/.' '" + t.user + "/" + name + "/'");
        CHECK(sameTree(ref, snapshot(t.user + "/" + name)));
    };
    int kills = crashLoop(
        "encrypt", freshPlain, [&] { return box_crypto_create(name.c_str(), &k.params); },
        [&](bool done) {
            State s = stateOf(t, name);
            CHECK(s != State::Missing);
            CHECK(!done || s == State::Encrypted);
            CHECK(sameTree(ref, contents(t, name, s)));
            checkClean(t);
        });
    CHECK(kills >= 7);

    auto freshEncrypted = [&] {
        freshPlain();
        CHECK(box_crypto_create(name.c_str(), &k.params) == 0);
    };
    kills = crashLoop(
        "decrypt", freshEncrypted, [&] { return box_crypto_decrypt(name.c_str(), &k.pass); },
        [&](bool done) {
            State s = stateOf(t, name);
            CHECK(s != State::Missing);
            CHECK(!done || s == State::Plain);
            CHECK(sameTree(ref, contents(t, name, s)));
            checkClean(t);
        });
    CHECK(kills >= 5);
}

static void testRenameDelete()
{
    TempRoot t;
    CHECK(box_create("ref") == 0);
    buildTree(t.user + "/ref", 60);
    const Snapshot ref = snapshot(t.user + "/ref");
    Key k(kPass);
    CHECK(box_create("e") == 0);
    run("cp -a '" + t.user + "/ref/.' '" + t.user + "/e/'");
    CHECK(box_crypto_create("e", &k.params) == 0);
    std::string from = "e", to = "f";

    crashLoop(
        "rename", [] {}, [&] { return box_change_name(from.c_str(), to.c_str()); },
        [&](bool done) {
            State a = stateOf(t, from), b = stateOf(t, to);
            CHECK((a == State::Missing) != (b == State::Missing));
            CHECK(!done || a == State::Missing);
            std::string now = a == State::Missing ? to : from;
            CHECK(sameTree(ref, contents(t, now, State::Encrypted)));
            checkClean(t);
            if (a == State::Missing) // renamed: rename back for the next round
                std::swap(from, to);
        });

    for (bool encrypted : { true, false }) {
        std::string victim;
        int round = 0;
        crashLoop(
            encrypted ? "delete encrypted" : "delete plain",
            [&] {
                if (victim.empty() || stateOf(t, victim) == State::Missing) {
                    victim = "d" + std::to_string(round++);
                    CHECK(box_create(victim.c_str()) == 0);
                    run("cp -a '" + t.user + "/ref/.' '" + t.user + "/" + victim + "/'");
                    if (encrypted)
                        CHECK(box_crypto_create(victim.c_str(), &k.params) == 0);
                }
            },
            [&] { return box_delete(victim.c_str()); },
            [&](bool done) {
                State s = stateOf(t, victim);
                CHECK(!done || s == State::Missing);
                if (s != State::Missing) {
                    CHECK(s == (encrypted ? State::Encrypted : State::Plain));
                    CHECK(sameTree(ref, contents(t, victim, s)));
                } else {
                    struct stat st;
                    CHECK(stat((t.user + "/.boxes/c/" + victim).c_str(), &st) < 0);
                }
                checkClean(t);
            });
    }
}

static void testShortSpace()
{
    TempRoot t;
    CHECK(box_create("big") == 0);
    buildTree(t.user + "/big", 20);
    const Snapshot ref = snapshot(t.user + "/big");
    Key k(kPass);
    setenv("TESSAD_TEST_FREE_BYTES", "100000", 1);
    CHECK(box_crypto_create("big", &k.params) == -TSD_E_NOSPACE);
    unsetenv("TESSAD_TEST_FREE_BYTES");
    CHECK(stateOf(t, "big") == State::Plain);
    CHECK(sameTree(ref, snapshot(t.user + "/big")));
    checkClean(t);
    CHECK(box_crypto_create("big", &k.params) == 0);
    setenv("TESSAD_TEST_FREE_BYTES", "100000", 1);
    CHECK(box_crypto_decrypt("big", &k.pass) == -TSD_E_NOSPACE);
    unsetenv("TESSAD_TEST_FREE_BYTES");
    CHECK(stateOf(t, "big") == State::Encrypted);
    CHECK(sameTree(ref, contents(t, "big", State::Encrypted)));
    checkClean(t);
}

int main()
{
    testShortSpace();
    testRenameDelete();
    testEncryptDecrypt();
    std::printf("%s: %d failure(s)\n", "test_tessad_crash", failures());
    return failures() ? 1 : 0;
}
