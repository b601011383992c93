#include "devicefiltermodel.h"

#include "devicemodel.h"

namespace {

// Between the texts of two cells: no typed filter holds it.
constexpr QChar CellSeparator(u'\x1f');

} // namespace

DeviceFilterModel::DeviceFilterModel(QObject *parent)
    : QSortFilterProxyModel(parent)
{ }

void DeviceFilterModel::setSourceModel(QAbstractItemModel *model)
{
    for (const QMetaObject::Connection &connection : qAsConst(sourceConnections))
        disconnect(connection);
    sourceConnections.clear();
    searchTexts.clear();
    // Connected before the base class connects its own handlers, which filter
    // the changed rows, so they never read a text that is out of date.
    if (model) {
        const auto forgetAll = [this] { searchTexts.clear(); };
        sourceConnections << connect(model, &QAbstractItemModel::dataChanged, this,
            [this](const QModelIndex &topLeft, const QModelIndex &bottomRight,
                const QVector<int> &roles) {
                // Icons and the device model's own data change no searched text.
                if (!roles.isEmpty() && !roles.contains(Qt::DisplayRole)
                    && !roles.contains(Qt::EditRole) && !roles.contains(Qt::ToolTipRole))
                    return;
                for (int row = topLeft.row(); row <= bottomRight.row() && row < searchTexts.size();
                     ++row)
                    searchTexts[row] = QString();
            });
        sourceConnections << connect(model, &QAbstractItemModel::rowsInserted, this,
            [this](const QModelIndex &, int first, int last) {
                if (first < searchTexts.size())
                    searchTexts.insert(first, last - first + 1, QString());
            });
        sourceConnections << connect(model, &QAbstractItemModel::rowsRemoved, this, forgetAll);
        sourceConnections << connect(model, &QAbstractItemModel::rowsMoved, this, forgetAll);
        sourceConnections << connect(model, &QAbstractItemModel::layoutChanged, this, forgetAll);
        sourceConnections << connect(model, &QAbstractItemModel::modelReset, this, forgetAll);
        sourceConnections << connect(model, &QAbstractItemModel::columnsInserted, this, forgetAll);
        sourceConnections << connect(model, &QAbstractItemModel::columnsRemoved, this, forgetAll);
    }
    QSortFilterProxyModel::setSourceModel(model);
}

void DeviceFilterModel::setFilterText(const QString &filter)
{
    if (filter == text)
        return;
    text = filter;
    foldedText = filter.toCaseFolded();
    // One change of layout rather than a removal for every run of rows hidden:
    // with thousands of rows selected, the selection model took half a minute
    // over those.
    invalidate();
}

// The device table is flat: its rows have no children.
bool DeviceFilterModel::filterAcceptsRow(int sourceRow, const QModelIndex &) const
{
    if (text.isEmpty())
        return true;
    const QAbstractItemModel *model = sourceModel();
    if (searchTexts.size() <= sourceRow)
        searchTexts.resize(model->rowCount());
    QString &search = searchTexts[sourceRow];
    if (search.isNull()) {
        search.reserve(256);
        for (int column = 0; column < model->columnCount(); ++column) {
            const QModelIndex cell = model->index(sourceRow, column);
            search += cell.data().toString() + CellSeparator;
            // The conflict marks carry their text as the cell's tool tip.
            if (column == DeviceModel::ColumnHostname || column == DeviceModel::ColumnIpAddress)
                search += cell.data(Qt::ToolTipRole).toString() + CellSeparator;
        }
        search = std::move(search).toCaseFolded();
    }
    return search.contains(foldedText);
}
