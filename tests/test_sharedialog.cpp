// The share dialog over its own password database (nss_wrapper).
#include "BoxOutcomes.h"
#include "MessageBox.h"
#include "PrivilegeSharedBoxDialog.h"

#include "boxdouble.h"
#include "box_service.h"
#include "testsupport.h"

#include <QPushButton>
#include <QRadioButton>
#include <QTableWidget>
#include <QTimer>
#include <QtTest>

#include <memory>

#include <pwd.h>
#include <unistd.h>

using TestSupport::childWithText;

namespace {

const char *const kReadOnly = "仅读取";
const char *const kReadWrite = "可读写";

// "name:uid ..." of data/share_passwd less the account running the tests.
QStringList offeredAccounts(const QString &accounts)
{
    QStringList names;
    for (const QString &a : accounts.split(' '))
        if (a.section(':', 1).toUInt() != getuid())
            names << a.section(':', 0, 0);
    return names;
}

// The user's box "team": alice may read it, bob may read and write.
BoxInfo makeBox()
{
    const std::string acl = "u::rwx,u:1001:r-x,u:1002:rwx,g::---,m::rwx,o::---";
    BoxDouble::addBox({"team", "/box/runner/team", "runner", BOX_FLAG_SELF | BOX_FLAG_PLAIN | BOX_FLAG_SHARED, acl});
    BoxInfo box;
    box.name = "team";
    box.owner = "runner";
    return box;
}

QTableWidget *table(QWidget *dialog) { return dialog->findChild<QTableWidget *>(); }

QStringList offeredNames(QWidget *dialog)
{
    QStringList names;
    for (int row = 0; row < table(dialog)->rowCount(); ++row)
        if (QTableWidgetItem *item = table(dialog)->item(row, 1))
            names << item->text();
    return names;
}

QRadioButton *choice(QWidget *dialog, const QString &name, const char *which)
{
    const int column = QString(which) == kReadOnly ? 2 : 3;
    return qobject_cast<QRadioButton *>(table(dialog)->cellWidget(offeredNames(dialog).indexOf(name), column));
}

QString ticks(QWidget *dialog, const QString &name)
{
    const bool readOnly = choice(dialog, name, kReadOnly)->isChecked();
    const bool readWrite = choice(dialog, name, kReadWrite)->isChecked();
    return readOnly && readWrite ? "both" : readOnly ? kReadOnly : readWrite ? kReadWrite : "";
}

} // namespace

class TestShareDialog : public QObject
{
    Q_OBJECT

    PrivilegeSharedBoxDialog *m_dialog = nullptr; // one that is never run (a run one deletes itself)
    static PrivilegeSharedBoxDialog *open()
    {
        std::unique_ptr<PrivilegeSharedBoxDialog> dialog(new PrivilegeSharedBoxDialog(makeBox(), nullptr));
        return dialog->initData() == 0 ? dialog.release() : nullptr;
    }

private slots:
    void initTestCase()
    {
        if (!TestSupport::nssWrapperActive())
            QSKIP("needs libnss-wrapper (NSS_WRAPPER_LIBRARY) and VAULTRANE_TEST_DATA, as ctest sets them");
        QVERIFY2(getpwnam("alice"), "nss_wrapper does not serve the test password database");
    }

    void init()
    {
        BoxDouble::reset();
        BoxDouble::setCaller(getuid(), "runner");
        m_dialog = nullptr;
    }

    void cleanup()
    {
        delete m_dialog;
        QVERIFY(TestSupport::modalHandlersDone());
        QVERIFY(TestSupport::leftoverTopLevels().isEmpty());
    }

