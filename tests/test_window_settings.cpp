// The main window across starts: the remembered display mode, raising on a
// second start, and a place on the screen it opens on.
#include "Vaultrane.h"

#include "BoxTableView.h"
#include "ScreenFit.h"
#include "Startup.h"
#include "box_service.h"
#include "boxdouble.h"
#include "testsupport.h"

#include <QApplication>
#include <QGuiApplication>
#include <QPushButton>
#include <QScreen>
#include <QSettings>
#include <QTemporaryDir>
#include <QtTest>

#include <memory>

class TestWindowSettings : public QObject
{
    Q_OBJECT

    QTemporaryDir m_configHome;

    static std::unique_ptr<Vaultrane> startWindow()
    {
        std::unique_ptr<Vaultrane> w(new Vaultrane);
        w->restoreViewMode();
        w->show();
        return w;
    }

    static bool showsTable(Vaultrane *w) { return w->findChild<BoxTableView *>()->isVisible(); }

    static void clickMode(Vaultrane *w, const QString &accessibleName)
    {
        for (QPushButton *button : w->findChildren<QPushButton *>())
            if (button->accessibleName() == accessibleName)
                QTest::mouseClick(button, Qt::LeftButton);
    }

    QString settingsFile() const { return m_configHome.path() + "/vaultrane/vaultrane.conf"; }

private slots:
    void initTestCase()
    {
        QVERIFY(m_configHome.isValid());
        QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope, m_configHome.path());
        BoxDouble::reset();
        BoxDouble::setBoxes({{"plain", "/nonexistent/plain", "tester",
                              BOX_FLAG_SELF | BOX_FLAG_PLAIN | BOX_FLAG_UNSHARED}});
    }

    void init() { QFile::remove(settingsFile()); }

    void cleanup() { QVERIFY(TestSupport::leftoverTopLevels().isEmpty()); }

    void viewModeSurvivesARestart()
    {
        QVERIFY(!showsTable(startWindow().get())); // nothing remembered: icons

        {
            std::unique_ptr<Vaultrane> w = startWindow();
            clickMode(w.get(), "列表视图");
            QVERIFY(showsTable(w.get()));
        }
        QVERIFY(QFile::exists(settingsFile()));
        QVERIFY(showsTable(startWindow().get()));

        // A window that is only built (no restore) does not overwrite it.
        Vaultrane unrestored;
        QVERIFY(showsTable(startWindow().get()));

        {
            std::unique_ptr<Vaultrane> w = startWindow();
            clickMode(w.get(), "图标视图");
        }
        QVERIFY(!showsTable(startWindow().get()));
    }

    // Restored in table mode, the window still gives its first focus to the
    // box view, the table.
    void restoredTableHasTheFirstFocus()
    {
        QSettings("vaultrane", "vaultrane").setValue("view/mode", "table");
        std::unique_ptr<Vaultrane> w = startWindow();
        QVERIFY(QTest::qWaitForWindowActive(w.get()));
        QCOMPARE(QApplication::focusWidget(), static_cast<QWidget *>(w->findChild<BoxTableView *>()));
    }

    void unknownModeMeansIcons()
    {
        QSettings("vaultrane", "vaultrane").setValue("view/mode", "sideways");
        QVERIFY(!showsTable(startWindow().get()));
    }

    void bringToFrontUndoesMinimising()
    {
        std::unique_ptr<Vaultrane> w = startWindow();
        w->showMinimized();
        QTRY_VERIFY(w->isMinimized());
        w->bringToFront();
        QVERIFY(!w->isMinimized());
        QVERIFY(w->isVisible());
    }

    void clampIntoScreen_data()
    {
        QTest::addColumn<QRect>("frame");
        QTest::addColumn<QRect>("available");
        QTest::addColumn<QPoint>("expected");
        const QRect screen(0, 0, 1024, 768);
        QTest::newRow("inside stays") << QRect(100, 50, 780, 560) << screen << QPoint(100, 50);
        QTest::newRow("off the right and bottom") << QRect(500, 400, 780, 560) << screen << QPoint(244, 208);
        QTest::newRow("above and left") << QRect(-30, -20, 780, 560) << screen << QPoint(0, 0);
        QTest::newRow("larger than the screen") << QRect(-200, -100, 780, 560) << QRect(0, 0, 512, 384)
                                                << QPoint(0, 0);
        QTest::newRow("second screen, under a top panel") << QRect(1000, 0, 780, 560)
                                                          << QRect(1024, 30, 1280, 994) << QPoint(1024, 30);
        QTest::newRow("larger than a second screen") << QRect(2000, 900, 780, 560) << QRect(1024, 30, 512, 354)
                                                     << QPoint(1024, 30);
    }

    void clampIntoScreen()
    {
        QFETCH(QRect, frame);
        QFETCH(QRect, available);
        QFETCH(QPoint, expected);
        QCOMPARE(ScreenFit::clampInto(frame, available), expected);
    }

    void centredOnTheScreen()
    {
        QCOMPARE(ScreenFit::centredIn(QSize(780, 560), QRect(0, 0, 1920, 1080)), QPoint(570, 260));
        QCOMPARE(ScreenFit::centredIn(QSize(780, 560), QRect(0, 0, 640, 480)), QPoint(0, 0));
        Vaultrane w;
        const QRect available = QGuiApplication::primaryScreen()->availableGeometry();
        QCOMPARE(w.pos(), ScreenFit::centredIn(w.size(), available));
    }
};

QTEST_MAIN(TestWindowSettings)
#include "test_window_settings.moc"
