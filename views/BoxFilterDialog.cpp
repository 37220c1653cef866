#include "BoxFilterDialog.h"

#include "WindowBorder.h"

#include <QColor>
#include <QFont>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPalette>
#include <QRadioButton>

namespace {
// Room right of the longest choice.
constexpr int kRightMargin = 10;
} // namespace

BoxFilterDialog::BoxFilterDialog(int filterType, QWidget *parent)
    : QDialog(parent), m_filterType(filterType)
{
    setWindowFlags(Qt::Popup | Qt::FramelessWindowHint);
    resize(80, 86);

    QFont font;
    font.setPixelSize(12);
    setAutoFillBackground(true);
    QPalette pal = palette();
    pal.setBrush(QPalette::Window, QBrush(QColor("#FFFFFF")));
    setPalette(pal);
    pal.setBrush(QPalette::WindowText, QBrush(QColor("#333333")));

    auto makeButton = [&](const QString &text, int y) {
        auto *btn = new QRadioButton(text, this);
        btn->setFont(font);
        btn->setPalette(pal);
        btn->move(14, y);
        return btn;
    };
    m_pAllRadioBtn = makeButton(tr("全部"), 10);
    m_pFirstRadioBtn = makeButton(tr("是"), 35);
    m_pSecondRadioBtn = makeButton(tr("否"), 60);

    if (m_filterType == 2) {
        resize(120, 86);
        m_pFirstRadioBtn->setText(tr("个人创建"));
        m_pSecondRadioBtn->setText(tr("他人共享"));
    }
    // Wide enough for the longest choice in the user's language.
    int widest = 0;
    for (const QRadioButton *button : {m_pAllRadioBtn, m_pFirstRadioBtn, m_pSecondRadioBtn})
        widest = qMax(widest, button->x() + button->sizeHint().width());
    resize(qMax(width(), widest + kRightMargin), height());
    // White on the white table: the drop-down needs an edge.
    new WindowBorder(this);
}

void BoxFilterDialog::setCheckedIndex(int index)
{
    QRadioButton *checked = index == 0 ? m_pAllRadioBtn : index == 1 ? m_pFirstRadioBtn : m_pSecondRadioBtn;
    checked->setChecked(true);
    // The arrow keys move the choice from here.
    checked->setFocus();
}

int BoxFilterDialog::checkedIndex() const
{
    if (m_pAllRadioBtn->isChecked())
        return 0;
    if (m_pFirstRadioBtn->isChecked())
        return 1;
    if (m_pSecondRadioBtn->isChecked())
        return 2;
    return 0;
}

void BoxFilterDialog::mousePressEvent(QMouseEvent *e)
{
    // As a pop-up the dialog receives the press that the user makes anywhere
    // outside it: clicking away takes the current choice.
    if (!QRect(0, 0, width(), height()).contains(e->pos()))
        done(1);
}

// Return or Enter takes the choice, as a click outside does; Escape keeps the
// filter as it was.
void BoxFilterDialog::keyPressEvent(QKeyEvent *e)
{
    if (e->key() == Qt::Key_Return || e->key() == Qt::Key_Enter) {
        done(1);
        return;
    }
    QDialog::keyPressEvent(e);
}
