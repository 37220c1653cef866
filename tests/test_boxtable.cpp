#include "BoxItemDelegate.h"
#include "BoxTabelHeaderView.h"
#include "BoxTableModel.h"
#include "BoxTableView.h"

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
const unsigned OTHER_PLAIN = BOX_FLAG_OTHER | BOX_FLAG_PLAIN | BOX_FLAG_SHARED;

BoxDouble::Box dbox(const std::string &name, unsigned flags, const std::string &path = "/nonexistent")
{
    return {name, path, flags & BOX_FLAG_OTHER ? "anna" : "tester", flags};
}

void send(QWidget *w, QEvent::Type type, QPoint pos, Qt::MouseButton button = Qt::LeftButton)
{
    QMouseEvent e(type, pos, w->mapToGlobal(pos), button, type == QEvent::MouseButtonRelease ? Qt::NoButton : button,
                  Qt::NoModifier);
    QApplication::sendEvent(w, &e);
}

void leave(QWidget *w)
{
    QEvent e(QEvent::Leave);
    QApplication::sendEvent(w, &e);
}

QPoint rowPoint(int row, int x = 200) { return QPoint(x, row * 28 + 14); }

// The table mode as the main window builds and wires it.
struct Table : QWidget {
    BoxTableView *view = new BoxTableView(this);
    BoxTableModel *model = new BoxTableModel(this);
    BoxTabelHeaderView *header = new BoxTabelHeaderView(this);

    Table()
    {
        view->setFixedSize(745, 330);
        auto *delegate = new BoxItemDelegate(model, this);
        view->setHorizontalHeader(header);
        view->setModel(model);
        view->setItemDelegate(delegate);
        const int widths[] = {340, 120, 120, 120, 20};
        for (int c = 0; c < 5; ++c)
            view->setColumnWidth(c, widths[c]);
        view->setSelectionBehavior(QAbstractItemView::SelectRows);
        view->setSelectionMode(QAbstractItemView::SingleSelection);
        view->verticalHeader()->hide();
        view->setShowGrid(false);
        view->verticalHeader()->setDefaultSectionSize(28);
        connect(view, &BoxTableView::signal_index_hovered, delegate, &BoxItemDelegate::slot_hover_index_changed);
        connect(view, &BoxTableView::signal_index_selected, delegate, &BoxItemDelegate::slot_selected_index_changed);
        show();
        (void)QTest::qWaitForWindowExposed(this);
    }
    QWidget *vp() const { return view->viewport(); }
    QColor pixel(int x, int y) const { return QColor(vp()->grab().toImage().pixel(x, y)); }
};

// Records the regions the viewport is asked to repaint.
struct PaintRecorder : QObject {
    QRegion painted;
    bool eventFilter(QObject *, QEvent *e) override
    {
        if (e->type() == QEvent::Paint)
            painted += static_cast<QPaintEvent *>(e)->region();
        return false;
    }
};

} // namespace

// Stands in for the desktop's file manager.
class UrlCatcher : public QObject
{
    Q_OBJECT
public:
    QList<QUrl> urls;
public slots:
    void openUrl(const QUrl &url) { urls << url; }
};

class TestBoxTable : public QObject
{
    Q_OBJECT
    UrlCatcher m_catcher;

private slots:
    void init()
    {
        BoxDouble::reset();
        QDesktopServices::setUrlHandler("file", &m_catcher, "openUrl");
        m_catcher.urls.clear();
    }

    void cleanup()
    {
        QDesktopServices::unsetUrlHandler("file");
        QVERIFY(TestSupport::leftoverTopLevels().isEmpty());
    }

    void tableFollowsFilterSelectors_data()
    {
        QTest::addColumn<int>("owner");
        QTest::addColumn<int>("encrypt");
        QTest::addColumn<int>("share");
        QTest::addColumn<QStringList>("shown");
        QTest::newRow("all") << 0 << 0 << 0 << QStringList{"mine", "mine-locked", "theirs-locked", "theirs"};
        QTest::newRow("own") << 1 << 0 << 0 << QStringList{"mine", "mine-locked"};
        QTest::newRow("encrypted") << 0 << 1 << 0 << QStringList{"mine-locked", "theirs-locked"};
        QTest::newRow("unshared") << 0 << 0 << 2 << QStringList{"mine", "mine-locked"};
        QTest::newRow("others' plain") << 2 << 2 << 0 << QStringList{"theirs"};
        QTest::newRow("own shared") << 1 << 0 << 1 << QStringList();
    }

