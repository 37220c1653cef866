// The icon view: its items, reloads, presses and double-clicks.
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

const unsigned kOwnPlain = BOX_FLAG_SELF | BOX_FLAG_PLAIN | BOX_FLAG_UNSHARED;
const unsigned kOwnLocked = BOX_FLAG_SELF | BOX_FLAG_ENCRYPTED | BOX_FLAG_UNSHARED;
const unsigned kOtherPlain = BOX_FLAG_OTHER | BOX_FLAG_PLAIN | BOX_FLAG_SHARED;

BoxDouble::Box makeBox(const std::string &name, unsigned flags, const std::string &path = "/nonexistent")
{
    const std::string owner = (flags & BOX_FLAG_OTHER) ? "anna" : "tester";
    return {name, path, owner, flags};
}

void sendMouse(QWidget *widget, QEvent::Type type, QPoint pos, Qt::MouseButton button = Qt::LeftButton)
{
    QMouseEvent event(type, pos, widget->mapToGlobal(pos), button, button, Qt::NoModifier);
    QApplication::sendEvent(widget, &event);
}

} // namespace

class TestBoxListWidget : public QObject
{
    Q_OBJECT
    std::unique_ptr<BoxListWidget> m_view;
    QList<QUrl> m_opened;

    // The view at the size the main window gives it, loaded with `boxes`;
    // returns its viewport, which receives the mouse.
    QWidget *makeView(const std::vector<BoxDouble::Box> &boxes)
    {
        BoxDouble::setBoxes(boxes);
        m_view.reset(new BoxListWidget(nullptr));
        m_view->setFixedSize(765, 330);
        m_view->updateBoxList();
        m_view->show();
        (void)QTest::qWaitForWindowExposed(m_view.get());
        m_view->doItemsLayout();
        return m_view->viewport();
    }

    QPoint itemCentre(int row)
    {
        return m_view->visualRect(m_view->model()->index(row, 0)).center();
    }

