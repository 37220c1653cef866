// The box core without any widget: rules, operations against the in-memory
// box service (state × operation × library result), reasons, the worker, and
// the live-state watcher on a temporary box root laid out as the box service
// lays it out. Links only vaultrane_box_core and the test double.
#include "BoxOperations.h"
#include "BoxOutcomes.h"
#include "BoxRules.h"
#include "BoxStateWatcher.h"
#include "BoxWorker.h"
#include "NamePolicy.h"
#include "PasswordPolicy.h"
#include "ShareCandidates.h"
#include "VaultranerProxy.h"
#include "box_service_ext.h"
#include "boxdouble.h"

#include <QDir>
#include <QFile>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QThread>
#include <QtTest>

#include <functional>
#include <memory>

#include <sys/stat.h>
#include <unistd.h>

using BoxDouble::Box;

Q_DECLARE_METATYPE(BoxAction)
Q_DECLARE_METATYPE(BoxOpening)
Q_DECLARE_METATYPE(PasswordPolicy::Problem)
Q_DECLARE_METATYPE(NamePolicy::Problem)

namespace {

const unsigned kOwnPlain = BOX_FLAG_SELF | BOX_FLAG_PLAIN | BOX_FLAG_UNSHARED;
const unsigned kOwnEncrypted = BOX_FLAG_SELF | BOX_FLAG_ENCRYPTED | BOX_FLAG_UNSHARED;
const unsigned kOwnMounted = kOwnEncrypted | BOX_FLAG_MOUNTED;
const unsigned kOthersEncrypted = BOX_FLAG_OTHER | BOX_FLAG_ENCRYPTED | BOX_FLAG_SHARED;

BoxInfo boxInfo(const QString &name, unsigned flags)
{
    BoxInfo box;
    box.name = name;
    box.owner = (flags & BOX_FLAG_OTHER) ? "bob" : "tester";
    box.path = "/box/" + box.owner + "/" + name;
    box.flags = BoxFlags(QFlag(int(flags)));
    box.encrypted = (flags & BOX_FLAG_ENCRYPTED) != 0;
    box.mounted = (flags & BOX_FLAG_MOUNTED) != 0;
    box.fromOther = (flags & BOX_FLAG_OTHER) != 0;
    box.shared = (flags & BOX_FLAG_SHARED) != 0;
    return box;
}

void addToDouble(const BoxInfo &box)
{
    BoxDouble::addBox(Box{box.name.toStdString(), box.path.toStdString(), box.owner.toStdString(),
                          unsigned(box.flags), "u::rwx,g::---,o::---"});
}

QStringList callNames()
{
    QStringList names;
    for (const std::string &name : BoxDouble::callNames())
        names << QString::fromStdString(name);
    return names;
}

// Runs one operation on `box`. The password is the one the operation asks
// for; a new password for add and change.
BoxResult runOperation(const QString &operation, const BoxInfo &box, const QString &typed = "secret1")
{
    const SecretString password(typed);
    if (operation == "create")
        return BoxOperations::create(box.name);
    if (operation == "createEncrypted")
        return BoxOperations::createEncrypted(box.name, password);
    if (operation == "delete")
        return BoxOperations::deleteBox(box, password);
    if (operation == "rename")
        return BoxOperations::rename(box, "renamed", password);
    if (operation == "mount")
        return BoxOperations::mount(box, password);
    if (operation == "unmount")
        return BoxOperations::unmount(box);
    if (operation == "addPassword")
        return BoxOperations::addPassword(box, password);
    if (operation == "changePassword")
        return BoxOperations::changePassword(box, SecretString("Old_pw1"), password);
    if (operation == "removePassword")
        return BoxOperations::removePassword(box, password);
    qFatal("unknown operation");
    return BoxResult();
}

// A box root with an own box "papers", an encrypted box "secret" and
// another account "anna" beside the user "tester".
struct BoxRoot {
    QTemporaryDir dir;
    QString root() const { return dir.path(); }
    QString user() const { return root() + "/tester"; }
    QString ciphers() const { return user() + "/.boxes/c"; }