    void tableFollowsFilterSelectors()
    {
        QFETCH(int, owner);
        QFETCH(int, encrypt);
        QFETCH(int, share);
        QFETCH(QStringList, shown);
        BoxDouble::setBoxes({dbox("mine", OWN_PLAIN), dbox("mine-locked", OWN_LOCKED),
                             dbox("theirs-locked", OTHER_LOCKED), dbox("theirs", OTHER_PLAIN)});
        BoxTableModel model(nullptr);
        model.m_ownerFilter = owner;
        model.m_encryptFilter = encrypt;
        model.m_shareFilter = share;
        model.refreshBoxList();
        QStringList names;
        for (int r = 0; r < model.rowCount(); ++r)
            names << model.data(model.index(r, 0)).toString();
        QCOMPARE(names, shown);
        // Outside the list: an empty record, not a crash.
        QCOMPARE(model.boxAt(shown.size()).name, QString());
        QCOMPARE(model.boxAt(-1).name, QString());
    }

    void iconChoice_data()
    {
        // The box's state as four digits: from another user, encrypted, shared, mounted.
        QTest::addColumn<QString>("state");
        QTest::addColumn<QString>("icon");
        QTest::newRow("other plain") << "1011" << "share_16.png";
        QTest::newRow("other locked") << "1100" << "share_lock16.png";
        QTest::newRow("other unlocked") << "1111" << "share_unlock16.png";
        QTest::newRow("own plain") << "0001" << "person_16.png";
        QTest::newRow("own plain shared") << "0010" << "person_shre16.png";
        QTest::newRow("own locked") << "0100" << "person_lock16.png";
        QTest::newRow("own shared locked") << "0110" << "person_sahre_lock_16.png";
        QTest::newRow("own unlocked") << "0101" << "person_unlock16.png";
        QTest::newRow("own shared unlocked") << "0111" << "person_sahre_unlock_16.png";
    }

    void iconChoice()
    {
        QFETCH(QString, state);
        QFETCH(QString, icon);
        BoxInfo b;
        b.fromOther = state[0].digitValue();
        b.encrypted = state[1].digitValue();
        b.shared = state[2].digitValue();
        b.mounted = state[3].digitValue();
        QCOMPARE(BoxItemDelegate::boxIcon16(b), ":/images/image/" + icon);
    }

    void pressSelectsRowOrClears()
    {
        BoxDouble::setBoxes({dbox("a", OWN_PLAIN), dbox("b", OWN_PLAIN)});
        Table t;
        QSignalSpy selected(t.view, SIGNAL(signal_index_selected(QModelIndex)));
        QSignalSpy pressed(t.view, SIGNAL(pressed(QModelIndex)));
        send(t.vp(), QEvent::MouseButtonPress, rowPoint(1, 400));
        QCOMPARE(selected.at(0).at(0).value<QModelIndex>().row(), 1);
        // Current although the delegate reset the model while the signal ran.
        QCOMPARE(t.view->currentIndex().row(), 1);
        QCOMPARE(pressed.count(), 0);

        // Empty space below the last row: invalid index, nothing current, no menu.
        QWidget *popup = nullptr;
        QTimer::singleShot(0, [&] {
            if ((popup = QApplication::activePopupWidget()))
                popup->hide();
        });
        send(t.vp(), QEvent::MouseButtonPress, QPoint(200, 200), Qt::RightButton);
        QContextMenuEvent menuEvent(QContextMenuEvent::Mouse, QPoint(200, 200), t.vp()->mapToGlobal(QPoint(200, 200)));
        QApplication::sendEvent(t.vp(), &menuEvent);
        QCoreApplication::processEvents();
        QVERIFY(!popup);
        QVERIFY(!selected.at(1).at(0).value<QModelIndex>().isValid());
        QVERIFY(!t.view->currentIndex().isValid());
        QVERIFY(!t.view->selectionModel()->hasSelection());
    }

