// The main window on the box service's test double: its two views, the
// keyboard and screen readers, and the wiring of the box operations (what
// each operation does to the boxes is core's: test_boxcore).
#include "Vaultrane.h"

#include "BoxItemDelegate.h"
#include "BoxListWidget.h"
#include "BoxOutcomes.h"
#include "BoxPswLineEdit.h"
#include "BoxTableModel.h"
#include "BoxTableView.h"
#include "MessageBox.h"
#include "Startup.h"
#include "box_service.h"
#include "boxdouble.h"
#include "testsupport.h"

#include <QAccessible>
#include <QAccessibleTableInterface>
#include <QApplication>
#include <QDesktopServices>
#include <QLineEdit>
#include <QPushButton>
#include <QToolButton>
#include <QtTest>

#include <atomic>
#include <memory>

using TestSupport::sendMouse;

namespace {

// One box of each kind the views tell apart, in the order of the fixture's.
const QStringList kAllBoxes{"plain", "locked", "mounted", "theirs", "their safe"};

QString accessibleText(QObject *object, QAccessible::Text which)
{
    QAccessibleInterface *iface = QAccessible::queryAccessibleInterface(object);
    return iface ? iface->text(which) : QString("<no interface>");
}

// "title: text" of a message box; else the class name.
QString describe(QWidget *modal)
{
    if (qobject_cast<MessageBox *>(modal))
        return TestSupport::messageOf(modal);
    return modal->metaObject()->className();
}

// "pw"/"name:X" types a password/name X and confirms, "close" closes, else
// a button's text is pressed.
void answer(QWidget *modal, const QString &reply)
{
    if (reply == "close")
        return void(modal->close());
    if (reply == "pw")
        QTest::keyClicks(modal->findChild<BoxPswLineEdit *>(), "Secret_1");
    const bool typesName = reply.startsWith("name:");
    if (typesName) {
        QLineEdit *name = modal->findChildren<QLineEdit *>().value(0);
        name->clear();
        QTest::keyClicks(name, reply.mid(5));
    }
    TestSupport::childWithText<QPushButton>(modal, reply == "pw" || typesName ? "确认" : reply)->click();
}

} // namespace

class TestMainWindow : public QObject
{
    Q_OBJECT

    std::unique_ptr<Vaultrane> m_w;
    QTemporaryDir m_dir;
    QTemporaryDir m_configHome;
    QList<QUrl> m_opened;
    QStringList m_seen;

    // The folders' names hold characters a URL gives a meaning to, which
    // must stay part of the path.
    QString pathOf(const QString &name) const { return m_dir.filePath(name + " #1?%20"); }
    std::string folderOf(const QString &name) const { return pathOf(name).toStdString(); }

    bool tableShown() const { return m_w->m_mode == Vaultrane::TableMode; }

    QAbstractItemView *view() const
    {
        if (tableShown())
            return m_w->m_pBoxTableView;
        return m_w->m_pBoxListWidget;
    }

    // How many of 删除, 密码设置 and 共享设置 are enabled.
    int enabledOps() const
    {
        return int(m_w->m_pDelBtn->isEnabled()) + int(m_w->m_pLockedBtn->isEnabled())
               + int(m_w->m_pSharedBtn->isEnabled());
    }
    bool encryptShown() const { return !m_w->m_pEncryptAttrBtn->isHidden(); }
    bool shareShown() const { return !m_w->m_pShareAttrBtn->isHidden(); }
    int framedRow() const { return m_w->m_pBoxItemDelegate->selectedRow(); }
    void toTable() { QTest::mouseClick(m_w->m_pTableModeBtn, Qt::LeftButton); }
    void toIcons() { QTest::mouseClick(m_w->m_pIconModeBtn, Qt::LeftButton); }
    int loads() const { return BoxDouble::callCount("box_get_list"); }

