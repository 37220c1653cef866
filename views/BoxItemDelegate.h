#pragma once

#include <QImage>
#include <QModelIndex>
#include <QStyledItemDelegate>

#include "BoxState.h"
#include "BoxTypes.h"

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

    // A long name's tool tip shows it whole.
    bool helpEvent(QHelpEvent *event, QAbstractItemView *view, const QStyleOptionViewItem &option,
                   const QModelIndex &index) override;

    // Resource path of the 16-pixel icon that shows the box's state.
    static QString boxIcon16(const BoxInfo &box);
    // Where the name column draws the name inside its cell.
    static QRect nameRect(const QRect &cell);
    // The name as the name column shows it: whole when it fits, else cut at a
    // character boundary and ended with "…".
    static QString shownName(const QString &name, const QRect &cell);
    // The row drawn framed as selected, or -1.
    int selectedRow() const { return m_selectedIndex.isValid() ? m_selectedIndex.row() : -1; }

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
