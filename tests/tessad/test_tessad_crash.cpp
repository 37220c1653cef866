// Crash safety: a child is killed (by the test build's crash hook) at every
// step of encrypt, decryptBox, rename and delete; after each kill box_init must
// find the box wholly before or after, every file intact, no leftovers.
#include "tessad_testkit.h"
#include "tsd_internal.h"

#include <algorithm>
#include <sstream>

using namespace tk;

static const char *kPass = "Crash_pw_42";

enum class State { Missing, Plain, Encrypted };

static State stateOf(const TempRoot &t, const std::string &name)
{
    bool box = exists(t.user + "/" + name), cipher = exists(t.user + "/.boxes/c/" + name);
    CHECK(box || !cipher); // an encrypted box keeps its mount point
    return cipher ? State::Encrypted : box ? State::Plain : State::Missing;
}

// The box's files as the user sees them (mounting an encrypted box).
static Snapshot contents(const TempRoot &t, const std::string &name, State s)
{
    return s == State::Plain ? snapshot(t.user + "/" + name) : mountedTree(name, Key(kPass));
}

static void checkClean(const TempRoot &t)
{
    CHECK(!exists(t.user + "/.boxes/work") && !exists(t.user + "/.boxes/journal"));
    CHECK(trashDrains(t.user));
    CHECK(readFile("/proc/self/mountinfo").find(t.user + "/.boxes") == std::string::npos);
}

// Runs op in a child with the crash hook's variable set.
static int opInChild(const std::function<int()> &op, const char *var, const std::string &value)
{
    return inChild([&] {
        if (box_init() != 0)
            return 90;
        setenv(var, value.c_str(), 1);
        return op() == 0 ? 0 : 91;
    });
}

// The crash points `op` passes, in order, when nothing kills it.
static std::vector<std::string> crashPoints(const std::function<int()> &op)
{
    char trace[] = "/tmp/tessad-trace-XXXXXX";
    close(mkstemp(trace));
    CHECK(opInChild(op, "TESSAD_TEST_CRASH_TRACE", trace) == 0);
    std::vector<std::string> names;
    std::istringstream in(readFile(trace));
    unlink(trace);
    for (std::string line; std::getline(in, line);)
        names.push_back(line);
    return names;
}

// Runs `op` in a child that dies at each crash point in turn (of a run of
// per-file copy steps only the first, middle and last), and lets `verify`
// judge each outcome after the recovery of box_init.
static int crashLoop(const char *what, const std::function<void()> &prepare,
                     const std::function<int()> &op, const std::function<void(bool)> &verify)
{
    prepare();
    const std::vector<std::string> names = crashPoints(op);
    std::vector<int> points;
    for (size_t i = 0, e; i < names.size(); i = e + 1) {
        for (e = i; names[i] == "copy-entry" && e + 1 < names.size() && names[e + 1] == names[i];)
            e++;
        for (size_t p : { i, (i + e) / 2, e })
            if (points.empty() || points.back() != (int)p + 1)
                points.push_back((int)p + 1);
    }
    points.push_back((int)names.size() + 1); // past the last: no kill
    CHECK(box_init() == 0);
    verify(true);
    int kills = 0;
    for (int n : points) {
        prepare();
        int rc = opInChild(op, "TESSAD_TEST_CRASH_AT", std::to_string(n));
        bool killed = rc == 1000 + SIGKILL;
        CHECK(killed ? n != points.back() : rc == 0 && n == points.back());
        CHECK(box_init() == 0); // recovery
        verify(!killed);
        kills += killed;
    }
    std::printf("%s: survived %d kills\n", what, kills);
    return kills;
}

// The operations under test, on the box `name`.
static int encryptBox(const std::string &name)
{
    Key key(kPass);
    return box_crypto_create(name.c_str(), &key.params);
}

static int decryptBox(const std::string &name)
{
    Key key(kPass);
    return box_crypto_decrypt(name.c_str(), &key.pass);
}

static int deleteBox(const std::string &name)
{
    return box_delete(name.c_str());
}

static int renameBox(const std::string &name)
{
    return box_change_name(name.c_str(), (name + "-renamed").c_str());
}

// A reference tree, and new boxes holding a copy of it.
struct Fixture {
    TempRoot t;
    Key k{ kPass };
    Snapshot ref;
    Fixture()
    {
        CHECK(box_create("ref") == 0);
        buildTree(t.user + "/ref", 60); // big enough for the background remover
        ref = snapshot(t.user + "/ref");
    }
    void copy(const std::string &name, bool encrypted)
    {
        CHECK(box_create(name.c_str()) == 0);
        run("cp -a '" + t.user + "/ref/.' '" + t.user + "/" + name + "/'");
        CHECK(!encrypted || encryptBox(name) == 0);
    }
};

