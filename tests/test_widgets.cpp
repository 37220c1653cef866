// Dragging of the frameless base, the title bar, the main menu, the password
// edit and the separator line.

#include "BoxPswLineEdit.h"
#include "FlatDropWidget.h"
#include "MainMenu.h"
#include "SplitLine.h"
#include "TitleBar.h"
#include "testsupport.h"

#include <QAction>
#include <QApplication>
#include <QHBoxLayout>
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
    // not held on the screen.
    void dragFollowsRoundedGlobalPositions()
    {
        auto win = makeWindow();
        win->show();
        sendMouse(win.get(), QEvent::MouseButtonPress, QPointF(10.4, 20.6));      // (10, 21)
        sendMouse(win.get(), QEvent::MouseMove, QPointF(15.5, 18.2), Qt::NoButton); // (16, 18)
        QCOMPARE(win->pos(), QPoint(106, 97));
        sendMouse(win.get(), QEvent::MouseMove, QPointF(-2.5, -2.6), Qt::NoButton); // (-2, -3)
        QCOMPARE(win->pos(), QPoint(106 - 18, 97 - 21));
        sendMouse(win.get(), QEvent::MouseMove, QPointF(-2.51, -2.4), Qt::NoButton); // (-3, -2)
        QCOMPARE(win->pos(), QPoint(87, 77));
        sendMouse(win.get(), QEvent::MouseMove, QPointF(-900.5, -700.5), Qt::NoButton); // (-900, -700)
        QCOMPARE(win->pos(), QPoint(87 - 897, 77 - 698));
        sendMouse(win.get(), QEvent::MouseButtonRelease, QPointF(-900.5, -700.5));

        // After the release a move (even one claiming a held button) does nothing.
        const QPoint before = win->pos();
        sendMouse(win.get(), QEvent::MouseMove, QPointF(50, 50), Qt::NoButton);
        QCOMPARE(win->pos(), before);
    }

    void moveWithoutPressDoesNothing()
    {
        auto win = makeWindow();
        win->show();
        sendMouse(win.get(), QEvent::MouseMove, QPointF(300, 300), Qt::NoButton);
        sendMouse(win.get(), QEvent::MouseMove, QPointF(-40.5, 12), Qt::NoButton);
        QCOMPARE(win->pos(), QPoint(100, 100));
    }

    void anyButtonDrags_data()
    {
        QTest::addColumn<int>("button");
        QTest::newRow("left") << int(Qt::LeftButton);
        QTest::newRow("right") << int(Qt::RightButton);
        QTest::newRow("middle") << int(Qt::MiddleButton);
    }

    void anyButtonDrags()
    {
        QFETCH(int, button);
        auto win = makeWindow();
        win->show();
        drag(win.get(), QPointF(200, 200), QPointF(230, 190), Qt::MouseButton(button));
        QCOMPARE(win->pos(), QPoint(130, 90));
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
        QTest::newRow("title bar background") << "bar" << true;
        QTest::newRow("title bar logo") << "logo" << true;
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

        QWidget *target = nullptr;
        if (kind == "label")
            target = label;
        else if (kind == "button")
            target = button;
        else if (kind == "edit")
            target = edit;
        else if (kind == "bar")
            target = bar;
        else if (kind == "logo")
            target = bar->m_pLogoLabel;
        else if (kind == "title")
            target = bar->m_pTitleLabel;
        else
            target = bar->m_pCloseBtn;
        QVERIFY(target->isVisible());

        const QPointF start = QPointF(target->mapToGlobal(QPoint(5, 5)));
        // The pointer stays grabbed by the widget that took the press, so
        // moves and release go to the same target.
        drag(target, start, start + QPointF(25, 15));
        QCOMPARE(win->pos(), drags ? QPoint(125, 115) : QPoint(100, 100));

        // And the move that then reaches the window by itself (released outside)
        // is ignored too.
        sendMouse(win.get(), QEvent::MouseMove, start + QPointF(60, 60), Qt::NoButton);
        QCOMPARE(win->pos(), drags ? QPoint(125, 115) : QPoint(100, 100));
    }

    // With the owner's usual pixel size 0 and empty colour only the text
    // changes; other values change font and colour.
    void titleBarSetTitle()
    {
        std::unique_ptr<QWidget> win(new QWidget);
        auto *bar = new TitleBar(win.get());
        QLabel *title = bar->m_pTitleLabel;
        bar->setTitle("新建保护箱", 0, "");
        QCOMPARE(title->text(), QString("新建保护箱"));
        QCOMPARE(title->font().pixelSize(), 16);
        QCOMPARE(title->palette().color(QPalette::Active, QPalette::WindowText), QColor("#1D1D1F"));
        QCOMPARE(title->palette().color(QPalette::Disabled, QPalette::WindowText), QColor("#1D1D1F"));

        bar->setTitle("", 0, "");
        QCOMPARE(title->text(), QString());
        QCOMPARE(title->font().pixelSize(), 16);

        bar->setTitle("关于", 20, "#FF0000");
        QCOMPARE(title->text(), QString("关于"));
        QCOMPARE(title->font().pixelSize(), 20);
        QCOMPARE(title->palette().color(QPalette::Inactive, QPalette::WindowText), QColor("#FF0000"));

        bar->setBackgroundColor("#EAEAEA");
        QCOMPARE(bar->palette().color(QPalette::Disabled, QPalette::Window), QColor("#EAEAEA"));
    }

    // Hidden buttons leave no gap: a dialog's bar has its close button at the
    // right margin, the logo and title at the left.
    void titleBarLayout()
    {
        std::unique_ptr<QWidget> win(new QWidget);
        win->resize(500, 100);
        auto *bar = new TitleBar(win.get());
        bar->resize(500, 40);
        bar->m_pMinBtn->hide();
        bar->m_pMenuBtn->hide();
        bar->m_pReturnBtn->hide();
        bar->setTitle("提示", 0, "");
        win->show();
        QCOMPARE(bar->height(), 40);
        QCOMPARE(bar->m_pCloseBtn->geometry(), QRect(500 - 8 - 30, 8, 30, 24));
        QCOMPARE(bar->m_pLogoLabel->geometry(), QRect(20, 8, 24, 24));
        QCOMPARE(bar->m_pTitleLabel->x(), 20 + 24 + 8);

        // With all four the order from the right is close, minimise, menu, return.
        bar->m_pMinBtn->show();
        bar->m_pMenuBtn->show();
        bar->m_pReturnBtn->show();
        QApplication::sendPostedEvents();
        bar->m_pLayout->activate();
        QCOMPARE(bar->m_pMinBtn->x(), 500 - 8 - 30 - 8 - 30);
        QCOMPARE(bar->m_pMenuBtn->x(), bar->m_pMinBtn->x() - 38);
        QCOMPARE(bar->m_pReturnBtn->x(), bar->m_pMenuBtn->x() - 38);
    }

    void mainMenuSignals()
    {
        std::unique_ptr<QWidget> win(new QWidget);
        auto *menu = new MainMenu(win.get());
        QSignalSpy help(menu, SIGNAL(signal_showNewCharacter()));
        QSignalSpy about(menu, SIGNAL(signal_showAboutUs()));
        const QList<QAction *> actions = menu->actions();
        QCOMPARE(actions.size(), 3);
        QCOMPARE(actions[0]->text(), QString("帮助手册"));
        QVERIFY(actions[1]->isSeparator());
        QCOMPARE(actions[2]->text(), QString("关于"));

        actions[0]->trigger();
        QCOMPARE(help.count(), 1);
        QCOMPARE(about.count(), 0);
        actions[2]->trigger();
        QCOMPARE(help.count(), 1);
        QCOMPARE(about.count(), 1);

        // Deleting the menu (it deletes its own actions first) must be clean.
        QPointer<QAction> helpAction = actions[0];
        delete menu;
        QVERIFY(helpAction.isNull());
    }

    // A click on the eye shows the text, a second masks it again; the text
    // stays as typed and the icon follows the state.
    void passwordEyeToggles()
    {
        std::unique_ptr<QWidget> win(new QWidget);
        win->resize(300, 60);
        auto *edit = new BoxPswLineEdit(win.get());
        edit->setFixedWidth(230);
        win->show();
        QTest::keyClicks(edit, "s3cr3t <b>x</b>");
        const QString typed = edit->text();
        QCOMPARE(typed, QString("s3cr3t <b>x</b>"));
        QCOMPARE(edit->echoMode(), QLineEdit::Password);

        QList<QAction *> actions = edit->actions();
        QCOMPARE(actions.size(), 1);
        QAction *eye = actions.first();
        const QImage masked = iconImage(QIcon(":/images/image/invisible.png"));
        const QImage clear = iconImage(QIcon(":/images/image/visible.png"));
        QCOMPARE(iconImage(eye->icon()), masked);

        // The eye is a tool button at the edit's right end; click it for real.
        QToolButton *eyeButton = nullptr;
        for (QToolButton *b : edit->findChildren<QToolButton *>())
            if (b->defaultAction() == eye)
                eyeButton = b;
        QVERIFY(eyeButton);
        QVERIFY(eyeButton->isVisible());
        QVERIFY(eyeButton->x() > edit->width() / 2);

        QTest::mouseClick(eyeButton, Qt::LeftButton);
        QCOMPARE(edit->echoMode(), QLineEdit::Normal);
        QCOMPARE(iconImage(eye->icon()), clear);
        QCOMPARE(edit->text(), typed);

        QTest::mouseClick(eyeButton, Qt::LeftButton);
        QCOMPARE(edit->echoMode(), QLineEdit::Password);
        QCOMPARE(iconImage(eye->icon()), masked);
        QCOMPARE(edit->text(), typed);

        // Any other echo mode counts as shown: the click masks it.
        edit->setEchoMode(QLineEdit::NoEcho);
        QTest::mouseClick(eyeButton, Qt::LeftButton);
        QCOMPARE(edit->echoMode(), QLineEdit::Password);
    }

    void splitLine()
    {
        std::unique_ptr<QWidget> win(new QWidget);
        win->resize(780, 20);
        auto *horizontal = new SplitLine(false, win.get());
        auto *vertical = new SplitLine(true, win.get());
        vertical->move(0, 10);
        win->show();
        QCOMPARE(horizontal->size(), QSize(720, 1));
        QCOMPARE(vertical->size(), QSize(720, 1));
        const QImage line = horizontal->grab().toImage();
        QCOMPARE(QColor(line.pixel(360, 0)), QColor("#EAECEE"));
    }
};

QTEST_MAIN(TestWidgets)
#include "test_widgets.moc"
