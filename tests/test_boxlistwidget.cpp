#include "BoxListWidget.h"

#include "box_service.h"
#include "boxdouble.h"
#include "testsupport.h"

#include <QApplication>
#include <QDesktopServices>
#include <QSignalSpy>
#include <QtTest>

#include <memory>

namespace {

const unsigned OWN_PLAIN = BOX_FLAG_SELF | BOX_FLAG_PLAIN | BOX_FLAG_UNSHARED, OWN_LOCKED = BOX_FLAG_SELF |
    BOX_FLAG_ENCRYPTED | BOX_FLAG_UNSHARED, OTHER_PLAIN = BOX_FLAG_OTHER | BOX_FLAG_PLAIN | BOX_FLAG_SHARED;

BoxDouble::Box dbox(const std::string &name, unsigned flags, const std::string &path = "/nonexistent")
{
    return {name, path, flags & BOX_FLAG_OTHER ? "anna" : "tester", flags};
}

void sendMouse(QWidget *w, QEvent::Type type, QPoint pos, Qt::MouseButton button = Qt::LeftButton)
{
    QMouseEvent e(type, pos, w->mapToGlobal(pos), button, button, Qt::NoModifier);
    QApplication::sendEvent(w, &e);
}

} // namespace

class TestBoxListWidget : public QObject
{
    Q_OBJECT
    std::unique_ptr<BoxListWidget> m_view;
    QList<QUrl> m_opened;

    // The view at the size the main window gives it, with `boxes`.
    QWidget *makeView(const std::vector<BoxDouble::Box> &boxes)
    {
        BoxDouble::setBoxes(boxes);
        m_view.reset(new BoxListWidget(nullptr));
        m_view->setFixedSize(765, 330), m_view->updateBoxList(), m_view->show();
        (void)QTest::qWaitForWindowExposed(m_view.get());
        m_view->doItemsLayout();
        return m_view->viewport();
    }

    QPoint itemCentre(int row) { return m_view->visualRect(m_view->model()->index(row, 0)).center(); }

    void reload(const std::vector<BoxDouble::Box> &boxes) { BoxDouble::setBoxes(boxes), m_view->updateBoxList(); }

public slots:
    void openUrl(const QUrl &url) { m_opened << url; }

private slots:
    void init() { BoxDouble::reset(), m_opened.clear(), QDesktopServices::setUrlHandler("file", this, "openUrl"); }

    void cleanup()
    {
        QDesktopServices::unsetUrlHandler("file"), m_view.reset();
        QVERIFY(TestSupport::leftoverTopLevels().isEmpty());
    }

    void iconChoice()
    {
        // From another user, encrypted, shared, mounted → icon.
        const QList<QPair<QString, QString>> table{{"1000", "share_48"}, {"1011", "share_48"},
            {"1101", "sahre_unlock48"}, {"1110", "sahre_lock48"}, {"0111", "person_sahre_unlock_48"},
            {"0110", "person_sahre_lock48"}, {"0101", "person_unlock_48"}, {"0100", "person_lock_48"},
            {"0010", "person_share_48"}, {"0001", "person_48"}};
        for (const auto &[s, icon] : table) {
            BoxInfo b;
            std::tie(b.fromOther, b.encrypted, b.shared, b.mounted) = std::tuple(s[0] > '0', s[1] > '0', s[2] > '0', s[3] > '0');
            QCOMPARE(BoxListWidget::boxIcon48(b), ":/images/image/" + icon + ".png");
        }
    }

