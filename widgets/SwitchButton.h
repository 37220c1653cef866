#pragma once

#include <QColor>
#include <QString>
#include <QWidget>

class QPainter;
class QTimer;

// A self-painted on/off toggle whose slider glides to its new side in a short
// timer-driven animation. It paints itself completely (no style, no style
// sheet) in one of four looks; colours, texts, images, gap and corner radius
// can be changed through its slots. It takes the keyboard focus (Tab or a
// click), shows it with a dark outline, toggles with Space and appears to
// accessibility tools as a check box with its state.
class SwitchButton : public QWidget
{
    Q_OBJECT
public:
    enum ButtonStyle {
        RoundedRect = 0, // rounded track, rounded slider of half the width
        PillTrack = 1,   // pill-shaped track, round slider inside it
        InsetTrack = 2,  // track inset by `space`, round slider larger than it
        ImagePair = 3    // only the image of the current state
    };

    explicit SwitchButton(QWidget *parent = nullptr);

    // The colour of the outline that shows the keyboard focus.
    static const QColor &focusMarkColour();

    bool isChecked() const { return bChecked; }
    // Where the slider is now and where the animation is taking it (x offsets).
    int sliderPosition() const { return sliderPos; }
    int sliderTargetPosition() const { return sliderTarget; }

signals:
    void checkedChanged(bool checked);

public slots:
    // Turns the switch over as a click does: the state changes and is
    // reported at once, then the slider glides to its new side.
    void toggle();
    // One animation step; driven by the 5 ms timer.
    void updateValue();
    // Changes the state (and the colours and text) without moving the slider;
    // emits checkedChanged only when the state really changes.
    void setChecked(bool bChecked);
    void setButtonStyle(ButtonStyle buttonStyle);
    void setBgColor(QColor bgColorOff, QColor bgColorOn);
    void setSliderColor(QColor sliderColorOff, QColor sliderColorOn);
    void setTextColor(QColor textColorOff, QColor textColorOn);
    void setText(QString textOff, QString textOn);
    void setImage(QString imageOff, QString imageOn);
    void setSpace(int space);
    void setRectRadius(int rectRadius);

protected:
    void mousePressEvent(QMouseEvent *e) override;
    void keyPressEvent(QKeyEvent *e) override;
    void focusInEvent(QFocusEvent *e) override;
    void focusOutEvent(QFocusEvent *e) override;
    void paintEvent(QPaintEvent *e) override;
    void resizeEvent(QResizeEvent *e) override;

private:
    // The slider's x offset in the on state for the current size and look.
    int onTarget() const;
    int currentStep() const;
    // Tells accessibility tools that the checked state changed.
    void announceState();
    void paintFocusMark(QPainter &painter);

    bool bChecked;
    ButtonStyle buttonStyle;

    QColor bgColorOff;
    QColor bgColorOn;
    QColor sliderColorOff;
    QColor sliderColorOn;
    QColor textColorOff;
    QColor textColorOn;

    QString textOff;
    QString textOn;
    QString imageOff;
    QString imageOn;

    int space;
    int rectRadius;
    int slideStep;
    int sliderPos;
    int sliderTarget;

    QTimer *animTimer;
};