    BoxRoot()
    {
        QDir().mkpath(user() + "/papers");
        QDir().mkpath(user() + "/secret");
        QDir().mkpath(ciphers() + "/secret");
        QDir().mkpath(root() + "/anna");
    }
};

// Waits long enough for any announcement of changes made before.
void settle(QSignalSpy &spy)
{
    spy.wait(BoxStateWatcher::kLongestDelayMs + 300);
    QTest::qWait(BoxStateWatcher::kQuietMs);
}

void changeMode(const QString &path, mode_t mode)
{
    QVERIFY(chmod(QFile::encodeName(path).constData(), mode) == 0);
}

} // namespace

using Change = std::function<void(const BoxRoot &)>;
Q_DECLARE_METATYPE(Change)

class TestBoxCore : public QObject
{
    Q_OBJECT
private slots:
    void init()
    {
        BoxDouble::reset();
        VaultranerProxy::setPrintsBoxTable(false);
    }

    // The one table behind the context menu, the tool buttons, every
    // operation of the window and the command line, and the double-click.
    void stateTable_data()
    {
        QTest::addColumn<bool>("mounted");
        QTest::addColumn<bool>("mountedElsewhere");
        QTest::addColumn<bool>("fromOther");
        QTest::addColumn<bool>("encrypted");
        QTest::addColumn<QList<BoxAction>>("allowed");
        QTest::addColumn<BoxOpening>("opening");
        using A = BoxAction;
        const QList<A> ownerActions{A::PasswordSetting, A::ShareSetting, A::Delete, A::Rename};
        const QList<A> ownerWhileShared{A::Mount, A::PasswordSetting, A::ShareSetting};
        const BoxOpening mount = BoxOpening::Mount;
        const BoxOpening open = BoxOpening::OpenFolder;
        QTest::newRow("own plain") << false << false << false << false << ownerActions << open;
        QTest::newRow("own encrypted") << false << false << false << true << (QList<A>{A::Mount} + ownerActions)
                                       << mount;
        QTest::newRow("own mounted") << true << false << false << true << QList<A>{A::Unmount} << open;
        QTest::newRow("own, mounted by a sharee") << false << true << false << true << ownerWhileShared << mount;
        QTest::newRow("own, mounted by us and a sharee") << true << true << false << true << QList<A>{A::Unmount}
                                                         << open;
        QTest::newRow("other's plain") << false << false << true << false << QList<A>() << open;
        QTest::newRow("other's encrypted") << false << false << true << true << QList<A>{A::Mount} << mount;
        QTest::newRow("other's, mounted by us") << true << false << true << true << QList<A>{A::Unmount} << open;
        QTest::newRow("other's, mounted by its owner") << false << true << true << true << QList<A>{A::Mount}
                                                       << mount;
    }

    void stateTable()
    {
        QFETCH(bool, mounted);
        QFETCH(bool, mountedElsewhere);
        QFETCH(bool, fromOther);
        QFETCH(bool, encrypted);
        QFETCH(QList<BoxAction>, allowed);
        QFETCH(BoxOpening, opening);
        BoxInfo box = boxInfo("b", fromOther ? kOthersEncrypted : kOwnEncrypted);
        box.mounted = mounted;
        box.mountedElsewhere = mountedElsewhere;
        box.encrypted = encrypted;
        QCOMPARE(BoxRules::allowedActions(box), allowed);
        QCOMPARE(BoxRules::opening(box), opening);

        // Every refusal says why, and the operations behind both front ends
        // refuse exactly what the table refuses, before the box service.
        const QMap<BoxAction, QString> operations{
            {BoxAction::Mount, "mount"},
            {BoxAction::Unmount, "unmount"},
            {BoxAction::PasswordSetting, encrypted ? "changePassword" : "addPassword"},
            {BoxAction::Delete, "delete"},
            {BoxAction::Rename, "rename"},
        };
        for (auto it = operations.cbegin(); it != operations.cend(); ++it) {
            const bool refused = !allowed.contains(it.key());
            QCOMPARE(BoxOutcomes::refusal(box, it.key()).isEmpty(), !refused);
            BoxDouble::clearCalls();
            const BoxResult result = runOperation(it.value(), box);
            QCOMPARE(result.code == BoxResult::Refused, refused);
            if (refused)
                QVERIFY(callNames().isEmpty());
        }
    }

