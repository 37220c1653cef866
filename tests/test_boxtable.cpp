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
#include <QDir>
#include <QMenu>
#include <QMouseEvent>
#include <QPaintEvent>
#include <QScrollBar>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTimer>
#include <QUrl>
#include <QtTest>

#include <memory>

namespace {

const unsigned OWN_PLAIN = BOX_FLAG_SELF | BOX_FLAG_PLAIN | BOX_FLAG_UNSHARED;
const unsigned OWN_LOCKED = BOX_FLAG_SELF | BOX_FLAG_ENCRYPTED | BOX_FLAG_UNSHARED;
const unsigned OTHER_LOCKED = BOX_FLAG_OTHER | BOX_FLAG_ENCRYPTED | BOX_FLAG_SHARED;
const unsigned OTHER_PLAIN = BOX_FLAG_OTHER | BOX_FLAG_PLAIN | BOX_FLAG_SHARED;

BoxDouble::Box dbox(const std::string &name, const std::string &owner, unsigned flags,
                    const std::string &path = std::string())
{
    BoxDouble::Box b;
    b.name = name;
    b.owner = owner;
    b.flags = flags;
    b.path = path.empty() ? "/nonexistent/box/" + owner + "/" + name : path;
    return b;
}

void sendMouse(QWidget *w, QEvent::Type type, QPoint pos, Qt::MouseButton button,
               Qt::MouseButtons buttons)
{
    QMouseEvent e(type, pos, w->mapToGlobal(pos), button, buttons, Qt::NoModifier);
    QApplication::sendEvent(w, &e);
}

void click(QWidget *w, QPoint pos, Qt::MouseButton button = Qt::LeftButton)
{
    sendMouse(w, QEvent::MouseButtonPress, pos, button, button);
    sendMouse(w, QEvent::MouseButtonRelease, pos, button, Qt::NoButton);
}

const char *const kScrollBarStyle =
    "QScrollBar:vertical {width:5px;background-color:#FFFFFF;padding-top:5px;padding-bottom:5px;}"
    "QScrollBar::handle:vertical {border-bottom: 1px solid #808080;width:5px;min-height:20px;"
    "background: #A9A9A9;border-radius:2px;}";

// The table mode as the main window builds and wires it.
struct TableFixture {
    std::unique_ptr<QWidget> host{new QWidget};
    BoxTableView *view;
    BoxTableModel *model;
    BoxItemDelegate *delegate;
    BoxTabelHeaderView *header;

    TableFixture()
    {
        host->setFixedSize(780, 560);
        view = new BoxTableView(host.get());
        view->setFixedSize(745, 330);
        view->move(30, 180);
        model = new BoxTableModel(host.get());
        delegate = new BoxItemDelegate(model, host.get());
        header = new BoxTabelHeaderView(host.get());

        view->setHorizontalHeader(header);
        view->setModel(model);
        view->setItemDelegate(delegate);
        const int widths[] = {340, 120, 120, 120, 20};
        for (int c = 0; c < 5; ++c)
            view->setColumnWidth(c, widths[c]);
        view->setSelectionBehavior(QAbstractItemView::SelectRows);
        view->setSelectionMode(QAbstractItemView::SingleSelection);
        view->verticalHeader()->hide();
        view->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
        view->horizontalHeader()->setHighlightSections(false);
        view->setShowGrid(false);
        view->verticalHeader()->setDefaultSectionSize(28);
        view->verticalScrollBar()->setStyleSheet(kScrollBarStyle);

        QObject::connect(view, SIGNAL(signal_index_hovered(QModelIndex)),
                         delegate, SLOT(slot_hover_index_changed(QModelIndex)));
        QObject::connect(view, SIGNAL(signal_index_selected(QModelIndex)),
                         delegate, SLOT(slot_selected_index_changed(QModelIndex)));
        host->show();
        (void)QTest::qWaitForWindowExposed(host.get());
    }

    QWidget *vp() const { return view->viewport(); }
    QPoint rowPoint(int row, int x = 200) const { return QPoint(x, row * 28 + 14); }
    QImage image() const { return vp()->grab().toImage(); }
    QStringList names() const
    {
        QStringList n;
        for (int r = 0; r < model->rowCount(); ++r)
            n << model->data(model->index(r, 0)).toString();
        return n;
    }
};

QColor pixel(const QImage &img, int x, int y) { return QColor(img.pixel(x, y)); }

// Records the regions the viewport is asked to repaint.
class PaintRecorder : public QObject
{
public:
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

