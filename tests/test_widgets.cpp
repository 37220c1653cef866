// Dragging of the frameless base, the main menu and the password edit.

#include "BoxPswLineEdit.h"
#include "FlatDropWidget.h"
#include "MainMenu.h"
#include "TitleBar.h"
#include "testsupport.h"

#include <QAction>
#include <QApplication>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSignalSpy>
#include <QToolButton>
#include <QtTest>

#include <memory>

namespace {

// Sends a mouse event with a fractional global position to `target` through
// the application, so that an ignored event travels on to the parents as a
// real one would.
void sendMouse(QWidget *target, QEvent::Type type, const QPointF &global,
               Qt::MouseButton button = Qt::LeftButton, Qt::MouseButtons buttons = Qt::LeftButton)
{
    const QPointF local = global - QPointF(target->mapToGlobal(QPoint(0, 0)));
    if (type == QEvent::MouseButtonRelease)
        buttons &= ~Qt::MouseButtons(button);
    QMouseEvent e(type, local, local, global, button, buttons, Qt::NoModifier);
    QApplication::sendEvent(target, &e);
}

// Press at `from`, move to `to`, release there: one drag on `target`.
void drag(QWidget *target, const QPointF &from, const QPointF &to, Qt::MouseButton button = Qt::LeftButton)
{
    sendMouse(target, QEvent::MouseButtonPress, from, button, button);
    sendMouse(target, QEvent::MouseMove, to, Qt::NoButton, button);
    sendMouse(target, QEvent::MouseButtonRelease, to, button, button);
}

std::unique_ptr<FlatDropWidget> makeWindow()
{
    std::unique_ptr<FlatDropWidget> w(new FlatDropWidget);
    w->resize(400, 300);
    w->move(100, 100);
    return w;
}

QImage iconImage(const QIcon &icon) { return icon.pixmap(QSize(18, 16)).toImage(); }

} // namespace

class TestWidgets : public QObject
{
    Q_OBJECT

private slots:
    void cleanup() { QVERIFY(TestSupport::leftoverTopLevels().isEmpty()); }

    // The window follows the difference between consecutive rounded global
    // positions, halves rounding up, on negative coordinates as well, and is
    // not held on the screen. Any button drags.
    void dragFollowsRoundedGlobalPositions()
    {
        auto win = makeWindow();
        win->show();
        sendMouse(win.get(), QEvent::MouseMove, QPointF(300, 300), Qt::NoButton);
        QCOMPARE(win->pos(), QPoint(100, 100)); // no press yet
        sendMouse(win.get(), QEvent::MouseButtonPress, QPointF(10.4, 20.6), Qt::RightButton, Qt::RightButton); // (10, 21)
        sendMouse(win.get(), QEvent::MouseMove, QPointF(15.5, 18.2), Qt::NoButton, Qt::RightButton); // (16, 18)
        QCOMPARE(win->pos(), QPoint(106, 97));
        sendMouse(win.get(), QEvent::MouseMove, QPointF(-2.5, -2.6), Qt::NoButton, Qt::RightButton); // (-2, -3)
        QCOMPARE(win->pos(), QPoint(106 - 18, 97 - 21));
        sendMouse(win.get(), QEvent::MouseMove, QPointF(-2.51, -2.4), Qt::NoButton, Qt::RightButton); // (-3, -2)
        QCOMPARE(win->pos(), QPoint(87, 77));
        sendMouse(win.get(), QEvent::MouseMove, QPointF(-900.5, -700.5), Qt::NoButton, Qt::RightButton); // (-900, -700)
        QCOMPARE(win->pos(), QPoint(87 - 897, 77 - 698));
        sendMouse(win.get(), QEvent::MouseButtonRelease, QPointF(-900.5, -700.5), Qt::RightButton, Qt::RightButton);
        // After the release a move (even one claiming a held button) does nothing.
        sendMouse(win.get(), QEvent::MouseMove, QPointF(50, 50), Qt::NoButton);
        QCOMPARE(win->pos(), QPoint(87 - 897, 77 - 698));
    }

