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

namespace {

// Through the application, so that an ignored event travels on to the parents.
void sendMouse(QWidget *target, QEvent::Type type, const QPointF &global,
               Qt::MouseButton button = Qt::LeftButton, Qt::MouseButtons buttons = Qt::LeftButton)
{
    const QPointF local = global - QPointF(target->mapToGlobal(QPoint(0, 0)));
    if (type == QEvent::MouseButtonRelease)
        buttons &= ~Qt::MouseButtons(button);
    QMouseEvent e(type, local, local, global, button, buttons, Qt::NoModifier);
    QApplication::sendEvent(target, &e);
}

} // namespace

class TestWidgets : public QObject
{
    Q_OBJECT

private slots:
    void cleanup() { QVERIFY(TestSupport::leftoverTopLevels().isEmpty()); }

    // Any button drags the window with the pointer, off the screen too;
    // after the release it stays.
    void dragFollowsThePointer()
    {
        FlatDropWidget win;
        win.setGeometry(100, 100, 400, 300);
        win.show();
        sendMouse(&win, QEvent::MouseMove, QPointF(300, 300), Qt::NoButton);
        QCOMPARE(win.pos(), QPoint(100, 100)); // no press yet
        sendMouse(&win, QEvent::MouseButtonPress, QPointF(10, 20), Qt::RightButton, Qt::RightButton);
        sendMouse(&win, QEvent::MouseMove, QPointF(16, 18), Qt::NoButton, Qt::RightButton);
        QCOMPARE(win.pos(), QPoint(106, 98));
        sendMouse(&win, QEvent::MouseMove, QPointF(-900, -700), Qt::NoButton, Qt::RightButton);
        QCOMPARE(win.pos(), QPoint(-810, -620));
        sendMouse(&win, QEvent::MouseButtonRelease, QPointF(-900, -700), Qt::RightButton, Qt::RightButton);
        sendMouse(&win, QEvent::MouseMove, QPointF(50, 50), Qt::NoButton);
        QCOMPARE(win.pos(), QPoint(-810, -620));

        // The window keeps the pointer's offset from the press: when the
        // window system places it elsewhere during the drag, the next move
        // does not add its distance to that place.
        win.move(100, 100);
        sendMouse(&win, QEvent::MouseButtonPress, QPointF(150, 160));
        win.move(0, 0);
        sendMouse(&win, QEvent::MouseMove, QPointF(170, 180), Qt::NoButton);
        QCOMPARE(win.pos(), QPoint(120, 120));
        sendMouse(&win, QEvent::MouseButtonRelease, QPointF(170, 180));
    }

    // Children that take presses keep the window still; labels let it drag.
    void pressOnChild()
    {
        FlatDropWidget win;
        win.resize(400, 300);
        auto *bar = new TitleBar(&win);
        bar->resize(400, 40);
        bar->setTitle("标题", 0, "");
        QWidget *label = new QLabel("名称", &win), *button = new QPushButton("确认", &win), *edit = new QLineEdit(&win);
        label->setGeometry(20, 60, 100, 30), button->setGeometry(20, 100, 100, 30), edit->setGeometry(20, 140, 100, 30);
        win.show();
        const QList<QPair<QWidget *, bool>> table{
            {label, true}, {button, false}, {edit, false}, {bar->m_pTitleLabel, true}, {bar->m_pCloseBtn, false}};
        for (const auto &[target, drags] : table) {
            win.move(100, 100);
            QVERIFY(target->isVisible());
            const QPointF start = QPointF(target->mapToGlobal(QPoint(5, 5)));
            // The taker gets the moves and release; the window's own later move is ignored.
            sendMouse(target, QEvent::MouseButtonPress, start);
            sendMouse(target, QEvent::MouseMove, start + QPointF(25, 15), Qt::NoButton);
            sendMouse(target, QEvent::MouseButtonRelease, start + QPointF(25, 15));
            sendMouse(&win, QEvent::MouseMove, start + QPointF(60, 60), Qt::NoButton);
            QCOMPARE(win.pos(), drags ? QPoint(125, 115) : QPoint(100, 100));
        }
    }

    // Each entry of the main menu asks for one thing, each a different one.
    void mainMenuSignals()
    {
        QWidget win;
        auto *menu = new MainMenu(&win);
        QSignalSpy help(menu, &MainMenu::signal_showNewCharacter);
        QSignalSpy settings(menu, &MainMenu::signal_showSettings);
        QSignalSpy about(menu, &MainMenu::signal_showAboutUs);
        int entries = 0;
        for (QAction *action : menu->actions()) {
            if (action->isSeparator())
                continue;
            ++entries;
            action->trigger();
            QCOMPARE(help.count() + settings.count() + about.count(), entries);
        }
        QCOMPARE(entries, 3);
        QCOMPARE(help.count() * settings.count() * about.count(), 1);
    }

    // The eye toggles masking; the text stays as typed.
    void passwordEyeToggles()
    {
        QWidget win;
        auto *edit = new BoxPswLineEdit(&win);
        win.show();
        QTest::keyClicks(edit, "s3cr3t <b>x</b>");
        QToolButton *eye = nullptr;
        for (QToolButton *button : edit->findChildren<QToolButton *>())
            if (button->defaultAction() == edit->actions().value(0))
                eye = button;
        QVERIFY(eye && eye->isVisible());
        for (const auto mode : {QLineEdit::Password, QLineEdit::Normal, QLineEdit::Password}) {
            QCOMPARE(edit->echoMode(), mode);
            QCOMPARE(edit->text(), QString("s3cr3t <b>x</b>"));
            QTest::mouseClick(eye, Qt::LeftButton);
        }
    }
};

QTEST_MAIN(TestWidgets)
#include "test_widgets.moc"
