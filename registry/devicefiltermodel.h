#pragma once

#include <QMetaObject>
#include <QSortFilterProxyModel>
#include <QString>
#include <QVector>

// What the device table shows of the device model: the rows that contain the
// filter text, sorted as the user asks. Rows stay in the device model; this
// model only maps them.
class DeviceFilterModel final : public QSortFilterProxyModel
{
    Q_OBJECT

public:
    explicit DeviceFilterModel(QObject *parent = nullptr);

    void setSourceModel(QAbstractItemModel *model) override;

    QString filterText() const { return text; }
    // A row stays when the text of one of its cells, or of a cell's conflict
    // mark, contains `filter`, case ignored. An empty filter shows every row.
    void setFilterText(const QString &filter);

protected:
    bool filterAcceptsRow(int sourceRow, const QModelIndex &sourceParent) const override;

private:
    QString text;
    QString foldedText;
    // Per source row, the texts a filter searches, case-folded; null until a
    // filter first asks. Reading every cell of 10,000 rows anew at each
    // keystroke takes most of the time a keystroke may.
    mutable QVector<QString> searchTexts;
    QVector<QMetaObject::Connection> sourceConnections;
};
