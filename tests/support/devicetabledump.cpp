#include "devicetabledump.h"

#include "devicemodel.h"
#include "devicestatus.h"

#include <QIcon>
#include <QStandardItem>
#include <QTime>

namespace TestSupport {

namespace {

QString describeIcon(const QStandardItem *cell)
{
    const QVariant decoration = cell->data(Qt::DecorationRole);
    if (!decoration.isValid())
        return QStringLiteral("unset");
    const QIcon icon = decoration.value<QIcon>();
    if (icon.cacheKey() == 0)
        return QStringLiteral("null");
    for (const char *path : { ":/ok", ":/scan", ":/warning" }) {
        if (icon.cacheKey() == resourceIcon(QString::fromLatin1(path)).cacheKey())
            return QString::fromLatin1(path);
    }
    return QStringLiteral("other");
}

QString describeVariant(const QVariant &value)
{
    if (!value.isValid())
        return QStringLiteral("unset");
    switch (value.userType()) {
    case QMetaType::QTime:
        return value.toTime().isNull() ? QStringLiteral("null time")
                                       : value.toTime().toString(QStringLiteral("HH:mm:ss.zzz"));
    case QMetaType::QByteArray:
        return QString::fromLatin1(value.toByteArray().toHex());
    default:
        return QStringLiteral("%1:%2").arg(QString::fromLatin1(value.typeName()), value.toString());
    }
}

} // namespace

QStringList describeCell(const QStandardItem *cell)
{
    if (!cell)
        return { QStringLiteral("no item") };
    QStringList d;
    d << describeVariant(cell->data(Qt::DisplayRole)) << describeIcon(cell)
      << describeVariant(cell->data(Qt::ToolTipRole));
    if (cell->column() == DeviceModel::ColumnMacAddress) {
        for (int role = DeviceModel::RawConfigRole; role <= DeviceModel::ProductTypeRole; ++role)
            d << describeVariant(cell->data(role));
    }
    return d;
}

} // namespace TestSupport
