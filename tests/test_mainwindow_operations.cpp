// The main window's box operations end to end: chosen from the selected
// box's menu or a tool button, their dialogs answered as a user would; then
// the box service's calls, the boxes shown, the box selected and the folder
// opened.
#include "Vaultrane.h"

#include "BoxItemDelegate.h"
#include "BoxListWidget.h"
#include "BoxReasons.h"
#include "BoxRules.h"
#include "BoxPswLineEdit.h"
#include "BoxTableModel.h"
#include "BoxTableView.h"
#include "MessageBox.h"
#include "PasswordAuthenticDialog.h"
#include "Startup.h"
#include "TitleBar.h"
#include "box_service.h"
#include "box_service_ext.h"
#include "boxdouble.h"
#include "testsupport.h"

#include <QApplication>
#include <QDesktopServices>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QToolButton>
#include <QtTest>

#include <atomic>
#include <memory>

namespace {

const QStringList kAllBoxes{"plain", "locked", "mounted"};

// "title: text" of a message box; else the class name (plus the password dialog's title).
QString describe(QWidget *w)
{
    if (qobject_cast<MessageBox *>(w))
        return TestSupport::messageOf(w);
    if (qobject_cast<PasswordAuthenticDialog *>(w))
        return "PasswordAuthenticDialog " + w->findChild<TitleBar *>()->m_pTitleLabel->text();
    return w->metaObject()->className();
}

// "pw"/"name:X" types a password/name X and confirms, "close" closes, else a button's text.
void answer(QWidget *w, const QString &a)
{
    if (a == "close")
        return void(w->close());
    if (a == "pw")
        QTest::keyClicks(w->findChild<BoxPswLineEdit *>(), "Secret_1");
    if (QLineEdit *name = a.startsWith("name:") ? w->findChildren<QLineEdit *>().value(0) : nullptr) {
        name->clear();
        QTest::keyClicks(name, a.mid(5));
    }
    TestSupport::childWithText<QPushButton>(w, a == "pw" || a.startsWith("name:") ? "确认" : a)->click();
}

} // namespace

class TestMainWindowOperations : public QObject
{
    Q_OBJECT

    std::unique_ptr<Vaultrane> m_w;
    QTemporaryDir m_dir;
    QList<QUrl> m_opened;
    QStringList m_seen;

    // The folders' names hold a '#', which must stay part of the path.
    QString pathOf(const QString &name) const { return m_dir.filePath(name + " #1"); }

    QAbstractItemView *view() const
    {
        if (m_w->m_mode == Vaultrane::TableMode)
            return m_w->m_pBoxTableView;
        return m_w->m_pBoxListWidget;
    }

    void select(const QString &name)
    {
        const int row = kAllBoxes.indexOf(name);
        if (m_w->m_mode == Vaultrane::IconMode)
            return m_w->m_pBoxListWidget->setCurrentRow(row);
        const QRect cell = view()->visualRect(view()->model()->index(row, 0));
        QTest::mouseClick(view()->viewport(), Qt::LeftButton, Qt::NoModifier, cell.center());
    }

    QStringList shownNames() const
    {
        QStringList names;
        const bool table = m_w->m_mode == Vaultrane::TableMode;
        for (int i = 0; i < (table ? m_w->m_pBoxTableModel->boxCount() : m_w->m_pBoxListWidget->count()); ++i)
            names << (table ? m_w->m_pBoxTableModel->boxAt(i).name : m_w->m_pBoxListWidget->item(i)->text());
        return names;
    }

