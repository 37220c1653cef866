// The table mode: the model's filters, double-clicks, presses and hover.
#include "BoxTabelHeaderView.h"
#include "BoxTableModel.h"
#include "BoxTableView.h"
#include "Vaultrane.h"

#include "box_service.h"
#include "boxdouble.h"
#include "testsupport.h"

#include <QApplication>
#include <QDesktopServices>
#include <QSignalSpy>
#include <QtTest>

namespace {

const unsigned OWN_PLAIN = BOX_FLAG_SELF | BOX_FLAG_PLAIN | BOX_FLAG_UNSHARED;
const unsigned OWN_LOCKED = BOX_FLAG_SELF | BOX_FLAG_ENCRYPTED | BOX_FLAG_UNSHARED;
const unsigned OTHER_LOCKED = BOX_FLAG_OTHER | BOX_FLAG_ENCRYPTED | BOX_FLAG_SHARED;
const int kRowHeight = 28;

BoxDouble::Box dbox(const std::string &name, unsigned flags, const std::string &path = "/nonexistent")
{
    const std::string owner = (flags & BOX_FLAG_OTHER) ? "anna" : "tester";
    return {name, path, owner, flags};
}

void send(QWidget *widget, QEvent::Type type, QPoint pos, Qt::MouseButton button = Qt::LeftButton)
{
    QMouseEvent event(type, pos, widget->mapToGlobal(pos), button, button, Qt::NoModifier);
    QApplication::sendEvent(widget, &event);
}

// A point in the middle of a table row, `x` pixels from the left.
QPoint rowPoint(int row, int x = 200)
{
    return QPoint(x, row * kRowHeight + kRowHeight / 2);
}

// The main window in table mode; mount requests are only counted, not served.
struct Table {
    Vaultrane win;
    BoxTableView *view = win.findChild<BoxTableView *>();

    Table()
    {
        win.slot_show_table_mode(true);
        win.show();
        (void)QTest::qWaitForWindowExposed(&win);
        QObject::disconnect(view, &BoxTableView::signal_mount_box_triggered, nullptr, nullptr);
    }

    QWidget *vp() const { return view->viewport(); }
};

// Collects the regions a widget repaints.
struct PaintRecorder : QObject {
    QRegion painted;

    bool eventFilter(QObject *, QEvent *event) override
    {
        if (event->type() == QEvent::Paint)
            painted += static_cast<QPaintEvent *>(event)->region();
        return false;
    }
};

} // namespace

class TestBoxTable : public QObject
{
    Q_OBJECT
    QList<QUrl> m_opened;

public slots:
    void openUrl(const QUrl &url) { m_opened << url; }

private slots:
    void init()
    {
        BoxDouble::reset();
        m_opened.clear();
        QDesktopServices::setUrlHandler("file", this, "openUrl");
    }

    void cleanup()
    {
        QDesktopServices::unsetUrlHandler("file");
        QVERIFY(TestSupport::leftoverTopLevels().isEmpty());
    }

    void filtersSelectRows()
    {
        BoxDouble::setBoxes({dbox("mine", OWN_PLAIN), dbox("mine-locked", OWN_LOCKED),
                             dbox("theirs-locked", OTHER_LOCKED),
                             dbox("theirs", BOX_FLAG_OTHER | BOX_FLAG_PLAIN | BOX_FLAG_SHARED)});
        // Owner, encryption and share filter, and the rows they leave.
        const QList<QPair<QList<int>, QStringList>> table{
            {{0, 0, 0}, {"mine", "mine-locked", "theirs-locked", "theirs"}},
            {{0, 1, 0}, {"mine-locked", "theirs-locked"}},
            {{0, 0, 2}, {"mine", "mine-locked"}},
            {{2, 2, 0}, {"theirs"}}};
        BoxTableModel model(nullptr);
        QCOMPARE(model.rowCount(), 0); // empty until the first load
        for (const auto &[filters, shown] : table) {
            model.m_ownerFilter = filters[0];
            model.m_encryptFilter = filters[1];
            model.m_shareFilter = filters[2];
            model.refreshBoxList();
            QStringList names;
            for (int row = 0; row < model.rowCount(); ++row)
                names << model.data(model.index(row, 0)).toString();
            QCOMPARE(names, shown);
            QCOMPARE(model.boxAt(shown.size()).name, QString());
        }
        QCOMPARE(model.boxAt(-1).name, QString());
    }

