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

    // Every text is shown whole.
    void texts()
    {
        AboutDialog d(nullptr);
        d.show();
        for (const char *text : {"Venmora文件保护箱", "运行环境: AstrelVenmora操作系统 (V10)", "安全内核 (3.0.0) 以上",
                                    "保护箱套件 (3.0.8) 以上", "软件版本: 3.0.3"}) {
            QLabel *label = TestSupport::childWithText<QLabel>(&d, text);
            QVERIFY2(label && label->isVisible(), qPrintable(text));
            QCOMPARE(label->size(), label->sizeHint());
            QVERIFY(d.rect().contains(label->geometry()));
        }
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