// Each operation killed at each of its steps, on a fresh copy of the
// reference tree every round.
static void testEncryptDecryptDelete()
{
    Fixture f;
    const struct {
        const char *what;
        State before, after;
        int (*op)(const std::string &);
        int minimumKills;
    } operations[] = {
        { "encrypt", State::Plain, State::Encrypted, encryptBox, 7 },
        { "decrypt", State::Encrypted, State::Plain, decryptBox, 5 },
        { "delete encrypted", State::Encrypted, State::Missing, deleteBox, 1 },
        { "delete plain", State::Plain, State::Missing, deleteBox, 1 },
    };
    for (const auto &operation : operations) {
        std::string name;
        int round = 0;
        const auto prepare = [&] {
            CHECK(name.empty() || stateOf(f.t, name) == State::Missing || box_delete(name.c_str()) == 0);
            name = "box" + std::to_string(round++);
            f.copy(name, operation.before == State::Encrypted);
        };
        const auto verify = [&](bool done) {
            const State state = stateOf(f.t, name);
            CHECK(state == operation.after || (!done && state == operation.before));
            CHECK(state == State::Missing || sameTree(f.ref, contents(f.t, name, state)));
            checkClean(f.t);
        };
        const int kills = crashLoop(operation.what, prepare, [&] { return operation.op(name); }, verify);
        CHECK_ROW(operation.what, kills >= operation.minimumKills, 1);
    }
}

static void testRename()
{
    Fixture f;
    f.copy("e", true);
    std::string from = "e", to = "f";
    crashLoop(
        "rename", [] {}, [&] { return box_change_name(from.c_str(), to.c_str()); },
        [&](bool done) {
            bool renamed = stateOf(f.t, from) == State::Missing;
            CHECK(renamed != (stateOf(f.t, to) == State::Missing));
            CHECK(!done || renamed);
            CHECK(sameTree(f.ref, contents(f.t, renamed ? to : from, State::Encrypted)));
            checkClean(f.t);
            if (renamed) // rename back for the next round
                std::swap(from, to);
        });
}

// Short free space makes encrypt and decrypt fail cleanly.
static void testShortSpace()
{
    Fixture f;
    f.copy("big", false);
    for (State before : { State::Plain, State::Encrypted }) {
        setenv("TESSAD_TEST_FREE_BYTES", "100000", 1);
        CHECK((before == State::Plain ? encryptBox("big") : decryptBox("big")) == -TSD_E_NOSPACE);
        unsetenv("TESSAD_TEST_FREE_BYTES");
        CHECK(stateOf(f.t, "big") == before && sameTree(f.ref, contents(f.t, "big", before)));
        checkClean(f.t);
        CHECK(before == State::Encrypted || encryptBox("big") == 0);
    }
}

// Folders without their owner's write bit (a box its owner made
// read-only, the locked mount point of an encrypted box, an encrypted box
// whose root was made read-only while mounted) must not stop delete,
// rename, encrypt or decrypt, and nothing may lock the account out. Root
// never notices missing permission bits; this matters as an ordinary
// account.
static void testReadOnlyFolders()
{
    Fixture f;
    const std::string user = f.t.user;
    auto readOnlyRoot = [&](const std::string &name) {
        CHECK(box_crypto_mount(nullptr, name.c_str(), &f.k.pass) == 0);
        CHECK(chmod((user + "/" + name).c_str(), 0500) == 0);
        CHECK(box_crypto_umount(nullptr, name.c_str()) == 0);
    };
    // (Delete and rename of an encrypted box that is not read-only: the
    // crash loops' last rounds.)
    const struct {
        const char *what;
        bool encrypted;
        int (*op)(const std::string &);
        State after;
    } cases[] = {
        { "delete read-only encrypted", true, deleteBox, State::Missing },
        { "delete read-only plain", false, deleteBox, State::Missing },
        { "encrypt read-only plain", false, encryptBox, State::Encrypted },
        { "decrypt read-only encrypted", true, decryptBox, State::Plain },
        { "rename read-only plain", false, renameBox, State::Missing },
    };
    int round = 0;
    for (auto &c : cases) {
        std::string name = "ro" + std::to_string(round++);
        f.copy(name, c.encrypted);
        if (c.encrypted)
            readOnlyRoot(name);
        else
            CHECK(chmod((user + "/" + name).c_str(), 0500) == 0);
        const Snapshot before = contents(f.t, name, c.encrypted ? State::Encrypted : State::Plain);
        CHECK_ROW(c.what, c.op(name), 0);
        CHECK(stateOf(f.t, name) == c.after);
        CHECK(box_init() == 0);
        CHECK(box_create("still-works") == 0 && box_delete("still-works") == 0);
        checkClean(f.t);
        if (c.after != State::Missing)
            CHECK(sameTree(before, contents(f.t, name, c.after)));
    }
}