    // People with a login shell are offered, the caller not (which accounts
    // count is core's rule), ticked as the box's access says. One choice per
    // row: a tick moves, and a ticked choice unticks.
    void candidatesAndTicks()
    {
        m_dialog = open();
        QVERIFY(m_dialog);
        QCOMPARE(offeredNames(m_dialog), offeredAccounts("root:0 alice:1001 bob:1002 carol:1000 dave:1007"));
        const auto all = [this] {
            return QStringList{ticks(m_dialog, "alice"), ticks(m_dialog, "bob"), ticks(m_dialog, "carol")};
        };
        QCOMPARE(all(), (QStringList{kReadOnly, kReadWrite, ""}));
        choice(m_dialog, "alice", kReadWrite)->click();
        QCOMPARE(all(), (QStringList{kReadWrite, kReadWrite, ""}));
        choice(m_dialog, "alice", kReadWrite)->click();
        choice(m_dialog, "carol", kReadOnly)->click();
        QCOMPARE(all(), (QStringList{"", kReadWrite, kReadOnly}));
    }

    void apply_data()
    {
        QTest::addColumn<int>("clearResult");
        QTest::addColumn<int>("failingAdd");
        QTest::addColumn<QString>("message");
        QTest::newRow("all written") << 0 << 0 << "完成: " + BoxOutcomes::sharesApplied("team");
        QTest::newRow("one fails") << 0 << 2 << "警告: " + BoxOutcomes::sharesPartlyApplied("team");
        QTest::newRow("clearing fails") << -5 << 0 << "警告: " + BoxOutcomes::failed(BoxOperation::Share, "team");
    }

    // 应用 clears the shares, adds one per ticked row, reports, and accepts
    // whatever the outcome.
    void apply()
    {
        QFETCH(int, clearResult);
        QFETCH(int, failingAdd);
        QFETCH(QString, message);
        PrivilegeSharedBoxDialog *dialog = open();
        QVERIFY(dialog);
        choice(dialog, "alice", kReadOnly)->click(); // alice loses her share
        choice(dialog, "carol", kReadWrite)->click();
        BoxDouble::clearCalls();
        BoxDouble::setResult("box_clear_share", clearResult);
        if (failingAdd)
            BoxDouble::failNthCall("box_add_share", failingAdd, -5);
        QString shown;
        TestSupport::onModals({
            [](QWidget *w) { childWithText<QPushButton>(w, "应用")->click(); },
            [&](QWidget *w) { shown = TestSupport::answerMessage(w); },
        });
        QCOMPARE(dialog->exec(), 1);
        QCOMPARE(shown, message);
        // Bob keeps read-write, carol gets it; the shares are read again afterwards.
        const QString adds = " box_add_share(team,7,1002,2) box_add_share(team,7,1000,2)";
        QCOMPARE(TestSupport::callLog(), "box_clear_share(team)" + (clearResult ? "" : adds) + " box_get_info(runner,team)");
    }

    // Leaving the dialog changes no share.
    void cancelAndCloseAccept()
    {
        const QList<QPair<std::function<void(QWidget *)>, int>> endings{
            {[](QWidget *w) { childWithText<QPushButton>(w, "取消")->click(); }, 1},
            {TestSupport::pressClose, 1},
            {[](QWidget *w) { QTest::keyClick(w, Qt::Key_Escape); }, 0},
        };
        // A message box would mean that something was applied: it is closed,
        // so that the test fails rather than waits.
        QTimer closer;
        connect(&closer, &QTimer::timeout, [] {
            if (auto *box = qobject_cast<MessageBox *>(QApplication::activeModalWidget()))
                box->close();
        });
        closer.start(50);
        for (const auto &e : endings) {
            PrivilegeSharedBoxDialog *dialog = open();
            QVERIFY(dialog);
            TestSupport::onNextModal(e.first);
            QCOMPARE(dialog->exec(), e.second);
        }
        QCOMPARE(BoxDouble::callCount("box_clear_share") + BoxDouble::callCount("box_add_share"), 0);
    }
};

int main(int argc, char **argv)
{
    TestSupport::useTestPasswdDatabase(argc, argv, "share_passwd", "share_group");
    QApplication app(argc, argv);
    app.setAttribute(Qt::AA_Use96Dpi, true);
    TestShareDialog test;
    QTEST_SET_MAIN_SOURCE_PATH
    return QTest::qExec(&test, argc, argv);
}

#include "test_sharedialog.moc"
