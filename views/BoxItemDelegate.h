#pragma once

#include <QImage>
#include <QModelIndex>
#include <QStyledItemDelegate>

#include "BoxState.h"
#include "VaultranerProxy.h"

class BoxTableModel;

// Paints every cell of the box table from the model's BoxInfo, including the
// hover background and the selection frame, which it tracks itself.
class BoxItemDelegate : public QStyledItemDelegate
{
    Q_OBJECT
public:
    BoxItemDelegate(BoxTableModel *model, QObject *parent);

    void paint(QPainter *painter, const QStyleOptionViewItem &option,
               const QModelIndex &index) const override;

    // Resource path of the 16-pixel icon that shows the box's state.
    static QString boxIcon16(const BoxInfo &box);

public slots:
    void slot_hover_index_changed(QModelIndex index);
    void slot_selected_index_changed(QModelIndex index);

private:
    // The 16-pixel image for the box's state, loaded on first use.
    const QImage &stateImage(const BoxInfo &box) const;

    QModelIndex m_hoverIndex;
    QModelIndex m_selectedIndex;
    BoxTableModel *m_pModel = nullptr;
    // By boxStateKey(); a null image until first used.
    mutable QImage m_stateImages[kBoxStateCount];
};