    // The centre of `row` (in the table: in its last column), or where no
    // box is (the bottom right corner) for -1.
    QPoint pointOf(int row) const
    {
        if (row < 0)
            return QPoint(view()->viewport()->width() - 20, view()->viewport()->height() - 10);
        view()->doItemsLayout();
        const int column = tableShown() ? view()->model()->columnCount() - 1 : 0;
        return view()->visualRect(view()->model()->index(row, column)).center();
    }

    void clickOn(int row) { QTest::mouseClick(view()->viewport(), Qt::LeftButton, Qt::NoModifier, pointOf(row)); }

    void select(const QString &name) { clickOn(kAllBoxes.indexOf(name)); }

    // Gives the view the keyboard focus and makes `row` current through the
    // keyboard: Home, then Down (Right among the icons) as often as needed.
    void selectByKeyboard(int row)
    {
        view()->setFocus();
        QTest::keyClick(view(), Qt::Key_Home);
        for (int step = 0; step < row; ++step)
            QTest::keyClick(view(), tableShown() ? Qt::Key_Down : Qt::Key_Right);
        QCOMPARE(view()->currentIndex().row(), row);
    }

    QStringList shownNames() const
    {
        QStringList names;
        const int count = tableShown() ? m_w->m_pBoxTableModel->boxCount() : m_w->m_pBoxListWidget->count();
        for (int row = 0; row < count; ++row)
            names << (tableShown() ? m_w->m_pBoxTableModel->boxAt(row).name : m_w->m_pBoxListWidget->item(row)->text());
        return names;
    }

    // The view, the tool buttons, the bottom bar and the table's frame agree
    // that `name` is selected, or (empty) that nothing is.
    void expectSelected(const QString &name)
    {
        BoxInfo box;
        const bool selected = m_w->selectedBox(box);
        QCOMPARE(selected ? box.name : QString(), name);
        if (!selected) {
            QCOMPARE(enabledOps(), 0);
            QVERIFY(!encryptShown() && !shareShown());
        }
        if (!tableShown()) {
            QCOMPARE(m_w->m_pBoxListWidget->selectedItems().size(), selected ? 1 : 0);
            return;
        }
        const int row = selected ? shownNames().indexOf(name) : -1;
        QCOMPARE(framedRow(), row);
        QCOMPARE(m_w->m_pBoxTableView->currentIndex().row(), row);
    }

