#include "BoxItemDelegate.h"
#include "BoxTabelHeaderView.h"
#include "BoxTableModel.h"
#include "BoxTableView.h"

#include "box_service.h"
#include "boxdouble.h"
#include "testsupport.h"

#include <QAction>
#include <QApplication>
#include <QContextMenuEvent>
#include <QDesktopServices>
#include <QMenu>
#include <QSignalSpy>
#include <QtTest>

#include <memory>

namespace {

const unsigned OWN_PLAIN = BOX_FLAG_SELF | BOX_FLAG_PLAIN | BOX_FLAG_UNSHARED;
const unsigned OWN_LOCKED = BOX_FLAG_SELF | BOX_FLAG_ENCRYPTED | BOX_FLAG_UNSHARED;
const unsigned OTHER_LOCKED = BOX_FLAG_OTHER | BOX_FLAG_ENCRYPTED | BOX_FLAG_SHARED;
const unsigned OTHER_PLAIN = BOX_FLAG_OTHER | BOX_FLAG_PLAIN | BOX_FLAG_SHARED;

BoxDouble::Box dbox(const std::string &name, const std::string &owner, unsigned flags,
                    const std::string &path = "/nonexistent")
{
    return {name, path, owner, flags};
}

void sendMouse(QWidget *w, QEvent::Type type, QPoint pos, Qt::MouseButton button = Qt::LeftButton)
{
    const Qt::MouseButtons buttons = type == QEvent::MouseButtonRelease ? Qt::NoButton : Qt::MouseButtons(button);
    QMouseEvent e(type, pos, w->mapToGlobal(pos), button, buttons, Qt::NoModifier);
    QApplication::sendEvent(w, &e);
}

void click(QWidget *w, QPoint pos, Qt::MouseButton button = Qt::LeftButton)
{
    sendMouse(w, QEvent::MouseButtonPress, pos, button);
    sendMouse(w, QEvent::MouseButtonRelease, pos, button);
}

void leave(QWidget *w)
{
    QEvent e(QEvent::Leave);
    QApplication::sendEvent(w, &e);
}

// The table mode as the main window builds and wires it.
struct TableFixture {
    std::unique_ptr<QWidget> host{new QWidget};
    BoxTableView *view = new BoxTableView(host.get());
    BoxTableModel *model = new BoxTableModel(host.get());
    BoxTabelHeaderView *header = new BoxTabelHeaderView(host.get());

    TableFixture()
    {
        host->setFixedSize(780, 560);
        view->setFixedSize(745, 330);
        auto *delegate = new BoxItemDelegate(model, host.get());
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
        QObject::connect(view, SIGNAL(signal_index_hovered(QModelIndex)), delegate,
                         SLOT(slot_hover_index_changed(QModelIndex)));
        QObject::connect(view, SIGNAL(signal_index_selected(QModelIndex)), delegate,
                         SLOT(slot_selected_index_changed(QModelIndex)));
        host->show();
        (void)QTest::qWaitForWindowExposed(host.get());
    }

    QWidget *vp() const { return view->viewport(); }
    static QPoint rowPoint(int row, int x = 200) { return QPoint(x, row * 28 + 14); }
    QColor pixel(int x, int y) const { return QColor(vp()->grab().toImage().pixel(x, y)); }
    QStringList names() const
    {
        QStringList n;
        for (int r = 0; r < model->rowCount(); ++r)
            n << model->data(model->index(r, 0)).toString();
        return n;
    }
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
        BoxDouble::setBoxes({dbox("mine", "tester", OWN_PLAIN), dbox("mine-locked", "tester", OWN_LOCKED),
                             dbox("theirs-locked", "anna", OTHER_LOCKED), dbox("theirs", "bob", OTHER_PLAIN)});
        TableFixture t;
        t.model->m_ownerFilter = owner;
        t.model->m_encryptFilter = encrypt;
        t.model->m_shareFilter = share;
        t.model->refreshBoxList();
        QCOMPARE(t.names(), shown);
        // Outside the list: an empty record, not a crash.
        QCOMPARE(t.model->boxAt(shown.size()).name, QString());
        QCOMPARE(t.model->boxAt(-1).name, QString());
        // Resetting only sets the selectors back; the list follows on reload.
        t.model->resetFilter();
        QCOMPARE(t.names(), shown);
        t.model->refreshBoxList();
        QCOMPARE(t.names().size(), 4);
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
        BoxDouble::setBoxes({dbox("a", "tester", OWN_PLAIN), dbox("b", "tester", OWN_PLAIN)});
        TableFixture t;
        QSignalSpy selected(t.view, SIGNAL(signal_index_selected(QModelIndex)));
        QSignalSpy pressed(t.view, SIGNAL(pressed(QModelIndex)));
        click(t.vp(), t.rowPoint(1, 400));
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
        click(t.vp(), QPoint(200, 200), Qt::RightButton);
        QContextMenuEvent menuEvent(QContextMenuEvent::Mouse, QPoint(200, 200), t.vp()->mapToGlobal(QPoint(200, 200)));
        QApplication::sendEvent(t.vp(), &menuEvent);
        QCoreApplication::processEvents();
        QVERIFY(!popup);
        QCOMPARE(selected.count(), 2);
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
        BoxDouble::setBoxes({dbox("locked", "tester", OWN_LOCKED, locked.toStdString()),
                             dbox("theirs", "anna", OTHER_LOCKED | BOX_FLAG_MOUNTED, theirs.toStdString()),
                             dbox("x#1?y", "tester", OWN_PLAIN, hashed.toStdString()),
                             dbox("gone", "tester", OWN_PLAIN, tmp.filePath("gone").toStdString())});
        TableFixture t;
        QSignalSpy mount(t.view, SIGNAL(signal_mount_box_triggered()));
        // Encrypted and not mounted: only the mount request, though the folder exists.
        sendMouse(t.vp(), QEvent::MouseButtonDblClick, t.rowPoint(0));
        QCOMPARE(mount.count(), 1);
        QVERIFY(m_catcher.urls.isEmpty());
        // Right button, a mounted box, a '#' folder, a missing folder, empty space.
        sendMouse(t.vp(), QEvent::MouseButtonDblClick, t.rowPoint(0), Qt::RightButton);
        sendMouse(t.vp(), QEvent::MouseButtonDblClick, t.rowPoint(1));
        sendMouse(t.vp(), QEvent::MouseButtonDblClick, t.rowPoint(2, 600));
        sendMouse(t.vp(), QEvent::MouseButtonDblClick, t.rowPoint(3));
        sendMouse(t.vp(), QEvent::MouseButtonDblClick, QPoint(200, 250));
        QCOMPARE(mount.count(), 1);
        QCOMPARE(m_catcher.urls, (QList<QUrl>{QUrl::fromLocalFile(theirs), QUrl::fromLocalFile(hashed)}));
    }

