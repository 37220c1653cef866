#include "BoxListWidget.h"

#include "box_service.h"
#include "boxdouble.h"
#include "testsupport.h"

#include <QAction>
#include <QApplication>
#include <QDesktopServices>
#include <QDir>
#include <QMenu>
#include <QMouseEvent>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTimer>
#include <QUrl>
#include <QtTest>

#include <memory>

namespace {

const unsigned OWN_PLAIN = BOX_FLAG_SELF | BOX_FLAG_PLAIN | BOX_FLAG_UNSHARED;
const unsigned OWN_LOCKED = BOX_FLAG_SELF | BOX_FLAG_ENCRYPTED | BOX_FLAG_UNSHARED;
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

void click(QWidget *w, QPoint pos, Qt::MouseButton button)
{
    sendMouse(w, QEvent::MouseButtonPress, pos, button, button);
    sendMouse(w, QEvent::MouseButtonRelease, pos, button, Qt::NoButton);
}

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

class TestBoxListWidget : public QObject
{
    Q_OBJECT

    std::unique_ptr<QWidget> m_host;
    BoxListWidget *m_view = nullptr;
    UrlCatcher m_catcher;

    // A window-sized host with the view placed as the main window places it.
    void makeView()
    {
        m_host.reset(new QWidget);
        m_host->setFixedSize(780, 560);
        m_view = new BoxListWidget(m_host.get());
        m_view->setFixedSize(765, 330);
        m_view->move(10, 170);
        m_view->updateBoxList();
        m_host->show();
        QVERIFY(QTest::qWaitForWindowExposed(m_host.get()));
        m_view->doItemsLayout();
    }

    QPoint itemCentre(int row)
    {
        return m_view->visualRect(m_view->model()->index(row, 0)).center();
    }

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
        m_host.reset();
        m_view = nullptr;
        QVERIFY(TestSupport::leftoverTopLevels().isEmpty());
    }

    void iconChoice_data()
    {
        QTest::addColumn<int>("fromOther");
        QTest::addColumn<int>("encrypted");
        QTest::addColumn<int>("shared");
        QTest::addColumn<int>("mounted");
        QTest::addColumn<QString>("icon");
        const QString d = ":/images/image/";
        QTest::newRow("other plain") << 1 << 0 << 0 << 0 << d + "share_48.png";
        QTest::newRow("other plain, mounted field set") << 1 << 0 << 1 << 1 << d + "share_48.png";
        QTest::newRow("other unlocked") << 1 << 1 << 0 << 1 << d + "sahre_unlock48.png";
        QTest::newRow("other locked") << 1 << 1 << 1 << 0 << d + "sahre_lock48.png";
        QTest::newRow("own shared unlocked") << 0 << 1 << 1 << 1 << d + "person_sahre_unlock_48.png";
        QTest::newRow("own shared locked") << 0 << 1 << 1 << 0 << d + "person_sahre_lock48.png";
        QTest::newRow("own unlocked") << 0 << 1 << 0 << 1 << d + "person_unlock_48.png";
        QTest::newRow("own locked") << 0 << 1 << 0 << 0 << d + "person_lock_48.png";
        QTest::newRow("own plain shared") << 0 << 0 << 1 << 0 << d + "person_share_48.png";
        QTest::newRow("own plain") << 0 << 0 << 0 << 1 << d + "person_48.png";
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
        QCOMPARE(BoxListWidget::boxIcon48(b), icon);
    }

    void itemsShowEveryBox()
    {
        BoxDouble::setBoxes({dbox("alpha", "tester", OWN_PLAIN, "/tmp/alpha"),
                             dbox("beta", "anna", OTHER_PLAIN, "/tmp/beta")});
        makeView();
        QCOMPARE(m_view->count(), 2);
        QCOMPARE(m_view->item(1)->text(), QString("beta"));
        QCOMPARE(m_view->item(1)->toolTip(), QString("/tmp/beta"));
        QCOMPARE(m_view->item(1)->sizeHint(), QSize(70, 80));
        // (Gaining focus makes the first item current; the window clears that.)
        m_view->clearCurrentItem();
        QCOMPARE(m_view->currentRow(), -1);
        QCOMPARE(m_view->currentBoxInfo().name, QString());
        m_view->setCurrentRow(1);
        QCOMPARE(m_view->currentBoxInfo().owner, QString("anna"));
        QCOMPARE(m_view->currentBoxInfo().fromOther, 1);
    }

