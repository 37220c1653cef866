#include "PrivilegeSharedBoxDialog.h"

#include "TitleBar.h"
#include "boxdouble.h"
#include "box_service.h"
#include "testsupport.h"

#include <QFile>
#include <QLabel>
#include <QPushButton>
#include <QRadioButton>
#include <QTableWidget>
#include <QTemporaryDir>
#include <QtTest>

#include <cstdio>
#include <pwd.h>
#include <sys/wait.h>
#include <unistd.h>

using TestSupport::childWithText;

namespace {

const char *const kBoxName = "team";
const char *const kReadOnly = "仅读取";
const char *const kReadWrite = "可读写";

// The accounts of data/share_passwd that the dialog offers, in file order.
// "runner" carries the uid of whoever runs the tests and is never offered.
struct Account {
    const char *name;
    uid_t uid;
};
const Account kOffered[] = {{"root", 0}, {"alice", 1001}, {"bob", 1002}, {"carol", 1000}, {"dave", 1007}};
const Account kOfferedWithSecurity[] = {{"root", 0},   {"secadm", 600}, {"alice", 1001}, {"audadm", 700},
                                        {"bob", 1002}, {"carol", 1000}, {"dave", 1007}};

template <size_t N> QStringList expectedNames(const Account (&accounts)[N])
{
    QStringList names;
    for (const Account &a : accounts)
        if (a.uid != getuid())
            names << a.name;
    return names;
}

// Runs this program once more with LD_PRELOAD set to nss_wrapper and the
// password database of the test data (the real uid filled in), since the
// preload only takes effect when a process starts. Returns the exit code of
// that run, or -1 in the process that is to run the tests itself.
int runUnderNssWrapper(char **argv)
{
    if (qEnvironmentVariableIsSet("NSS_WRAPPER_PASSWD"))
        return -1;
    const QByteArray library = qgetenv("NSS_WRAPPER_LIBRARY");
    const QByteArray data = qgetenv("VAULTRANE_TEST_DATA");
    if (library.isEmpty() || !QFile::exists(QString::fromLocal8Bit(library)) || data.isEmpty())
        return -1; // the tests skip themselves
    QTemporaryDir dir;
    QFile passwdIn(QString::fromLocal8Bit(data) + "/share_passwd");
    QFile groupIn(QString::fromLocal8Bit(data) + "/share_group");
    QFile passwdOut(dir.filePath("passwd"));
    QFile groupOut(dir.filePath("group"));
    if (!dir.isValid() || !passwdIn.open(QIODevice::ReadOnly) || !groupIn.open(QIODevice::ReadOnly)
        || !passwdOut.open(QIODevice::WriteOnly) || !groupOut.open(QIODevice::WriteOnly)) {
        std::fprintf(stderr, "cannot prepare the password database for nss_wrapper\n");
        return 1;
    }
    passwdOut.write(passwdIn.readAll().replace("@SELF_UID@", QByteArray::number(uint(getuid()))));
    groupOut.write(groupIn.readAll());
    passwdOut.close();
    groupOut.close();

    QByteArray preload = library;
    if (!qgetenv("LD_PRELOAD").isEmpty())
        preload += ":" + qgetenv("LD_PRELOAD");
    qputenv("LD_PRELOAD", preload);
    qputenv("NSS_WRAPPER_PASSWD", QFile::encodeName(passwdOut.fileName()));
    qputenv("NSS_WRAPPER_GROUP", QFile::encodeName(groupOut.fileName()));
    std::fflush(nullptr);
    const pid_t child = fork();
    if (child == 0) {
        execv("/proc/self/exe", argv);
        _exit(127);
    }
    int status = 0;
    if (child < 0 || waitpid(child, &status, 0) != child)
        return 1;
    return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
}

BoxInfo makeBox(const std::string &acl)
{
    BoxDouble::Box b;
    b.name = kBoxName;
    b.owner = "runner";
    b.path = std::string("/box/runner/") + kBoxName;
    b.flags = BOX_FLAG_SELF | BOX_FLAG_PLAIN | BOX_FLAG_SHARED;
    b.acl = acl;
    BoxDouble::addBox(b);

    BoxInfo box;
    box.name = kBoxName;
    box.owner = "runner";
    box.path = QString::fromStdString(b.path);
    box.flags = quint8(b.flags);
    box.shared = 1;
    return box;
}

QTableWidget *table(QWidget *dialog) { return dialog->findChild<QTableWidget *>(); }

QStringList offeredNames(QWidget *dialog)
{
    QStringList names;
    QTableWidget *t = table(dialog);
    for (int row = 0; row < t->rowCount(); ++row)
        if (QTableWidgetItem *item = t->item(row, 1))
            names << item->text();
    return names;
}

int rowOf(QWidget *dialog, const QString &name) { return offeredNames(dialog).indexOf(name); }

QRadioButton *choice(QWidget *dialog, const QString &name, const char *which)
{
    const int column = QString(which) == kReadOnly ? 2 : 3;
    return qobject_cast<QRadioButton *>(table(dialog)->cellWidget(rowOf(dialog, name), column));
}

// "仅读取", "可读写" or "" for the ticks of one row; "both" would be a fault.
QString ticks(QWidget *dialog, const QString &name)
{
    const bool ro = choice(dialog, name, kReadOnly)->isChecked();
    const bool rw = choice(dialog, name, kReadWrite)->isChecked();
    return ro && rw ? "both" : ro ? kReadOnly : rw ? kReadWrite : "";
}

// Answers a MessageBox with 确认; returns "title: text".
QString answerMessage(QWidget *box)
{
    QString text;
    for (QLabel *l : box->findChildren<QLabel *>())
        if (l->wordWrap())
            text = l->text();
    const QString title = box->findChild<TitleBar *>()->m_pTitleLabel->text();
    childWithText<QPushButton>(box, "确认")->click();
    return title + ": " + text;
}

// Presses 应用 and answers the message; returns exec()'s result.
int apply(QDialog *dialog, QString *message)
{
    TestSupport::onModals({
        [](QWidget *w) { childWithText<QPushButton>(w, "应用")->click(); },
        [=](QWidget *w) { *message = answerMessage(w); },
    });
    return dialog->exec();
}

std::vector<std::vector<std::string>> callsOf(const std::string &func)
{
    std::vector<std::vector<std::string>> found;
    for (const auto &c : BoxDouble::calls())
        if (c.func == func)
            found.push_back(c.args);
    return found;
}

} // namespace

