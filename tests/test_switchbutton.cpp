// The switch button: toggling, the slider animation and its arithmetic, and
// what it paints.

#include "SwitchButton.h"
#include "testsupport.h"

#include <QPainter>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTimer>
#include <QtTest>

#include <memory>

namespace {

QTimer *timerOf(SwitchButton *sw) { return sw->findChild<QTimer *>(); }

// The create dialog's switch: a 30 × 14 pill without texts.
std::unique_ptr<SwitchButton> makePill()
{
    std::unique_ptr<SwitchButton> sw(new SwitchButton);
    sw->setButtonStyle(SwitchButton::PillTrack);
    sw->setFixedSize(30, 14);
    sw->setBgColor(QColor("#C3C9D0"), QColor("#0197EE"));
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

QColor pixel(const QImage &img, int x, int y) { return QColor(img.pixel(x, y)); }

} // namespace

class TestSwitchButton : public QObject
{
    Q_OBJECT

private slots:
    void cleanup() { QVERIFY(TestSupport::leftoverTopLevels().isEmpty()); }

    // The checked signal comes first, before the slider has moved; the slider
    // then steps by a tenth of the width and settles on the target.
    void pillAnimationArithmetic()
    {
        auto sw = makePill();
        QCOMPARE(sw->sliderPosition(), 0);
        // State, slider position and target as seen by a receiver of the signal.
        QList<QPair<bool, int>> atSignal;
        QList<int> targetAtSignal;
        connect(sw.get(), &SwitchButton::checkedChanged, [&](bool on) {
            atSignal << qMakePair(on, sw->sliderPosition());
            targetAtSignal << sw->sliderTargetPosition();
            QCOMPARE(sw->isChecked(), on);
        });

        QTest::mousePress(sw.get(), Qt::LeftButton);
        QCOMPARE(atSignal, (QList<QPair<bool, int>>{{true, 0}}));
        QCOMPARE(targetAtSignal, QList<int>{0});
        QVERIFY(timerOf(sw.get())->isActive());
        QCOMPARE(timerOf(sw.get())->interval(), 5);
        QCOMPARE(sw->sliderTargetPosition(), 16);
        // 3 per tick; 18 overshoots and the next tick settles on 16.
        QCOMPARE(runTicks(sw.get()), (QList<int>{3, 6, 9, 12, 15, 18, 16}));
        QVERIFY(!timerOf(sw.get())->isActive());

        // The release does not toggle.
        QTest::mouseRelease(sw.get(), Qt::LeftButton);
        QCOMPARE(atSignal.size(), 1);

        QTest::mousePress(sw.get(), Qt::LeftButton);
        QCOMPARE(atSignal.last(), qMakePair(false, 16));
        QCOMPARE(targetAtSignal.last(), 16);
        QCOMPARE(sw->sliderTargetPosition(), 0);
        QCOMPARE(runTicks(sw.get()), (QList<int>{13, 10, 7, 4, 1, -2, 0}));
    }

    void targetsPerLook_data()
    {
        QTest::addColumn<int>("look");
        QTest::addColumn<QList<int>>("ticks");
        QTest::newRow("RoundedRect") << int(SwitchButton::RoundedRect) << QList<int>{5, 10, 15, 20, 25, 25};
        QTest::newRow("PillTrack") << int(SwitchButton::PillTrack) << QList<int>{5, 10, 15, 20, 25, 30, 26};
        QTest::newRow("InsetTrack") << int(SwitchButton::InsetTrack) << QList<int>{5, 10, 15, 20, 25, 30, 28};
    }

    // The default 50 × 24 button in each look.
    void targetsPerLook()
    {
        QFETCH(int, look);
        QFETCH(QList<int>, ticks);
        std::unique_ptr<SwitchButton> sw(new SwitchButton);
        QCOMPARE(sw->size(), QSize(50, 24));
        sw->setButtonStyle(SwitchButton::ButtonStyle(look));
        sw->show();
        QTest::mousePress(sw.get(), Qt::LeftButton);
        QCOMPARE(sw->sliderTargetPosition(), ticks.last());
        QCOMPARE(runTicks(sw.get()), ticks);
    }