    // The one rule for every new password, wherever it is chosen, and its
    // confirmation: the first problem, in the order the forms report them,
    // and a hint for every problem.
    void passwordPolicy_data()
    {
        QTest::addColumn<QString>("password");
        QTest::addColumn<QString>("confirm");
        QTest::addColumn<PasswordPolicy::Problem>("problem");
        using P = PasswordPolicy::Problem;
        QTest::newRow("five characters") << "abcde" << "abcde" << P::BreaksRule;
        QTest::newRow("six characters") << "abcdef" << "abcdef" << P::None;
        QTest::newRow("eighteen characters") << "a23456789012345678" << "a23456789012345678" << P::None;
        QTest::newRow("nineteen characters") << "a234567890123456789" << "a234567890123456789" << P::BreaksRule;
        QTest::newRow("digit first") << "1abcdef" << "1abcdef" << P::BreaksRule;
        QTest::newRow("underscore first") << "_abcdef" << "_abcdef" << P::BreaksRule;
        QTest::newRow("underscores and digits later") << "a_1_2_3" << "a_1_2_3" << P::None;
        QTest::newRow("non-ASCII letter") << "abcdeé" << "abcdeé" << P::BreaksRule;
        QTest::newRow("both empty") << "" << "" << P::Empty;
        QTest::newRow("rule before an empty confirmation") << "bad" << "" << P::BreaksRule;
        QTest::newRow("confirmation empty") << "abcdef" << "" << P::ConfirmEmpty;
        QTest::newRow("differs in case") << "abcdef" << "abcdeF" << P::Mismatch;
    }

    void passwordPolicy()
    {
        QFETCH(QString, password);
        QFETCH(QString, confirm);
        QFETCH(PasswordPolicy::Problem, problem);
        QCOMPARE(PasswordPolicy::check(password, confirm), problem);
        if (password == confirm && !password.isEmpty())
            QCOMPARE(PasswordPolicy::follows(password), problem == PasswordPolicy::Problem::None);
        for (PasswordForm form : {PasswordForm::Create, PasswordForm::Add, PasswordForm::Change})
            QCOMPARE(PasswordPolicy::text(problem, form).isEmpty(), problem == PasswordPolicy::Problem::None);
    }

    // One name rule for create, rename and the command line; create and
    // rename refuse a bad name before the box service is asked.
    void namePolicy_data()
    {
        QTest::addColumn<QByteArray>("name");
        QTest::addColumn<NamePolicy::Problem>("problem");
        using P = NamePolicy::Problem;
        QTest::newRow("plain") << QByteArray("papers") << P::None;
        QTest::newRow("spaces kept") << QByteArray(" my papers ") << P::None;
        QTest::newRow("empty") << QByteArray() << P::Empty;
        QTest::newRow("hidden") << QByteArray(".hidden") << P::Hidden;
        QTest::newRow("slash") << QByteArray("a/b") << P::Slash;
        QTest::newRow("line break") << QByteArray("a\nb") << P::Control;
        QTest::newRow("longest in Chinese") << QString(NamePolicy::kMaxLength, QChar(0x6587)).toUtf8() << P::None;
        QTest::newRow("one too long") << QByteArray(NamePolicy::kMaxLength + 1, 'a') << P::TooLong;
        QTest::newRow("stray byte") << QByteArray("a\xff" "b") << P::InvalidUtf8;
        QTest::newRow("surrogate") << QByteArray("a\xed\xa0\x80") << P::InvalidUtf8;
        QTest::newRow("four-byte character") << QByteArray("a\xf0\x9f\x93\x81") << P::None;
    }