    void modelData()
    {
        BoxDouble::setBoxes({dbox("a", "tester", OWN_PLAIN, "/tmp/a"), dbox("b", "anna", OTHER_LOCKED)});
        BoxTableModel model(nullptr);
        QCOMPARE(model.rowCount(), 2);
        QCOMPARE(model.boxCount(), 2);
        QCOMPARE(model.columnCount(), 5);
        QModelIndex i = model.index(0, 0);
        QCOMPARE(model.data(i).toString(), QString("a"));
        QCOMPARE(model.data(i.siblingAtColumn(1)).toString(), QString("tester"));
        QCOMPARE(model.data(i.siblingAtColumn(2)).toString(), QString("/tmp/a"));
        QCOMPARE(model.data(i.siblingAtColumn(3)).toString(), QString::number(OWN_PLAIN));
        QCOMPARE(model.headerData(0, Qt::Horizontal).toString(), QString("           名称"));
        QVERIFY(!model.headerData(0, Qt::Vertical).isValid());

        QCOMPARE(model.boxAt(1).owner, QString("anna"));
        QCOMPARE(model.boxAt(1).fromOther, 1);
        QCOMPARE(model.boxAt(2).name, QString());
        QCOMPARE(model.boxAt(-1).flags, quint8(0));
    }

    void tableFollowsFilterSelectors_data()
    {
        QTest::addColumn<int>("owner");
        QTest::addColumn<int>("encrypt");
        QTest::addColumn<int>("share");
        QTest::addColumn<QStringList>("shown");
        QTest::newRow("all") << 0 << 0 << 0 << QStringList{"mine", "mine-locked", "theirs-locked", "theirs"};
        QTest::newRow("own") << 1 << 0 << 0 << QStringList{"mine", "mine-locked"};
        QTest::newRow("others'") << 2 << 0 << 0 << QStringList{"theirs-locked", "theirs"};
        QTest::newRow("encrypted") << 0 << 1 << 0 << QStringList{"mine-locked", "theirs-locked"};
        QTest::newRow("plain") << 0 << 2 << 0 << QStringList{"mine", "theirs"};
        QTest::newRow("shared") << 0 << 0 << 1 << QStringList{"theirs-locked", "theirs"};
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
        QCOMPARE(t.names().size(), 4);
        t.model->m_ownerFilter = owner;
        t.model->m_encryptFilter = encrypt;
        t.model->m_shareFilter = share;
        t.model->refreshBoxList();
        QCOMPARE(t.names(), shown);
        QCOMPARE(t.view->model()->rowCount(), shown.size());

        // Back to everything: the selectors are only reset, the list follows on reload.
        t.model->resetFilter();
        QCOMPARE(t.names(), shown);
        t.model->refreshBoxList();
        QCOMPARE(t.names().size(), 4);
    }

    void iconChoice_data()
    {
        QTest::addColumn<int>("fromOther");
        QTest::addColumn<int>("encrypted");
        QTest::addColumn<int>("shared");
        QTest::addColumn<int>("mounted");
        QTest::addColumn<QString>("icon");
        const QString d = ":/images/image/";
        QTest::newRow("other plain") << 1 << 0 << 1 << 1 << d + "share_16.png";
        QTest::newRow("other locked") << 1 << 1 << 0 << 0 << d + "share_lock16.png";
        QTest::newRow("other unlocked") << 1 << 1 << 1 << 1 << d + "share_unlock16.png";
        QTest::newRow("own plain") << 0 << 0 << 0 << 1 << d + "person_16.png";
        QTest::newRow("own plain shared") << 0 << 0 << 1 << 0 << d + "person_shre16.png";
        QTest::newRow("own locked") << 0 << 1 << 0 << 0 << d + "person_lock16.png";
        QTest::newRow("own shared locked") << 0 << 1 << 1 << 0 << d + "person_sahre_lock_16.png";
        QTest::newRow("own unlocked") << 0 << 1 << 0 << 1 << d + "person_unlock16.png";
        QTest::newRow("own shared unlocked") << 0 << 1 << 1 << 1 << d + "person_sahre_unlock_16.png";
    }

    void iconChoice()
    {
        QFETCH(int, fromOther);
        QFETCH(int, encrypted);
        QFETCH(int, shared);
        QFETCH(int, mounted);
        QFETCH(QString, icon);
        BoxInfo b;
        b.fromOther = fromOther;
        b.encrypted = encrypted;
        b.shared = shared;
        b.mounted = mounted;
        QCOMPARE(BoxItemDelegate::boxIcon16(b), icon);
    }