// A stray file in the locked mount point: mount and decrypt refuse before
// they start, naming it; one that turns up after decrypt committed to its
// copy makes the recovery keep the box encrypted. Nothing locks out.
static void testStrayFile()
{
    Fixture f;
    f.copy("s", true);
    const std::string box = f.t.user + "/s";
    // The owner may open the locked folder (and the library locks it
    // again at the next mount or start).
    auto addStray = [&] {
        CHECK(chmod(box.c_str(), 0700) == 0);
        CHECK(writeFile(box + "/stray.txt", "left here"));
    };
    auto removeStray = [&] {
        CHECK(chmod(box.c_str(), 0700) == 0);
        CHECK(unlink((box + "/stray.txt").c_str()) == 0);
    };
    addStray();
    for (bool mount : { true, false }) {
        const int rc = mount ? box_crypto_mount(nullptr, "s", &f.k.pass) : decryptBox("s");
        CHECK(refused(rc, TSD_E_STRAY, BOX_REASON_FOREIGN_ENTRY, box + "/stray.txt"));
        CHECK(!exists(f.t.user + "/.boxes/journal") && stateOf(f.t, "s") == State::Encrypted);
    }
    removeStray();

    // Killed once the copy is staged; the stray file turns up before the
    // recovery: the box stays encrypted and whole, the account usable.
    const std::vector<std::string> points = crashPoints([] { return decryptBox("s"); });
    CHECK(encryptBox("s") == 0);
    const long staged = std::find(points.begin(), points.end(), "decrypt-staged") - points.begin() + 1;
    CHECK(staged <= (long)points.size());
    CHECK(opInChild([] { return decryptBox("s"); }, "TESSAD_TEST_CRASH_AT", std::to_string(staged)) == 1000 + SIGKILL);
    addStray();
    CHECK(box_init() == 0);
    CHECK(stateOf(f.t, "s") == State::Encrypted);
    CHECK(!exists(f.t.user + "/.boxes/journal"));
    removeStray();
    CHECK(sameTree(f.ref, contents(f.t, "s", State::Encrypted)));
    CHECK(decryptBox("s") == 0 && stateOf(f.t, "s") == State::Plain);
    checkClean(f.t);
}

// An operation that can be neither finished nor undone (here: a journal
// this library cannot read) is set aside: its box alone reports damage,
// every other box and call keeps working.
static void testDamagedBoxStaysAlone()
{
    Fixture f;
    f.copy("other", true);
    CHECK(box_create("hurt") == 0);
    const std::string journal = f.t.user + "/.boxes/journal";
    // An unknown operation, and one cut short.
    for (const char *text : { "frobnicate\nhurt\n\ngo\n", "delete\nhurt\n" }) {
        CHECK(writeFile(journal, text, 0600));
        CHECK(box_init() == 0);
        CHECK(countBoxes() == 3);
        CHECK(box_crypto_mount(nullptr, "other", &f.k.pass) == 0);
        CHECK(box_crypto_umount(nullptr, "other") == 0);
        CHECK(box_create("new") == 0 && box_delete("new") == 0);
        if (std::strncmp(text, "frobnicate", 10) == 0) {
            CHECK(refused(box_delete("hurt"), TSD_E_DAMAGED, BOX_REASON_DAMAGED, f.t.user + "/hurt"));
            CHECK(exists(f.t.user + "/hurt"));
        }
        run("rm -rf '" + f.t.user + "/.boxes/held'");
    }
    CHECK(box_delete("hurt") == 0 && box_delete("other") == 0);
}

int main()
{
    if (int skip = skipWithoutMounts("test_tessad_crash"))
        return skip;
    testReadOnlyFolders();
    testStrayFile();
    testDamagedBoxStaysAlone();
    testShortSpace();
    testRename();
    testEncryptDecryptDelete();
    return report("test_tessad_crash");
}