    void reloadRestoresSelectionByNameAndOwner()
    {
        BoxDouble::setBoxes({dbox("a", "tester", OWN_PLAIN), dbox("b", "tester", OWN_PLAIN),
                             dbox("c", "tester", OWN_PLAIN)});
        makeView();
        m_view->setCurrentRow(1);

        // Another box appears in front: "b" moves to row 2 and stays current.
        BoxDouble::setBoxes({dbox("new", "tester", OWN_PLAIN), dbox("a", "tester", OWN_PLAIN),
                             dbox("b", "tester", OWN_PLAIN), dbox("c", "tester", OWN_PLAIN)});
        m_view->updateBoxList();
        QCOMPARE(m_view->currentRow(), 2);
        QCOMPARE(m_view->currentBoxInfo().name, QString("b"));

        // Renamed: nothing is current any more.
        BoxDouble::setBoxes({dbox("new", "tester", OWN_PLAIN), dbox("a", "tester", OWN_PLAIN),
                             dbox("b2", "tester", OWN_PLAIN)});
        m_view->updateBoxList();
        QCOMPARE(m_view->currentRow(), -1);

        // Deleted: likewise.
        m_view->setCurrentRow(0);
        BoxDouble::setBoxes({dbox("a", "tester", OWN_PLAIN)});
        m_view->updateBoxList();
        QCOMPARE(m_view->currentRow(), -1);
    }

    void reloadTellsSameNamesApartByOwner()
    {
        BoxDouble::setBoxes({dbox("docs", "tester", OWN_PLAIN), dbox("docs", "anna", OTHER_PLAIN)});
        makeView();
        m_view->setCurrentRow(1);
        BoxDouble::setBoxes({dbox("docs", "anna", OTHER_PLAIN), dbox("x", "tester", OWN_PLAIN),
                             dbox("docs", "tester", OWN_PLAIN)});
        m_view->updateBoxList();
        QCOMPARE(m_view->currentRow(), 0);
        QCOMPARE(m_view->currentBoxInfo().owner, QString("anna"));

        m_view->setCurrentRow(2);
        m_view->updateBoxList();
        QCOMPARE(m_view->currentRow(), 2);
        QCOMPARE(m_view->currentBoxInfo().owner, QString("tester"));
    }

    void pressOnEmptySpaceClearsSelection()
    {
        BoxDouble::setBoxes({dbox("a", "tester", OWN_PLAIN)});
        makeView();
        m_view->setCurrentRow(0);
        QSignalSpy selected(m_view, SIGNAL(signal_item_selected(bool)));
        QSignalSpy rowChanged(m_view, SIGNAL(currentRowChanged(int)));
        QWidget *popup = nullptr;
        QTimer::singleShot(0, [&] {
            popup = QApplication::activePopupWidget();
            if (popup)
                popup->hide();
        });
        click(m_view->viewport(), QPoint(700, 300), Qt::RightButton);
        QCoreApplication::processEvents();
        QVERIFY(!popup);
        QCOMPARE(m_view->currentRow(), -1);
        QCOMPARE(selected.count(), 1);
        QCOMPARE(selected.at(0).at(0).toBool(), false);
        QCOMPARE(rowChanged.count(), 1);
        QCOMPARE(rowChanged.at(0).at(0).toInt(), -1);

        selected.clear();
        m_view->setCurrentRow(0);
        m_view->clearCurrentItem();
        QCOMPARE(m_view->currentRow(), -1);
        QCOMPARE(selected.count(), 1);
        QCOMPARE(selected.at(0).at(0).toBool(), false);
    }

    void rightPressOpensMenuForThatBox()
    {
        BoxDouble::setBoxes({dbox("a", "tester", OWN_PLAIN),
                             dbox("b", "anna", BOX_FLAG_OTHER | BOX_FLAG_ENCRYPTED | BOX_FLAG_SHARED)});
        makeView();
        QSignalSpy selected(m_view, SIGNAL(signal_item_selected(bool)));
        QSignalSpy func(m_view, SIGNAL(signal_right_menu_func_triggered(int)));
        QStringList shown;
        QTimer::singleShot(0, [&] {
            auto *menu = qobject_cast<QMenu *>(QApplication::activePopupWidget());
            if (!menu)
                return;
            for (QAction *a : menu->actions())
                if (!a->isSeparator() && a->isVisible())
                    shown << a->text();
            for (QAction *a : menu->actions())
                if (a->text() == "挂载")
                    a->trigger();
            menu->hide();
        });
        click(m_view->viewport(), itemCentre(1), Qt::RightButton);
        QCOMPARE(shown, QStringList{"挂载"});
        QCOMPARE(m_view->currentRow(), 1);
        QCOMPARE(selected.count(), 1);
        QCOMPARE(selected.at(0).at(0).toBool(), true);
        QCOMPARE(func.count(), 1);
        QCOMPARE(func.at(0).at(0).toInt(), 0);
    }

