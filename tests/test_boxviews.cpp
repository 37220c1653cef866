// The two box views, icons and table: reloads of the icons, presses,
// double-clicks and Return.
#include "Vaultrane.h"

#include "BoxListWidget.h"
#include "BoxTableView.h"
#include "box_service.h"
#include "boxdouble.h"
#include "testsupport.h"

#include <QApplication>
#include <QDesktopServices>
#include <QPushButton>
#include <QtTest>

#include <memory>

using TestSupport::doubleBox;
using TestSupport::sendMouse;

namespace {

const unsigned kOwnPlain = BOX_FLAG_SELF | BOX_FLAG_PLAIN | BOX_FLAG_UNSHARED;
const unsigned kOwnLocked = BOX_FLAG_SELF | BOX_FLAG_ENCRYPTED | BOX_FLAG_UNSHARED;
const unsigned kOtherPlain = BOX_FLAG_OTHER | BOX_FLAG_PLAIN | BOX_FLAG_SHARED;

} // namespace

class TestBoxViews : public QObject
{
    Q_OBJECT

    std::unique_ptr<Vaultrane> m_w;
    QList<QUrl> m_opened;

    // The window with `boxes`, showing icons or the table; returns that view.
    QAbstractItemView *showView(const std::vector<BoxDouble::Box> &boxes, bool table)
    {
        m_w = TestSupport::openMainWindow(boxes);
        auto *icons = m_w->findChild<BoxListWidget *>();
        if (!table)
            return icons;
        for (QPushButton *button : m_w->findChildren<QPushButton *>())
            if (button->accessibleName() == "列表视图")
                QTest::mouseClick(button, Qt::LeftButton);
        return m_w->findChild<BoxTableView *>();
    }

    // Where no box is: the bottom right corner of the view.
    static QPoint emptySpace(QAbstractItemView *view)
    {
        return QPoint(view->viewport()->width() - 20, view->viewport()->height() - 10);
    }

    static QPoint centreOf(QAbstractItemView *view, int row, int column = 0)
    {
        view->doItemsLayout();
        return view->visualRect(view->model()->index(row, column)).center();
    }

public slots:
    void openUrl(const QUrl &url) { m_opened << url; }

private slots:
    void init()
    {
        m_opened.clear();
        QDesktopServices::setUrlHandler("file", this, "openUrl");
    }

    void cleanup()
    {
        QDesktopServices::unsetUrlHandler("file");
        m_w.reset();
        QVERIFY(TestSupport::leftoverTopLevels().isEmpty());
    }

    // A reload replaces the icons in one reset (no item changes after it
    // joined the list) and finds the current box again by name and owner.
    void iconReloadsKeepTheBoxByNameAndOwner()
    {
        auto *icons = qobject_cast<BoxListWidget *>(showView(
            {doubleBox("docs", kOwnPlain), doubleBox("docs", kOtherPlain, "/box/anna/docs"), doubleBox("c", kOwnPlain)},
            false));
        QCOMPARE(icons->item(1)->toolTip(), QString("/box/anna/docs"));
        icons->setCurrentRow(1);
        QSignalSpy resets(icons->model(), &QAbstractItemModel::modelReset);
        QSignalSpy removals(icons->model(), &QAbstractItemModel::rowsRemoved);
        QSignalSpy changes(icons->model(), &QAbstractItemModel::dataChanged);

        // Moved behind another box, and another "docs" in front of it.
        BoxDouble::setBoxes({doubleBox("new", kOwnPlain), doubleBox("docs", kOwnPlain), doubleBox("docs", kOtherPlain)});
        icons->updateBoxList();
        QCOMPARE(qMakePair(resets.count(), removals.count() + changes.count()), qMakePair(1, 0));
        QCOMPARE(icons->currentRow(), 2);
        QCOMPARE(icons->currentBoxInfo().owner, QString("anna"));

        // Renamed: nothing is current, and the current box is an empty record.
        BoxDouble::setBoxes({doubleBox("new", kOwnPlain), doubleBox("docs2", kOtherPlain)});
        icons->updateBoxList();
        QCOMPARE(icons->currentRow(), -1);
        QCOMPARE(icons->currentBoxInfo().name, QString());
    }

    // A right press on a box selects it and opens its menu; on empty space
    // it clears the selection and opens none. A left drag moves no icon.
    void pressesSelectAndOpenTheMenu_data()
    {
        QTest::addColumn<bool>("table");
        QTest::newRow("icons") << false;
        QTest::newRow("table") << true;
    }

