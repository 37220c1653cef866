#pragma once

#include <QAbstractTableModel>
#include <QList>

#include "BoxResult.h"
#include "BoxTypes.h"

// The table's columns. The access column says what a share grants us on
// another account's box; the narrow end column only closes the row.
enum BoxColumn {
    NameColumn = 0,
    EncryptedColumn = 1,
    SharedColumn = 2,
    OwnerColumn = 3,
    AccessColumn = 4,
    EndColumn = 5,
    BoxColumnCount = 6,
};

// The boxes of the table mode, loaded through the box core with three filter
// selectors (owner, encryption, share; 0 always means "all"). It starts
// empty; refreshBoxList() fills it.
class BoxTableModel : public QAbstractTableModel
{
    Q_OBJECT
public:
    explicit BoxTableModel(QObject *parent);

    int rowCount(const QModelIndex &parent = QModelIndex()) const override;
    int columnCount(const QModelIndex &parent = QModelIndex()) const override;
    QVariant data(const QModelIndex &index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation,
                        int role = Qt::DisplayRole) const override;

    // Reloads the list with the current selectors. When the list cannot be
    // read, the rows stay as they were and the result says why.
    BoxResult refreshBoxList();
    // The row of the box of that name and owner (an empty owner: the user's
    // own box), or -1.
    int rowOf(const QString &name, const QString &owner) const;
    // Sets every selector back to "all" without reloading.
    void resetFilter();
    // Announces a reset without changing anything, so that views repaint.
    void resetModel();
    // A copy of the box in that row, or an empty record outside the list.
    BoxInfo boxAt(int row) const;
    int boxCount() const;

    // The selectors are set by the window that owns the header filter.
    int m_ownerFilter = 0;   // 0 all, 1 own boxes, 2 boxes shared by others
    int m_encryptFilter = 0; // 0 all, 1 encrypted, 2 not encrypted
    int m_shareFilter = 0;   // 0 all, 1 shared, 2 not shared

private:
    QList<BoxInfo> m_boxList;
};
