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