    void pressSelectsRowOrClears()
    {
        BoxDouble::setBoxes({dbox("a", "tester", OWN_PLAIN), dbox("b", "tester", OWN_PLAIN)});
        TableFixture t;
        QSignalSpy selected(t.view, SIGNAL(signal_index_selected(QModelIndex)));
        QSignalSpy pressed(t.view, SIGNAL(pressed(QModelIndex)));

        click(t.vp(), t.rowPoint(1, 400));
        QCOMPARE(selected.count(), 1);
        QModelIndex idx = selected.at(0).at(0).value<QModelIndex>();
        QCOMPARE(idx.row(), 1);
        QCOMPARE(idx.column(), 1);
        // Current although the delegate reset the model while the signal ran.
        QCOMPARE(t.view->currentIndex().row(), 1);
        QCOMPARE(pressed.count(), 0);

        // Empty space below the last row: invalid index, nothing current, no menu.
        QWidget *popup = nullptr;
        QTimer::singleShot(0, [&] {
            popup = QApplication::activePopupWidget();
            if (popup)
                popup->hide();
        });
        click(t.vp(), QPoint(200, 200), Qt::RightButton);
        QContextMenuEvent menuEvent(QContextMenuEvent::Mouse, QPoint(200, 200),
                                    t.vp()->mapToGlobal(QPoint(200, 200)));
        QApplication::sendEvent(t.vp(), &menuEvent);
        QCoreApplication::processEvents();
        QVERIFY(!popup);
        QCOMPARE(selected.count(), 2);
        QVERIFY(!selected.at(1).at(0).value<QModelIndex>().isValid());
        QVERIFY(!t.view->currentIndex().isValid());
        QVERIFY(!t.view->selectionModel()->hasSelection());
    }

    void contextMenuForPressedBox()
    {
        BoxDouble::setBoxes({dbox("a", "tester", OWN_PLAIN),
                             dbox("b", "tester", OWN_LOCKED | BOX_FLAG_MOUNTED)});
        TableFixture t;
        QSignalSpy func(t.view, SIGNAL(signal_right_menu_func_triggered(int)));
        QStringList shown;
        auto chooseOnPopup = [&](const QString &entry) {
            QTimer::singleShot(0, [&, entry] {
                auto *menu = qobject_cast<QMenu *>(QApplication::activePopupWidget());
                if (!menu)
                    return;
                shown.clear();
                for (QAction *a : menu->actions())
                    if (!a->isSeparator() && a->isVisible())
                        shown << a->text();
                for (QAction *a : menu->actions())
                    if (a->text() == entry)
                        a->trigger();
                menu->hide();
            });
        };
        // Through the viewport's context-menu event, as a right click delivers it.
        chooseOnPopup("卸载");
        QContextMenuEvent menuEvent(QContextMenuEvent::Mouse, t.rowPoint(1),
                                    t.vp()->mapToGlobal(t.rowPoint(1)));
        QApplication::sendEvent(t.vp(), &menuEvent);
        QCOMPARE(shown, QStringList{"卸载"});
        QCOMPARE(func.count(), 1);
        QCOMPARE(func.at(0).at(0).toInt(), 1);

        chooseOnPopup("共享");
        t.view->slot_custom_context_menu(t.rowPoint(0));
        QCOMPARE(shown, QStringList({"密码设置", "共享", "删除", "重命名"}));
        QCOMPARE(func.count(), 2);
        QCOMPARE(func.at(1).at(0).toInt(), 3);
    }

    void doubleClickMountsOrOpens()
    {
        QTemporaryDir tmp;
        QVERIFY(tmp.isValid());
        const QString locked = tmp.filePath("locked");
        const QString theirs = tmp.filePath("theirs");
        const QString hashed = tmp.filePath("x#1?y");
        for (const QString &p : {locked, theirs, hashed})
            QVERIFY(QDir().mkpath(p));
        BoxDouble::setBoxes({dbox("locked", "tester", OWN_LOCKED, locked.toStdString()),
                             dbox("theirs", "anna", OTHER_LOCKED | BOX_FLAG_MOUNTED, theirs.toStdString()),
                             dbox("x#1?y", "tester", OWN_PLAIN, hashed.toStdString()),
                             dbox("gone", "tester", OWN_PLAIN, tmp.filePath("gone").toStdString())});
        TableFixture t;
        QSignalSpy mount(t.view, SIGNAL(signal_mount_box_triggered()));
        QSignalSpy doubleClicked(t.view, SIGNAL(doubleClicked(QModelIndex)));

        sendMouse(t.vp(), QEvent::MouseButtonDblClick, t.rowPoint(0), Qt::LeftButton, Qt::LeftButton);
        QCOMPARE(mount.count(), 1);
        QVERIFY(m_catcher.urls.isEmpty());
        sendMouse(t.vp(), QEvent::MouseButtonDblClick, t.rowPoint(0), Qt::RightButton, Qt::RightButton);
        sendMouse(t.vp(), QEvent::MouseButtonDblClick, t.rowPoint(1), Qt::LeftButton, Qt::LeftButton);
        sendMouse(t.vp(), QEvent::MouseButtonDblClick, t.rowPoint(2, 600), Qt::LeftButton, Qt::LeftButton);
        sendMouse(t.vp(), QEvent::MouseButtonDblClick, t.rowPoint(3), Qt::LeftButton, Qt::LeftButton);
        sendMouse(t.vp(), QEvent::MouseButtonDblClick, QPoint(200, 250), Qt::LeftButton, Qt::LeftButton);
        QCOMPARE(mount.count(), 1);
        QCOMPARE(doubleClicked.count(), 0);
        QCOMPARE(m_catcher.urls.size(), 2);
        QCOMPARE(m_catcher.urls.at(0).toLocalFile(), theirs);
        QCOMPARE(m_catcher.urls.at(1).toLocalFile(), hashed);
    }

