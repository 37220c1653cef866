// The switch button: toggling and the slider animation's arithmetic.

#include "SwitchButton.h"
#include "testsupport.h"

#include <QAccessible>
#include <QLineEdit>
#include <QSignalSpy>
#include <QTimer>
#include <QtTest>

#include <memory>

namespace {

QTimer *timerOf(SwitchButton *sw) { return sw->findChild<QTimer *>(); }

// The create dialog's switch (a 30 × 14 pill without texts), shown.
std::unique_ptr<SwitchButton> makePill(QSize size = QSize(30, 14))
{
    std::unique_ptr<SwitchButton> sw(new SwitchButton);
    sw->setButtonStyle(SwitchButton::PillTrack);
    sw->setFixedSize(size);
    sw->setText("", "");
    sw->show();
    return sw;
}

// Slider positions after each tick until the timer stops (at most `limit`).
QList<int> runTicks(SwitchButton *sw, int limit = 100)
{
    QList<int> seen;
    while (timerOf(sw)->isActive() && seen.size() < limit) {
        sw->updateValue();
        seen << sw->sliderPosition();
    }
    return seen;
}

} // namespace

class TestSwitchButton : public QObject
{
    Q_OBJECT

private slots:
    void cleanup() { QVERIFY(TestSupport::leftoverTopLevels().isEmpty()); }

    // The checked signal comes first, before the slider has moved; the slider
    // then steps by a tenth of the width and settles on the target. Any
    // button toggles; the release does not.
    void pillAnimationArithmetic()
    {
        auto sw = makePill();
        QCOMPARE(sw->sliderPosition(), 0);
        // State, slider position and target as seen by a receiver of the signal.
        QList<QList<int>> atSignal;
        connect(sw.get(), &SwitchButton::checkedChanged, [&](bool on) {
            atSignal << QList<int>{on, sw->isChecked(), sw->sliderPosition(), sw->sliderTargetPosition()};
        });
        QTest::mousePress(sw.get(), Qt::RightButton);
        QCOMPARE(atSignal, (QList<QList<int>>{{1, 1, 0, 0}}));
        QCOMPARE(sw->sliderTargetPosition(), 16);
        // 3 per tick; 18 overshoots and the next tick settles on 16.
        QCOMPARE(runTicks(sw.get()), (QList<int>{3, 6, 9, 12, 15, 18, 16}));
        QVERIFY(!timerOf(sw.get())->isActive());
        QTest::mouseRelease(sw.get(), Qt::RightButton);
        QCOMPARE(atSignal.size(), 1);

        QTest::mousePress(sw.get(), Qt::LeftButton);
        QCOMPARE(atSignal.last(), (QList<int>{0, 0, 16, 16}));
        QCOMPARE(runTicks(sw.get()), (QList<int>{13, 10, 7, 4, 1, -2, 0}));
        // Left to itself the timer brings the slider home and stops.
        QTest::mousePress(sw.get(), Qt::LeftButton);
        QTRY_VERIFY(!timerOf(sw.get())->isActive());
        QCOMPARE(sw->sliderPosition(), 16);
        // A press in mid-flight turns the slider round from where it is.
        QTest::mousePress(sw.get(), Qt::LeftButton);
        sw->updateValue();
        sw->updateValue();
        QCOMPARE(sw->sliderPosition(), 10);
        QTest::mousePress(sw.get(), Qt::LeftButton);
        QVERIFY(sw->isChecked());
        QCOMPARE(runTicks(sw.get()), (QList<int>{13, 16, 16}));
    }

    // setChecked reports only real changes and leaves the slider alone until
    // the next resize or first show, which put it at its end without animation.
    void setCheckedKeepsSlider()
    {
        auto sw = makePill();
        QSignalSpy spy(sw.get(), SIGNAL(checkedChanged(bool)));
        sw->setChecked(false);
        sw->setChecked(true);
        sw->setChecked(true);
        QCOMPARE(QList<QList<QVariant>>(spy), QList<QList<QVariant>>{{true}});
        QCOMPARE(sw->sliderPosition(), 0);
        QVERIFY(!timerOf(sw.get())->isActive());
        sw->setFixedSize(40, 20);
        QCOMPARE(sw->sliderPosition(), 20);
        sw->setChecked(false);
        QCOMPARE(sw->sliderPosition(), 20);
        sw->setFixedSize(30, 14);
        QCOMPARE(sw->sliderPosition(), 0);

        std::unique_ptr<SwitchButton> fresh(new SwitchButton);
        fresh->setButtonStyle(SwitchButton::PillTrack);
        fresh->setChecked(true);
        fresh->show();
        QCOMPARE(fresh->sliderPosition(), 50 - 24);
    }

    // Reached by Tab, toggled by Space (not by other keys), the focus shown by
    // an outline, and seen by screen readers as a named check box with its state.
    void keyboardAndAccessibility()
    {
        QWidget window;
        auto *before = new QLineEdit(&window);
        auto *sw = new SwitchButton(&window);
        sw->setButtonStyle(SwitchButton::PillTrack);
        sw->setFixedSize(30, 14);
        sw->move(0, 40);
        sw->setAccessibleName("是否加密");
        window.show();
        QVERIFY(QTest::qWaitForWindowActive(&window));
        before->setFocus();
        const QImage unfocused = sw->grab().toImage();
        QTest::keyClick(before, Qt::Key_Tab);
        QVERIFY(sw->hasFocus());
        QVERIFY(sw->grab().toImage() != unfocused);

        QSignalSpy spy(sw, SIGNAL(checkedChanged(bool)));
        QTest::keyClick(sw, Qt::Key_Return);
        QTest::keyClick(sw, Qt::Key_A);
        QCOMPARE(spy.count(), 0);
        QTest::keyClick(sw, Qt::Key_Space);
        QCOMPARE(QList<QList<QVariant>>(spy), QList<QList<QVariant>>{{true}});

        QAccessibleInterface *a11y = QAccessible::queryAccessibleInterface(sw);
        QVERIFY(a11y);
        QCOMPARE(a11y->role(), QAccessible::CheckBox);
        QCOMPARE(a11y->text(QAccessible::Name), QString("是否加密"));
        QVERIFY(a11y->state().checkable && a11y->state().checked && a11y->state().focused);
        a11y->actionInterface()->doAction(QAccessibleActionInterface::toggleAction());
        QVERIFY(!sw->isChecked() && !a11y->state().checked);
    }

    // A very narrow button still moves (at least 1 per tick) and stops.
    void narrowButtonStops()
    {
        auto sw = makePill(QSize(8, 4));
        QTest::mousePress(sw.get(), Qt::LeftButton);
        QCOMPARE(runTicks(sw.get()), (QList<int>{1, 2, 3, 4, 4}));
        QVERIFY(!timerOf(sw.get())->isActive());
    }
};

QTEST_MAIN(TestSwitchButton)
#include "test_switchbutton.moc"
