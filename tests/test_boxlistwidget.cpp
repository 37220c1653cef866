#include "BoxListWidget.h"

#include "box_service.h"
#include "boxdouble.h"
#include "testsupport.h"

#include <QAction>
#include <QApplication>
#include <QDesktopServices>
#include <QMenu>
#include <QSignalSpy>
#include <QtTest>

#include <memory>

namespace {

const unsigned OWN_PLAIN = BOX_FLAG_SELF | BOX_FLAG_PLAIN | BOX_FLAG_UNSHARED;
const unsigned OWN_LOCKED = BOX_FLAG_SELF | BOX_FLAG_ENCRYPTED | BOX_FLAG_UNSHARED;
const unsigned OTHER_PLAIN = BOX_FLAG_OTHER | BOX_FLAG_PLAIN | BOX_FLAG_SHARED;

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
    std::unique_ptr<BoxListWidget> m_view;
    UrlCatcher m_catcher;

    // The view at the size the main window gives it.
    void makeView()
    {
        m_view.reset(new BoxListWidget(nullptr));
        m_view->setFixedSize(765, 330);
        m_view->updateBoxList();
        m_view->show();
        QVERIFY(QTest::qWaitForWindowExposed(m_view.get()));
        m_view->doItemsLayout();
    }

    QPoint itemCentre(int row) { return m_view->visualRect(m_view->model()->index(row, 0)).center(); }

    void reload(const std::vector<BoxDouble::Box> &boxes)
    {
        BoxDouble::setBoxes(boxes);
        m_view->updateBoxList();
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
        m_view.reset();
        QVERIFY(TestSupport::leftoverTopLevels().isEmpty());
    }

    void iconChoice_data()
    {
        // The box's state as four digits: from another user, encrypted, shared, mounted.
        QTest::addColumn<QString>("state");
        QTest::addColumn<QString>("icon");
        QTest::newRow("other plain") << "1000" << "share_48.png";
        QTest::newRow("other plain, mounted field set") << "1011" << "share_48.png";
        QTest::newRow("other unlocked") << "1101" << "sahre_unlock48.png";
        QTest::newRow("other locked") << "1110" << "sahre_lock48.png";
        QTest::newRow("own shared unlocked") << "0111" << "person_sahre_unlock_48.png";
        QTest::newRow("own shared locked") << "0110" << "person_sahre_lock48.png";
        QTest::newRow("own unlocked") << "0101" << "person_unlock_48.png";
        QTest::newRow("own locked") << "0100" << "person_lock_48.png";
        QTest::newRow("own plain shared") << "0010" << "person_share_48.png";
        QTest::newRow("own plain") << "0001" << "person_48.png";
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
        QCOMPARE(BoxListWidget::boxIcon48(b), ":/images/image/" + icon);
    }

    // The current box is found again by name and owner after a reload.
    void reloadKeepsSelection()
    {
        BoxDouble::setBoxes({dbox("docs", OWN_PLAIN), dbox("docs", OTHER_PLAIN), dbox("c", OWN_PLAIN)});
        makeView();
        m_view->setCurrentRow(1);
        // Moved behind another box, and another "docs" in front of it.
        reload({dbox("new", OWN_PLAIN), dbox("docs", OWN_PLAIN), dbox("docs", OTHER_PLAIN)});
        QCOMPARE(m_view->currentRow(), 2);
        QCOMPARE(m_view->currentBoxInfo().owner, QString("anna"));
        // Renamed: nothing is current any more; an empty record for it.
        reload({dbox("new", OWN_PLAIN), dbox("docs2", OTHER_PLAIN)});
        QCOMPARE(m_view->currentRow(), -1);
        QCOMPARE(m_view->currentBoxInfo().name, QString());
        // Deleted: likewise.
        m_view->setCurrentRow(0);
        reload({dbox("docs2", OTHER_PLAIN)});
        QCOMPARE(m_view->currentRow(), -1);
    }

