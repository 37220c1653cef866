#pragma once

#include <QDialog>
#include <QPoint>

// A frameless dialog that the user moves by dragging it anywhere on its
// background (any spot that no child widget takes presses for); the window
// system moves it where it can (QWindow::startSystemMove), which Wayland
// needs. Base of the main window and of every dialog.
class FlatDropWidget : public QDialog
{
    Q_OBJECT
public:
    explicit FlatDropWidget(QWidget *parent = nullptr);

protected:
    void mousePressEvent(QMouseEvent *e) override;
    void mouseReleaseEvent(QMouseEvent *e) override;
    void mouseMoveEvent(QMouseEvent *e) override;

private:
    QPoint m_dragPos;
    bool m_bPressed;
};
