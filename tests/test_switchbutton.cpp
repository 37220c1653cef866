// The switch button: toggling, the slider, keyboard and screen readers.

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

    // A press toggles, the release does not; the checked signal comes
    // before the slider moves, and the slider then settles on the other end,
    // on a very narrow button too. A switch shown checked starts there.
    void pressTogglesAndTheSliderSettles()
    {
        for (const QSize size : {QSize(30, 14), QSize(8, 4)}) {
            auto sw = makePill(size);
            QList<int> positionsAtSignal;
            connect(sw.get(), &SwitchButton::checkedChanged, [&] { positionsAtSignal << sw->sliderPosition(); });
            QTest::mousePress(sw.get(), Qt::LeftButton);
            QVERIFY(sw->isChecked());
            QCOMPARE(positionsAtSignal, QList<int>{0});
            QVERIFY(runTicks(sw.get()).size() < 100);
            QVERIFY(!timerOf(sw.get())->isActive());
            QVERIFY(sw->sliderPosition() > 0);
            QCOMPARE(sw->sliderPosition(), sw->sliderTargetPosition());
            QTest::mouseRelease(sw.get(), Qt::LeftButton);
            QCOMPARE(positionsAtSignal.size(), 1);
        }

        std::unique_ptr<SwitchButton> fresh(new SwitchButton);
        fresh->setButtonStyle(SwitchButton::PillTrack);
        fresh->setChecked(true);
        fresh->show();
        QVERIFY(fresh->sliderPosition() > 0);
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
};

QTEST_MAIN(TestSwitchButton)
#include "test_switchbutton.moc"