    void doubleClickMountsOrOpens()
    {
        QTemporaryDir tmp;
        const QString locked = tmp.filePath("locked");
        const QString theirs = tmp.filePath("theirs");
        const QString hashed = tmp.filePath("x#1?y");
        for (const QString &folder : {locked, theirs, hashed})
            QVERIFY(QDir().mkpath(folder));
        BoxDouble::setBoxes({dbox("locked", OWN_LOCKED, locked.toStdString()),
                             dbox("theirs", OTHER_LOCKED | BOX_FLAG_MOUNTED, theirs.toStdString()),
                             dbox("x#1?y", OWN_PLAIN, hashed.toStdString()),
                             dbox("gone", OWN_PLAIN, tmp.filePath("gone").toStdString())});
        Table t;
        QSignalSpy mount(t.view, &BoxTableView::signal_mount_box_triggered);
        // Locked: only the mount request. Then right button, mounted, '#', missing, empty space.
        send(t.vp(), QEvent::MouseButtonDblClick, rowPoint(0));
        send(t.vp(), QEvent::MouseButtonDblClick, rowPoint(0), Qt::RightButton);
        for (int row = 1; row <= 3; ++row)
            send(t.vp(), QEvent::MouseButtonDblClick, rowPoint(row, 600));
        send(t.vp(), QEvent::MouseButtonDblClick, QPoint(200, 250));
        QCOMPARE(mount.count(), 1);
        QCOMPARE(m_opened, (QList<QUrl>{QUrl::fromLocalFile(theirs), QUrl::fromLocalFile(hashed)}));
    }

    // A press on empty space clears selection and hover and opens no menu.
    void pressHoverAndSelection()
    {
        BoxDouble::setBoxes({dbox("a", OWN_PLAIN), dbox("b", OTHER_LOCKED), dbox("c", OWN_LOCKED)});
        Table t;
        QSignalSpy selected(t.view, &BoxTableView::signal_index_selected);
        send(t.vp(), QEvent::MouseButtonPress, rowPoint(1, 400));
        QCOMPARE(selected.at(0).at(0).value<QModelIndex>().row(), 1);
        QCOMPARE(t.view->currentIndex().row(), 1);
        send(t.vp(), QEvent::MouseButtonPress, rowPoint(0));
        QCOMPARE(t.view->currentIndex().row(), 0);

        PaintRecorder rec;
        t.vp()->installEventFilter(&rec);
        send(t.vp(), QEvent::MouseMove, rowPoint(2), Qt::NoButton);
        QCoreApplication::processEvents();
        rec.painted = QRegion();
        send(t.vp(), QEvent::MouseMove, rowPoint(1), Qt::NoButton);
        QCoreApplication::processEvents();
        QVERIFY(rec.painted.contains(rowPoint(1, 700)));
        QVERIFY(rec.painted.contains(rowPoint(2, 700)));
        QVERIFY(!rec.painted.contains(rowPoint(0, 700)));
        t.vp()->removeEventFilter(&rec);

        QEvent leave(QEvent::Leave);
        QApplication::sendEvent(t.view, &leave);
        QWidget *popup = nullptr;
        QTimer::singleShot(0, [&] {
            popup = QApplication::activePopupWidget();
            if (popup)
                popup->close();
        });
        send(t.vp(), QEvent::MouseButtonPress, QPoint(200, 200), Qt::RightButton);
        emit t.view->customContextMenuRequested(QPoint(200, 200));
        QCoreApplication::processEvents();
        QVERIFY(!popup);
        QVERIFY(!selected.last().at(0).value<QModelIndex>().isValid());
        QVERIFY(!t.view->currentIndex().isValid());
        QVERIFY(!t.view->selectionModel()->hasSelection());
    }
};

QTEST_MAIN(TestBoxTable)
#include "test_boxtable.moc"
