#include "AboutDialog.h"
#include "TitleBar.h"
#include "testsupport.h"

#include <QLabel>
#include <QPointer>
#include <QPushButton>
#include <QtTest>

namespace {

// Opens the about dialog the way the main window does and returns when it is
// closed.
void openAbout(QWidget *mainWindow)
{
    auto *d = new AboutDialog(mainWindow);
    d->setAttribute(Qt::WA_DeleteOnClose, true);
    d->move(mainWindow->x() + mainWindow->width() / 2 - d->width() / 2,
            mainWindow->y() + mainWindow->height() / 2 - d->height() / 2);
    d->exec();
}

} // namespace

class TestAboutDialog : public QObject
{
    Q_OBJECT
private slots:
    void cleanup()
    {
        QTRY_VERIFY(TestSupport::modalHandlersDone());
        QTRY_VERIFY(TestSupport::leftoverTopLevels().isEmpty());
    }

    void texts_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QPoint>("pos");
        QTest::addColumn<int>("pixelSize");
        QTest::newRow("name") << "Venmora文件保护箱" << QPoint(190, 85) << 32;
        QTest::newRow("system") << "运行环境: AstrelVenmora操作系统 (V10)" << QPoint(170, 190) << 12;
        QTest::newRow("kernel") << "安全内核 (3.0.0) 以上" << QPoint(225, 210) << 12;
        QTest::newRow("suite") << "保护箱套件 (3.0.8) 以上" << QPoint(225, 230) << 12;
        QTest::newRow("version") << "软件版本: 3.0.3" << QPoint(170, 260) << 12;
    }

    void texts()
    {
        QFETCH(QString, text);
        QFETCH(QPoint, pos);
        QFETCH(int, pixelSize);
        AboutDialog d(nullptr);
        d.show();
        QLabel *label = TestSupport::childWithText<QLabel>(&d, text);
        QVERIFY(label && label->isVisible());
        QCOMPARE(label->pos(), pos);
        QCOMPARE(label->font().pixelSize(), pixelSize);
        // Nothing is cut off.
        QCOMPARE(label->size(), label->sizeHint());
    }

    void closes_data()
    {
        QTest::addColumn<bool>("byEscape");
        QTest::newRow("Escape") << true;
        QTest::newRow("close button") << false;
    }

    void closes()
    {
        QFETCH(bool, byEscape);
        QWidget mainWindow;
        mainWindow.setGeometry(100, 100, 780, 560);
        QPointer<QWidget> seen;
        bool closedByUser = false;
        TestSupport::onNextModal([&](QWidget *w) {
            seen = w;
            if (byEscape)
                QTest::keyClick(w, Qt::Key_Escape);
            else
                QTest::mouseClick(w->findChild<TitleBar *>()->m_pCloseBtn, Qt::LeftButton);
            closedByUser = !w->isVisible();
            if (!closedByUser)
                w->close(); // so that a failure does not hang the test
        });
        openAbout(&mainWindow);
        QVERIFY(TestSupport::modalHandlersDone());
        QVERIFY(closedByUser);
        QVERIFY(seen.isNull()); // deleted when exec() returned
    }

    // The first stays open while the second comes and goes.
    void twoOpeningsAreIndependent()
    {
        QWidget mainWindow;
        QPointer<AboutDialog> first = new AboutDialog(&mainWindow);
        first->setAttribute(Qt::WA_DeleteOnClose, true);
        first->show();
        QPointer<QWidget> second;
        bool distinct = false;
        TestSupport::onNextModal([&](QWidget *w) {
            second = w;
            distinct = w != first.data();
            QTest::keyClick(w, Qt::Key_Escape);
        });
        openAbout(&mainWindow);
        QVERIFY(TestSupport::modalHandlersDone());
        QVERIFY(second.isNull());
        QVERIFY(distinct);
        QVERIFY(first && first->isVisible());
        first->close();
        QTRY_VERIFY(first.isNull());
    }
};

QTEST_MAIN(TestAboutDialog)
#include "test_aboutdialog.moc"
