#include "SplitLine.h"

SplitLine::SplitLine(bool vertical, QWidget *parent) : QFrame(parent)
{
    setFrameShape(vertical ? QFrame::VLine : QFrame::HLine);
    setFrameShadow(QFrame::Sunken);
    setFixedSize(720, 1);
    setStyleSheet("border:1px solid #EAECEE");
}
