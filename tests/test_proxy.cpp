// The box operations proxy against the in-memory box service.
#include "VaultranerProxy.h"
#include "box_service.h"
#include "boxdouble.h"
#include "testsupport.h"

#include <QtTest>

using BoxDouble::Box;
using TestSupport::callLog;

namespace {
const unsigned SELF_PLAIN = BOX_FLAG_SELF | BOX_FLAG_PLAIN | BOX_FLAG_UNSHARED;

Box box(const std::string &name, unsigned flags, const std::string &owner = "tester")
{
    return Box{name, "/box/" + owner + "/" + name, owner, flags, "u::rwx,g::---,o::---"};
}

QStringList names(const QList<BoxInfo> &list)
{
    QStringList out;
    for (const BoxInfo &b : list)
        out << b.name;
    return out;
}

QList<BoxInfo> load(int owner = 0, int encrypt = 0, int share = 0)
{
    QList<BoxInfo> list;
    VaultranerProxy::getBoxList(list, owner, encrypt, share);
    return list;
}
} // namespace

class TestProxy : public QObject
{
    Q_OBJECT
private slots:
    void init()
    {
        BoxDouble::reset();
        qputenv("USER", "tester");
    }

    void failedListKeepsCallersList()
    {
        BoxDouble::setResult("box_get_list", -5);
        QList<BoxInfo> list{BoxInfo()};
        list[0].name = "kept";
        QVERIFY(!VaultranerProxy::getBoxList(list, 0, 0, 0));
        QCOMPARE(names(list), QStringList{"kept"});
    }

    void filters_data()
    {
        QTest::addColumn<int>("owner");
        QTest::addColumn<int>("encrypt");
        QTest::addColumn<int>("share");
        QTest::addColumn<QStringList>("expected");
        // "bare" has none of the pair bits, so every selector lets it through.
        QTest::newRow("all") << 0 << 0 << 0 << QStringList{"own", "enc", "other", "bare"};
        QTest::newRow("others only") << 2 << 0 << 0 << QStringList{"other", "bare"};
        QTest::newRow("encrypted") << 0 << 1 << 0 << QStringList{"enc", "bare"};
        QTest::newRow("plain") << 0 << 2 << 0 << QStringList{"own", "other", "bare"};
        QTest::newRow("unshared") << 0 << 0 << 2 << QStringList{"own", "bare"};
    }

    void filters()
    {
        QFETCH(int, owner);
        QFETCH(int, encrypt);
        QFETCH(int, share);
        QFETCH(QStringList, expected);
        BoxDouble::setBoxes({box("own", SELF_PLAIN), box("enc", BOX_FLAG_SELF | BOX_FLAG_ENCRYPTED | BOX_FLAG_SHARED),
                             box("other", BOX_FLAG_OTHER | BOX_FLAG_PLAIN | BOX_FLAG_SHARED, "alice"), box("bare", 0)});
        QCOMPARE(names(load(owner, encrypt, share)), expected);
        QCOMPARE(BoxDouble::liveRecords(), 0);
    }

    void namesAndPassphrasesTravelAsUtf8UnderCLocale()
    {
        // ctest runs us with LC_ALL=C; a locale conversion would give "????".
        QVERIFY(VaultranerProxy::createEncryptedBox("财务资料", "密码abc"));
        const std::vector<BoxDouble::Call> calls = BoxDouble::calls();
        const auto encrypt = std::find_if(calls.begin(), calls.end(), [](const BoxDouble::Call &call) {
            return call.func == "box_crypto_create";
        });
        QVERIFY(encrypt != calls.end());
        QCOMPARE(encrypt->args.at(1), std::string("密码abc|") + std::to_string(strlen("密码abc")));
        // The name comes back as the same text, so it can be found again.
        QCOMPARE(names(load()), QStringList{"财务资料"});
    }