    // Left to itself the timer brings the slider home and stops.
    void timerDrivesAnimation()
    {
        auto sw = makePill();
        QTest::mousePress(sw.get(), Qt::LeftButton);
        QTRY_VERIFY(!timerOf(sw.get())->isActive());
        QCOMPARE(sw->sliderPosition(), 16);
        QTest::mousePress(sw.get(), Qt::LeftButton);
        QTRY_VERIFY(!timerOf(sw.get())->isActive());
        QCOMPARE(sw->sliderPosition(), 0);
    }

    // A press in mid-flight turns the slider round from where it is.
    void pressDuringAnimationTurnsBack()
    {
        auto sw = makePill();
        QTest::mousePress(sw.get(), Qt::LeftButton);
        sw->updateValue();
        sw->updateValue();
        QCOMPARE(sw->sliderPosition(), 6);
        QTest::mousePress(sw.get(), Qt::LeftButton);
        QVERIFY(!sw->isChecked());
        QCOMPARE(runTicks(sw.get()), (QList<int>{3, 0, 0}));
    }

    void anyButtonToggles()
    {
        auto sw = makePill();
        QSignalSpy spy(sw.get(), SIGNAL(checkedChanged(bool)));
        QTest::mousePress(sw.get(), Qt::RightButton);
        QTest::mouseRelease(sw.get(), Qt::RightButton);
        QTest::mousePress(sw.get(), Qt::MiddleButton);
        QCOMPARE(spy.count(), 2);
        QCOMPARE(spy.at(0).at(0).toBool(), true);
        QCOMPARE(spy.at(1).at(0).toBool(), false);
    }

    // setChecked reports only real changes and leaves the slider alone until
    // the next resize, which puts it at its end without animation.
    void setCheckedKeepsSlider()
    {
        auto sw = makePill();
        QSignalSpy spy(sw.get(), SIGNAL(checkedChanged(bool)));
        sw->setChecked(false);
        QCOMPARE(spy.count(), 0);
        sw->setChecked(true);
        QCOMPARE(spy.count(), 1);
        QCOMPARE(spy.at(0).at(0).toBool(), true);
        sw->setChecked(true);
        QCOMPARE(spy.count(), 1);
        QVERIFY(sw->isChecked());
        QCOMPARE(sw->sliderPosition(), 0);
        QVERIFY(!timerOf(sw.get())->isActive());

        sw->setFixedSize(40, 20);
        QCOMPARE(sw->sliderPosition(), 20);
        QVERIFY(!timerOf(sw.get())->isActive());
        sw->setChecked(false);
        QCOMPARE(sw->sliderPosition(), 20);
        sw->setFixedSize(30, 14);
        QCOMPARE(sw->sliderPosition(), 0);
    }

    // The first show puts an already checked slider at its end.
    void firstShowPlacesSlider()
    {
        std::unique_ptr<SwitchButton> sw(new SwitchButton);
        sw->setButtonStyle(SwitchButton::PillTrack);
        sw->setChecked(true);
        QCOMPARE(sw->sliderPosition(), 0);
        sw->show();
        QCOMPARE(sw->sliderPosition(), 50 - 24);
    }

    // A very narrow button still finishes its animation.
    void narrowButtonStops()
    {
        std::unique_ptr<SwitchButton> sw(new SwitchButton);
        sw->setButtonStyle(SwitchButton::PillTrack);
        sw->setFixedSize(8, 4);
        sw->show();
        QTest::mousePress(sw.get(), Qt::LeftButton);
        QCOMPARE(runTicks(sw.get()), (QList<int>{1, 2, 3, 4, 4}));
        QVERIFY(!timerOf(sw.get())->isActive());
    }

