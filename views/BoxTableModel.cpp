#include "BoxTableModel.h"

#include <QColor>

// Empty until the first refreshBoxList(): the window fills the table when it
// first shows it, so start-up loads the boxes only once, for the icon view.
BoxTableModel::BoxTableModel(QObject *parent)
    : QAbstractTableModel(parent)
{
}

int BoxTableModel::rowCount(const QModelIndex &) const { return m_boxList.size(); }

int BoxTableModel::columnCount(const QModelIndex &) const { return 5; }

QVariant BoxTableModel::data(const QModelIndex &index, int role) const
{
    if (!index.isValid() || index.row() < 0 || index.row() >= m_boxList.size())
        return QVariant();
    const BoxInfo &box = m_boxList[index.row()];
    if (role == Qt::DisplayRole) {
        switch (index.column()) {
        case 0: return box.name;
        case 1: return box.owner;
        case 2: return box.path;
        case 3: return QString::number(box.flags);
        case 4: return QString();
        default: return QVariant();
        }
    }
    if (role == Qt::TextAlignmentRole) {
        if (index.column() == 1)
            return int(Qt::AlignLeft | Qt::AlignVCenter);
        return int(Qt::AlignCenter);
    }
    return QVariant();
}

QVariant BoxTableModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (role == Qt::DisplayRole && orientation == Qt::Horizontal) {
        switch (section) {
        case 0: return QString("           名称");
        case 1: return QString("  是否加密");
        case 2: return QString("  是否共享");
        case 3: return QString("  拥有者");
        case 4: return QString();
        default: return QVariant();
        }
    }
    if (role == Qt::TextAlignmentRole && orientation == Qt::Horizontal)
        return int(Qt::AlignLeft | Qt::AlignVCenter);
    if (role == Qt::BackgroundRole && section == 4)
        return QColor("#FFFFFF");
    return QVariant();
}

void BoxTableModel::refreshBoxList()
{
    // The rows change only between the two reset notifications, so that
    // nothing attached to the model sees the new rows under the old layout.
    beginResetModel();
    VaultranerProxy::getBoxList(m_boxList, m_ownerFilter, m_encryptFilter, m_shareFilter);
    endResetModel();
}

void BoxTableModel::resetFilter()
{
    m_ownerFilter = 0;
    m_encryptFilter = 0;
    m_shareFilter = 0;
}

void BoxTableModel::resetModel()
{
    beginResetModel();
    endResetModel();
}

BoxInfo BoxTableModel::boxAt(int row) const
{
    if (row < 0 || row >= m_boxList.size())
        return BoxInfo();
    return m_boxList[row];
}

int BoxTableModel::boxCount() const { return m_boxList.size(); }