    // The view, the tool buttons and the bottom bar agree that `name` is
    // selected, or (empty) that nothing is.
    void expectSelected(const QString &name)
    {
        BoxInfo box;
        const bool selected = m_w->selectedBox(box);
        QCOMPARE(selected ? box.name : QString(), name);
        QCOMPARE(m_w->m_pDelBtn->isEnabled(), selected && BoxRules::allows(box, BoxAction::Delete));
        const QString status = m_w->m_pCountLabel->text();
        QVERIFY2(selected || status.contains(QString::number(shownNames().size())), qPrintable(status));
        if (m_w->m_mode == Vaultrane::IconMode) {
            QCOMPARE(m_w->m_pBoxListWidget->selectedItems().size(), selected ? 1 : 0);
            QVERIFY2(!selected || status.contains(box.name), qPrintable(status));
            return;
        }
        const int row = selected ? m_w->m_pBoxTableModel->rowOf(box.name, QString()) : -1;
        QCOMPARE(m_w->m_pBoxItemDelegate->selectedRow(), row);
        QCOMPARE(m_w->m_pBoxTableView->currentIndex().row(), row);
    }

    // Starts an operation as the user does: "menu:X" chooses entry X from the
    // selected box's menu (the Menu key opens it; nothing happens when the
    // menu has no such entry), "button:X" presses tool button X, "about"
    // opens the about box. "reload" and "F5" first delete "plain" as another
    // program would, then the watcher's reload or the F5 key follows. Each
    // modal then gets the next of `answers` (extra ones are recorded as
    // unexpected and closed); m_seen collects them.
    void perform(const QString &how, QStringList answers)
    {
        m_seen.clear();
        QPointer<QWidget> last;
        QTimer poll;
        connect(&poll, &QTimer::timeout, [&] {
            QWidget *w = QApplication::activeModalWidget();
            if (!w || w == last || !w->isVisible())
                return;
            last = w;
            m_seen << (answers.isEmpty() ? "unexpected " : "") + describe(w);
            answer(w, answers.isEmpty() ? "close" : answers.takeFirst());
        });
        poll.start(0);
        const QString what = how.section(':', 1);
        if (how.startsWith("menu:")) {
            QStringList entries;
            TestSupport::onNextMenu(&entries, what);
            QTest::keyClick(view(), Qt::Key_Menu);
        } else if (how.startsWith("button:")) {
            TestSupport::childWithText<QToolButton>(m_w.get(), what)->click();
        } else if (how == "reload" || how == "F5") {
            std::vector<BoxDouble::Box> boxes = BoxDouble::boxes();
            boxes.erase(boxes.begin());
            BoxDouble::setBoxes(boxes);
            if (how == "F5")
                QTest::keyClick(m_w.get(), Qt::Key_F5);
            else
                m_w->slot_reload_boxes();
        } else {
            m_w->slot_about_us();
        }
    }

public slots:
    void openUrl(const QUrl &url) { m_opened << url; }

private slots:
    void initTestCase()
    {
        loadStyleSheet("blue.css");
        QVERIFY(m_dir.isValid());
        QVERIFY(QDir().mkpath(pathOf("plain")) && QDir().mkpath(pathOf("locked")));
        QDesktopServices::setUrlHandler("file", this, "openUrl");
    }

    void cleanupTestCase() { QDesktopServices::unsetUrlHandler("file"); }

    void init()
    {
        const unsigned own = BOX_FLAG_SELF | BOX_FLAG_UNSHARED;
        const unsigned locked = own | BOX_FLAG_ENCRYPTED;
        m_opened.clear();
        m_w = TestSupport::openMainWindow({
            TestSupport::doubleBox("plain", own | BOX_FLAG_PLAIN, pathOf("plain").toStdString()),
            TestSupport::doubleBox("locked", locked, pathOf("locked").toStdString()),
            TestSupport::doubleBox("mounted", locked | BOX_FLAG_MOUNTED),
        });
    }

    void cleanup()
    {
        const QWidgetList left = TestSupport::leftoverTopLevels({m_w.get()});
        QVERIFY2(left.isEmpty(), left.isEmpty() ? "" : left.first()->metaObject()->className());
        m_w.reset();
    }