    void delegatePaintsHoverAndSelection()
    {
        BoxDouble::setBoxes({dbox("a", "tester", OWN_PLAIN), dbox("b", "anna", OTHER_LOCKED),
                             dbox("c", "tester", OWN_LOCKED)});
        TableFixture t;
        const QColor white("#FFFFFF"), light("#EEF9FF"), frame("#4CB6F4");
        const int right = t.header->sectionPosition(4) + t.header->sectionSize(4);
        click(t.vp(), t.rowPoint(0));
        sendMouse(t.vp(), QEvent::MouseMove, t.rowPoint(1), Qt::NoButton);
        // Row 0 selected: light inside a frame around all five cells; row 1
        // hovered: light without a frame; row 2 plain.
        QCOMPARE(t.pixel(330, 5), light);
        QCOMPARE(t.pixel(400, 0), frame);
        QCOMPARE(t.pixel(right, 14), frame);
        QCOMPARE(t.pixel(right - 1, 14), light);
        QCOMPARE(t.pixel(100, 28), light);
        QCOMPARE(t.pixel(330, 56 + 5), white);
        // Hovered and selected: still framed.
        sendMouse(t.vp(), QEvent::MouseMove, t.rowPoint(0), Qt::NoButton);
        QCOMPARE(t.pixel(0, 14), frame);
        QCOMPARE(t.pixel(330, 5), light);
        QCOMPARE(t.pixel(330, 28 + 5), white);
        // The main window clears the highlight with an invalid index.
        leave(t.view);
        emit t.view->signal_index_selected(QModelIndex());
        QCOMPARE(t.pixel(330, 5), white);
        QCOMPARE(t.pixel(100, 0), white);
    }

    void hoverRepaintsOldAndNewRow()
    {
        BoxDouble::setBoxes({dbox("a", "tester", OWN_PLAIN), dbox("b", "tester", OWN_PLAIN),
                             dbox("c", "tester", OWN_PLAIN)});
        TableFixture t;
        QCoreApplication::processEvents();
        PaintRecorder rec;
        t.vp()->installEventFilter(&rec);
        sendMouse(t.vp(), QEvent::MouseMove, t.rowPoint(1), Qt::NoButton);
        QCoreApplication::processEvents();
        rec.painted = QRegion();
        sendMouse(t.vp(), QEvent::MouseMove, t.rowPoint(2), Qt::NoButton);
        QCoreApplication::processEvents();
        // The cell under the pointer is not enough: whole rows, old and new.
        QVERIFY(rec.painted.contains(t.rowPoint(1, 500)));
        QVERIFY(rec.painted.contains(t.rowPoint(2, 500)));
        QVERIFY(!rec.painted.contains(t.rowPoint(0, 500)));
        rec.painted = QRegion();
        leave(t.view);
        QCoreApplication::processEvents();
        QVERIFY(rec.painted.contains(t.rowPoint(2, 500)));
        t.vp()->removeEventFilter(&rec);
    }
};

QTEST_MAIN(TestBoxTable)
#include "test_boxtable.moc"