    void namePolicy()
    {
        QFETCH(QByteArray, name);
        QFETCH(NamePolicy::Problem, problem);
        QCOMPARE(NamePolicy::check(name), problem);
        QCOMPARE(NamePolicy::text(problem).isEmpty(), problem == NamePolicy::Problem::None);
        // Text decoded from bad bytes carries replacement characters instead.
        if (problem == NamePolicy::Problem::None || problem == NamePolicy::Problem::InvalidUtf8)
            return;
        QCOMPARE(NamePolicy::check(QString::fromUtf8(name)), problem);
        const BoxInfo box = boxInfo("docs", kOwnPlain);
        addToDouble(box);
        BoxDouble::clearCalls();
        const BoxResult created = BoxOperations::create(QString::fromUtf8(name));
        const BoxResult renamed = BoxOperations::rename(box, QString::fromUtf8(name), SecretString());
        QCOMPARE(created.code, BoxResult::InvalidInput);
        QCOMPARE(renamed.code, BoxResult::InvalidInput);
        QVERIFY(callNames().isEmpty());
    }

    // Passwords that cannot be right never reach the box service: a new one
    // against the rule, an empty one, one longer than the service takes.
    void passwordRefusedBeforeTheLibrary_data()
    {
        QTest::addColumn<QString>("operation");
        QTest::addColumn<unsigned>("flags");
        QTest::addColumn<QString>("password");
        const QString overlong(BoxRules::passphraseMax() + 1, QLatin1Char('a'));
        QTest::newRow("create, against the rule") << "createEncrypted" << 0u << "12345678";
        QTest::newRow("create, empty") << "createEncrypted" << 0u << "";
        QTest::newRow("add, against the rule") << "addPassword" << kOwnPlain << "abc";
        QTest::newRow("change, against the rule") << "changePassword" << kOwnEncrypted << "abc";
        QTest::newRow("mount, empty") << "mount" << kOwnEncrypted << "";
        QTest::newRow("mount, overlong") << "mount" << kOwnEncrypted << overlong;
        QTest::newRow("delete, overlong") << "delete" << kOwnEncrypted << overlong;
    }

    void passwordRefusedBeforeTheLibrary()
    {
        QFETCH(QString, operation);
        QFETCH(unsigned, flags);
        QFETCH(QString, password);
        const BoxInfo box = boxInfo("docs", flags);
        if (flags)
            addToDouble(box);
        BoxDouble::clearCalls();
        const BoxResult result = runOperation(operation, box, password);
        QCOMPARE(result.code, BoxResult::InvalidInput);
        QVERIFY(!result.reason.isEmpty());
        QVERIFY(callNames().isEmpty());
    }