    void createEncryptedCleansUp_data()
    {
        QTest::addColumn<int>("createResult");
        QTest::addColumn<int>("deleteResult");
        QTest::addColumn<QString>("calls");
        QTest::newRow("create fails") << -17 << 0 << "box_create";
        QTest::newRow("encryption fails") << 0 << 0 << "box_create box_crypto_create box_delete";
        QTest::newRow("clean-up fails too") << 0 << -16 << "box_create box_crypto_create box_delete";
    }

    void createEncryptedCleansUp()
    {
        QFETCH(int, createResult);
        QFETCH(int, deleteResult);
        QFETCH(QString, calls);
        BoxDouble::setResult("box_create", createResult);
        BoxDouble::setResult("box_crypto_create", -22);
        BoxDouble::setResult("box_delete", deleteResult);
        QVERIFY(!VaultranerProxy::createEncryptedBox("b", "secret1"));
        QCOMPARE(callLog(false), calls);
    }

    // Which named users of the box's ACL are sharees, as the caller
    // (tester, 1000) sees them: the owner is none of its own box, a sharee
    // sees its own entry, ids without an account are skipped.
    void sharedListReadsNamedUsers_data()
    {
        QTest::addColumn<QString>("owner");
        QTest::addColumn<unsigned>("flags");
        QTest::addColumn<QString>("acl");
        QTest::addColumn<QStringList>("expected"); // uid:name:perm:type

        QTest::newRow("own box") << "tester" << unsigned(BOX_FLAG_SELF | BOX_FLAG_PLAIN | BOX_FLAG_SHARED)
                                 << "u::rwx,u:1000:rwx,u:1001:r-x,u:1002:r--,u:1003:--x,u:1004:-wx,u:1005:rwx,"
                                    "u:0:-w-,u:600:---,u:4242:rwx,g::r-x,m::rwx,o::r-x"
                                 << QStringList{"1001:alice:5:2", "1002:bob:5:2", "1003:carol:5:2",
                                                "1004:dave:5:2", "1005:erin:7:2"};
        QTest::newRow("shared with the caller") << "alice"
                                                << unsigned(BOX_FLAG_OTHER | BOX_FLAG_PLAIN | BOX_FLAG_SHARED)
                                                << "u::rwx,u:1000:r-x,g::---,m::r-x,o::---"
                                                << QStringList{"1000:tester:5:2"};
    }

    void sharedListReadsNamedUsers()
    {
        QFETCH(QString, owner);
        QFETCH(unsigned, flags);
        QFETCH(QString, acl);
        QFETCH(QStringList, expected);
        if (!TestSupport::nssWrapperActive())
            QSKIP("nss_wrapper is not available");
        Box b = box("b", flags, owner.toStdString());
        b.acl = acl.toStdString();
        BoxDouble::setBoxes({b});
        QList<ShareUser> users;
        QVERIFY(VaultranerProxy::getSharedList(owner, "b", users));
        QStringList got;
        for (const ShareUser &u : users)
            got << QString("%1:%2:%3:%4").arg(u.uid).arg(u.name).arg(int(u.perm)).arg(u.type);
        QCOMPARE(got, expected);
        QCOMPARE(BoxDouble::liveRecords(), 0);
    }

    // Sharing replaces the whole list: a failed add is left out of the
    // count and the rest still go; a failed clear adds nobody.
    void setSharedList()
    {
        BoxDouble::setBoxes({box("b", SELF_PLAIN)});
        QList<ShareUser> three;
        for (unsigned uid : {1001, 1002, 1003}) {
            ShareUser user;
            user.uid = uid;
            user.perm = SharePermission::ReadOnly;
            three << user;
        }
        BoxDouble::failNthCall("box_add_share", 2, -13);
        QCOMPARE(VaultranerProxy::setSharedList("b", three), 2);
        QCOMPARE(BoxDouble::callCount("box_add_share"), 3);

        BoxDouble::clearCalls();
        BoxDouble::setResult("box_clear_share", -1);
        QCOMPARE(VaultranerProxy::setSharedList("b", three), -1);
        QCOMPARE(callLog(false), QString("box_clear_share"));
    }
};

VAULTRANE_TEST_MAIN_WITH_PASSWD(TestProxy)
#include "test_proxy.moc"
