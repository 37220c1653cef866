#pragma once

#include <QFrame>

// A one-pixel separator line, 720 pixels long.
class SplitLine : public QFrame
{
    Q_OBJECT
public:
    SplitLine(bool vertical, QWidget *parent);
};
