#include "BoxFilterDialog.h"
#include "BoxTabelHeaderView.h"
#include "BoxTableModel.h"

#include "boxdouble.h"
#include "testsupport.h"

#include <QRadioButton>
#include <QSignalSpy>
#include <QTableView>
#include <QtTest>

using TestSupport::childWithText;

class TestBoxHeader : public QObject
{
    Q_OBJECT
private slots:
    void init() { BoxDouble::reset(); }
    void cleanup() { QVERIFY(TestSupport::leftoverTopLevels().isEmpty()); }

    void headerReportsSectionUnderPress()
    {
        QTableView view;
        BoxTableModel model(nullptr);
        auto *header = new BoxTabelHeaderView(&view);
        view.setHorizontalHeader(header);
        view.setModel(&model);
        for (int c = 0; c < 5; ++c)
            view.setColumnWidth(c, c == 0 ? 340 : 120);
        view.resize(745, 330);
        view.show();
        QVERIFY(QTest::qWaitForWindowExposed(&view));
        QSignalSpy spy(header, SIGNAL(signal_clicked_section(int)));
        for (int x : {10, 339, 341, 500, 650, 705})
            QTest::mouseClick(header->viewport(), Qt::LeftButton, {}, QPoint(x, 15));
        // After a resize the sections are found where they now are.
        view.setColumnWidth(0, 200);
        QTest::mouseClick(header->viewport(), Qt::LeftButton, {}, QPoint(250, 15));
        QList<int> sections;
        for (const QList<QVariant> &args : spy)
            sections << args.at(0).toInt();
        QCOMPARE(sections, (QList<int>{0, 0, 1, 2, 3, 4, 1}));
    }

    // Picking a choice or pressing inside only checks it; a press outside
    // closes with 1, Escape with 0.
    void exitResults()
    {
        for (const bool pressOutside : {true, false}) {
            QWidget host;
            host.resize(400, 300);
            host.show();
            BoxFilterDialog dialog(2, &host);
            dialog.setCheckedIndex(0);
            dialog.move(host.mapToGlobal(QPoint(50, 50)));
            bool stayedOpen = false;
            TestSupport::onNextModal([&](QWidget *w) {
                QTest::mouseClick(childWithText<QRadioButton>(w, "他人共享"), Qt::LeftButton);
                QTest::mouseClick(w, Qt::LeftButton, {}, QPoint(100, 80));
                stayedOpen = w->isVisible();
                if (pressOutside)
                    QTest::mousePress(w, Qt::LeftButton, {}, QPoint(300, 200));
                else
                    QTest::keyClick(w, Qt::Key_Escape);
            });
            QCOMPARE(dialog.exec(), int(pressOutside));
            QVERIFY(TestSupport::modalHandlersDone());
            QVERIFY(stayedOpen);
            QCOMPARE(dialog.checkedIndex(), 2);
        }
    }
};

QTEST_MAIN(TestBoxHeader)
#include "test_boxheader.moc"
