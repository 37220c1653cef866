// Keyboard and screen readers: what Qt's accessibility interfaces report for
// the main window's buttons and the two box views, the context menu from the
// keyboard, Return, the filter from the keyboard and the Tab order.
#include "Vaultrane.h"

#include "BoxFilterDialog.h"
#include "BoxListWidget.h"
#include "BoxTableModel.h"
#include "BoxTableView.h"
#include "RightButtonMenu.h"
#include "Startup.h"
#include "TitleBar.h"
#include "box_service.h"
#include "boxdouble.h"
#include "testsupport.h"

#include <QAccessible>
#include <QAccessibleTableInterface>
#include <QAction>
#include <QApplication>
#include <QPushButton>
#include <QSignalSpy>
#include <QTimer>
#include <QToolButton>
#include <QtTest>

#include <functional>
#include <memory>

namespace {

const unsigned OWN = BOX_FLAG_SELF, PLAIN = BOX_FLAG_PLAIN, ENC = BOX_FLAG_ENCRYPTED, SHARED = BOX_FLAG_SHARED,
               UNSHARED = BOX_FLAG_UNSHARED, MOUNTED = BOX_FLAG_MOUNTED, OTHER = BOX_FLAG_OTHER;

BoxDouble::Box dbox(const std::string &name, const std::string &owner, unsigned flags)
{
    return {name, "/nonexistent/box/" + owner + "/" + name, owner, flags};
}

void setFiveBoxes()
{
    BoxDouble::setBoxes({dbox("plain", "tester", OWN | PLAIN | UNSHARED),
                         dbox("locked", "tester", OWN | ENC | SHARED),
                         dbox("open", "tester", OWN | ENC | UNSHARED | MOUNTED),
                         dbox("theirs", "anna", OTHER | PLAIN | SHARED),
                         dbox("their safe", "anna", OTHER | ENC | SHARED)});
}

QString accessibleText(QObject *object, QAccessible::Text which)
{
    QAccessibleInterface *iface = QAccessible::queryAccessibleInterface(object);
    return iface ? iface->text(which) : QString("<no interface>");
}

QAccessibleInterface *cell(QWidget *view, int row, int column)
{
    QAccessibleInterface *iface = QAccessible::queryAccessibleInterface(view);
    if (!iface || !iface->tableInterface())
        return nullptr;
    return iface->tableInterface()->cellAt(row, column);
}

// Arms a handler for the next pop-up menu (a menu is no modal widget): it
// records the visible entries and triggers the one with `entry`, or closes
// the menu when `entry` is empty.
void onNextMenu(QStringList *shown, const QString &entry)
{
    QTimer::singleShot(0, [=] {
        auto *menu = qobject_cast<QMenu *>(QApplication::activePopupWidget());
        if (!menu) {
            onNextMenu(shown, entry);
            return;
        }
        QAction *chosen = nullptr;
        for (QAction *action : menu->actions()) {
            if (action->isVisible() && !action->isSeparator())
                shown->append(action->text());
            if (action->text() == entry)
                chosen = action;
        }
        menu->close();
        if (chosen)
            chosen->trigger();
    });
}

} // namespace

class TestAccessibility : public QObject
{
    Q_OBJECT

    std::unique_ptr<Vaultrane> m_w;

    BoxListWidget *iconView() const { return m_w->findChild<BoxListWidget *>(); }
    BoxTableView *tableView() const { return m_w->findChild<BoxTableView *>(); }
    QToolButton *toolButton(const QString &text) const { return TestSupport::childWithText<QToolButton>(m_w.get(), text); }

    QPushButton *buttonNamed(const QString &accessibleName) const
    {
        for (QPushButton *button : m_w->findChildren<QPushButton *>())
            if (button->accessibleName() == accessibleName)
                return button;
        return nullptr;
    }

    QAbstractItemView *viewFor(const QString &mode)
    {
        if (mode == "table") {
            QTest::mouseClick(buttonNamed("列表视图"), Qt::LeftButton);
            return tableView();
        }
        return iconView();
    }

    // Gives the view the keyboard focus and makes `row` current through the
    // keyboard: Home, then Down as often as needed.
    void selectByKeyboard(QAbstractItemView *view, int row)
    {
        view->setFocus();
        QTest::keyClick(view, Qt::Key_Home);
        for (int i = 0; i < row; ++i)
            QTest::keyClick(view, view == iconView() ? Qt::Key_Right : Qt::Key_Down);
        QCOMPARE(view->currentIndex().row(), row);
    }

private slots:
    void initTestCase()
    {
        loadStyleSheet("blue.css");
        QAccessible::setActive(true);
    }

