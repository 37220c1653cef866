#include "ElidedPathEdit.h"

#include <QEvent>
#include <QStyle>
#include <QStyleOptionFrame>

namespace {
// QLineEdit keeps this much room on each side of its text.
constexpr int kLineEditTextMargin = 2;
} // namespace

ElidedPathEdit::ElidedPathEdit(QWidget *parent) : QLineEdit(parent)
{
    setReadOnly(true);
}

void ElidedPathEdit::setPath(const QString &path)
{
    m_path = path;
    setToolTip(path);
    showPath();
}

void ElidedPathEdit::resizeEvent(QResizeEvent *event)
{
    QLineEdit::resizeEvent(event);
    showPath();
}

void ElidedPathEdit::changeEvent(QEvent *event)
{
    QLineEdit::changeEvent(event);
    if (event->type() == QEvent::FontChange || event->type() == QEvent::StyleChange)
        showPath();
}

void ElidedPathEdit::showPath()
{
    QStyleOptionFrame option;
    initStyleOption(&option);
    const QRect contents = style()->subElementRect(QStyle::SE_LineEditContents, &option, this);
    const QMargins margins = textMargins();
    const int room = contents.width() - margins.left() - margins.right() - 2 * kLineEditTextMargin;
    setText(fontMetrics().elidedText(m_path, Qt::ElideMiddle, room));
    setCursorPosition(0);
}
