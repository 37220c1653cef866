// Keyboard and screen readers: what Qt's accessibility interfaces report for
// the main window's buttons and the two box views, the context menu and
// selection from the keyboard, and the Tab order. (The filter from the
// keyboard: test_mainwindow.)
#include "Vaultrane.h"

#include "BoxListWidget.h"
#include "BoxTableView.h"
#include "Startup.h"
#include "testsupport.h"

#include <QAccessible>
#include <QAccessibleTableInterface>
#include <QApplication>
#include <QPushButton>
#include <QToolButton>
#include <QtTest>

#include <memory>

namespace {

QString accessibleText(QObject *object, QAccessible::Text which)
{
    QAccessibleInterface *iface = QAccessible::queryAccessibleInterface(object);
    return iface ? iface->text(which) : QString("<no interface>");
}

QString cellText(QWidget *view, int row, int column, QAccessible::Text which)
{
    QAccessibleInterface *iface = QAccessible::queryAccessibleInterface(view);
    if (!iface || !iface->tableInterface() || !iface->tableInterface()->cellAt(row, column))
        return QString("<no cell>");
    return iface->tableInterface()->cellAt(row, column)->text(which);
}

} // namespace

class TestAccessibility : public QObject
{
    Q_OBJECT

    std::unique_ptr<Vaultrane> m_w;

    BoxListWidget *iconView() const { return m_w->findChild<BoxListWidget *>(); }
    BoxTableView *tableView() const { return m_w->findChild<BoxTableView *>(); }

    QAbstractItemView *showView(bool table)
    {
        if (!table)
            return iconView();
        for (QPushButton *button : m_w->findChildren<QPushButton *>())
            if (button->accessibleName() == "列表视图")
                QTest::mouseClick(button, Qt::LeftButton);
        return tableView();
    }

    // Gives the view the keyboard focus and makes `row` current through the
    // keyboard: Home, then Down (Right among the icons) as often as needed.
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
        m_w = TestSupport::openMainWindow(TestSupport::boxOfEachKind());
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

    // Icons and table cells tell a box's state and owner in words, never
    // in flag bits.
    void itemsSpeakStateAndOwner()
    {
        QCOMPARE(cellText(iconView(), 2, 0, QAccessible::Name), QString("mounted"));
        QCOMPARE(cellText(iconView(), 2, 0, QAccessible::Description), QString("已加密，已挂载，未共享，本人创建"));
        QCOMPARE(cellText(iconView(), 4, 0, QAccessible::Description), QString("已加密，未挂载，来自 anna"));
        showView(true);
        const QStringList theirs{"theirs", "未加密", "已共享", "来自 anna"};
        for (int column = 0; column < theirs.size(); ++column)
            QCOMPARE(cellText(tableView(), 3, column, QAccessible::Name), theirs.at(column));
        QVERIFY(cellText(tableView(), 3, 3, QAccessible::Description).contains("theirs"));
    }

    // Shift+F10 opens the current box's menu in either view, with the
    // entries that fit the box. (The Menu key and the entries' operations:
    // test_mainwindow_operations.)
    void contextMenuFromKeyboard_data()
    {
        QTest::addColumn<bool>("table");
        QTest::addColumn<int>("row");
        QTest::addColumn<QStringList>("entries");
        QTest::newRow("icons, mounted") << false << 2 << QStringList{"卸载"};
        QTest::newRow("table, another's encrypted box") << true << 4 << QStringList{"挂载"};
    }

    void contextMenuFromKeyboard()
    {
        QFETCH(bool, table);
        QFETCH(int, row);
        QFETCH(QStringList, entries);
        QAbstractItemView *view = showView(table);
        selectByKeyboard(view, row);
        QStringList shown;
        TestSupport::onNextMenu(&shown, QString());
        QTest::keyClick(view, Qt::Key_F10, Qt::ShiftModifier);
        QCOMPARE(shown, entries);
    }

    // Moving through the table with the keys selects like a press: the
    // buttons follow the box.
    void tableKeysSelect()
    {
        QAbstractItemView *view = showView(true);
        QToolButton *remove = TestSupport::childWithText<QToolButton>(m_w.get(), "删除");
        selectByKeyboard(view, 0);
        QVERIFY(remove->isEnabled());
        QTest::keyClick(view, Qt::Key_Down);
        QTest::keyClick(view, Qt::Key_Down);
        QCOMPARE(view->currentIndex().row(), 2);
        QVERIFY(!remove->isEnabled()); // a mounted box
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
