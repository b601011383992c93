#include "devicefiltermodel.h"

DeviceFilterModel::DeviceFilterModel(QObject *parent)
    : QSortFilterProxyModel(parent)
{ }

void DeviceFilterModel::setFilterText(const QString &filter)
{
    if (filter == text)
        return;
    text = filter;
    invalidateFilter();
}

bool DeviceFilterModel::filterAcceptsRow(int sourceRow, const QModelIndex &sourceParent) const
{
    if (text.isEmpty())
        return true;
    const QAbstractItemModel *model = sourceModel();
    for (int column = 0; column < model->columnCount(sourceParent); ++column) {
        const QModelIndex cell = model->index(sourceRow, column, sourceParent);
        // The conflict marks carry their text as the cell's tool tip.
        for (const int role : { int(Qt::DisplayRole), int(Qt::ToolTipRole) }) {
            if (cell.data(role).toString().contains(text, Qt::CaseInsensitive))
                return true;
        }
    }
    return false;
}
