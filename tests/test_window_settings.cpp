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

    // The display mode chosen last is shown at the next start; nothing or
    // an unknown value remembered means icons. A window that is only built
    // (no restore) does not overwrite the choice.
    void viewModeSurvivesARestart()
    {
        QVERIFY(!showsTable(startWindow().get()));
        {
            std::unique_ptr<Vaultrane> w = startWindow();
            clickMode(w.get(), "列表视图");
            QVERIFY(showsTable(w.get()));
        }
        QVERIFY(QFile::exists(settingsFile()));
        Vaultrane unrestored;
        QVERIFY(showsTable(startWindow().get()));

        {
            std::unique_ptr<Vaultrane> w = startWindow();
            clickMode(w.get(), "图标视图");
        }
        QVERIFY(!showsTable(startWindow().get()));

        QSettings("vaultrane", "vaultrane").setValue("view/mode", "sideways");
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

    void bringToFrontUndoesMinimising()
    {
        std::unique_ptr<Vaultrane> w = startWindow();
        w->showMinimized();
        QTRY_VERIFY(w->isMinimized());
        w->bringToFront();
        QVERIFY(!w->isMinimized());
        QVERIFY(w->isVisible());
    }

    // The window opens centred on the screen; one that would not fit is
    // moved onto the screen's free area, its title bar first.
    void placedOnTheScreen()
    {
        const QRect screen(0, 0, 1024, 768);
        QCOMPARE(ScreenFit::clampInto(QRect(500, 400, 780, 560), screen), QPoint(244, 208));
        QCOMPARE(ScreenFit::clampInto(QRect(-200, -100, 780, 560), QRect(0, 0, 512, 384)), QPoint(0, 0));
        // A second screen, under a top panel.
        QCOMPARE(ScreenFit::clampInto(QRect(1000, 0, 780, 560), QRect(1024, 30, 1280, 994)), QPoint(1024, 30));
        QCOMPARE(ScreenFit::centredIn(QSize(780, 560), QRect(0, 0, 640, 480)), QPoint(0, 0));
        Vaultrane w;
        QCOMPARE(w.pos(), ScreenFit::centredIn(w.size(), QGuiApplication::primaryScreen()->availableGeometry()));
    }
};

QTEST_MAIN(TestWindowSettings)
#include "test_window_settings.moc"
