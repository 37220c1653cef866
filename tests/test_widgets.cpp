// The small widgets on their own: the switch and the message box; and the
// resources they draw with.
#include "MessageBox.h"
#include "Startup.h"
#include "SwitchButton.h"
#include "TitleBar.h"
#include "testsupport.h"

#include <QAccessible>
#include <QApplication>
#include <QLineEdit>
#include <QPointer>
#include <QPushButton>
#include <QRegularExpression>
#include <QSignalSpy>
#include <QtTest>

using TestSupport::childWithText;

class TestWidgets : public QObject
{
    Q_OBJECT

private slots:
    void cleanup()
    {
        qApp->setStyleSheet(QString());
        QVERIFY(TestSupport::modalHandlersDone());
        QVERIFY(TestSupport::leftoverTopLevels().isEmpty());
    }

    // A press toggles, the release does not. Reached by Tab, toggled by
    // Space (not by other keys), and seen by screen readers as a named
    // check box with its state, which they can toggle too.
    void switchTogglesByPressKeyboardAndScreenReader()
    {
        QWidget window;
        auto *before = new QLineEdit(&window);
        auto *encrypt = new SwitchButton(&window);
        encrypt->setAccessibleName("是否加密");
        window.show();
        QVERIFY(QTest::qWaitForWindowActive(&window));
        QSignalSpy toggled(encrypt, &SwitchButton::checkedChanged);

        QTest::mousePress(encrypt, Qt::LeftButton);
        QTest::mouseRelease(encrypt, Qt::LeftButton);
        QCOMPARE(toggled.count(), 1);
        QVERIFY(encrypt->isChecked());

        before->setFocus();
        QTest::keyClick(before, Qt::Key_Tab);
        QVERIFY(encrypt->hasFocus());
        QTest::keyClick(encrypt, Qt::Key_Return);
        QTest::keyClick(encrypt, Qt::Key_A);
        QCOMPARE(toggled.count(), 1);
        QTest::keyClick(encrypt, Qt::Key_Space);
        QCOMPARE(toggled.count(), 2);
        QVERIFY(!encrypt->isChecked());

        QAccessibleInterface *reader = QAccessible::queryAccessibleInterface(encrypt);
        QVERIFY(reader);
        QCOMPARE(reader->role(), QAccessible::CheckBox);
        QCOMPARE(reader->text(QAccessible::Name), QString("是否加密"));
        QVERIFY(reader->state().checkable && reader->state().focused && !reader->state().checked);
        reader->actionInterface()->doAction(QAccessibleActionInterface::toggleAction());
        QVERIFY(encrypt->isChecked() && reader->state().checked);
    }

    // A question is answered yes only by 确认 or Return.
    void messageBoxResults_data()
    {
        QTest::addColumn<int>("type");
        QTest::addColumn<QString>("how"); // a button's text, "escape", "return" or "close"
        QTest::addColumn<int>("result");
        QTest::newRow("question, 确认") << int(MessageBox::Question) << "确认" << 1;
        QTest::newRow("question, 取消") << int(MessageBox::Question) << "取消" << 0;
        QTest::newRow("question, Escape") << int(MessageBox::Question) << "escape" << 0;
        QTest::newRow("question, Return") << int(MessageBox::Question) << "return" << 1;
        QTest::newRow("question, closed") << int(MessageBox::Question) << "close" << 0;
        QTest::newRow("warning, Escape") << int(MessageBox::Warning) << "escape" << 0;
    }

    void messageBoxResults()
    {
        QFETCH(int, type);
        QFETCH(QString, how);
        QFETCH(int, result);
        QPointer<MessageBox> box = new MessageBox(nullptr);
        TestSupport::onNextModal([how](QWidget *shown) {
            QPointer<QWidget> alive = shown;
            QWidget *target = shown->focusWidget() ? shown->focusWidget() : shown;
            if (how == "escape")
                QTest::keyClick(target, Qt::Key_Escape);
            else if (how == "return")
                QTest::keyClick(target, Qt::Key_Return);
            else if (how == "close")
                QTest::mouseClick(shown->findChild<TitleBar *>()->m_pCloseBtn, Qt::LeftButton);
            else
                QTest::mouseClick(childWithText<QPushButton>(shown, how), Qt::LeftButton);
            // Should the answer not close the box, the check below fails
            // rather than the test waiting.
            if (alive && alive->isVisible())
                alive->close();
        });
        QCOMPARE(box->execMessage(type, "确定要删除保护箱“资料”吗？"), result);
        QVERIFY(box.isNull()); // it deletes itself
    }

    // Every image of resources/resources.qrc loads and has its twin of twice
    // the size for screens scaled by 2.
    void everyImageLoadsWithItsTwin()
    {
        QFile collection(qEnvironmentVariable("VAULTRANE_SOURCE_DIR") + "/resources/resources.qrc");
        QVERIFY(collection.open(QIODevice::ReadOnly));
        QStringList images;
        QRegularExpressionMatchIterator listed =
            QRegularExpression("<file>([^<]+\\.png)</file>").globalMatch(collection.readAll());
        while (listed.hasNext())
            images << ":/" + listed.next().captured(1);
        QVERIFY(images.size() > 50);
        for (const QString &path : images) {
            if (path.endsWith("@2x.png"))
                continue;
            const QImage image(path);
            QVERIFY2(!image.isNull(), qPrintable(path));
            const QString twin = path.left(path.size() - 4) + "@2x.png";
            QVERIFY2(QImage(twin).size() == image.size() * 2, qPrintable(twin));
        }
    }
};

QTEST_MAIN(TestWidgets)
#include "test_widgets.moc"