    // The current box is found again by name and owner after a reload.
    void reloadKeepsSelection()
    {
        makeView({dbox("docs", OWN_PLAIN), dbox("docs", OTHER_PLAIN), dbox("c", OWN_PLAIN)});
        m_view->setCurrentRow(1);
        // Moved behind another box, and another "docs" in front of it.
        reload({dbox("new", OWN_PLAIN), dbox("docs", OWN_PLAIN), dbox("docs", OTHER_PLAIN)});
        QCOMPARE(m_view->currentRow(), 2);
        QCOMPARE(m_view->currentBoxInfo().owner, QString("anna"));
        // Renamed, then deleted: nothing is current; an empty record for it.
        reload({dbox("new", OWN_PLAIN), dbox("docs2", OTHER_PLAIN)});
        QCOMPARE(m_view->currentRow(), -1);
        QCOMPARE(m_view->currentBoxInfo().name, QString());
        m_view->setCurrentRow(0);
        reload({dbox("docs2", OTHER_PLAIN)});
        QCOMPARE(m_view->currentRow(), -1);
    }

    // A right press selects the box under it and opens its menu; on empty
    // space it clears the selection and opens none. Icons cannot be dragged.
    void pressesSelectAndIconsStay()
    {
        QWidget *vp = makeView({dbox("a", OWN_PLAIN), dbox("b", OWN_LOCKED)});
        QSignalSpy selected(m_view.get(), SIGNAL(signal_item_selected(bool)));
        QSignalSpy pressed(m_view.get(), SIGNAL(pressed(QModelIndex)));
        for (const bool onItem : {true, false}) {
            bool menuShown = false;
            QTimer::singleShot(0, [&] { (menuShown = QApplication::activePopupWidget()) && QApplication::activePopupWidget()->close(); });
            sendMouse(vp, QEvent::MouseButtonPress, onItem ? itemCentre(1) : QPoint(700, 300), Qt::RightButton);
            QCoreApplication::processEvents();
            QCOMPARE(menuShown, onItem);
            QCOMPARE(m_view->currentRow(), onItem ? 1 : -1);
            QCOMPARE(selected.last().at(0).toBool(), onItem);
        }
        QCOMPARE(selected.count(), 2);

        const QRect before = m_view->visualRect(m_view->model()->index(0, 0));
        sendMouse(vp, QEvent::MouseButtonPress, before.center());
        for (int i = 1; i <= 10; ++i)
            sendMouse(vp, QEvent::MouseMove, before.center() + QPoint(30 * i, 20 * i));
        sendMouse(vp, QEvent::MouseButtonRelease, before.center() + QPoint(300, 200));
        QCoreApplication::processEvents();
        QCOMPARE(m_view->visualRect(m_view->model()->index(0, 0)), before);
        QCOMPARE(pressed.count(), 0);
    }

    void doubleClickMountsOrOpens()
    {
        QTemporaryDir tmp;
        const QString hashed = tmp.filePath("a#b?c%20d"), unlocked = tmp.filePath("unlocked"), locked = tmp.filePath("locked");
        QVERIFY(QDir().mkpath(hashed) && QDir().mkpath(unlocked) && QDir().mkpath(locked));
        QWidget *vp = makeView({dbox("locked", OWN_LOCKED, locked.toStdString()),
                                dbox("unlocked", OWN_LOCKED | BOX_FLAG_MOUNTED, unlocked.toStdString()),
                                dbox("a#b?c%20d", OWN_PLAIN, hashed.toStdString()),
                                dbox("gone", OWN_PLAIN, tmp.filePath("gone").toStdString())});
        QSignalSpy mount(m_view.get(), SIGNAL(signal_mount_box_triggered()));
        // Locked: only the mount request; right button, missing folder, empty space: nothing.
        for (int row = 0; row <= 3; ++row)
            sendMouse(vp, QEvent::MouseButtonDblClick, itemCentre(row));
        sendMouse(vp, QEvent::MouseButtonDblClick, itemCentre(0), Qt::RightButton);
        sendMouse(vp, QEvent::MouseButtonDblClick, QPoint(700, 300));
        QCOMPARE(mount.count(), 1);
        QCOMPARE(m_opened, (QList<QUrl>{QUrl::fromLocalFile(unlocked), QUrl::fromLocalFile(hashed)}));
    }
};

QTEST_MAIN(TestBoxListWidget)
#include "test_boxlistwidget.moc"
