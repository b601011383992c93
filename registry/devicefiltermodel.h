#pragma once

#include <QSortFilterProxyModel>
#include <QString>

// What the device table shows of the device model: the rows that contain the
// filter text, sorted as the user asks. Rows stay in the device model; this
// model only maps them.
class DeviceFilterModel final : public QSortFilterProxyModel
{
    Q_OBJECT

public:
    explicit DeviceFilterModel(QObject *parent = nullptr);

    QString filterText() const { return text; }
    // A row stays when the text of one of its cells, or of a cell's mark,
    // contains `filter`, case ignored. An empty filter shows every row.
    void setFilterText(const QString &filter);

protected:
    bool filterAcceptsRow(int sourceRow, const QModelIndex &sourceParent) const override;

private:
    QString text;
};