    // Operation × library result: the result code and the library calls
    // made, in order. What the rules refuse is in stateTable.
    void operations_data()
    {
        QTest::addColumn<QString>("operation");
        QTest::addColumn<unsigned>("flags");
        QTest::addColumn<QString>("failingCall");
        QTest::addColumn<int>("code");
        QTest::addColumn<QStringList>("calls");
        const QString none;
        const QString verify = "box_crypto_verify_passphrase";
        using R = BoxResult;
        QTest::newRow("create") << "create" << 0u << none << int(R::Ok) << QStringList{"box_create"};
        QTest::newRow("create encrypted") << "createEncrypted" << 0u << none << int(R::Ok)
                                          << QStringList{"box_create", "box_crypto_create"};
        // No plain box is left behind under the name the user chose.
        QTest::newRow("create encrypted: encrypting fails, box deleted again")
            << "createEncrypted" << 0u << "box_crypto_create" << int(R::Failed)
            << QStringList{"box_create", "box_crypto_create", "box_delete"};
        QTest::newRow("delete encrypted checks the password first")
            << "delete" << kOwnEncrypted << none << int(R::Ok) << QStringList{verify, "box_delete"};
        QTest::newRow("delete encrypted, wrong password") << "delete" << kOwnEncrypted << verify
                                                          << int(R::WrongPassword) << QStringList{verify};
        QTest::newRow("rename encrypted") << "rename" << kOwnEncrypted << none << int(R::Ok)
                                          << QStringList{verify, "box_change_name"};
        QTest::newRow("mount fails") << "mount" << kOwnEncrypted << "box_crypto_mount" << int(R::Failed)
                                     << QStringList{"box_crypto_mount"};
        QTest::newRow("add password") << "addPassword" << kOwnPlain << none << int(R::Ok)
                                      << QStringList{"box_crypto_create"};
        QTest::newRow("change password fails") << "changePassword" << kOwnEncrypted << "box_crypto_change_passpharse"
                                               << int(R::Failed) << QStringList{"box_crypto_change_passpharse"};
        QTest::newRow("remove password") << "removePassword" << kOwnEncrypted << none << int(R::Ok)
                                         << QStringList{"box_crypto_decrypt"};
    }

    void operations()
    {
        QFETCH(QString, operation);
        QFETCH(unsigned, flags);
        QFETCH(QString, failingCall);
        QFETCH(int, code);
        QFETCH(QStringList, calls);
        const BoxInfo box = boxInfo("docs", flags);
        if (flags)
            addToDouble(box);
        if (!failingCall.isEmpty())
            BoxDouble::setResult(failingCall.toStdString(), -5);

        const BoxResult result = runOperation(operation, box);

        QCOMPARE(int(result.code), code);
        QCOMPARE(callNames(), calls);
        if (result.code == BoxResult::Failed)
            QCOMPARE(result.libraryCode, -5);
    }

    // The library's reason becomes the second line of the window's message,
    // naming the file it is about.
    void reasonOfFailure()
    {
        const BoxInfo box = boxInfo("docs", kOwnPlain);
        addToDouble(box);
        BoxDouble::setResult("box_change_name", -16);
        BoxDouble::setReason(-16, BOX_REASON_FOREIGN_ENTRY);
        BoxDouble::setLastDetail("/box/tester/docs/x");

        const BoxResult result = BoxOperations::rename(box, "other", SecretString());

        QCOMPARE(result.libraryReason, int(BOX_REASON_FOREIGN_ENTRY));
        const QStringList lines = result.message("失败！").split('\n');
        QCOMPARE(lines.size(), 2);
        QCOMPARE(lines.at(0), QString("失败！"));
        QVERIFY(lines.at(1).contains("/box/tester/docs/x"));
    }

    // A released secret leaves zeros in every copy that shared its text.
    void secretWipeReachesSharedCopies()
    {
        QString typed = "Secret_1";
        const QString shared = typed;
        SecretString::wipe(typed);
        QVERIFY(typed.isEmpty());
        QCOMPARE(shared, QString(8, QChar(0)));
    }

    void mountWithIdleTime()
    {
        const BoxInfo box = boxInfo("docs", kOwnEncrypted);
        addToDouble(box);
        QVERIFY(BoxOperations::mount(box, SecretString("secret1"), 300).ok());
        QCOMPARE(callNames(), QStringList{"box_crypto_mount_idle"});
        QCOMPARE(BoxDouble::calls()[0].args[3], std::string("300"));
    }

    void shareCandidateRule_data()
    {
        QTest::addColumn<uint>("uid");
        QTest::addColumn<QString>("shell");
        QTest::addColumn<bool>("securityOn");
        QTest::addColumn<bool>("candidate");
        QTest::newRow("person") << 1001u << "/bin/bash" << false << true;
        QTest::newRow("the caller") << 1000u << "/bin/bash" << true << false;
        QTest::newRow("system account") << 100u << "/bin/bash" << true << false;
        QTest::newRow("no login shell") << 1001u << "/usr/sbin/nologin" << true << false;
        QTest::newRow("security administrator, function on") << 600u << "/bin/bash" << true << true;
        QTest::newRow("audit administrator, function off") << 700u << "/bin/bash" << false << false;
    }

