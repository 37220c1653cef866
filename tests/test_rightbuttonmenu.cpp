#include "RightButtonMenu.h"

#include "BoxRules.h"

#include "testsupport.h"

#include <QAction>
#include <QSignalSpy>
#include <QtTest>

class TestRightButtonMenu : public QObject
{
    Q_OBJECT
private slots:
    void cleanup() { QVERIFY(TestSupport::leftoverTopLevels().isEmpty()); }

    // The menu shows exactly what the state table in core allows (its cases
    // are tested there), and a previous box leaves nothing behind.
    void entriesFollowTheStateTable()
    {
        QWidget host;
        RightButtonMenu menu(&host);
        const QList<QPair<BoxAction, QString>> entries{
            {BoxAction::Mount, "挂载"},       {BoxAction::Unmount, "卸载"},
            {BoxAction::PasswordSetting, "密码设置"}, {BoxAction::ShareSetting, "共享"},
            {BoxAction::Delete, "删除"},      {BoxAction::Rename, "重命名"},
        };
        for (int state = 0; state < 32; ++state) {
            BoxInfo box;
            box.mounted = state & 1;
            box.mountedElsewhere = state & 2;
            box.fromOther = state & 4;
            box.encrypted = state & 8;
            box.shared = state & 16;
            menu.setBoxInfo(box);
            for (const auto &entry : entries) {
                QAction *action = TestSupport::childWithText<QAction>(&menu, entry.second);
                QVERIFY(action);
                QCOMPARE(action->isVisible(), BoxRules::allows(box, entry.first));
            }
        }
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
