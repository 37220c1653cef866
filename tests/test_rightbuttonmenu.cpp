#include "RightButtonMenu.h"

#include "testsupport.h"

#include <QAction>
#include <QSignalSpy>
#include <QtTest>

class TestRightButtonMenu : public QObject
{
    Q_OBJECT
private slots:
    void cleanup() { QVERIFY(TestSupport::leftoverTopLevels().isEmpty()); }

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
        BoxInfo box;
        box.encrypted = true;
        menu.setBoxInfo(box);
        box.mounted = mounted;
        box.fromOther = fromOther;
        box.encrypted = encrypted;
        menu.setBoxInfo(box);
        QStringList visible;
        for (QAction *a : menu.actions())
            if (!a->isSeparator() && a->isVisible())
                visible << a->text();
        QCOMPARE(visible, shown);
    }

    void entryCodes()
    {
        QWidget host;
        RightButtonMenu menu(&host);
        QSignalSpy spy(&menu, SIGNAL(signal_right_menu_func_triggered(int)));
        // Triggered in this order, the entries report 0 to 5.
        for (const char *entry : {"挂载", "卸载", "密码设置", "共享", "删除", "重命名"})
            for (QAction *a : menu.actions())
                if (a->text() == QString::fromUtf8(entry))
                    a->trigger();
        QList<int> codes;
        for (const QList<QVariant> &args : spy)
            codes << args.at(0).toInt();
        QCOMPARE(codes, (QList<int>{0, 1, 2, 3, 4, 5}));
    }
};

QTEST_MAIN(TestRightButtonMenu)
#include "test_rightbuttonmenu.moc"