    void init()
    {
        BoxDouble::reset();
        setFiveBoxes();
        m_w.reset(new Vaultrane);
        m_w->show();
        QApplication::setActiveWindow(m_w.get());
        QVERIFY(QTest::qWaitForWindowActive(m_w.get()));
    }

    void cleanup()
    {
        m_w.reset();
        QVERIFY(TestSupport::modalHandlersDone() && TestSupport::leftoverTopLevels().isEmpty());
    }

    // Every button that shows only an icon has a name and a description.
    void iconOnlyButtonsHaveNamesAndDescriptions()
    {
        int iconOnly = 0;
        for (QAbstractButton *button : m_w->findChildren<QAbstractButton *>()) {
            if (!button->text().isEmpty() || !button->isVisible())
                continue;
            ++iconOnly;
            QVERIFY2(!accessibleText(button, QAccessible::Name).isEmpty(), qPrintable(button->objectName()));
            QVERIFY2(!accessibleText(button, QAccessible::Description).isEmpty(), qPrintable(button->objectName()));
        }
        QVERIFY(iconOnly >= 5);
        for (QWidget *view : {static_cast<QWidget *>(iconView()), static_cast<QWidget *>(tableView())}) {
            QVERIFY(!accessibleText(view, QAccessible::Name).isEmpty());
            QVERIFY(!accessibleText(view, QAccessible::Description).isEmpty());
        }
    }

    // Each icon names its box and tells its state and owner in words.
    void iconItemsSpeakStateAndOwner()
    {
        const struct {
            int row;
            const char *name, *description;
        } items[] = {{0, "plain", "未加密，未共享，本人创建"},
                     {1, "locked", "已加密，未挂载，已共享，本人创建"},
                     {2, "open", "已加密，已挂载，未共享，本人创建"},
                     {3, "theirs", "未加密，来自 anna"},
                     {4, "their safe", "已加密，未挂载，来自 anna"}};
        for (const auto &item : items) {
            QAccessibleInterface *icon = cell(iconView(), item.row, 0);
            QVERIFY(icon);
            QCOMPARE(icon->text(QAccessible::Name), QString(item.name));
            QCOMPARE(icon->text(QAccessible::Description), QString(item.description));
        }
    }

    // Table cells say what they show in words, never the flag bits.
    void tableCellsSpeakWords()
    {
        viewFor("table");
        const struct {
            int row;
            const char *name, *encrypted, *shared, *owner;
        } rows[] = {{0, "plain", "未加密", "未共享", "本人创建"},
                    {1, "locked", "已加密，未挂载", "已共享", "本人创建"},
                    {2, "open", "已加密，已挂载", "未共享", "本人创建"},
                    {3, "theirs", "未加密", "已共享", "来自 anna"}};
        for (const auto &r : rows) {
            const char *expected[] = {r.name, r.encrypted, r.shared, r.owner};
            for (int column = 0; column < 4; ++column) {
                QAccessibleInterface *c = cell(tableView(), r.row, column);
                QVERIFY(c);
                QCOMPARE(c->text(QAccessible::Name), QString(expected[column]));
            }
            QVERIFY(cell(tableView(), r.row, 3)->text(QAccessible::Description).contains(r.name));
        }
    }

    // The Menu key and Shift+F10 open the current box's menu in both views;
    // its entries fit the box and choosing one reaches the window.
    void contextMenuFromKeyboard_data()
    {
        QTest::addColumn<QString>("mode");
        QTest::addColumn<int>("key");
        QTest::addColumn<int>("modifiers");
        QTest::addColumn<int>("row");
        QTest::addColumn<QStringList>("entries");
        QTest::addColumn<QString>("choose");
        QTest::addColumn<int>("code");
        const QStringList ownPlain = {"密码设置", "共享", "删除", "重命名"};
        const QStringList ownLocked = {"挂载", "密码设置", "共享", "删除", "重命名"};
        QTest::newRow("icons, Menu key") << "icons" << int(Qt::Key_Menu) << 0 << 0 << ownPlain << "重命名" << 5;
        QTest::newRow("icons, Shift+F10") << "icons" << int(Qt::Key_F10) << int(Qt::ShiftModifier) << 1 << ownLocked
                                          << "挂载" << 0;
        QTest::newRow("icons, mounted") << "icons" << int(Qt::Key_Menu) << 0 << 2 << QStringList{"卸载"} << "卸载" << 1;
        QTest::newRow("table, Menu key") << "table" << int(Qt::Key_Menu) << 0 << 1 << ownLocked << "删除" << 4;
        QTest::newRow("table, Shift+F10") << "table" << int(Qt::Key_F10) << int(Qt::ShiftModifier) << 4
                                          << QStringList{"挂载"} << "挂载" << 0;
        QTest::newRow("table, nothing chosen") << "table" << int(Qt::Key_Menu) << 0 << 3 << QStringList() << "" << -1;
    }

