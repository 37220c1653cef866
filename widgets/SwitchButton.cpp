#include "SwitchButton.h"

#include "SwitchButtonAccessible.h"

#include <QAccessible>
#include <QKeyEvent>
#include <QPainter>
#include <QPainterPath>
#include <QPixmap>
#include <QTimer>

SwitchButton::SwitchButton(QWidget *parent) : QWidget(parent)
{
    bChecked = false;
    buttonStyle = RoundedRect;

    bgColorOff = QColor("#C3C9D0");
    bgColorOn = QColor("#0056B3");
    sliderColorOff = QColor(255, 255, 255, 255);
    sliderColorOn = QColor(255, 255, 255, 255);
    textColorOff = QColor("#FFFFFF");
    textColorOn = QColor("#FFFFFF");

    textOff = "OFF";
    textOn = "ON";
    // No such images ship with the program: ImagePair draws nothing until the
    // owner sets its own with setImage().
    imageOff = ":/images/image/关闭_状态.png";
    imageOn = ":/images/image/关闭_开启.png";

    space = 2;
    rectRadius = 5;
    slideStep = width() / 10;
    sliderPos = 0;
    sliderTarget = 0;

    animTimer = new QTimer(this);
    animTimer->setInterval(5);
    connect(animTimer, &QTimer::timeout, this, &SwitchButton::updateValue);

    setFont(QFont("Microsoft Yahei", 8));
    setFixedSize(50, 24);
    setFocusPolicy(Qt::StrongFocus);
    SwitchButtonAccessible::registerFactory();
}

int SwitchButton::onTarget() const
{
    const int w = width();
    const int h = height();
    switch (buttonStyle) {
    case RoundedRect:
        return w - w / 2;
    case PillTrack:
        return w - h;
    case InsetTrack:
        return w - h + space;
    case ImagePair:
        break;
    }
    return sliderTarget;
}

// A tenth of the width per tick, but never 0: a button narrower than ten
// pixels would otherwise keep its timer running forever without moving.
int SwitchButton::currentStep() const
{
    return qMax(1, width() / 10);
}

void SwitchButton::updateValue()
{
    if (bChecked && sliderPos < sliderTarget) {
        sliderPos += slideStep;
        update();
        return;
    }
    if (!bChecked && sliderPos > sliderTarget) {
        sliderPos -= slideStep;
        update();
        return;
    }
    // Arrived, or overshot by the last step: settle exactly on the target.
    sliderPos = sliderTarget;
    animTimer->stop();
    update();
}

void SwitchButton::setChecked(bool bChecked)
{
    if (this->bChecked == bChecked)
        return;
    this->bChecked = bChecked;
    emit checkedChanged(bChecked);
    announceState();
    update();
}

void SwitchButton::announceState()
{
    QAccessible::State changed;
    changed.checked = true;
    QAccessibleStateChangeEvent event(this, changed);
    QAccessible::updateAccessibility(&event);
}

void SwitchButton::setButtonStyle(ButtonStyle buttonStyle)
{
    this->buttonStyle = buttonStyle;
    update();
}

void SwitchButton::setBgColor(QColor bgColorOff, QColor bgColorOn)
{
    this->bgColorOff = bgColorOff;
    this->bgColorOn = bgColorOn;
    update();
}

void SwitchButton::setSliderColor(QColor sliderColorOff, QColor sliderColorOn)
{
    this->sliderColorOff = sliderColorOff;
    this->sliderColorOn = sliderColorOn;
    update();
}

void SwitchButton::setTextColor(QColor textColorOff, QColor textColorOn)
{
    this->textColorOff = textColorOff;
    this->textColorOn = textColorOn;
    update();
}

void SwitchButton::setText(QString textOff, QString textOn)
{
    this->textOff = textOff;
    this->textOn = textOn;
    update();
}

void SwitchButton::setImage(QString imageOff, QString imageOn)
{
    this->imageOff = imageOff;
    this->imageOn = imageOn;
    update();
}

void SwitchButton::setSpace(int space)
{
    this->space = space;
    update();
}

void SwitchButton::setRectRadius(int rectRadius)
{
    this->rectRadius = rectRadius;
    update();
}

// Every press toggles, whatever the button, and the slider sets off from
// wherever it is (also in the middle of a running animation).
void SwitchButton::mousePressEvent(QMouseEvent *)
{
    toggle();
}