class TestShareDialog : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase();
    void init();
    void cleanup();

    void candidates_data();
    void candidates();
    void tickRules();
    void applyWritesTickedUsers();
    void applyReports_data();
    void applyReports();
    void cancelAndCloseAccept();
    void loadingFailure();

private:
    PrivilegeSharedBoxDialog *open(const std::string &acl);
    PrivilegeSharedBoxDialog *m_dialog = nullptr;
};

void TestShareDialog::initTestCase()
{
    if (!qEnvironmentVariableIsSet("NSS_WRAPPER_PASSWD"))
        QSKIP("needs libnss-wrapper (NSS_WRAPPER_LIBRARY) and VAULTRANE_TEST_DATA, as ctest sets them");
    QVERIFY2(getpwnam("alice"), "nss_wrapper does not serve the test password database");
}

void TestShareDialog::init()
{
    TestSupport::resetDouble();
    BoxDouble::setCaller(getuid(), "runner");
    m_dialog = nullptr;
}

void TestShareDialog::cleanup()
{
    delete m_dialog; // one that was never run
    QVERIFY(TestSupport::modalHandlersDone());
    QVERIFY(TestSupport::leftoverTopLevels().isEmpty());
}

// A dialog with its data loaded; one that the test runs deletes itself.
PrivilegeSharedBoxDialog *TestShareDialog::open(const std::string &acl)
{
    auto *dialog = new PrivilegeSharedBoxDialog(makeBox(acl), nullptr);
    if (dialog->initData() != 0) {
        delete dialog;
        return nullptr;
    }
    return dialog;
}