    // The slider is drawn where sliderPos says, in the colours of the state.
    void paintsSliderAndTrack()
    {
        auto sw = makePill();
        QImage img = sw->grab().toImage();
        // Off: slider circle (2, 2, 10, 10), the rest is the grey track.
        QCOMPARE(pixel(img, 7, 7), QColor(Qt::white));
        QCOMPARE(pixel(img, 22, 7), QColor("#C3C9D0"));

        QTest::mousePress(sw.get(), Qt::LeftButton);
        img = sw->grab().toImage();
        // Checked but not yet moved: blue track, slider still on the left.
        QCOMPARE(pixel(img, 7, 7), QColor(Qt::white));
        QCOMPARE(pixel(img, 22, 7), QColor("#0197EE"));

        runTicks(sw.get());
        img = sw->grab().toImage();
        // On: slider circle (18, 2, 10, 10).
        QCOMPARE(pixel(img, 23, 7), QColor(Qt::white));
        QCOMPARE(pixel(img, 7, 7), QColor("#0197EE"));
    }

    // Text sits in the half the slider leaves free; empty texts draw nothing.
    void paintsText()
    {
        std::unique_ptr<SwitchButton> sw(new SwitchButton);
        sw->setTextColor(QColor("#FF0000"), QColor("#00FF00"));
        sw->show();
        auto countColour = [&](const QRect &area) {
            const QImage img = sw->grab().toImage();
            int red = 0, green = 0;
            for (int y = area.top(); y <= area.bottom(); ++y)
                for (int x = area.left(); x <= area.right(); ++x) {
                    const QColor c = pixel(img, x, y);
                    if (c.red() > 150 && c.green() < 100)
                        ++red;
                    if (c.green() > 150 && c.red() < 100 && c.blue() < 100)
                        ++green;
                }
            return qMakePair(red, green);
        };
        const QRect left(0, 0, 25, 24);
        const QRect right(25, 0, 25, 24);
        QVERIFY(countColour(right).first > 0);
        QCOMPARE(countColour(left).first, 0);

        sw->setChecked(true);
        sw->setFixedSize(50, 24); // no size change: no resize event
        QTest::mousePress(sw.get(), Qt::LeftButton);
        QTest::mousePress(sw.get(), Qt::LeftButton); // checked again, slider on its way
        runTicks(sw.get());
        QVERIFY(sw->isChecked());
        QVERIFY(countColour(left).second > 0);
        QCOMPARE(countColour(right).second, 0);

        sw->setText("", "");
        QCOMPARE(countColour(QRect(0, 0, 50, 24)), qMakePair(0, 0));
    }

    // ImagePair draws only the picture of the state, centred; with the
    // default paths (no such images) it draws nothing at all.
    void imagePair()
    {
        std::unique_ptr<SwitchButton> sw(new SwitchButton);
        sw->setButtonStyle(SwitchButton::ImagePair);
        sw->show();
        const QImage blank = sw->grab().toImage();
        for (int y = 0; y < blank.height(); ++y)
            for (int x = 0; x < blank.width(); ++x)
                QCOMPARE(blank.pixel(x, y), blank.pixel(0, 0));

        QTemporaryDir dir;
        QImage off(10, 6, QImage::Format_ARGB32);
        off.fill(Qt::red);
        QImage on(10, 6, QImage::Format_ARGB32);
        on.fill(Qt::blue);
        QVERIFY(off.save(dir.filePath("off.png")));
        QVERIFY(on.save(dir.filePath("on.png")));
        sw->setImage(dir.filePath("off.png"), dir.filePath("on.png"));

        // Top-left at ((50 - 1) / 2 - 5, (24 - 1) / 2 - 3) = (19, 8).
        QImage img = sw->grab().toImage();
        QCOMPARE(pixel(img, 19, 8), QColor(Qt::red));
        QCOMPARE(pixel(img, 28, 13), QColor(Qt::red));
        QVERIFY(pixel(img, 18, 8) != QColor(Qt::red));
        QVERIFY(pixel(img, 29, 13) != QColor(Qt::red));
        QVERIFY(pixel(img, 19, 7) != QColor(Qt::red));

        QTest::mousePress(sw.get(), Qt::LeftButton);
        img = sw->grab().toImage();
        QCOMPARE(pixel(img, 19, 8), QColor(Qt::blue));
        QCOMPARE(runTicks(sw.get()), QList<int>{0});
    }
};

QTEST_MAIN(TestSwitchButton)
#include "test_switchbutton.moc"
