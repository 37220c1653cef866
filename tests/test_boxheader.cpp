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
        QWidget host;
        QTableView view(&host);
        view.setFixedSize(745, 330);
        BoxTableModel model(nullptr);
        auto *header = new BoxTabelHeaderView(&host);
        view.setHorizontalHeader(header);
        view.setModel(&model);
        const int widths[] = {340, 120, 120, 120, 20};
        for (int c = 0; c < 5; ++c)
            view.setColumnWidth(c, widths[c]);
        host.show();
        QVERIFY(QTest::qWaitForWindowExposed(&host));

        QSignalSpy spy(header, SIGNAL(signal_clicked_section(int)));
        const QList<QPair<int, int>> presses{{10, 0}, {339, 0}, {341, 1}, {500, 2}, {650, 3}, {705, 4}};
        for (const auto &p : presses)
            QTest::mouseClick(header->viewport(), Qt::LeftButton, {}, QPoint(p.first, 15));
        // After a resize the sections are found where they now are.
        view.setColumnWidth(0, 200);
        QTest::mouseClick(header->viewport(), Qt::LeftButton, {}, QPoint(250, 15));
        QList<int> sections;
        for (const QList<QVariant> &args : spy)
            sections << args.at(0).toInt();
        QCOMPARE(sections, (QList<int>{0, 0, 1, 2, 3, 4, 1}));
    }

    void filterChoices_data()
    {
        QTest::addColumn<int>("type");
        QTest::addColumn<QStringList>("texts");
        QTest::newRow("encryption") << 0 << QStringList{"全部", "是", "否"};
        QTest::newRow("owner") << 2 << QStringList{"全部", "个人创建", "他人共享"};
    }

    void filterChoices()
    {
        QFETCH(int, type);
        QFETCH(QStringList, texts);
        QWidget host;
        BoxFilterDialog dialog(type, &host);
        QStringList shown;
        for (QRadioButton *b : dialog.findChildren<QRadioButton *>())
            shown << b->text();
        QCOMPARE(shown, texts);
        QCOMPARE(dialog.checkedIndex(), 0); // nothing checked yet
        dialog.setCheckedIndex(1);
        QVERIFY(childWithText<QRadioButton>(&dialog, texts[1])->isChecked());
        dialog.setCheckedIndex(7);
        QCOMPARE(dialog.checkedIndex(), 2);
        QVERIFY(!childWithText<QRadioButton>(&dialog, texts[1])->isChecked());
    }

    void exitResults_data()
    {
        QTest::addColumn<bool>("pressOutside");
        QTest::addColumn<int>("result");
        QTest::newRow("press outside takes the choice") << true << 1;
        QTest::newRow("Escape") << false << 0;
    }

    void exitResults()
    {
        QFETCH(bool, pressOutside);
        QFETCH(int, result);
        QWidget host;
        host.resize(400, 300);
        host.show();
        BoxFilterDialog dialog(2, &host);
        dialog.setCheckedIndex(0);
        dialog.move(host.mapToGlobal(QPoint(50, 50)));
        bool stayedOpen = false;
        TestSupport::onNextModal([&](QWidget *w) {
            // Picking a choice or pressing inside only checks it.
            QTest::mouseClick(childWithText<QRadioButton>(w, "他人共享"), Qt::LeftButton);
            QTest::mouseClick(w, Qt::LeftButton, {}, QPoint(100, 80));
            stayedOpen = w->isVisible();
            if (pressOutside)
                QTest::mousePress(w, Qt::LeftButton, {}, QPoint(300, 200));
            else
                QTest::keyClick(w, Qt::Key_Escape);
        });
        QCOMPARE(dialog.exec(), result);
        QVERIFY(TestSupport::modalHandlersDone());
        QVERIFY(stayedOpen);
        QCOMPARE(dialog.checkedIndex(), 2);
    }
};

QTEST_MAIN(TestBoxHeader)
#include "test_boxheader.moc"
