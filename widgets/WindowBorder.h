#pragma once

#include <QColor>
#include <QWidget>

// A 1-pixel line around a frameless window, drawn above all of the window's
// children (the title bar included), so that a white window keeps its edge
// on a white desktop and over another white window. It takes no input,
// follows the window's size and stays on top of siblings added later.
class WindowBorder : public QWidget
{
    Q_OBJECT
public:
    static const QColor &colour();

    explicit WindowBorder(QWidget *window);

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;
    void paintEvent(QPaintEvent *event) override;
};