    void delegatePaintsHoverAndSelection()
    {
        BoxDouble::setBoxes({dbox("a", "tester", OWN_PLAIN), dbox("b", "anna", OTHER_LOCKED),
                             dbox("c", "tester", OWN_LOCKED)});
        TableFixture t;
        const QColor white("#FFFFFF"), light("#EEF9FF"), frame("#4CB6F4");

        click(t.vp(), t.rowPoint(0));
        sendMouse(t.vp(), QEvent::MouseMove, t.rowPoint(1), Qt::NoButton, Qt::NoButton);
        QImage img = t.image();
        // Row 0 selected: light background inside a frame around all five cells.
        QCOMPARE(pixel(img, 330, 5), light);
        QCOMPARE(pixel(img, 100, 0), frame);
        QCOMPARE(pixel(img, 400, 0), frame);
        QCOMPARE(pixel(img, 500, 27), frame);
        QCOMPARE(pixel(img, 0, 14), frame);
        const int right = t.header->sectionPosition(4) + t.header->sectionSize(4);
        QCOMPARE(pixel(img, right, 14), frame);
        QCOMPARE(pixel(img, right - 1, 14), light);
        QCOMPARE(pixel(img, 600, 14), light);
        // Row 1 hovered: light background, no frame.
        QCOMPARE(pixel(img, 330, 28 + 5), light);
        QCOMPARE(pixel(img, 100, 28), light);
        QCOMPARE(pixel(img, 0, 28 + 14), light);
        // Row 2 plain.
        QCOMPARE(pixel(img, 330, 56 + 5), white);

        // Leaving the view drops the hover, the frame stays.
        QEvent leave(QEvent::Leave);
        QApplication::sendEvent(t.view, &leave);
        img = t.image();
        QCOMPARE(pixel(img, 330, 28 + 5), white);
        QCOMPARE(pixel(img, 100, 0), frame);

        // The main window clears the highlight with an invalid index.
        emit t.view->signal_index_selected(QModelIndex());
        img = t.image();
        QCOMPARE(pixel(img, 330, 5), white);
        QCOMPARE(pixel(img, 100, 0), white);
    }

    void hoverRepaintsOldAndNewRow()
    {
        BoxDouble::setBoxes({dbox("a", "tester", OWN_PLAIN), dbox("b", "tester", OWN_PLAIN),
                             dbox("c", "tester", OWN_PLAIN)});
        TableFixture t;
        QCoreApplication::processEvents();
        PaintRecorder rec;
        t.vp()->installEventFilter(&rec);
        const QPoint inRow0(500, 14), inRow1(500, 28 + 14), inRow2(500, 56 + 14);

        sendMouse(t.vp(), QEvent::MouseMove, t.rowPoint(1), Qt::NoButton, Qt::NoButton);
        QCoreApplication::processEvents();
        QVERIFY(rec.painted.contains(inRow1));

        rec.painted = QRegion();
        sendMouse(t.vp(), QEvent::MouseMove, t.rowPoint(2), Qt::NoButton, Qt::NoButton);
        QCoreApplication::processEvents();
        QVERIFY(rec.painted.contains(inRow1));
        QVERIFY(rec.painted.contains(inRow2));
        QVERIFY(!rec.painted.contains(inRow0));

        rec.painted = QRegion();
        QEvent leave(QEvent::Leave);
        QApplication::sendEvent(t.view, &leave);
        QCoreApplication::processEvents();
        QVERIFY(rec.painted.contains(inRow2));
        t.vp()->removeEventFilter(&rec);
    }

};

QTEST_MAIN(TestBoxTable)
#include "test_boxtable.moc"
