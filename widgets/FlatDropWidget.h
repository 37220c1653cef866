#pragma once

#include <QDialog>
#include <QPoint>

// A frameless dialog with a thin grey border that the user moves by dragging
// it anywhere on its background (any spot that no child widget takes presses
// for); on Wayland the compositor moves it (QWindow::startSystemMove).
// Base of the main window and of every dialog.
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
    QPoint m_pressOffset; // pointer position minus window position at the press
    bool m_bPressed = false;
};