    void pressesSelectAndOpenTheMenu()
    {
        QFETCH(bool, table);
        QAbstractItemView *view = showView({doubleBox("a", kOwnPlain), doubleBox("b", kOwnLocked)}, table);
        for (const bool onBox : {true, false}) {
            const QPoint where = onBox ? centreOf(view, 1) : emptySpace(view);
            QStringList menu;
            TestSupport::onNextMenu(&menu, QString());
            sendMouse(view->viewport(), QEvent::MouseButtonPress, where, Qt::RightButton);
            if (table) // the table answers the platform's request that follows the press
                emit view->customContextMenuRequested(where);
            QCoreApplication::processEvents();
            QCOMPARE(!menu.isEmpty(), onBox);
            QCOMPARE(view->currentIndex().row(), onBox ? 1 : -1);
        }
        if (table)
            return;
        QSignalSpy pressed(view, &QAbstractItemView::pressed);
        const QRect before = view->visualRect(view->model()->index(0, 0));
        sendMouse(view->viewport(), QEvent::MouseButtonPress, before.center());
        for (int step = 1; step <= 10; ++step)
            sendMouse(view->viewport(), QEvent::MouseMove, before.center() + QPoint(30 * step, 20 * step));
        sendMouse(view->viewport(), QEvent::MouseButtonRelease, before.center() + QPoint(300, 200));
        QCoreApplication::processEvents();
        QCOMPARE(view->visualRect(view->model()->index(0, 0)), before);
        QCOMPARE(pressed.count(), 0);
    }

    // A double click or Return on a box mounts a locked one (the window asks
    // for the password) and opens the folder of any other, in either view;
    // a missing folder, the right button and empty space do nothing.
    void activationMountsOrOpens_data()
    {
        QTest::addColumn<bool>("table");
        QTest::addColumn<QString>("gesture");
        QTest::addColumn<int>("row");
        QTest::addColumn<int>("mountRequests");
        QTest::addColumn<QString>("opened");
        for (const bool table : {false, true}) {
            const QString view = table ? "table, " : "icons, ";
            const QString gesture = table ? "Return" : "double-click";
            QTest::newRow(qPrintable(view + "locked")) << table << gesture << 0 << 1 << "";
            QTest::newRow(qPrintable(view + "mounted")) << table << gesture << 1 << 0 << "mounted";
            QTest::newRow(qPrintable(view + "plain, odd name")) << table << "double-click" << 2 << 0 << "a#b?c%20d";
            QTest::newRow(qPrintable(view + "plain, by Return")) << table << "Return" << 2 << 0 << "a#b?c%20d";
            QTest::newRow(qPrintable(view + "missing folder")) << table << "double-click" << 3 << 0 << "";
            QTest::newRow(qPrintable(view + "right button")) << table << "right double-click" << 0 << 0 << "";
            QTest::newRow(qPrintable(view + "empty space")) << table << "double-click" << -1 << 0 << "";
        }
    }

    void activationMountsOrOpens()
    {
        QFETCH(bool, table);
        QFETCH(QString, gesture);
        QFETCH(int, row);
        QFETCH(int, mountRequests);
        QFETCH(QString, opened);
        QTemporaryDir folders;
        for (const char *name : {"locked", "mounted", "a#b?c%20d"})
            QVERIFY(QDir().mkpath(folders.filePath(name)));
        auto folder = [&](const char *name) { return folders.filePath(name).toStdString(); };
        QAbstractItemView *view = showView({doubleBox("locked", kOwnLocked, folder("locked")),
                                            doubleBox("mounted", kOwnLocked | BOX_FLAG_MOUNTED, folder("mounted")),
                                            doubleBox("a#b?c%20d", kOwnPlain, folder("a#b?c%20d")),
                                            doubleBox("gone", kOwnPlain, folder("gone"))},
                                           table);
        // The window would ask for the password: only the request is counted.
        QObject::disconnect(view, SIGNAL(signal_mount_box_triggered()), m_w.get(), nullptr);
        QSignalSpy mount(view, SIGNAL(signal_mount_box_triggered()));

        // Anywhere in a table row: the last column.
        const int column = table ? view->model()->columnCount() - 1 : 0;
        const QPoint where = row < 0 ? emptySpace(view) : centreOf(view, row, column);
        if (gesture == "Return") {
            view->setCurrentIndex(view->model()->index(row, 0));
            QTest::keyClick(view, Qt::Key_Return);
        } else {
            const Qt::MouseButton button = gesture == "double-click" ? Qt::LeftButton : Qt::RightButton;
            sendMouse(view->viewport(), QEvent::MouseButtonDblClick, where, button);
        }
        QCOMPARE(mount.count(), mountRequests);
        const QString path = folders.filePath(opened);
        QCOMPARE(m_opened, opened.isEmpty() ? QList<QUrl>() : QList<QUrl>{QUrl::fromLocalFile(path)});
    }
};

QTEST_MAIN(TestBoxViews)
#include "test_boxviews.moc"
