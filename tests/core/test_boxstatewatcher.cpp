// The live-state watcher on a temporary box root laid out as the box service
// lays it out: which changes are announced, how bursts are merged, and which
// mounts count. Links only vaultrane_box_core and the test double.
#include "BoxStateWatcher.h"

#include <QDir>
#include <QFile>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QtTest>

#include <functional>

#include <sys/stat.h>

namespace {

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

class TestBoxStateWatcher : public QObject
{
    Q_OBJECT
private slots:
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

QTEST_GUILESS_MAIN(TestBoxStateWatcher)
#include "test_boxstatewatcher.moc"