    // A right press selects the box under it and runs its menu; on empty
    // space it clears the selection and shows no menu.
    void rightPress()
    {
        BoxDouble::setBoxes({dbox("a", OWN_PLAIN), dbox("b", BOX_FLAG_OTHER | BOX_FLAG_ENCRYPTED | BOX_FLAG_SHARED)});
        makeView();
        QSignalSpy selected(m_view.get(), SIGNAL(signal_item_selected(bool)));
        QSignalSpy func(m_view.get(), SIGNAL(signal_right_menu_func_triggered(int)));
        QStringList shown;
        const auto chooseFirst = [&] {
            shown = QStringList{"no menu"};
            QTimer::singleShot(0, [&] {
                if (auto *menu = qobject_cast<QMenu *>(QApplication::activePopupWidget())) {
                    shown.clear();
                    for (QAction *a : menu->actions())
                        if (!a->isSeparator() && a->isVisible())
                            shown << a->text();
                    menu->actions().first()->trigger(); // 挂载
                    menu->hide();
                }
            });
        };
        chooseFirst();
        sendMouse(m_view->viewport(), QEvent::MouseButtonPress, itemCentre(1), Qt::RightButton);
        QCOMPARE(shown, QStringList{"挂载"});
        QCOMPARE(m_view->currentRow(), 1);
        QCOMPARE(func.count(), 1);
        QCOMPARE(func.at(0).at(0).toInt(), 0);

        chooseFirst();
        sendMouse(m_view->viewport(), QEvent::MouseButtonPress, QPoint(700, 300), Qt::RightButton);
        QCoreApplication::processEvents();
        QCOMPARE(shown, QStringList{"no menu"});
        QCOMPARE(m_view->currentRow(), -1);
        QCOMPARE(selected.count(), 2);
        QCOMPARE(selected.at(0).at(0).toBool(), true);
        QCOMPARE(selected.at(1).at(0).toBool(), false);
    }

    void iconsCannotBeDragged()
    {
        BoxDouble::setBoxes({dbox("a", OWN_PLAIN), dbox("b", OWN_PLAIN)});
        makeView();
        QSignalSpy pressed(m_view.get(), SIGNAL(pressed(QModelIndex)));
        const QRect before = m_view->visualRect(m_view->model()->index(0, 0));
        QWidget *vp = m_view->viewport();
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
        const QString plain = tmp.filePath("plain"), hashed = tmp.filePath("a#b?c%20d"),
                      unlocked = tmp.filePath("unlocked"), locked = tmp.filePath("locked");
        for (const QString &p : {plain, hashed, unlocked, locked})
            QVERIFY(QDir().mkpath(p));
        BoxDouble::setBoxes({dbox("locked", OWN_LOCKED, locked.toStdString()),
                dbox("unlocked", OWN_LOCKED | BOX_FLAG_MOUNTED, unlocked.toStdString()),
                dbox("plain", OWN_PLAIN, plain.toStdString()),
                dbox("a#b?c%20d", OWN_PLAIN, hashed.toStdString()),
                dbox("gone", OWN_PLAIN, tmp.filePath("gone").toStdString())});
        makeView();
        QSignalSpy mount(m_view.get(), SIGNAL(signal_mount_box_triggered()));
        QWidget *vp = m_view->viewport();
        // Encrypted and not mounted: only the mount request, though the folder exists.
        sendMouse(vp, QEvent::MouseButtonDblClick, itemCentre(0));
        QCOMPARE(mount.count(), 1);
        QVERIFY(m_catcher.urls.isEmpty());
        // Right button, then the others; a missing folder and empty space do nothing.
        sendMouse(vp, QEvent::MouseButtonDblClick, itemCentre(0), Qt::RightButton);
        for (int row = 1; row <= 4; ++row)
            sendMouse(vp, QEvent::MouseButtonDblClick, itemCentre(row));
        sendMouse(vp, QEvent::MouseButtonDblClick, QPoint(700, 300));
        QCOMPARE(mount.count(), 1);
        QCOMPARE(m_catcher.urls, (QList<QUrl>{QUrl::fromLocalFile(unlocked), QUrl::fromLocalFile(plain),
                                              QUrl::fromLocalFile(hashed)}));
    }
};

QTEST_MAIN(TestBoxListWidget)
#include "test_boxlistwidget.moc"