    void shareCandidateRule()
    {
        QFETCH(uint, uid);
        QFETCH(QString, shell);
        QFETCH(bool, securityOn);
        QFETCH(bool, candidate);
        const QByteArray shellBytes = shell.toUtf8();
        QCOMPARE(ShareCandidates::isCandidate(uid, shellBytes.constData(), 1000, securityOn), candidate);
    }

    // One operation at a time, off the caller's thread; progress and the
    // result come back on the caller's thread.
    void workerRunsOffThreadAndReportsBack()
    {
        const BoxInfo box = boxInfo("docs", kOwnPlain);
        addToDouble(box);
        BoxDouble::setProgressSteps({0, 40, 100});
        BoxDouble::blockNextCall("box_crypto_create");
        auto password = std::make_shared<SecretString>("secret1");
        QThread *operationThread = nullptr;

        BoxWorker worker;
        QSignalSpy progress(&worker, &BoxWorker::progress);
        QSignalSpy finished(&worker, &BoxWorker::finished);
        QThread *resultThread = nullptr;
        connect(&worker, &BoxWorker::finished, this, [&] { resultThread = QThread::currentThread(); });
        QVERIFY(worker.start([box, password, &operationThread] {
            operationThread = QThread::currentThread();
            return BoxOperations::addPassword(box, *password);
        }));

        QVERIFY(BoxDouble::waitUntilBlocked(5000));
        BoxWorker second;
        QVERIFY(!second.start([] { return BoxResult(); }));
        QVERIFY(BoxWorker::anyRunning());
        BoxDouble::releaseBlocked();

        QVERIFY(finished.wait(5000));
        QCOMPARE(finished.count(), 1);
        QVERIFY(finished.at(0).at(0).value<BoxResult>().ok());
        QCOMPARE(resultThread, QThread::currentThread());
        QVERIFY(operationThread != QThread::currentThread());
        QCOMPARE(progress.count(), 3);
        QCOMPARE(progress.at(1).at(0).toInt(), 40);
        QVERIFY(!BoxWorker::anyRunning());
        QCOMPARE(password.use_count(), 1L); // the worker let go of the password
        QVERIFY(second.start([] { return BoxResult(); }));
        QVERIFY(QSignalSpy(&second, &BoxWorker::finished).wait(5000));
    }

    void announcesWhatChangesTheList_data()
    {
        QTest::addColumn<Change>("change");
        QTest::addColumn<bool>("announced");
        QTest::newRow("box created") << Change([](const BoxRoot &r) { QDir().mkdir(r.user() + "/letters"); }) << true;
        QTest::newRow("share of a plain box (its access changes)")
            << Change([](const BoxRoot &r) { changeMode(r.user() + "/papers", 0750); }) << true;
        QTest::newRow("box encrypted") << Change([](const BoxRoot &r) { QDir().mkdir(r.ciphers() + "/papers"); })
                                       << true;
        QTest::newRow("share of an encrypted box")
            << Change([](const BoxRoot &r) { changeMode(r.ciphers() + "/secret", 0750); }) << true;
        QTest::newRow("another account changes its shares")
            << Change([](const BoxRoot &r) { changeMode(r.root() + "/anna", 0711); }) << true;
        QTest::newRow("files written inside a box") << Change([](const BoxRoot &r) {
            QFile file(r.user() + "/papers/notes.txt");
            file.open(QIODevice::WriteOnly);
            file.write("text");
        }) << false;
        QTest::newRow("the service's hidden work") << Change([](const BoxRoot &r) {
            QFile journal(r.user() + "/.boxes/journal");
            journal.open(QIODevice::WriteOnly);
            QDir().mkdir(r.user() + "/.boxes/work");
        }) << false;
    }

