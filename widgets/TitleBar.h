#pragma once

#include <QWidget>

class QHBoxLayout;
class QLabel;
class QPushButton;

// The title bar every window of the program draws itself: logo, title and the
// return, menu, minimise and close buttons. It handles no clicks of its own;
// owners hide the buttons they do not use and connect the others. Presses on
// its background fall through to the window, which drags.
class TitleBar : public QWidget
{
    Q_OBJECT
public:
    explicit TitleBar(QWidget *parent);

    // Sets the title text; a non-zero pixel size and a non-empty colour also
    // change the title's font and colour.
    void setTitle(const QString &text, int pixelSize, const QString &color);
    void setBackgroundColor(const QString &color);

    QLabel *m_pLogoLabel;
    QLabel *m_pTitleLabel;
    QPushButton *m_pCloseBtn;
    QPushButton *m_pMinBtn;
    QPushButton *m_pMenuBtn;
    QPushButton *m_pReturnBtn;
    QHBoxLayout *m_pLayout;
};