    void iconsCannotBeDragged()
    {
        BoxDouble::setBoxes({dbox("a", "tester", OWN_PLAIN), dbox("b", "tester", OWN_PLAIN)});
        makeView();
        QSignalSpy pressed(m_view, SIGNAL(pressed(QModelIndex)));
        QSignalSpy clicked(m_view, SIGNAL(clicked(QModelIndex)));
        const QRect before = m_view->visualRect(m_view->model()->index(0, 0));
        QWidget *vp = m_view->viewport();
        QPoint p = before.center();
        sendMouse(vp, QEvent::MouseButtonPress, p, Qt::LeftButton, Qt::LeftButton);
        for (int i = 1; i <= 10; ++i)
            sendMouse(vp, QEvent::MouseMove, p + QPoint(30 * i, 20 * i), Qt::NoButton, Qt::LeftButton);
        sendMouse(vp, QEvent::MouseButtonRelease, p + QPoint(300, 200), Qt::LeftButton, Qt::NoButton);
        QCoreApplication::processEvents();
        QCOMPARE(m_view->visualRect(m_view->model()->index(0, 0)), before);
        QCOMPARE(m_view->item(0)->text(), QString("a"));
        QCOMPARE(pressed.count(), 0);
        QCOMPARE(clicked.count(), 0);
    }

    void doubleClickMountsOrOpens()
    {
        QTemporaryDir tmp;
        QVERIFY(tmp.isValid());
        const QString plain = tmp.filePath("plain");
        const QString hashed = tmp.filePath("a#b?c%20d");
        const QString unlocked = tmp.filePath("unlocked");
        const QString locked = tmp.filePath("locked");
        for (const QString &p : {plain, hashed, unlocked, locked})
            QVERIFY(QDir().mkpath(p));
        BoxDouble::setBoxes({dbox("locked", "tester", OWN_LOCKED, locked.toStdString()),
                             dbox("unlocked", "tester", OWN_LOCKED | BOX_FLAG_MOUNTED, unlocked.toStdString()),
                             dbox("plain", "tester", OWN_PLAIN, plain.toStdString()),
                             dbox("a#b?c%20d", "tester", OWN_PLAIN, hashed.toStdString()),
                             dbox("gone", "tester", OWN_PLAIN, tmp.filePath("gone").toStdString())});
        makeView();
        QSignalSpy mount(m_view, SIGNAL(signal_mount_box_triggered()));
        QWidget *vp = m_view->viewport();

        // Encrypted and not mounted: only the mount request, even though the folder exists.
        sendMouse(vp, QEvent::MouseButtonDblClick, itemCentre(0), Qt::LeftButton, Qt::LeftButton);
        QCOMPARE(mount.count(), 1);
        QVERIFY(m_catcher.urls.isEmpty());

        // Another button's double-click does nothing.
        sendMouse(vp, QEvent::MouseButtonDblClick, itemCentre(0), Qt::RightButton, Qt::RightButton);
        QCOMPARE(mount.count(), 1);

        sendMouse(vp, QEvent::MouseButtonDblClick, itemCentre(1), Qt::LeftButton, Qt::LeftButton);
        sendMouse(vp, QEvent::MouseButtonDblClick, itemCentre(2), Qt::LeftButton, Qt::LeftButton);
        sendMouse(vp, QEvent::MouseButtonDblClick, itemCentre(3), Qt::LeftButton, Qt::LeftButton);
        // A missing folder and empty space: nothing.
        sendMouse(vp, QEvent::MouseButtonDblClick, itemCentre(4), Qt::LeftButton, Qt::LeftButton);
        sendMouse(vp, QEvent::MouseButtonDblClick, QPoint(700, 300), Qt::LeftButton, Qt::LeftButton);
        QCOMPARE(mount.count(), 1);
        QCOMPARE(m_catcher.urls.size(), 3);
        QCOMPARE(m_catcher.urls.at(0).toLocalFile(), unlocked);
        QCOMPARE(m_catcher.urls.at(1).toLocalFile(), plain);
        QCOMPARE(m_catcher.urls.at(2).toLocalFile(), hashed);
    }

};

QTEST_MAIN(TestBoxListWidget)
#include "test_boxlistwidget.moc"
