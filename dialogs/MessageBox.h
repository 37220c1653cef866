#pragma once

#include "FlatDropWidget.h"

class QLabel;
class QPushButton;
class TitleBar;

// The program's message box: a fixed 500 × 320 frameless dialog with a title
// word and icon per message type, a centred text and one or two buttons.
// It deletes itself when exec() returns, so a box serves exactly one message.
class MessageBox : public FlatDropWidget
{
    Q_OBJECT
public:
    enum MsgType { Information = 0, Question = 1, Warning = 2, Complete = 3 };

    explicit MessageBox(QWidget *parent);

    // Shows `text` with the look of `type` (any value other than 0, 1 and 2
    // counts as Complete) and returns 1 for 确认 (or Enter), 0 otherwise.
    int execMessage(int type, const QString &text);

public slots:
    void slot_okBtnClicked();

private:
    void fitText(); // grows the box downwards for a text taller than its room

    TitleBar *m_pTitleBar;
    QLabel *m_pIconLabel;
    QLabel *m_pTextLabel;
    QPushButton *m_pOkBtn;
    QPushButton *m_pCancelBtn;
};

// Moves `dialog` so that it is centred on `over` (integer halves).
void centreOn(QWidget *dialog, const QWidget *over);

// Shows an Information message, centred on `parent` when there is one.
void showInformation(const QString &text, QWidget *parent);