    void contextMenuFromKeyboard()
    {
        QFETCH(QString, mode);
        QFETCH(int, key);
        QFETCH(int, modifiers);
        QFETCH(int, row);
        QFETCH(QStringList, entries);
        QFETCH(QString, choose);
        QFETCH(int, code);
        QAbstractItemView *view = viewFor(mode);
        selectByKeyboard(view, row);
        QSignalSpy chosen(view, SIGNAL(signal_right_menu_func_triggered(int)));
        QStringList shown;
        onNextMenu(&shown, choose);
        // The window's handlers would open dialogs; only the request is checked.
        disconnect(view, SIGNAL(signal_right_menu_func_triggered(int)), m_w.get(), nullptr);
        QTest::keyClick(view, Qt::Key(key), Qt::KeyboardModifiers(modifiers));
        QCOMPARE(shown, entries);
        if (code < 0) {
            QCOMPARE(chosen.count(), 0);
        } else {
            QCOMPARE(chosen.count(), 1);
            QCOMPARE(chosen.at(0).at(0).toInt(), code);
        }
    }

    // Return does what a double click does: a locked box asks to be mounted.
    void returnMountsALockedBox_data()
    {
        QTest::addColumn<QString>("mode");
        QTest::addColumn<int>("row");
        QTest::addColumn<int>("mountRequests");
        QTest::newRow("icons, locked") << "icons" << 1 << 1;
        QTest::newRow("icons, plain") << "icons" << 0 << 0;
        QTest::newRow("table, locked") << "table" << 4 << 1;
        QTest::newRow("table, mounted") << "table" << 2 << 0;
    }

    void returnMountsALockedBox()
    {
        QFETCH(QString, mode);
        QFETCH(int, row);
        QFETCH(int, mountRequests);
        QAbstractItemView *view = viewFor(mode);
        selectByKeyboard(view, row);
        disconnect(view, SIGNAL(signal_mount_box_triggered()), m_w.get(), nullptr);
        QSignalSpy mount(view, SIGNAL(signal_mount_box_triggered()));
        QTest::keyClick(view, Qt::Key_Return);
        QCOMPARE(mount.count(), mountRequests);
    }

    // Moving through the table with the keys selects like a press: the
    // buttons follow the box.
    void tableKeysSelect()
    {
        QAbstractItemView *view = viewFor("table");
        selectByKeyboard(view, 0);
        QVERIFY(toolButton("删除")->isEnabled());
        QTest::keyClick(view, Qt::Key_Down);
        QTest::keyClick(view, Qt::Key_Down);
        QCOMPARE(view->currentIndex().row(), 2);
        QVERIFY(!toolButton("删除")->isEnabled()); // a mounted box
    }

    // Alt+Down opens the filter of the current column; the arrow keys move
    // the choice and Return applies it.
    void filterFromKeyboard()
    {
        QAbstractItemView *view = viewFor("table");
        selectByKeyboard(view, 0);
        QTest::keyClick(view, Qt::Key_Right); // to the encryption column
        TestSupport::onNextModal([](QWidget *w) {
            auto *filter = qobject_cast<BoxFilterDialog *>(w);
            if (!filter) {
                w->close();
                return;
            }
            QTest::keyClick(QApplication::focusWidget(), Qt::Key_Down);
            QTest::keyClick(QApplication::focusWidget(), Qt::Key_Return);
        });
        QTest::keyClick(view, Qt::Key_Down, Qt::AltModifier);
        QVERIFY(TestSupport::modalHandlersDone());
        auto *model = qobject_cast<BoxTableModel *>(view->model());
        QCOMPARE(model->m_encryptFilter, 1);
        QCOMPARE(model->boxCount(), 3); // the encrypted boxes
    }

    // The box view has the first focus; Tab walks the tool bar next, then the
    // display modes and the title bar; disabled buttons are left out.
    void tabOrder()
    {
        QStringList visited;
        for (int i = 0; i < 7; ++i) {
            QWidget *focus = QApplication::focusWidget();
            visited << (focus ? accessibleText(focus, QAccessible::Name) : QString("<none>"));
            QTest::keyClick(focus, Qt::Key_Tab);
        }
        QCOMPARE(visited, QStringList({"保护箱图标视图", "新建", "列表视图", "图标视图", "菜单", "最小化", "关闭"}));
        QCOMPARE(accessibleText(QApplication::focusWidget(), QAccessible::Name), QString("保护箱图标视图"));
    }
};

QTEST_MAIN(TestAccessibility)
#include "test_accessibility.moc"