    // Children that take presses keep the window still; labels and bare
    // background let the press through to the window, which drags.
    void pressOnChild_data()
    {
        QTest::addColumn<QString>("kind");
        QTest::addColumn<bool>("drags");
        QTest::newRow("label") << "label" << true;
        QTest::newRow("push button") << "button" << false;
        QTest::newRow("line edit") << "edit" << false;
        QTest::newRow("title bar title") << "title" << true;
        QTest::newRow("title bar close button") << "close" << false;
    }

    void pressOnChild()
    {
        QFETCH(QString, kind);
        QFETCH(bool, drags);
        auto win = makeWindow();
        auto *bar = new TitleBar(win.get());
        bar->resize(400, 40);
        bar->setTitle("标题", 0, "");
        auto *label = new QLabel("名称", win.get());
        label->setGeometry(20, 60, 100, 30);
        auto *button = new QPushButton("确认", win.get());
        button->setGeometry(20, 100, 100, 30);
        auto *edit = new QLineEdit(win.get());
        edit->setGeometry(20, 140, 100, 30);
        win->show();
        const QMap<QString, QWidget *> targets{{"label", label}, {"button", button}, {"edit", edit},
                                               {"title", bar->m_pTitleLabel}, {"close", bar->m_pCloseBtn}};
        QWidget *target = targets.value(kind);
        QVERIFY(target->isVisible());
        const QPointF start = QPointF(target->mapToGlobal(QPoint(5, 5)));
        // The widget that took the press gets the moves and the release too.
        drag(target, start, start + QPointF(25, 15));
        QCOMPARE(win->pos(), drags ? QPoint(125, 115) : QPoint(100, 100));
        // And the move that then reaches the window by itself is ignored too.
        sendMouse(win.get(), QEvent::MouseMove, start + QPointF(60, 60), Qt::NoButton);
        QCOMPARE(win->pos(), drags ? QPoint(125, 115) : QPoint(100, 100));
    }

    void mainMenuSignals()
    {
        std::unique_ptr<QWidget> win(new QWidget);
        auto *menu = new MainMenu(win.get());
        QSignalSpy help(menu, SIGNAL(signal_showNewCharacter()));
        QSignalSpy about(menu, SIGNAL(signal_showAboutUs()));
        for (QAction *a : menu->actions())
            if (a->text() == "帮助手册")
                a->trigger();
        QCOMPARE(help.count(), 1);
        QCOMPARE(about.count(), 0);
        for (QAction *a : menu->actions())
            if (a->text() == "关于")
                a->trigger();
        QCOMPARE(about.count(), 1);
    }

    // A click on the eye shows the text, a second masks it again; the text
    // stays as typed and the icon follows the state.
    void passwordEyeToggles()
    {
        std::unique_ptr<QWidget> win(new QWidget);
        auto *edit = new BoxPswLineEdit(win.get());
        win->show();
        QTest::keyClicks(edit, "s3cr3t <b>x</b>");
        QCOMPARE(edit->echoMode(), QLineEdit::Password);
        QAction *eye = edit->actions().value(0);
        QToolButton *eyeButton = nullptr;
        for (QToolButton *b : edit->findChildren<QToolButton *>())
            if (b->defaultAction() == eye)
                eyeButton = b;
        QVERIFY(eyeButton && eyeButton->isVisible());
        const QImage masked = iconImage(QIcon(":/images/image/invisible.png"));
        QCOMPARE(iconImage(eye->icon()), masked);

        QTest::mouseClick(eyeButton, Qt::LeftButton);
        QCOMPARE(edit->echoMode(), QLineEdit::Normal);
        QCOMPARE(iconImage(eye->icon()), iconImage(QIcon(":/images/image/visible.png")));
        QCOMPARE(edit->text(), QString("s3cr3t <b>x</b>"));
        QTest::mouseClick(eyeButton, Qt::LeftButton);
        QCOMPARE(edit->echoMode(), QLineEdit::Password);
        QCOMPARE(iconImage(eye->icon()), masked);
        QCOMPARE(edit->text(), QString("s3cr3t <b>x</b>"));
        // Any other echo mode counts as shown: the click masks it.
        edit->setEchoMode(QLineEdit::NoEcho);
        QTest::mouseClick(eyeButton, Qt::LeftButton);
        QCOMPARE(edit->echoMode(), QLineEdit::Password);
    }
};

QTEST_MAIN(TestWidgets)
#include "test_widgets.moc"