void TestShareDialog::candidates_data()
{
    QTest::addColumn<int>("security");
    QTest::addColumn<QStringList>("names");
    QTest::newRow("security function off") << 0 << expectedNames(kOffered);
    QTest::newRow("security function on") << 1 << expectedNames(kOfferedWithSecurity);
}

void TestShareDialog::candidates()
{
    QFETCH(int, security);
    QFETCH(QStringList, names);
    BoxDouble::setSecurityFunctionStatus(security);
    m_dialog = open("u::rwx,g::---,o::---");
    QVERIFY(m_dialog);
    QCOMPARE(offeredNames(m_dialog), names);
    QCOMPARE(table(m_dialog)->rowCount(), names.size() + 3);
    for (const QString &name : names)
        QCOMPARE(ticks(m_dialog, name), QString());
    for (const auto &args : callsOf("zavrit_get_func_status"))
        QCOMPARE(args.at(0), std::string("3"));
}

void TestShareDialog::tickRules()
{
    m_dialog = open("u::rwx,u:1001:r-x,u:1002:rwx,g::---,m::rwx,o::---");
    QVERIFY(m_dialog);
    QCOMPARE(ticks(m_dialog, "alice"), QString(kReadOnly));
    QCOMPARE(ticks(m_dialog, "bob"), QString(kReadWrite));
    QCOMPARE(ticks(m_dialog, "carol"), QString());

    choice(m_dialog, "alice", kReadWrite)->click();
    QCOMPARE(ticks(m_dialog, "alice"), QString(kReadWrite));
    choice(m_dialog, "alice", kReadWrite)->click(); // a ticked choice unticks
    QCOMPARE(ticks(m_dialog, "alice"), QString());
    choice(m_dialog, "carol", kReadOnly)->click();
    QCOMPARE(ticks(m_dialog, "carol"), QString(kReadOnly));
    QCOMPARE(ticks(m_dialog, "bob"), QString(kReadWrite)); // rows are independent
}

void TestShareDialog::applyWritesTickedUsers()
{
    PrivilegeSharedBoxDialog *dialog = open("u::rwx,u:1001:r-x,u:1002:rwx,g::---,m::rwx,o::---");
    QVERIFY(dialog);
    choice(dialog, "alice", kReadOnly)->click(); // alice loses her share
    choice(dialog, "carol", kReadWrite)->click();
    BoxDouble::clearCalls();
    QString message;
    QCOMPARE(apply(dialog, &message), 1);
    QCOMPARE(message, QString("完成: 保护箱 “team” 设置共享权限成功！"));
    QCOMPARE(callsOf("box_clear_share"), (std::vector<std::vector<std::string>>{{"team"}}));
    QCOMPARE(callsOf("box_add_share"),
             (std::vector<std::vector<std::string>>{{"team", "7", "1002", "2"}, {"team", "7", "1000", "2"}}));
    // The shares were read again after writing them.
    QCOMPARE(BoxDouble::callNames().back(), std::string("box_info_destroy"));
}

void TestShareDialog::applyReports_data()
{
    QTest::addColumn<int>("clearResult");
    QTest::addColumn<int>("addResult");
    QTest::addColumn<int>("failingAdd");
    QTest::addColumn<bool>("tickNone");
    QTest::addColumn<QString>("message");
    QTest::addColumn<int>("adds");
    const QString done = "完成: 保护箱 “team” 设置共享权限成功！";
    const QString partly = "警告: 保护箱 “team” 部分用户权限共享失败，请重新共享！";
    QTest::newRow("none fail") << 0 << 0 << 0 << false << done << 2;
    QTest::newRow("nothing ticked") << 0 << 0 << 0 << true << done << 0;
    QTest::newRow("one fails") << 0 << 0 << 2 << false << partly << 2;
    QTest::newRow("all fail") << 0 << -5 << 0 << false << partly << 2;
    QTest::newRow("clearing fails") << -5 << 0 << 0 << false << "警告: 保护箱 “team” 设置共享权限失败！" << 0;
}

