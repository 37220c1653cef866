#pragma once

#include <QDialog>

class QRadioButton;

// Drop-down under a filterable column of the box table: three exclusive
// choices. A press outside or Return closes it with result 1 (take the
// choice), Escape with 0 (keep the filter as it was); the arrow keys move
// the choice.
class BoxFilterDialog : public QDialog
{
    Q_OBJECT
public:
    // filterType: 0 encryption, 1 share, 2 owner.
    BoxFilterDialog(int filterType, QWidget *parent);

    void setCheckedIndex(int index);
    int checkedIndex() const;

protected:
    void mousePressEvent(QMouseEvent *e) override;
    void keyPressEvent(QKeyEvent *e) override;

private:
    int m_filterType = 0;
    QRadioButton *m_pAllRadioBtn = nullptr;    // choice 0
    QRadioButton *m_pFirstRadioBtn = nullptr;  // choice 1
    QRadioButton *m_pSecondRadioBtn = nullptr; // choice 2
};
