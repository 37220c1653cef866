#include "RightButtonMenu.h"

#include "testsupport.h"

#include <QAction>
#include <QSignalSpy>
#include <QtTest>

namespace {

BoxInfo box(int mounted, int fromOther, int encrypted)
{
    BoxInfo b;
    b.name = "box";
    b.mounted = mounted;
    b.fromOther = fromOther;
    b.encrypted = encrypted;
    return b;
}

QAction *action(QMenu &menu, const QString &text)
{
    for (QAction *a : menu.actions())
        if (a->text() == text)
            return a;
    return nullptr;
}

QStringList visibleEntries(QMenu &menu)
{
    QStringList shown;
    for (QAction *a : menu.actions())
        if (!a->isSeparator() && a->isVisible())
            shown << a->text();
    return shown;
}

} // namespace

class TestRightButtonMenu : public QObject
{
    Q_OBJECT
private slots:
    void cleanup() { QVERIFY(TestSupport::leftoverTopLevels().isEmpty()); }

    void entriesInMenuOrder()
    {
        QWidget host;
        RightButtonMenu menu(&host);
        QStringList order;
        for (QAction *a : menu.actions())
            order << (a->isSeparator() ? QString("|") : a->text());
        QCOMPARE(order, QStringList({"挂载", "卸载", "|", "密码设置", "|", "共享", "|", "删除", "|", "重命名"}));
        QCOMPARE(menu.width(), 100);
    }

    void entriesPerState_data()
    {
        QTest::addColumn<int>("mounted");
        QTest::addColumn<int>("fromOther");
        QTest::addColumn<int>("encrypted");
        QTest::addColumn<QStringList>("shown");
        const QStringList ownOps{"密码设置", "共享", "删除", "重命名"};
        QTest::newRow("own mounted") << 1 << 0 << 1 << QStringList{"卸载"};
        QTest::newRow("other's mounted") << 1 << 1 << 1 << QStringList{"卸载"};
        QTest::newRow("own encrypted") << 0 << 0 << 1 << (QStringList{"挂载"} + ownOps);
        QTest::newRow("own plain") << 0 << 0 << 0 << ownOps;
        QTest::newRow("other's encrypted") << 0 << 1 << 1 << QStringList{"挂载"};
        QTest::newRow("other's plain") << 0 << 1 << 0 << QStringList();
    }

    void entriesPerState()
    {
        QFETCH(int, mounted);
        QFETCH(int, fromOther);
        QFETCH(int, encrypted);
        QFETCH(QStringList, shown);
        QWidget host;
        RightButtonMenu menu(&host);
        // A previous box leaves everything else visible; the new state must win.
        menu.setBoxInfo(box(0, 0, 1));
        menu.setBoxInfo(box(mounted, fromOther, encrypted));
        QCOMPARE(visibleEntries(menu), shown);
    }

    void entryCodes()
    {
        QWidget host;
        RightButtonMenu menu(&host);
        QSignalSpy spy(&menu, SIGNAL(signal_right_menu_func_triggered(int)));
        const QList<QPair<QString, int>> codes{
            {"挂载", 0}, {"卸载", 1}, {"密码设置", 2}, {"共享", 3}, {"删除", 4}, {"重命名", 5}};
        for (const auto &c : codes) {
            spy.clear();
            action(menu, c.first)->trigger();
            QCOMPARE(spy.count(), 1);
            QCOMPARE(spy.at(0).at(0).toInt(), c.second);
        }
    }

};

QTEST_MAIN(TestRightButtonMenu)
#include "test_rightbuttonmenu.moc"