    // Table or icons, the box selected before, how the operation starts, a
    // box service call that fails (-5), the answers, the calls made (each
    // operation first reads the selected box's state anew; box_get_list at
    // the end: a reload), the modals seen, the boxes shown after (empty:
    // unchanged), the box selected after, whose folder opens. Lists are
    // '|'-separated.
    void operations_data()
    {
        QTest::addColumn<bool>("table");
        for (const char *column : {"before", "how", "failing", "answers", "calls", "seen", "names", "after", "opened"})
            QTest::addColumn<QString>(column);
        auto row = [](const char *name, bool table, const char *before, const char *how, const char *failing,
                      const char *answers, const char *calls, const QString &seen, const char *names,
                      const char *after, const char *opened = "") {
            QTest::newRow(name) << table << QString(before) << QString(how) << QString(failing) << QString(answers)
                                << QString(calls) << seen << QString(names) << QString(after) << QString(opened);
        };
        const QString ask = "询问: 删除操作不可逆，是否确认删除保护箱 “plain” ？";
        const QString check = "PasswordAuthenticDialog 密码认证";
        const QString mount = "PasswordAuthenticDialog 保护箱挂载";
        const char *reRead = "box_get_list";
        row("delete plain, 取消", false, "plain", "menu:删除", "", "取消", reRead, ask, "", "plain");
        row("delete plain, 确认", true, "plain", "button:删除", "", "确认", "box_get_list box_delete box_get_list",
            ask, "locked,mounted", "");
        row("delete encrypted", false, "locked", "menu:删除", "", "pw",
            "box_get_list box_crypto_verify_passphrase box_delete box_get_list", check, "plain,mounted", "");
        row("delete mounted", false, "mounted", "menu:删除", "", "", "", "", "", "mounted");
        row("delete fails", false, "plain", "menu:删除", "box_delete", "确认|确认", "box_get_list box_delete box_get_list",
            ask + "|警告: 保护箱 “plain” 删除失败！", "", "plain");
        row("create", false, "", "button:新建", "", "name:fresh", "box_create box_get_list", "CreateBoxDialog",
            "plain,locked,mounted,fresh", "fresh");
        row("create (table)", true, "", "button:新建", "", "name:fresh", "box_create box_get_list", "CreateBoxDialog",
            "plain,locked,mounted,fresh", "fresh");
        row("create, cancelled", true, "", "button:新建", "", "取消", "", "CreateBoxDialog", "", "");
        row("mount encrypted", false, "locked", "menu:挂载", "", "pw", "box_get_list box_crypto_mount box_get_list",
            mount, "", "locked", "locked");
        row("mount, cancelled", true, "locked", "menu:挂载", "", "取消", reRead, mount, "", "locked");
        row("unmount", true, "mounted", "menu:卸载", "", "", "box_get_list box_crypto_umount box_get_list", "", "",
            "mounted");
        row("unmount fails", false, "mounted", "menu:卸载", "box_crypto_umount", "确认",
            "box_get_list box_crypto_umount box_get_list", "提示: 保护箱 “mounted” 卸载失败！", "", "mounted");
        row("rename", false, "plain", "menu:重命名", "", "name:renamed", "box_get_list box_change_name box_get_list",
            "RenameBoxDialog", "renamed,locked,mounted", "renamed");
        row("rename, cancelled", true, "plain", "menu:重命名", "", "取消", reRead, "RenameBoxDialog", "", "plain");
        row("password, encrypted", false, "locked", "menu:密码设置", "", "取消", "box_get_list box_get_list",
            "ChangeBoxLockedDialog", "", "locked");
        row("password, plain", true, "plain", "menu:密码设置", "", "取消", "box_get_list box_get_list",
            "CreateBoxLockedDialog", "", "plain");
        row("share encrypted, 取消", false, "locked", "menu:共享", "", "pw|取消",
            "box_get_list box_crypto_verify_passphrase box_get_info box_get_list",
            check + "|PrivilegeSharedBoxDialog", "", "locked");
        row("share, loading fails", false, "plain", "menu:共享", "box_get_info", "确认", "box_get_list box_get_info",
            "提示: 加载共享用户列表失败！", "", "plain");
        row("about", false, "", "about", "", "close", "", "AboutDialog", "", "");
        // A reload keeps the selected box selected by name.
        row("changed elsewhere", false, "locked", "reload", "", "", "box_get_list", "", "locked,mounted", "locked");
        row("F5 (table)", true, "locked", "F5", "", "", "box_get_list", "", "locked,mounted", "locked");
    }

