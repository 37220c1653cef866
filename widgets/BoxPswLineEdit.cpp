#include "BoxPswLineEdit.h"

#include <QAction>

BoxPswLineEdit::BoxPswLineEdit(QWidget *parent) : QLineEdit(parent)
{
    setEchoMode(QLineEdit::Password);
    m_pVisibleAction = new QAction(this);
    m_pVisibleAction->setIcon(QIcon(":/images/image/invisible.png"));
    addAction(m_pVisibleAction, QLineEdit::TrailingPosition);
    connect(m_pVisibleAction, SIGNAL(triggered(bool)), this, SLOT(slot_psw_visiable_btn_clicked()));
}

void BoxPswLineEdit::slot_psw_visiable_btn_clicked()
{
    if (echoMode() == QLineEdit::Password) {
        setEchoMode(QLineEdit::Normal);
        m_pVisibleAction->setIcon(QIcon(":/images/image/visible.png"));
    } else {
        setEchoMode(QLineEdit::Password);
        m_pVisibleAction->setIcon(QIcon(":/images/image/invisible.png"));
    }
}
