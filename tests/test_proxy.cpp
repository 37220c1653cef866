// The box operations proxy against the in-memory box service.
#include "VaultranerProxy.h"
#include "box_service.h"
#include "boxdouble.h"
#include "testsupport.h"

#include <QtTest>

using BoxDouble::Box;

namespace {
const unsigned SELF_PLAIN = BOX_FLAG_SELF | BOX_FLAG_PLAIN | BOX_FLAG_UNSHARED;

Box box(const std::string &name, unsigned flags, const std::string &owner = "tester")
{
    Box b;
    b.name = name;
    b.owner = owner;
    b.path = "/box/" + owner + "/" + name;
    b.flags = flags;
    return b;
}

QStringList names(const QList<BoxInfo> &list)
{
    QStringList out;
    for (const BoxInfo &b : list)
        out << b.name;
    return out;
}

QList<ShareUser> shareUsers(std::initializer_list<std::pair<unsigned, int>> entries)
{
    QList<ShareUser> list;
    for (auto e : entries) {
        ShareUser u;
        u.uid = e.first;
        u.perm = e.second;
        list << u;
    }
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

    void emptyListPrintsHeaderAndSucceeds()
    {
        QList<BoxInfo> list{BoxInfo()};
        bool ok = false;
        const QString out = TestSupport::captureStdout([&] { ok = VaultranerProxy::getBoxList(list, 0, 0, 0); });
        QVERIFY(ok);
        QVERIFY(list.isEmpty());
        QCOMPARE(out, QString("Boxes for tester\n------------------------------\nname\tencrypt\tshare\towner\tpath\n"));
        QCOMPARE(BoxDouble::liveRecords(), 0);
    }

    void listTableOnStdoutHasEveryRowEvenFilteredOnes()
    {
        BoxDouble::setBoxes({box("docs", SELF_PLAIN),
                             box("secret", BOX_FLAG_SELF | BOX_FLAG_ENCRYPTED | BOX_FLAG_SHARED),
                             box("theirs", BOX_FLAG_OTHER | BOX_FLAG_PLAIN | BOX_FLAG_SHARED, "alice")});
        QList<BoxInfo> list;
        const QString out = TestSupport::captureStdout([&] { QVERIFY(VaultranerProxy::getBoxList(list, 1, 0, 0)); });
        QCOMPARE(out, QString("Boxes for tester\n------------------------------\n"
                              "name\tencrypt\tshare\towner\tpath\n"
                              "docs\tN\tN\tself\t/box/tester/docs\n"
                              "secret\tY\tY\tself\t/box/tester/secret\n"
                              "theirs\tN\tY\talice\t/box/alice/theirs\n"));
        QCOMPARE(names(list), QStringList({"docs", "secret"}));
        QCOMPARE(BoxDouble::callNames(), std::vector<std::string>({"box_get_list", "box_info_list_destroy"}));
        QCOMPARE(BoxDouble::calls()[0].args[0], std::string("255"));
    }

    void listRecordsCarryTheStateBits()
    {
        BoxDouble::setBoxes({box("m", BOX_FLAG_OTHER | BOX_FLAG_ENCRYPTED | BOX_FLAG_MOUNTED | BOX_FLAG_SHARED, "bob")});
        QList<BoxInfo> list;
        TestSupport::captureStdout([&] { VaultranerProxy::getBoxList(list, 0, 0, 0); });
        QCOMPARE(list.size(), 1);
        const BoxInfo &b = list[0];
        QCOMPARE(b.owner, QString("bob"));
        QCOMPARE(b.path, QString("/box/bob/m"));
        QCOMPARE(int(b.flags), BOX_FLAG_OTHER | BOX_FLAG_ENCRYPTED | BOX_FLAG_MOUNTED | BOX_FLAG_SHARED);
        QCOMPARE(b.shared, 1);
        QCOMPARE(b.encrypted, 1);
        QCOMPARE(b.fromOther, 1);
        QCOMPARE(b.mounted, 1);
    }

    void failedListKeepsCallersList()
    {
        BoxDouble::setResult("box_get_list", -5);
        QList<BoxInfo> list;
        BoxInfo keep;
        keep.name = "kept";
        list << keep;
        TestSupport::DebugCapture log;
        QString out = TestSupport::captureStdout([&] { QVERIFY(!VaultranerProxy::getBoxList(list, 0, 0, 0)); });
        QCOMPARE(names(list), QStringList({"kept"}));
        QVERIFY(out.isEmpty());
        QVERIFY(log.contains("double error 5"));
    }

    void filters_data()
    {
        QTest::addColumn<int>("owner");
        QTest::addColumn<int>("encrypt");
        QTest::addColumn<int>("share");
        QTest::addColumn<QStringList>("expected");
        // "bare" has none of the pair bits, so every selector lets it through.
        QTest::newRow("all") << 0 << 0 << 0 << QStringList{"own", "enc", "other", "bare"};
        QTest::newRow("own only") << 1 << 0 << 0 << QStringList{"own", "enc", "bare"};
        QTest::newRow("others only") << 2 << 0 << 0 << QStringList{"other", "bare"};
        QTest::newRow("encrypted") << 0 << 1 << 0 << QStringList{"enc", "bare"};
        QTest::newRow("plain") << 0 << 2 << 0 << QStringList{"own", "other", "bare"};
        QTest::newRow("shared") << 0 << 0 << 1 << QStringList{"enc", "other", "bare"};
        QTest::newRow("unshared") << 0 << 0 << 2 << QStringList{"own", "bare"};
        QTest::newRow("combined") << 1 << 1 << 1 << QStringList{"enc", "bare"};
        QTest::newRow("unknown selector keeps all") << 7 << -1 << 3 << QStringList{"own", "enc", "other", "bare"};
    }

    void filters()
    {
        QFETCH(int, owner);
        QFETCH(int, encrypt);
        QFETCH(int, share);
        QFETCH(QStringList, expected);
        BoxDouble::setBoxes({box("own", SELF_PLAIN),
                             box("enc", BOX_FLAG_SELF | BOX_FLAG_ENCRYPTED | BOX_FLAG_SHARED),
                             box("other", BOX_FLAG_OTHER | BOX_FLAG_PLAIN | BOX_FLAG_SHARED, "alice"),
                             box("bare", 0)});
        QList<BoxInfo> list;
        TestSupport::captureStdout([&] { QVERIFY(VaultranerProxy::getBoxList(list, owner, encrypt, share)); });
        QCOMPARE(names(list), expected);
    }

    void namesAndPassphrasesTravelAsUtf8UnderCLocale()
    {
        // ctest runs us with LC_ALL=C; a locale conversion would give "????".
        const QString name = QString::fromUtf8("财务资料");
        QVERIFY(VaultranerProxy::createEncryptedBox(name, QString::fromUtf8("密码abc")));
        auto calls = BoxDouble::calls();
        QCOMPARE(calls.size(), size_t(2));
        QCOMPARE(calls[0].func, std::string("box_create"));
        QCOMPARE(calls[0].args[0], std::string("财务资料"));
        QCOMPARE(calls[1].func, std::string("box_crypto_create"));
        QCOMPARE(calls[1].args[0], std::string("财务资料"));
        QCOMPARE(calls[1].args[1], std::string("密码abc|") + std::to_string(strlen("密码abc")));
        QCOMPARE(calls[1].args[2], std::string("0x1010000"));

        // The name comes back from the list as the same text, so it can be found again.
        QList<BoxInfo> list;
        TestSupport::captureStdout([&] { VaultranerProxy::getBoxList(list, 0, 0, 0); });
        QCOMPARE(list.size(), 1);
        QCOMPARE(list[0].name, name);
        BoxDouble::clearCalls();
        QVERIFY(VaultranerProxy::renameBox(list[0].name, QString::fromUtf8("新名字")));
        QVERIFY(VaultranerProxy::deleteBox(QString::fromUtf8("新名字")));
        QVERIFY(BoxDouble::boxes().empty());
    }

    void createEncryptedCleansUpAfterFailedEncryption()
    {
        BoxDouble::setResult("box_crypto_create", -22);
        TestSupport::DebugCapture log;
        QVERIFY(!VaultranerProxy::createEncryptedBox("b", "secret1"));
        QCOMPARE(BoxDouble::callNames(), std::vector<std::string>({"box_create", "box_crypto_create", "box_delete"}));
        QVERIFY(BoxDouble::boxes().empty());
        QVERIFY(log.contains("double error 22"));

        // The clean-up itself failing is logged too, and the result stays false.
        BoxDouble::reset();
        BoxDouble::setResult("box_crypto_create", -22);
        BoxDouble::setResult("box_delete", -16);
        TestSupport::DebugCapture log2;
        QVERIFY(!VaultranerProxy::createEncryptedBox("b", "secret1"));
        QVERIFY(log2.contains("double error 22"));
        QVERIFY(log2.contains("double error 16"));
    }

    void createEncryptedStopsWhenCreateFails()
    {
        BoxDouble::setResult("box_create", -17);
        QVERIFY(!VaultranerProxy::createEncryptedBox("b", "secret1"));
        QCOMPARE(BoxDouble::callNames(), std::vector<std::string>({"box_create"}));
    }

    void passphraseOperationsPassTheirRecords()
    {
        BoxDouble::setBoxes({box("b", SELF_PLAIN)});
        QVERIFY(VaultranerProxy::addPassphrase("b", "abc"));
        QVERIFY(VaultranerProxy::changePassphrase("b", "abc", "defg"));
        QVERIFY(VaultranerProxy::verifyPassphrase("b", "defg"));
        QVERIFY(VaultranerProxy::mountBox("tester", "b", "defg"));
        QVERIFY(VaultranerProxy::umountBox("tester", "b"));
        QVERIFY(VaultranerProxy::removePassphrase("b", "defg"));
        const auto calls = BoxDouble::calls();
        QCOMPARE(calls[0].args, std::vector<std::string>({"b", "abc|3", "0x1010000"}));
        QCOMPARE(calls[1].args, std::vector<std::string>({"b", "abc|3", "defg|4"}));
        QCOMPARE(calls[2].args, std::vector<std::string>({"b", "defg|4"}));
        QCOMPARE(calls[3].args, std::vector<std::string>({"tester", "b", "defg|4"}));
        QCOMPARE(calls[4].args, std::vector<std::string>({"tester", "b"}));
        QCOMPARE(calls[5].func, std::string("box_crypto_decrypt"));

        BoxDouble::setResult("box_crypto_mount", -12);
        QVERIFY(!VaultranerProxy::mountBox("tester", "b", "wrong"));
        BoxDouble::setResult("box_crypto_verify_passphrase", -12);
        QVERIFY(!VaultranerProxy::verifyPassphrase("b", "wrong"));
    }

    void failureWithoutMessageIsStillLogged()
    {
        BoxDouble::setResult("box_delete", -999); // box_err gives NULL for this code
        TestSupport::DebugCapture log;
        QVERIFY(!VaultranerProxy::deleteBox("x"));
        QCOMPARE(log.lines().size(), 1);
    }

    void sharedListReadsNamedUsersOnly()
    {
        if (!TestSupport::nssWrapperActive())
            QSKIP("nss_wrapper is not available");
        // Caller is tester (1000). 4242 has no account.
        Box b = box("b", BOX_FLAG_SELF | BOX_FLAG_PLAIN | BOX_FLAG_SHARED);
        b.acl = "u::rwx,u:1000:rwx,u:1001:r-x,u:1002:r--,u:1003:--x,u:1004:-wx,u:1005:rwx,"
                "u:0:-w-,u:600:---,u:4242:rwx,g::r-x,m::rwx,o::r-x";
        BoxDouble::setBoxes({b});
        QList<ShareUser> users;
        const QString out = TestSupport::captureStdout([&] { QVERIFY(VaultranerProxy::getSharedList("tester", "b", users)); });
        QMap<QString, int> perms;
        for (const ShareUser &u : users) {
            QCOMPARE(u.type, 2u);
            perms[u.name] = u.perm;
        }
        QMap<QString, int> expected{{"alice", 5}, {"bob", 5}, {"carol", 5}, {"dave", 5}, {"erin", 7}};
        QCOMPARE(perms, expected);
        QCOMPARE(users[0].uid, 1001u);
        QVERIFY(out.startsWith("Boxes for tester\n"));
        QVERIFY(out.contains("b\tN\tY\tself\t/box/tester/b\n"));
        QVERIFY(out.contains("before passwd id = 1000\npwu id = 1001\nafter passwd id = 1000\n"));
        QCOMPARE(BoxDouble::liveRecords(), 0);
        QCOMPARE(BoxDouble::callNames().back(), std::string("box_info_destroy"));
    }

    void sharedListFailure()
    {
        BoxDouble::setResult("box_get_info", -2);
        QList<ShareUser> users;
        TestSupport::DebugCapture log;
        QVERIFY(!VaultranerProxy::getSharedList("tester", "nope", users));
        QVERIFY(users.isEmpty());
        QVERIFY(log.contains("double error 2"));
    }

    void setSharedListClearsThenAdds()
    {
        BoxDouble::setBoxes({box("b", SELF_PLAIN)});
        QCOMPARE(VaultranerProxy::setSharedList("b", shareUsers({{1001, 5}, {1002, 7}})), 2);
        const auto calls = BoxDouble::calls();
        QCOMPARE(calls[0].func, std::string("box_clear_share"));
        QCOMPARE(calls[1].args, std::vector<std::string>({"b", "5", "1001", "2"}));
        QCOMPARE(calls[2].args, std::vector<std::string>({"b", "7", "1002", "2"}));

        BoxDouble::clearCalls();
        QCOMPARE(VaultranerProxy::setSharedList("b", {}), 0);
        QCOMPARE(BoxDouble::callNames(), std::vector<std::string>({"box_clear_share"}));
    }

    void setSharedListFailures()
    {
        BoxDouble::setBoxes({box("b", SELF_PLAIN)});
        BoxDouble::setResult("box_clear_share", -1);
        QCOMPARE(VaultranerProxy::setSharedList("b", shareUsers({{1001, 5}})), -1);
        QCOMPARE(BoxDouble::callCount("box_add_share"), 0);

        BoxDouble::setResult("box_clear_share", 0);
        BoxDouble::failNthCall("box_add_share", 2, -13);
        TestSupport::DebugCapture log;
        QCOMPARE(VaultranerProxy::setSharedList("b", shareUsers({{1001, 5}, {1002, 7}, {1003, 5}})), 2);
        QCOMPARE(BoxDouble::callCount("box_add_share"), 3);
        QVERIFY(log.lines().contains("b, perm 7, id 1002, type 2: double error 13"));
    }
};

VAULTRANE_TEST_MAIN_WITH_PASSWD(TestProxy)
#include "test_proxy.moc"