    void operations()
    {
        QFETCH(bool, table);
        QFETCH(QString, before);
        QFETCH(QString, how);
        QFETCH(QString, failing);
        QFETCH(QString, answers);
        QFETCH(QString, calls);
        QFETCH(QString, seen);
        QFETCH(QString, names);
        QFETCH(QString, after);
        QFETCH(QString, opened);
        if (table)
            m_w->slot_show_table_mode(true);
        if (!before.isEmpty())
            select(before);
        if (!failing.isEmpty())
            BoxDouble::setResult(failing.toStdString(), -5);
        BoxDouble::clearCalls();

        perform(how, answers.split('|', Qt::SkipEmptyParts));
        QCOMPARE(m_seen.join('|'), seen);
        QCOMPARE(TestSupport::callLog(false), calls);
        QCOMPARE(shownNames().join(','), names.isEmpty() ? kAllBoxes.join(',') : names);
        expectSelected(after);
        QCOMPARE(m_opened, opened.isEmpty() ? QList<QUrl>() : QList<QUrl>{QUrl::fromLocalFile(pathOf(opened))});
    }

    // The agent unmounted "mounted" before the window heard of it: 卸载 is
    // refused for the box's present state, and the view then shows it.
    void staleStateGivesThePresentReason()
    {
        select("mounted");
        std::vector<BoxDouble::Box> boxes = BoxDouble::boxes();
        boxes.back().flags &= ~BOX_FLAG_MOUNTED;
        BoxDouble::setBoxes(boxes);
        BoxDouble::clearCalls();

        perform("menu:卸载", {"确认"});

        QCOMPARE(m_seen.size(), 1);
        QCOMPARE(BoxDouble::callCount("box_crypto_umount"), 0);
        QTRY_VERIFY(!m_w->m_pBoxListWidget->currentBoxInfo().mounted);
        QCOMPARE(m_w->m_pBoxListWidget->currentBoxInfo().name, QString("mounted"));
    }

    // A box operation on a worker holds the box service: a change noticed
    // meanwhile is shown after it, instead of the window waiting for it.
    void reloadWaitsForARunningOperation()
    {
        std::atomic<bool> release{false};
        BoxWorker worker;
        QSignalSpy finished(&worker, &BoxWorker::finished);
        QVERIFY(worker.start([&release] {
            while (!release)
                QThread::msleep(1);
            return BoxResult::success();
        }));
        BoxDouble::clearCalls();

        m_w->slot_reload_boxes();
        QCOMPARE(BoxDouble::callCount("box_get_list"), 0);

        release = true;
        QVERIFY(finished.wait());
        m_w->reloadIfDeferred();
        QTRY_COMPARE(BoxDouble::callCount("box_get_list"), 1);
    }

    // A reload leaves the keyboard on the tool button the user has reached:
    // the icon view's passing "no box" while it refills moves nothing.
    void reloadKeepsTheFocusedButton()
    {
        select("plain");
        m_w->m_pDelBtn->setFocus(Qt::TabFocusReason);
        QCOMPARE(m_w->focusWidget(), m_w->m_pDelBtn);

        m_w->slot_reload_boxes();

        QCOMPARE(m_w->focusWidget(), m_w->m_pDelBtn);
        QVERIFY(m_w->m_pDelBtn->isEnabled());
    }

    // A list that cannot be read leaves the view as it was and says why.
    void listFailureIsShown()
    {
        select("locked");
        BoxDouble::setResult("box_get_list", -16);
        BoxDouble::setReason(-16, BOX_REASON_BUSY);
        m_w->slot_reload_boxes();

        QCOMPARE(shownNames(), kAllBoxes);
        QVERIFY(m_w->m_pCountLabel->toolTip().contains(BoxReasons::text(BOX_REASON_BUSY)));
    }
};

// The share dialog lists the accounts of the test password database.
VAULTRANE_TEST_MAIN_WITH_PASSWD(TestMainWindowOperations)
#include "test_mainwindow_operations.moc"