    void announcesWhatChangesTheList()
    {
        QFETCH(Change, change);
        QFETCH(bool, announced);
        BoxRoot boxRoot;
        BoxStateWatcher watcher({boxRoot.root(), boxRoot.user(), boxRoot.ciphers()}, "/dev/null");
        QSignalSpy spy(&watcher, &BoxStateWatcher::changed);

        change(boxRoot);
        settle(spy);

        QCOMPARE(spy.count(), announced ? 1 : 0);
    }

    // Fifty boxes appear and are encrypted in a rush: one or two
    // announcements. A change still waiting is announced at once on flush,
    // and only once.
    void mergesABurstAndFlushes()
    {
        BoxRoot boxRoot;
        BoxStateWatcher watcher({boxRoot.root(), boxRoot.user(), boxRoot.ciphers()}, "/dev/null");
        QSignalSpy spy(&watcher, &BoxStateWatcher::changed);

        for (int i = 0; i < 50; ++i) {
            QDir().mkdir(boxRoot.user() + QString("/box-%1").arg(i));
            QDir().mkdir(boxRoot.ciphers() + QString("/box-%1").arg(i));
        }
        settle(spy);
        settle(spy);
        QVERIFY(spy.count() >= 1);
        QVERIFY2(spy.count() <= 2, qPrintable(QString("%1 announcements").arg(spy.count())));

        spy.clear();
        QDir().mkdir(boxRoot.user() + "/letters");
        QTRY_VERIFY(watcher.hasPendingChange());
        watcher.flush();
        QCOMPARE(spy.count(), 1);
        QVERIFY(!watcher.hasPendingChange());
        settle(spy);
        QCOMPARE(spy.count(), 1);
    }

    void boxMounts_data()
    {
        QTest::addColumn<QByteArray>("mountInfo");
        QTest::addColumn<QStringList>("mounts");
        const QByteArray system = "22 1 8:1 / / rw,relatime shared:1 - ext4 /dev/sda1 rw\n"
                                  "40 22 0:35 / /run/user/1000 rw - tmpfs tmpfs rw\n";
        QTest::newRow("none under the root") << system << QStringList();
        QTest::newRow("an own and a shared box")
            << system + "61 22 0:50 / /box/tester/papers rw - fuse.gocryptfs /box/tester/.boxes/c/papers rw\n"
                        "62 22 0:51 / /box/anna/photos rw - fuse.gocryptfs /box/anna/.boxes/c/photos rw\n"
            << QStringList{"/box/tester/papers", "/box/anna/photos"};
        QTest::newRow("a sharee's own mount of another account's box")
            << system + "66 22 0:55 / /box/bob/.boxes/mnt/tester/secret rw - fuse.gocryptfs x rw\n"
            << QStringList{"/box/bob/.boxes/mnt/tester/secret"};
        QTest::newRow("the service's own work mount")
            << system + "63 22 0:52 / /box/tester/.boxes/work/plain rw - fuse.gocryptfs x rw\n" << QStringList();
        QTest::newRow("a blank in the name")
            << QByteArray("64 22 0:53 / /box/tester/my\\040box rw - fuse.gocryptfs x rw\n")
            << QStringList{"/box/tester/my box"};
        QTest::newRow("a folder beside the root with the same beginning")
            << QByteArray("65 22 0:54 / /boxes/tester/papers rw - fuse.gocryptfs x rw\n") << QStringList();
    }

    void boxMounts()
    {
        QFETCH(QByteArray, mountInfo);
        QFETCH(QStringList, mounts);
        QCOMPARE(BoxStateWatcher::boxMounts(mountInfo, "/box"), mounts);
    }
};

QTEST_GUILESS_MAIN(TestBoxCore)
#include "test_boxcore.moc"
