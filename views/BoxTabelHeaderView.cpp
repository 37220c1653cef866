#include "BoxTabelHeaderView.h"

#include "BoxTableModel.h"

#include <QColor>
#include <QFont>
#include <QImage>
#include <QMouseEvent>
#include <QPainter>

BoxTabelHeaderView::BoxTabelHeaderView(QWidget *parent)
    : QHeaderView(Qt::Horizontal, parent)
{
    setFixedHeight(30);
}

void BoxTabelHeaderView::mousePressEvent(QMouseEvent *e)
{
    emit signal_clicked_section(visualIndexAt(qRound(e->localPos().x())));
    // The base class still handles the press, so sections stay resizable.
    QHeaderView::mousePressEvent(e);
}

namespace {
// Room between a filter caption and its arrow.
constexpr int kArrowGap = 4;
} // namespace

void BoxTabelHeaderView::paintSection(QPainter *painter, const QRect &rect, int logicalIndex) const
{
    const int L = rect.left(), T = rect.top(), R = rect.right(), B = rect.bottom();
    const QPoint arrowAt(L + 75, T + (B - T - 7) / 2);
    const QRect textRect(QPoint(L + 10, T), QPoint(R - 10, B));

    painter->save();
    QFont font;
    font.setPixelSize(14);
    painter->setFont(font);
    painter->setPen(QColor("#121217"));
    painter->fillRect(rect, QColor("#F0F0F0"));

    // A filter caption with its arrow: the arrow keeps its place unless the
    // caption needs more room, and a caption too long for the section gives
    // way to "…" before the arrow.
    const QFontMetrics metrics(font);
    auto drawFilterCaption = [&](const QString &caption, int arrowX) {
        const QImage arrow(":/images/image/icon_down.png");
        const int room = textRect.width() - kArrowGap - arrow.width();
        const QString shown = metrics.elidedText(caption, Qt::ElideRight, room);
        painter->drawText(textRect, Qt::AlignVCenter, shown);
        const int afterCaption = textRect.left() + metrics.horizontalAdvance(shown) + kArrowGap;
        painter->drawImage(QPoint(qMax(arrowX, afterCaption), arrowAt.y()), arrow);
    };

    switch (logicalIndex) {
    case 0:
        painter->drawText(QRect(QPoint(L + 40, T), QPoint(R + 20, B)), Qt::AlignVCenter, tr("名称"));
        break;
    case 1:
        drawFilterCaption(tr("是否加密"), arrowAt.x());
        break;
    case 2:
        drawFilterCaption(tr("是否共享"), arrowAt.x());
        break;
    case 3:
        drawFilterCaption(tr("来自于"), L + 60);
        break;
    case AccessColumn:
        painter->drawText(textRect, Qt::AlignVCenter, tr("权限"));
        break;
    default:
        break;
    }
    painter->restore();
}
