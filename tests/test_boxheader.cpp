#include "BoxFilterDialog.h"
#include "BoxTabelHeaderView.h"
#include "BoxTableModel.h"

#include "boxdouble.h"
#include "testsupport.h"

#include <QApplication>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QRadioButton>
#include <QSignalSpy>
#include <QTableView>
#include <QtTest>

#include <memory>

namespace {

void sendMouse(QWidget *w, QEvent::Type type, QPoint pos, Qt::MouseButton button,
               Qt::MouseButtons buttons)
{
    QMouseEvent e(type, pos, w->mapToGlobal(pos), button, buttons, Qt::NoModifier);
    QApplication::sendEvent(w, &e);
}

QStringList choiceTexts(QWidget *dialog)
{
    QStringList texts;
    for (QRadioButton *b : dialog->findChildren<QRadioButton *>())
        texts << b->text();
    return texts;
}

} // namespace

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
        QCOMPARE(header->height(), 30);

        QSignalSpy spy(header, SIGNAL(signal_clicked_section(int)));
        const QList<QPair<int, int>> presses{{10, 0}, {339, 0}, {341, 1}, {500, 2}, {650, 3}, {705, 4}};
        for (const auto &p : presses) {
            sendMouse(header->viewport(), QEvent::MouseButtonPress, QPoint(p.first, 15), Qt::LeftButton, Qt::LeftButton);
            sendMouse(header->viewport(), QEvent::MouseButtonRelease, QPoint(p.first, 15), Qt::LeftButton, Qt::NoButton);
        }
        QCOMPARE(spy.count(), presses.size());
        for (int i = 0; i < presses.size(); ++i)
            QCOMPARE(spy.at(i).at(0).toInt(), presses.at(i).second);

        // After a resize the sections are found where they now are.
        view.setColumnWidth(0, 200);
        spy.clear();
        sendMouse(header->viewport(), QEvent::MouseButtonPress, QPoint(250, 15), Qt::LeftButton, Qt::LeftButton);
        sendMouse(header->viewport(), QEvent::MouseButtonRelease, QPoint(250, 15), Qt::LeftButton, Qt::NoButton);
        QCOMPARE(spy.count(), 1);
        QCOMPARE(spy.at(0).at(0).toInt(), 1);

        // The header paints its own grey background in every section.
        const QImage img = header->viewport()->grab().toImage();
        QCOMPARE(QColor(img.pixel(5, 2)), QColor("#F0F0F0"));
        QCOMPARE(QColor(img.pixel(header->sectionPosition(4) + 5, 2)), QColor("#F0F0F0"));
    }

    void filterChoices_data()
    {
        QTest::addColumn<int>("type");
        QTest::addColumn<QStringList>("texts");
        QTest::addColumn<QSize>("size");
        QTest::newRow("encryption") << 0 << QStringList{"全部", "是", "否"} << QSize(80, 86);
        QTest::newRow("share") << 1 << QStringList{"全部", "是", "否"} << QSize(80, 86);
        QTest::newRow("owner") << 2 << QStringList{"全部", "个人创建", "他人共享"} << QSize(120, 86);
    }

    void filterChoices()
    {
        QFETCH(int, type);
        QFETCH(QStringList, texts);
        QFETCH(QSize, size);
        QWidget host;
        BoxFilterDialog dialog(type, &host);
        QCOMPARE(choiceTexts(&dialog), texts);
        QCOMPARE(dialog.size(), size);
        QVERIFY(dialog.windowFlags() & Qt::Popup);

        QCOMPARE(dialog.checkedIndex(), 0); // nothing checked yet
        dialog.setCheckedIndex(1);
        QCOMPARE(dialog.checkedIndex(), 1);
        QVERIFY(TestSupport::childWithText<QRadioButton>(&dialog, texts[1])->isChecked());
        dialog.setCheckedIndex(7);
        QCOMPARE(dialog.checkedIndex(), 2);
        QVERIFY(!TestSupport::childWithText<QRadioButton>(&dialog, texts[1])->isChecked());
        dialog.setCheckedIndex(0);
        QCOMPARE(dialog.checkedIndex(), 0);
    }

    void pressOutsideAcceptsTheChoice()
    {
        QWidget host;
        host.resize(400, 300);
        host.show();
        BoxFilterDialog dialog(2, &host);
        dialog.setCheckedIndex(0);
        dialog.move(host.mapToGlobal(QPoint(50, 50)));
        bool stayedOpen = false;
        TestSupport::onNextModal([&](QWidget *w) {
            // Picking a choice only checks it.
            QTest::mouseClick(TestSupport::childWithText<QRadioButton>(w, "他人共享"), Qt::LeftButton);
            stayedOpen = w->isVisible();
            // A press on the background inside changes nothing either.
            sendMouse(w, QEvent::MouseButtonPress, QPoint(100, 80), Qt::LeftButton, Qt::LeftButton);
            stayedOpen = stayedOpen && w->isVisible();
            sendMouse(w, QEvent::MouseButtonPress, QPoint(300, 200), Qt::LeftButton, Qt::LeftButton);
        });
        QCOMPARE(dialog.exec(), 1);
        QVERIFY(stayedOpen);
        QVERIFY(TestSupport::modalHandlersDone());
        QCOMPARE(dialog.checkedIndex(), 2);
    }

    void escapeRejects()
    {
        QWidget host;
        host.resize(400, 300);
        host.show();
        BoxFilterDialog dialog(0, &host);
        dialog.setCheckedIndex(1);
        TestSupport::onNextModal([&](QWidget *w) {
            QTest::mouseClick(TestSupport::childWithText<QRadioButton>(w, "否"), Qt::LeftButton);
            QKeyEvent esc(QEvent::KeyPress, Qt::Key_Escape, Qt::NoModifier);
            QApplication::sendEvent(w, &esc);
        });
        QCOMPARE(dialog.exec(), 0);
        QVERIFY(TestSupport::modalHandlersDone());
    }
};

QTEST_MAIN(TestBoxHeader)
#include "test_boxheader.moc"
