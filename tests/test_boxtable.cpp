#include "BoxItemDelegate.h"
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

const unsigned OWN_PLAIN = BOX_FLAG_SELF | BOX_FLAG_PLAIN | BOX_FLAG_UNSHARED, OWN_LOCKED = BOX_FLAG_SELF |
    BOX_FLAG_ENCRYPTED | BOX_FLAG_UNSHARED, OTHER_LOCKED = BOX_FLAG_OTHER | BOX_FLAG_ENCRYPTED | BOX_FLAG_SHARED;

BoxDouble::Box dbox(const std::string &name, unsigned flags, const std::string &path = "/nonexistent")
{
    return {name, path, flags & BOX_FLAG_OTHER ? "anna" : "tester", flags};
}

void send(QWidget *w, QEvent::Type type, QPoint pos, Qt::MouseButton button = Qt::LeftButton)
{
    QMouseEvent e(type, pos, w->mapToGlobal(pos), button, button, Qt::NoModifier);
    QApplication::sendEvent(w, &e);
}

QPoint rowPoint(int row, int x = 200) { return QPoint(x, row * 28 + 14); }

// The main window in table mode; mount requests are only counted, not served.
struct Table {
    Vaultrane win;
    BoxTableView *view = win.findChild<BoxTableView *>();
    BoxTabelHeaderView *header = win.findChild<BoxTabelHeaderView *>();

    Table()
    {
        win.slot_show_table_mode(true), win.show(), (void)QTest::qWaitForWindowExposed(&win);
        QObject::disconnect(view, SIGNAL(signal_mount_box_triggered()), nullptr, nullptr);
    }
    QWidget *vp() const { return view->viewport(); }
    QColor pixel(int x, int y) const { return QColor(vp()->grab().toImage().pixel(x, y)); }
};

struct PaintRecorder : QObject {
    QRegion painted;
    bool eventFilter(QObject *, QEvent *e) override
    {
        return e->type() == QEvent::Paint && (painted += static_cast<QPaintEvent *>(e)->region(), false);
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
    void init() { BoxDouble::reset(), m_opened.clear(), QDesktopServices::setUrlHandler("file", this, "openUrl"); }
    void cleanup() { QDesktopServices::unsetUrlHandler("file"); QVERIFY(TestSupport::leftoverTopLevels().isEmpty()); }

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
        for (const auto &[filters, shown] : table) {
            std::tie(model.m_ownerFilter, model.m_encryptFilter, model.m_shareFilter) =
                std::tuple(filters[0], filters[1], filters[2]);
            model.refreshBoxList();
            QStringList names;
            for (int r = 0; r < model.rowCount(); ++r)
                names << model.data(model.index(r, 0)).toString();
            QCOMPARE(names, shown);
            QCOMPARE(model.boxAt(shown.size()).name, QString());
        }
        QCOMPARE(model.boxAt(-1).name, QString());
    }

    void iconChoice()
    {
        // From another user, encrypted, shared, mounted → icon.
        const QList<QPair<QString, QString>> table{{"1011", "share_16"}, {"1100", "share_lock16"},
            {"1111", "share_unlock16"}, {"0001", "person_16"}, {"0010", "person_shre16"}, {"0100", "person_lock16"},
            {"0110", "person_sahre_lock_16"}, {"0101", "person_unlock16"}, {"0111", "person_sahre_unlock_16"}};
        for (const auto &[s, icon] : table) {
            BoxInfo b;
            std::tie(b.fromOther, b.encrypted, b.shared, b.mounted) = std::tuple(s[0] > '0', s[1] > '0', s[2] > '0', s[3] > '0');
            QCOMPARE(BoxItemDelegate::boxIcon16(b), ":/images/image/" + icon + ".png");
        }
    }

    void doubleClickMountsOrOpens()
    {
        QTemporaryDir tmp;
        const QString locked = tmp.filePath("locked"), theirs = tmp.filePath("theirs"), hashed = tmp.filePath("x#1?y");
        QVERIFY(QDir().mkpath(locked) && QDir().mkpath(theirs) && QDir().mkpath(hashed));
        BoxDouble::setBoxes({dbox("locked", OWN_LOCKED, locked.toStdString()),
                             dbox("theirs", OTHER_LOCKED | BOX_FLAG_MOUNTED, theirs.toStdString()),
                             dbox("x#1?y", OWN_PLAIN, hashed.toStdString()),
                             dbox("gone", OWN_PLAIN, tmp.filePath("gone").toStdString())});
        Table t;
        QSignalSpy mount(t.view, SIGNAL(signal_mount_box_triggered()));
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
        QSignalSpy selected(t.view, SIGNAL(signal_index_selected(QModelIndex)));
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
        QVERIFY(rec.painted.contains(rowPoint(1, 700)) && rec.painted.contains(rowPoint(2, 700)));
        QVERIFY(!rec.painted.contains(rowPoint(0, 700)));
        t.vp()->removeEventFilter(&rec);

        // Row 0 selected: light in a frame round all five cells; row 1 hovered: unframed light.
        const QColor white("#FFFFFF"), light("#EEF9FF"), frame("#4CB6F4");
        const int right = t.header->sectionPosition(4) + t.header->sectionSize(4);
        QCOMPARE(t.pixel(330, 5), light);
        QCOMPARE(t.pixel(400, 0), frame);
        QCOMPARE(t.pixel(right, 14), frame);
        QCOMPARE(t.pixel(right - 1, 14), light);
        QCOMPARE(t.pixel(100, 28), light);
        send(t.vp(), QEvent::MouseMove, rowPoint(0), Qt::NoButton); // hovered and selected: still framed
        QCOMPARE(t.pixel(0, 14), frame);
        QCOMPARE(t.pixel(330, 28 + 5), white);

        QEvent leave(QEvent::Leave);
        QApplication::sendEvent(t.view, &leave);
        QWidget *popup = nullptr;
        QTimer::singleShot(0, [&] { (popup = QApplication::activePopupWidget()) && popup->close(); });
        send(t.vp(), QEvent::MouseButtonPress, QPoint(200, 200), Qt::RightButton);
        emit t.view->customContextMenuRequested(QPoint(200, 200));
        QCoreApplication::processEvents();
        QVERIFY(!popup);
        QVERIFY(!selected.last().at(0).value<QModelIndex>().isValid());
        QVERIFY(!t.view->currentIndex().isValid() && !t.view->selectionModel()->hasSelection());
        QCOMPARE(t.pixel(330, 5), white);
        QCOMPARE(t.pixel(100, 0), white);
    }
};

QTEST_MAIN(TestBoxTable)
#include "test_boxtable.moc"