    void doubleClickMountsOrOpens()
    {
        QTemporaryDir tmp;
        const QString locked = tmp.filePath("locked"), theirs = tmp.filePath("theirs"), hashed = tmp.filePath("x#1?y");
        for (const QString &p : {locked, theirs, hashed})
            QVERIFY(QDir().mkpath(p));
        BoxDouble::setBoxes({dbox("locked", OWN_LOCKED, locked.toStdString()),
                             dbox("theirs", OTHER_LOCKED | BOX_FLAG_MOUNTED, theirs.toStdString()),
                             dbox("x#1?y", OWN_PLAIN, hashed.toStdString()),
                             dbox("gone", OWN_PLAIN, tmp.filePath("gone").toStdString())});
        Table t;
        QSignalSpy mount(t.view, SIGNAL(signal_mount_box_triggered()));
        // Encrypted and not mounted: only the mount request, though the folder exists.
        send(t.vp(), QEvent::MouseButtonDblClick, rowPoint(0));
        QCOMPARE(mount.count(), 1);
        QVERIFY(m_catcher.urls.isEmpty());
        // Right button, a mounted box, a '#' folder, a missing folder, empty space.
        send(t.vp(), QEvent::MouseButtonDblClick, rowPoint(0), Qt::RightButton);
        for (int row = 1; row <= 3; ++row)
            send(t.vp(), QEvent::MouseButtonDblClick, rowPoint(row, 600));
        send(t.vp(), QEvent::MouseButtonDblClick, QPoint(200, 250));
        QCOMPARE(mount.count(), 1);
        QCOMPARE(m_catcher.urls, (QList<QUrl>{QUrl::fromLocalFile(theirs), QUrl::fromLocalFile(hashed)}));
    }

    void hoverAndSelectionHighlight()
    {
        BoxDouble::setBoxes({dbox("a", OWN_PLAIN), dbox("b", OTHER_LOCKED), dbox("c", OWN_LOCKED)});
        Table t;
        const QColor white("#FFFFFF"), light("#EEF9FF"), frame("#4CB6F4");
        const int right = t.header->sectionPosition(4) + t.header->sectionSize(4);
        PaintRecorder rec;
        t.vp()->installEventFilter(&rec);
        send(t.vp(), QEvent::MouseButtonPress, rowPoint(0));
        send(t.vp(), QEvent::MouseMove, rowPoint(2), Qt::NoButton);
        QCoreApplication::processEvents();
        rec.painted = QRegion();
        send(t.vp(), QEvent::MouseMove, rowPoint(1), Qt::NoButton);
        QCoreApplication::processEvents();
        // Whole rows repaint, the one that lost the hover and the one that got it.
        QVERIFY(rec.painted.contains(rowPoint(1, 700)));
        QVERIFY(rec.painted.contains(rowPoint(2, 700)));
        QVERIFY(!rec.painted.contains(rowPoint(0, 700)));
        t.vp()->removeEventFilter(&rec);

        // Row 0 selected: light inside a frame around all five cells; row 1
        // hovered: light without a frame; row 2 plain.
        QCOMPARE(t.pixel(330, 5), light);
        QCOMPARE(t.pixel(400, 0), frame);
        QCOMPARE(t.pixel(right, 14), frame);
        QCOMPARE(t.pixel(right - 1, 14), light);
        QCOMPARE(t.pixel(100, 28), light);
        QCOMPARE(t.pixel(330, 56 + 5), white);
        // Hovered and selected: still framed.
        send(t.vp(), QEvent::MouseMove, rowPoint(0), Qt::NoButton);
        QCOMPARE(t.pixel(0, 14), frame);
        QCOMPARE(t.pixel(330, 28 + 5), white);
        // The main window clears the highlight with an invalid index.
        leave(t.view);
        emit t.view->signal_index_selected(QModelIndex());
        QCOMPARE(t.pixel(330, 5), white);
        QCOMPARE(t.pixel(100, 0), white);
    }
};

QTEST_MAIN(TestBoxTable)
#include "test_boxtable.moc"