void SwitchButton::toggle()
{
    bChecked = !bChecked;
    emit checkedChanged(bChecked);
    announceState();
    slideStep = currentStep();
    sliderTarget = bChecked ? onTarget() : 0;
    animTimer->start();
}

// Space toggles, as on a check box; every other key (Enter for the dialog's
// default button, Tab, Escape) goes on to the parent.
void SwitchButton::keyPressEvent(QKeyEvent *e)
{
    if (e->key() == Qt::Key_Space && e->modifiers() == Qt::NoModifier) {
        if (!e->isAutoRepeat())
            toggle();
        return;
    }
    QWidget::keyPressEvent(e);
}

void SwitchButton::focusInEvent(QFocusEvent *e)
{
    QWidget::focusInEvent(e);
    update();
}

void SwitchButton::focusOutEvent(QFocusEvent *e)
{
    QWidget::focusOutEvent(e);
    update();
}

// A 1-pixel dark outline along the edge of the track, visible on both the
// grey and the blue track.
void SwitchButton::paintFocusMark(QPainter &painter)
{
    if (!hasFocus())
        return;
    painter.save();
    painter.setPen(QPen(focusMarkColour(), 1));
    painter.setBrush(Qt::NoBrush);
    const QRectF edge = QRectF(rect()).adjusted(0.5, 0.5, -0.5, -0.5);
    const qreal radius = buttonStyle == PillTrack ? edge.height() / 2 : rectRadius;
    painter.drawRoundedRect(edge, radius, radius);
    painter.restore();
}

const QColor &SwitchButton::focusMarkColour()
{
    static const QColor dark("#1D1D1F");
    return dark;
}

// After a resize (and so after the first show) the slider sits at its end
// position at once, without animation.
void SwitchButton::resizeEvent(QResizeEvent *)
{
    slideStep = currentStep();
    sliderPos = bChecked ? onTarget() : 0;
    update();
}

void SwitchButton::paintEvent(QPaintEvent *)
{
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    const int w = width();
    const int h = height();

    if (buttonStyle == ImagePair) {
        QPixmap pix(bChecked ? imageOn : imageOff);
        if (pix.isNull())
            return;
        painter.save();
        pix = pix.scaled(pix.size(), Qt::KeepAspectRatio, Qt::SmoothTransformation);
        painter.drawPixmap((w - 1) / 2 - pix.width() / 2, (h - 1) / 2 - pix.height() / 2, pix);
        painter.restore();
        paintFocusMark(painter);
        return;
    }

    // Track.
    painter.save();
    painter.setPen(Qt::NoPen);
    painter.setBrush(bChecked ? bgColorOn : bgColorOff);
    if (buttonStyle == RoundedRect) {
        painter.drawRoundedRect(QRect(0, 0, w, h), rectRadius, rectRadius);
    } else if (buttonStyle == PillTrack) {
        QPainterPath path;
        path.moveTo(h / 2, 0);
        path.arcTo(QRectF(0, 0, h, h), 90, 180);
        path.lineTo(w - h / 2, h);
        path.arcTo(QRectF(w - h, 0, h, h), 270, 180);
        path.lineTo(h / 2, 0);
        painter.drawPath(path);
    } else {
        painter.drawRoundedRect(QRect(space, space, w - 2 * space, h - 2 * space), rectRadius, rectRadius);
    }
    painter.restore();

    // Slider.
    painter.save();
    painter.setPen(Qt::NoPen);
    painter.setBrush(bChecked ? sliderColorOn : sliderColorOff);
    if (buttonStyle == RoundedRect) {
        painter.drawRoundedRect(QRect(space + sliderPos, space, w / 2 - 2 * space, h - 2 * space),
                                rectRadius, rectRadius);
    } else if (buttonStyle == PillTrack) {
        painter.drawEllipse(QRect(space + sliderPos, space, h - 2 * space, h - 2 * space));
    } else {
        painter.drawEllipse(QRect(sliderPos, space / 2, h - space, h - space));
    }
    painter.restore();

    // Text, centred in the half the slider leaves free.
    painter.save();
    if (bChecked) {
        painter.setPen(textColorOn);
        painter.drawText(QRect(0, 0, w / 2 + 2 * space, h), Qt::AlignCenter, textOn);
    } else {
        painter.setPen(textColorOff);
        painter.drawText(QRect(w / 2, 0, w / 2 - space, h), Qt::AlignCenter, textOff);
    }
    painter.restore();
    paintFocusMark(painter);
}