    // Starts an operation as the user does: "menu:X" chooses entry X from the
    // selected box's menu (the Menu key opens it), "button:X" presses tool
    // button X, "double-click" lands on the selected box (or on empty
    // space), "Return" is pressed in the view, "F5" first deletes "plain" as
    // another program would. Each modal then gets the next of `answers`
    // (extra ones are recorded as unexpected and closed); m_seen collects them.
    void perform(const QString &how, QStringList answers)
    {
        m_seen.clear();
        QPointer<QWidget> last;
        QTimer poll;
        connect(&poll, &QTimer::timeout, [&] {
            QWidget *modal = QApplication::activeModalWidget();
            if (!modal || modal == last || !modal->isVisible())
                return;
            last = modal;
            m_seen << (answers.isEmpty() ? "unexpected " : "") + describe(modal);
            answer(modal, answers.isEmpty() ? "close" : answers.takeFirst());
        });
        poll.start(0);
        const QString what = how.section(':', 1);
        if (how.startsWith("menu:")) {
            QStringList entries;
            TestSupport::onNextMenu(&entries, what);
            QTest::keyClick(view(), Qt::Key_Menu);
        } else if (how.startsWith("button:")) {
            TestSupport::childWithText<QToolButton>(m_w.get(), what)->click();
        } else if (how == "double-click") {
            const QPoint where = pointOf(view()->currentIndex().row());
            sendMouse(view()->viewport(), QEvent::MouseButtonDblClick, where);
        } else if (how == "Return") {
            QTest::keyClick(view(), Qt::Key_Return);
        } else {
            std::vector<BoxDouble::Box> boxes = BoxDouble::boxes();
            boxes.erase(boxes.begin());
            BoxDouble::setBoxes(boxes);
            QTest::keyClick(m_w.get(), Qt::Key_F5);
        }
    }

public slots:
    void openUrl(const QUrl &url) { m_opened << url; }

private slots:
    void initTestCase()
    {
        loadStyleSheet("blue.css");
        QAccessible::setActive(true);
        QVERIFY(m_dir.isValid() && m_configHome.isValid());
        for (const char *name : {"plain", "locked", "mounted"})
            QVERIFY(QDir().mkpath(pathOf(name)));
        QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope, m_configHome.path());
        QDesktopServices::setUrlHandler("file", this, "openUrl");
    }

    void cleanupTestCase() { QDesktopServices::unsetUrlHandler("file"); }

    // The window in icon mode on a box of each kind; anna's have no folder.
    void init()
    {
        const unsigned own = BOX_FLAG_SELF;
        const unsigned annas = BOX_FLAG_OTHER | BOX_FLAG_SHARED;
        BoxDouble::reset();
        BoxDouble::setBoxes({
            {"plain", folderOf("plain"), "tester", own | BOX_FLAG_PLAIN | BOX_FLAG_UNSHARED},
            {"locked", folderOf("locked"), "tester", own | BOX_FLAG_ENCRYPTED | BOX_FLAG_SHARED},
            {"mounted", folderOf("mounted"), "tester", own | BOX_FLAG_ENCRYPTED | BOX_FLAG_UNSHARED | BOX_FLAG_MOUNTED},
            {"theirs", "/nonexistent/theirs", "anna", annas | BOX_FLAG_PLAIN},
            {"their safe", "/nonexistent/their safe", "anna", annas | BOX_FLAG_ENCRYPTED},
        });
        m_opened.clear();
        m_w.reset(new Vaultrane);
        m_w->show();
        QApplication::setActiveWindow(m_w.get());
        QVERIFY(QTest::qWaitForWindowActive(m_w.get()));
    }

    void cleanup()
    {
        const QWidgetList left = TestSupport::leftoverTopLevels({m_w.get()});
        QVERIFY2(left.isEmpty(), left.isEmpty() ? "" : left.first()->metaObject()->className());
        QVERIFY(TestSupport::modalHandlersDone());
        m_w.reset();
    }

    // Selected from the keyboard, a box gets the tool buttons and the menu
    // (Shift+F10) entries core allows for it, in either view, and the icon
    // view's bottom bar shows its encryption and share state.
    void offersFollowTheSelection_data()
    {
        QTest::addColumn<bool>("table");
        QTest::addColumn<int>("row");
        QTest::addColumn<int>("enabled");
        QTest::addColumn<QString>("encryption");
        QTest::addColumn<bool>("shareShown");
        QTest::addColumn<QStringList>("entries");
        const QStringList owners{"密码设置", "共享", "删除", "重命名"};
        QTest::newRow("plain") << false << 0 << 3 << "" << false << owners;
        QTest::newRow("locked and shared") << false << 1 << 3 << "已加密" << true << QStringList("挂载") + owners;
        QTest::newRow("mounted") << false << 2 << 0 << "已挂载" << false << QStringList{"卸载"};
        QTest::newRow("another's") << false << 3 << 0 << "" << false << QStringList();
        QTest::newRow("table, another's encrypted") << true << 4 << 0 << "" << false << QStringList{"挂载"};
    }

    void offersFollowTheSelection()
    {
        QFETCH(bool, table);
        QFETCH(int, row);
        QFETCH(int, enabled);
        QFETCH(QString, encryption);
        QFETCH(bool, shareShown);
        QFETCH(QStringList, entries);
        if (table)
            toTable();
        selectByKeyboard(row);
        expectSelected(kAllBoxes.at(row));
        QCOMPARE(enabledOps(), enabled);
        QCOMPARE(encryptShown() ? m_w->m_pEncryptAttrBtn->text() : QString(), encryption);
        QCOMPARE(this->shareShown(), shareShown);
        QStringList shown;
        TestSupport::onNextMenu(&shown, QString());
        QTest::keyClick(view(), Qt::Key_F10, Qt::ShiftModifier);
        QCOMPARE(shown, entries);
    }

    // A click on a mode button, even the active one, reloads that view and
    // leaves nothing selected.
    void modeButtonsReloadAndClearTheSelection()
    {
        clickOn(0);
        toTable();
        QVERIFY(m_w->m_pBoxTableView->isVisible() && !m_w->m_pBoxListWidget->isVisible());
        expectSelected("");
        clickOn(4);
        BoxDouble::addBox({"late", "/nonexistent/late", "tester", BOX_FLAG_SELF | BOX_FLAG_PLAIN | BOX_FLAG_UNSHARED});
        toTable();
        QCOMPARE(m_w->m_pBoxTableModel->boxCount(), 6);
        expectSelected("");

        toIcons();
        clickOn(1);
        toIcons();
        expectSelected("");
    }

    // A right press on a box selects it and opens its menu; on empty space
    // it clears the selection and opens none, in either view.
    void pressesSelectAndOpenTheMenu()
    {
        for (const bool table : {false, true}) {
            if (table)
                toTable();
            for (const int row : {1, -1}) {
                QStringList menu;
                TestSupport::onNextMenu(&menu, QString());
                sendMouse(view()->viewport(), QEvent::MouseButtonPress, pointOf(row), Qt::RightButton);
                if (table) // the table answers the platform's request that follows the press
                    emit view()->customContextMenuRequested(pointOf(row));
                QCoreApplication::processEvents();
                QCOMPARE(!menu.isEmpty(), row >= 0);
                QCOMPARE(view()->currentIndex().row(), row);
            }
        }
    }

    // No button is a default button (Return in a view would press it). A
    // reload leaves the keyboard on the tool button the user has reached,
    // and a button that turns grey under it hands the focus to the view.
    void keyboardFocusAndReloads()
    {
        for (QPushButton *button : m_w->findChildren<QPushButton *>())
            QVERIFY2(!button->isDefault() && !button->autoDefault(), qPrintable(button->toolTip()));
        select("plain");
        m_w->m_pDelBtn->setFocus(Qt::TabFocusReason);
        m_w->slot_reload_boxes();
        QCOMPARE(m_w->focusWidget(), m_w->m_pDelBtn);
        QVERIFY(m_w->m_pDelBtn->isEnabled());

        std::vector<BoxDouble::Box> boxes = BoxDouble::boxes();
        boxes.erase(boxes.begin());
        BoxDouble::setBoxes(boxes);
        m_w->slot_reload_boxes();
        QVERIFY(!m_w->m_pDelBtn->isEnabled());
        QCOMPARE(QApplication::focusWidget(), static_cast<QWidget *>(m_w->m_pBoxListWidget));
    }

    // Every button that shows only an icon has a name and a description,
    // and an icon tells its box's state in words, never in flag bits. The
    // box view has the first focus; Tab walks the tool bar next, then the
    // display modes and the title bar; disabled buttons are left out.
    void screenReadersAndTabOrder()
    {
        QStringList visited;
        for (int step = 0; step < 7; ++step) {
            QWidget *focus = QApplication::focusWidget();
            visited << (focus ? accessibleText(focus, QAccessible::Name) : QString("<none>"));
            QTest::keyClick(focus, Qt::Key_Tab);
        }
        QCOMPARE(visited, QStringList({"保护箱图标视图", "新建", "列表视图", "图标视图", "菜单", "最小化", "关闭"}));
        QCOMPARE(QApplication::focusWidget(), static_cast<QWidget *>(m_w->m_pBoxListWidget));

        int iconOnly = 0;
        for (QAbstractButton *button : m_w->findChildren<QAbstractButton *>()) {
            if (!button->text().isEmpty() || !button->isVisible())
                continue;
            ++iconOnly;
            QVERIFY2(!accessibleText(button, QAccessible::Name).isEmpty(), qPrintable(button->objectName()));
            QVERIFY2(!accessibleText(button, QAccessible::Description).isEmpty(), qPrintable(button->objectName()));
        }
        QVERIFY(iconOnly >= 5);
        QAccessibleInterface *icons = QAccessible::queryAccessibleInterface(m_w->m_pBoxListWidget);
        QVERIFY(icons && icons->tableInterface());
        QAccessibleInterface *mounted = icons->tableInterface()->cellAt(2, 0);
        QCOMPARE(mounted->text(QAccessible::Name), QString("mounted"));
        QCOMPARE(mounted->text(QAccessible::Description), QString("已加密，已挂载，未共享，本人创建"));
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
        const QString deleteFailed = "警告: " + BoxOutcomes::failed(BoxOperation::Delete, "plain");
        const char *password = "PasswordAuthenticDialog";
        const char *reRead = "box_get_list";
        const char *withoutPlain = "locked,mounted,theirs,their safe";
        row("delete plain, 取消", false, "plain", "menu:删除", "", "取消", reRead, ask, "", "plain");
        row("delete plain, 确认", true, "plain", "button:删除", "", "确认", "box_get_list box_delete box_get_list",
            ask, withoutPlain, "");
        row("delete fails", false, "plain", "menu:删除", "box_delete", "确认|确认",
            "box_get_list box_delete box_get_list", ask + "|" + deleteFailed, "", "plain");
        row("create", true, "", "button:新建", "", "name:fresh", "box_create box_get_list", "CreateBoxDialog",
            "plain,locked,mounted,theirs,their safe,fresh", "fresh");
        row("mount", false, "locked", "menu:挂载", "", "pw", "box_get_list box_crypto_mount box_get_list", password,
            "", "locked", "locked");
        row("unmount", true, "mounted", "menu:卸载", "", "", "box_get_list box_crypto_umount box_get_list", "", "",
            "mounted");
        row("rename", false, "plain", "menu:重命名", "", "name:renamed", "box_get_list box_change_name box_get_list",
            "RenameBoxDialog", "renamed,locked,mounted,theirs,their safe", "renamed");
        row("password, plain", true, "plain", "menu:密码设置", "", "取消", "box_get_list box_get_list",
            "CreateBoxLockedDialog", "", "plain");
        row("share encrypted, 取消", false, "locked", "menu:共享", "", "pw|取消",
            "box_get_list box_crypto_verify_passphrase box_get_info box_get_list",
            QString(password) + "|PrivilegeSharedBoxDialog", "", "locked");
        // A reload keeps the selected box selected by name; a list that
        // cannot be read leaves the view as it was.
        row("F5", true, "locked", "F5", "", "", "box_get_list", "", withoutPlain, "locked");
        row("F5, list unreadable", false, "locked", "F5", "box_get_list", "", "box_get_list", "", "", "locked");
        // A double click or Return asks core whether to mount the box or to
        // open its folder; a missing folder and empty space do nothing.
        row("double-click locked", false, "locked", "double-click", "", "取消", reRead, password, "", "locked");
        row("double-click plain row", true, "plain", "double-click", "", "", "", "", "", "plain", "plain");
        row("Return on plain", true, "plain", "Return", "", "", "", "", "", "plain", "plain");
        row("double-click, missing folder", false, "theirs", "double-click", "", "", "", "", "", "theirs");
        row("double-click on empty space", true, "", "double-click", "", "", "", "", "", "");
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
            toTable();
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
        boxes[2].flags &= ~BOX_FLAG_MOUNTED;
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
        QCOMPARE(loads(), 0);

        release = true;
        QVERIFY(finished.wait());
        m_w->reloadIfDeferred();
        QTRY_COMPARE(loads(), 1);
    }
};

// The share dialog lists the accounts of the test password database.
VAULTRANE_TEST_MAIN_WITH_PASSWD(TestMainWindow)
#include "test_mainwindow.moc"
