#include "BoxItemDelegate.h"

#include "BoxStateText.h"
#include "BoxTableModel.h"

#include <QAbstractItemView>
#include <QColor>
#include <QFont>
#include <QFontMetrics>
#include <QHelpEvent>
#include <QPainter>
#include <QToolTip>

namespace {

QFont cellFont()
{
    QFont font;
    font.setPixelSize(12);
    return font;
}

// A cell's text, shortened with "…" where the column is too narrow for it.
void drawCellText(QPainter *painter, const QRect &room, const QString &text)
{
    painter->drawText(room, Qt::AlignVCenter, QFontMetrics(cellFont()).elidedText(text, Qt::ElideRight, room.width()));
}
} // namespace

BoxItemDelegate::BoxItemDelegate(BoxTableModel *model, QObject *parent)
    : QStyledItemDelegate(parent), m_pModel(model)
{
}

QString BoxItemDelegate::boxIcon16(const BoxInfo &box)
{
    if (box.fromOther) {
        if (!box.encrypted)
            return ":/images/image/share_16.png";
        return box.mounted ? ":/images/image/share_unlock16.png"
                           : ":/images/image/share_lock16.png";
    }
    if (!box.encrypted)
        return box.shared ? ":/images/image/person_shre16.png" : ":/images/image/person_16.png";
    if (box.mounted)
        return box.shared ? ":/images/image/person_sahre_unlock_16.png"
                          : ":/images/image/person_unlock16.png";
    return box.shared ? ":/images/image/person_sahre_lock_16.png"
                      : ":/images/image/person_lock16.png";
}

const QImage &BoxItemDelegate::stateImage(const BoxInfo &box) const
{
    QImage &image = m_stateImages[boxStateKey(box)];
    if (image.isNull())
        image.load(boxIcon16(box));
    return image;
}

void BoxItemDelegate::paint(QPainter *painter, const QStyleOptionViewItem &option,
                            const QModelIndex &index) const
{
    const QRect &r = option.rect;
    const int L = r.left(), T = r.top(), R = r.right(), B = r.bottom();
    const int row = index.row();
    const bool selected = m_selectedIndex.isValid() && m_selectedIndex.row() == row;
    const bool hovered = m_hoverIndex.isValid() && m_hoverIndex.row() == row;

    painter->save();
    painter->fillRect(r, QColor((selected || hovered) ? "#EEF9FF" : "#FFFFFF"));

    if (selected) {
        painter->setPen(QPen(QColor("#4CB6F4"), 1));
        painter->drawLine(L, T, R + 1, T);
        painter->drawLine(L, B, R + 1, B);
        if (index.column() == 0)
            painter->drawLine(L, T, L, B);
        else if (index.column() == EndColumn)
            painter->drawLine(R + 1, T, R + 1, B);
    }

    painter->setPen(QColor("#121217"));
    painter->setFont(cellFont());

    const BoxInfo box = m_pModel ? m_pModel->boxAt(row) : BoxInfo();
    const QRect textRect(QPoint(L + 10, T), QPoint(R - 10, B));
    switch (index.column()) {
    case 0:
        painter->drawImage(QPoint(L + 10, T + (B - T - 15) / 2), stateImage(box));
        painter->drawText(nameRect(r), Qt::AlignVCenter, shownName(box.name, r));
        break;
    case 1:
        drawCellText(painter, textRect, box.encrypted ? tr("是") : tr("否"));
        break;
    case 2:
        drawCellText(painter, textRect, box.shared ? tr("是") : tr("否"));
        break;
    case 3:
        drawCellText(painter, textRect, box.fromOther ? tr("%1 共享").arg(box.owner) : tr("本人创建"));
        break;
    case AccessColumn:
        painter->drawText(textRect, Qt::AlignVCenter, BoxStateText::access(box));
        break;
    default:
        painter->drawText(r, Qt::AlignVCenter, QString());
        break;
    }
    painter->restore();
}

void BoxItemDelegate::slot_hover_index_changed(QModelIndex index)
{
    m_hoverIndex = index;
}

void BoxItemDelegate::slot_selected_index_changed(QModelIndex index)
{
    m_selectedIndex = index;
    if (m_pModel)
        m_pModel->resetModel();
}

QRect BoxItemDelegate::nameRect(const QRect &cell)
{
    return QRect(QPoint(cell.left() + 40, cell.top()), QPoint(cell.right() - 10, cell.bottom()));
}

QString BoxItemDelegate::shownName(const QString &name, const QRect &cell)
{
    return QFontMetrics(cellFont()).elidedText(name, Qt::ElideRight, nameRect(cell).width());
}

bool BoxItemDelegate::helpEvent(QHelpEvent *event, QAbstractItemView *view, const QStyleOptionViewItem &option,
                                const QModelIndex &index)
{
    if (event->type() != QEvent::ToolTip || index.column() != 0 || !m_pModel)
        return QStyledItemDelegate::helpEvent(event, view, option, index);
    const QString name = m_pModel->boxAt(index.row()).name;
    if (shownName(name, option.rect) != name)
        QToolTip::showText(event->globalPos(), name, view);
    else
        QToolTip::hideText();
    return true;
}
