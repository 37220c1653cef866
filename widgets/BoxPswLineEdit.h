#pragma once

#include <QLineEdit>

class QAction;

// Password entry with an eye action at its right end that shows or masks the
// typed text.
class BoxPswLineEdit : public QLineEdit
{
    Q_OBJECT
public:
    explicit BoxPswLineEdit(QWidget *parent);

public slots:
    void slot_psw_visiable_btn_clicked();

private:
    QAction *m_pVisibleAction;
};