void TestShareDialog::applyReports()
{
    QFETCH(int, clearResult);
    QFETCH(int, addResult);
    QFETCH(int, failingAdd);
    QFETCH(bool, tickNone);
    QFETCH(QString, message);
    QFETCH(int, adds);
    PrivilegeSharedBoxDialog *dialog = open("u::rwx,u:1001:r-x,u:1002:rwx,g::---,m::rwx,o::---");
    QVERIFY(dialog);
    if (tickNone) {
        choice(dialog, "alice", kReadOnly)->click();
        choice(dialog, "bob", kReadWrite)->click();
    }
    BoxDouble::setResult("box_clear_share", clearResult);
    BoxDouble::setResult("box_add_share", addResult);
    if (failingAdd)
        BoxDouble::failNthCall("box_add_share", failingAdd, -5);
    QString shown;
    QCOMPARE(apply(dialog, &shown), 1);
    QCOMPARE(shown, message);
    QCOMPARE(BoxDouble::callCount("box_clear_share"), 1);
    QCOMPARE(BoxDouble::callCount("box_add_share"), adds);
}

void TestShareDialog::cancelAndCloseAccept()
{
    PrivilegeSharedBoxDialog *dialog = open("u::rwx,u:1001:r-x,g::---,m::rwx,o::---");
    QVERIFY(dialog);
    TestSupport::onNextModal([](QWidget *w) { childWithText<QPushButton>(w, "取消")->click(); });
    QCOMPARE(dialog->exec(), 1);

    dialog = open("u::rwx,u:1001:r-x,g::---,m::rwx,o::---");
    QVERIFY(dialog);
    TestSupport::onNextModal([](QWidget *w) { w->findChild<TitleBar *>()->m_pCloseBtn->click(); });
    QCOMPARE(dialog->exec(), 1);

    dialog = open("u::rwx,u:1001:r-x,g::---,m::rwx,o::---");
    QVERIFY(dialog);
    TestSupport::onNextModal([](QWidget *w) { QTest::keyClick(w, Qt::Key_Escape); });
    QCOMPARE(dialog->exec(), 0);

    QCOMPARE(BoxDouble::callCount("box_clear_share"), 0);
    QCOMPARE(BoxDouble::callCount("box_add_share"), 0);
}

void TestShareDialog::loadingFailure()
{
    // A box without a name is not even asked for.
    m_dialog = new PrivilegeSharedBoxDialog(BoxInfo{}, nullptr);
    QCOMPARE(m_dialog->initData(), -1);
    QVERIFY(BoxDouble::calls().empty());
    delete m_dialog;

    makeBox("u::rwx,g::---,o::---");
    BoxInfo box;
    box.name = kBoxName;
    box.owner = "runner";
    BoxDouble::setResult("box_get_info", -5);
    TestSupport::DebugCapture log;
    m_dialog = new PrivilegeSharedBoxDialog(box, nullptr);
    QCOMPARE(m_dialog->initData(), -1);
    QVERIFY(log.contains("PrivilegeSharedBoxDialog::loadSharedUsers VaultranerProxy::getSharedList failed"));
    QCOMPARE(table(m_dialog)->rowCount(), 0);
}

int main(int argc, char **argv)
{
    const int wrapped = runUnderNssWrapper(argv);
    if (wrapped >= 0)
        return wrapped;
    QApplication app(argc, argv);
    app.setAttribute(Qt::AA_Use96Dpi, true);
    TestShareDialog test;
    QTEST_SET_MAIN_SOURCE_PATH
    return QTest::qExec(&test, argc, argv);
}

#include "test_sharedialog.moc"
