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

    switch (logicalIndex) {
    case 0:
        painter->drawText(QRect(QPoint(L + 40, T), QPoint(R + 20, B)), Qt::AlignVCenter, tr("名称"));
        break;
    case 1:
        painter->drawText(textRect, Qt::AlignVCenter, tr("是否加密"));
        painter->drawImage(arrowAt, QImage(":/images/image/icon_down.png"));
        break;
    case 2:
        painter->drawText(textRect, Qt::AlignVCenter, tr("是否共享"));
        painter->drawImage(arrowAt, QImage(":/images/image/icon_down.png"));
        break;
    case 3:
        painter->drawText(textRect, Qt::AlignVCenter, tr("来自于"));
        painter->drawImage(QPoint(L + 60, arrowAt.y()), QImage(":/images/image/icon_down.png"));
        break;
    case AccessColumn:
        painter->drawText(textRect, Qt::AlignVCenter, tr("权限"));
        break;
    default:
        break;
    }
    painter->restore();
}
