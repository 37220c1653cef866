#include "AboutDialog.h"
#include "TitleBar.h"
#include "testsupport.h"

#include <QLabel>
#include <QPointer>
#include <QPushButton>
#include <QtTest>

class TestAboutDialog : public QObject
{
    Q_OBJECT
private slots:
    void cleanup()
    {
        QTRY_VERIFY(TestSupport::modalHandlersDone());
        QTRY_VERIFY(TestSupport::leftoverTopLevels().isEmpty());
    }

    // Escape and the close button both close it, and it goes with exec().
    void closes()
    {
        for (const bool byEscape : {true, false}) {
            QWidget mainWindow;
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
            auto *d = new AboutDialog(&mainWindow);
            d->setAttribute(Qt::WA_DeleteOnClose, true);
            d->exec();
            QVERIFY(TestSupport::modalHandlersDone());
            QVERIFY(closedByUser);
            QVERIFY(seen.isNull()); // deleted when exec() returned
        }
    }
};

QTEST_MAIN(TestAboutDialog)
#include "test_aboutdialog.moc"
