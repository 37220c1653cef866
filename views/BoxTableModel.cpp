#include "BoxTableModel.h"

#include "BoxAccessibleText.h"
#include "BoxOperations.h"
#include "BoxStateText.h"

#include <QColor>

// Empty until the first refreshBoxList(): the window fills the table when it
// first shows it, so start-up loads the boxes only once, for the icon view.
BoxTableModel::BoxTableModel(QObject *parent)
    : QAbstractTableModel(parent)
{
}

int BoxTableModel::rowCount(const QModelIndex &) const { return m_boxList.size(); }

int BoxTableModel::columnCount(const QModelIndex &) const { return BoxColumnCount; }

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
        case 3: return QString::number(int(box.flags));
        case AccessColumn: return BoxStateText::access(box);
        case EndColumn: return QString();
        default: return QVariant();
        }
    }
    if (role == Qt::AccessibleTextRole) {
        // What the cell shows, in words.
        switch (index.column()) {
        case 0: return box.name;
        case 1: return BoxAccessibleText::encryption(box);
        case 2: return BoxAccessibleText::sharing(box);
        case 3: return BoxAccessibleText::owner(box);
        case AccessColumn: return BoxStateText::access(box);
        default: return QString();
        }
    }
    if (role == Qt::AccessibleDescriptionRole)
        return tr("保护箱 “%1”：%2").arg(box.name, BoxAccessibleText::description(box));
    if (role == Qt::TextAlignmentRole) {
        if (index.column() == 1)
            return int(Qt::AlignLeft | Qt::AlignVCenter);
        return int(Qt::AlignCenter);
    }
    return QVariant();
}

QVariant BoxTableModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    // The header paints its own captions; these are the same words for
    // anything that reads the model (screen readers among them).
    if ((role == Qt::DisplayRole || role == Qt::AccessibleTextRole) && orientation == Qt::Horizontal) {
        switch (section) {
        case 0: return tr("名称");
        case 1: return tr("是否加密");
        case 2: return tr("是否共享");
        case 3: return tr("来自于");
        case AccessColumn: return tr("权限");
        case EndColumn: return QString();
        default: return QVariant();
        }
    }
    if (role == Qt::TextAlignmentRole && orientation == Qt::Horizontal)
        return int(Qt::AlignLeft | Qt::AlignVCenter);
    if (role == Qt::BackgroundRole && section == EndColumn)
        return QColor("#FFFFFF");
    return QVariant();
}

BoxResult BoxTableModel::refreshBoxList()
{
    QList<BoxInfo> boxes;
    const BoxResult result = BoxOperations::list(boxes, OwnerFilter(m_ownerFilter),
                                                 EncryptionFilter(m_encryptFilter), ShareFilter(m_shareFilter));
    // What could not be read stays as it was; the caller shows why.
    if (!result.ok())
        return result;
    // The rows change only between the two reset notifications, so that
    // nothing attached to the model sees the new rows under the old layout.
    beginResetModel();
    m_boxList = std::move(boxes);
    endResetModel();
    return result;
}

int BoxTableModel::rowOf(const QString &name, const QString &owner) const
{
    for (int row = 0; row < m_boxList.size(); ++row) {
        if (BoxOperations::isBox(m_boxList[row], name, owner))
            return row;
    }
    return -1;
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