    void reload(const std::vector<BoxDouble::Box> &boxes)
    {
        BoxDouble::setBoxes(boxes);
        m_view->updateBoxList();
    }

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
        m_view.reset();
        QVERIFY(TestSupport::leftoverTopLevels().isEmpty());
    }

    // Each item shows its box's name, with the folder as tool tip and the
    // state icon; boxes in the same state share one icon, kept over reloads.
    void itemsShowTheBoxes()
    {
        makeView({makeBox("a", kOwnPlain, "/box/tester/a"),
                  makeBox("b", kOwnLocked, "/box/tester/b"),
                  makeBox("c", kOwnPlain, "/box/tester/c")});
        QCOMPARE(m_view->count(), 3);
        QCOMPARE(m_view->item(1)->text(), QString("b"));
        QCOMPARE(m_view->item(1)->toolTip(), QString("/box/tester/b"));

        const QImage plainPicture(":/images/image/person_48.png");
        const QIcon plainIcon = m_view->item(0)->icon();
        QCOMPARE(plainIcon.pixmap(48, 48).toImage(), plainPicture.convertToFormat(QImage::Format_ARGB32_Premultiplied));
        QCOMPARE(m_view->item(2)->icon().cacheKey(), plainIcon.cacheKey());
        QVERIFY(m_view->item(1)->icon().cacheKey() != plainIcon.cacheKey());

        m_view->updateBoxList();
        QCOMPARE(m_view->item(0)->icon().cacheKey(), plainIcon.cacheKey());
    }

    // A reload replaces the items in one reset; no item is changed after it
    // joined the list.
    void reloadResetsOnce()
    {
        makeView({makeBox("a", kOwnPlain), makeBox("b", kOwnLocked)});
        QSignalSpy resets(m_view->model(), &QAbstractItemModel::modelReset);
        QSignalSpy removals(m_view->model(), &QAbstractItemModel::rowsRemoved);
        QSignalSpy changes(m_view->model(), &QAbstractItemModel::dataChanged);

        reload({makeBox("a", kOwnPlain), makeBox("b", kOwnLocked), makeBox("c", kOtherPlain)});

        QCOMPARE(resets.count(), 1);
        QCOMPARE(removals.count(), 0);
        QCOMPARE(changes.count(), 0);
        QCOMPARE(m_view->count(), 3);
    }

    // The current box is found again by name and owner after a reload.
    void reloadKeepsSelection()
    {
        makeView({makeBox("docs", kOwnPlain), makeBox("docs", kOtherPlain), makeBox("c", kOwnPlain)});
        m_view->setCurrentRow(1);

        // Moved behind another box, and another "docs" in front of it.
        reload({makeBox("new", kOwnPlain), makeBox("docs", kOwnPlain), makeBox("docs", kOtherPlain)});
        QCOMPARE(m_view->currentRow(), 2);
        QCOMPARE(m_view->currentBoxInfo().owner, QString("anna"));

        // Renamed: nothing is current, and the current box is an empty record.
        reload({makeBox("new", kOwnPlain), makeBox("docs2", kOtherPlain)});
        QCOMPARE(m_view->currentRow(), -1);
        QCOMPARE(m_view->currentBoxInfo().name, QString());

        // Deleted.
        m_view->setCurrentRow(0);
        reload({makeBox("docs2", kOtherPlain)});
        QCOMPARE(m_view->currentRow(), -1);
    }

    // A right press selects the box under it and opens its menu; on empty
    // space it clears the selection and opens none. Icons cannot be dragged.
    void pressesSelectAndIconsStay()
    {
        QWidget *viewport = makeView({makeBox("a", kOwnPlain), makeBox("b", kOwnLocked)});
        QSignalSpy selected(m_view.get(), &BoxListWidget::signal_item_selected);
        QSignalSpy pressed(m_view.get(), &QAbstractItemView::pressed);

        for (const bool onItem : {true, false}) {
            bool menuShown = false;
            QTimer::singleShot(0, [&] {
                QWidget *popup = QApplication::activePopupWidget();
                menuShown = popup != nullptr;
                if (popup)
                    popup->close();
            });
            const QPoint where = onItem ? itemCentre(1) : QPoint(700, 300);
            sendMouse(viewport, QEvent::MouseButtonPress, where, Qt::RightButton);
            QCoreApplication::processEvents();

            QCOMPARE(menuShown, onItem);
            QCOMPARE(m_view->currentRow(), onItem ? 1 : -1);
            QCOMPARE(selected.last().at(0).toBool(), onItem);
        }
        QCOMPARE(selected.count(), 2);

        const QRect before = m_view->visualRect(m_view->model()->index(0, 0));
        sendMouse(viewport, QEvent::MouseButtonPress, before.center());
        for (int step = 1; step <= 10; ++step)
            sendMouse(viewport, QEvent::MouseMove, before.center() + QPoint(30 * step, 20 * step));
        sendMouse(viewport, QEvent::MouseButtonRelease, before.center() + QPoint(300, 200));
        QCoreApplication::processEvents();
        QCOMPARE(m_view->visualRect(m_view->model()->index(0, 0)), before);
        QCOMPARE(pressed.count(), 0);
    }

    void doubleClickMountsOrOpens()
    {
        QTemporaryDir tmp;
        const QString hashed = tmp.filePath("a#b?c%20d");
        const QString unlocked = tmp.filePath("unlocked");
        const QString locked = tmp.filePath("locked");
        for (const QString &folder : {hashed, unlocked, locked})
            QVERIFY(QDir().mkpath(folder));
        QWidget *viewport = makeView({makeBox("locked", kOwnLocked, locked.toStdString()),
                                      makeBox("unlocked", kOwnLocked | BOX_FLAG_MOUNTED, unlocked.toStdString()),
                                      makeBox("a#b?c%20d", kOwnPlain, hashed.toStdString()),
                                      makeBox("gone", kOwnPlain, tmp.filePath("gone").toStdString())});
        QSignalSpy mount(m_view.get(), &BoxListWidget::signal_mount_box_triggered);

        // Locked: only the mount request; the right button, a missing folder
        // and empty space: nothing.
        for (int row = 0; row <= 3; ++row)
            sendMouse(viewport, QEvent::MouseButtonDblClick, itemCentre(row));
        sendMouse(viewport, QEvent::MouseButtonDblClick, itemCentre(0), Qt::RightButton);
        sendMouse(viewport, QEvent::MouseButtonDblClick, QPoint(700, 300));

        QCOMPARE(mount.count(), 1);
        QCOMPARE(m_opened, (QList<QUrl>{QUrl::fromLocalFile(unlocked), QUrl::fromLocalFile(hashed)}));
    }
};

QTEST_MAIN(TestBoxListWidget)
#include "test_boxlistwidget.moc"
