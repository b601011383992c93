#include "mainwindow.h"

#include "connectionexport.h"
#include "devicemodel.h"
#include "devicetableview.h"

#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QItemSelectionModel>
#include <QMessageBox>
#include <QStandardPaths>

void MainWindow::exportConnectionsToXml()
{
    QModelIndexList rows = deviceView->selectionModel()->selectedRows();
    for (int i = rows.size() - 1; i >= 0; --i) {
        const QModelIndex ip = rows.at(i).siblingAtColumn(DeviceModel::ColumnIpAddress);
        const QModelIndex name = rows.at(i).siblingAtColumn(DeviceModel::ColumnDeviceName);
        if (!ip.data().isValid() || !name.data().isValid()
            || name.data().toString().startsWith(QLatin1String("Quorvel")))
            rows.removeAt(i);
    }
    if (rows.isEmpty())
        return;

    // Not the root folder, where no ordinary user may write.
    QString startDir = QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation);
    if (startDir.isEmpty() || !QFileInfo(startDir).isDir())
        startDir = QDir::homePath();
    const QString fileName = QFileDialog::getSaveFileName(this,
        tr("Export %1 connections to a file").arg(rows.size()), startDir, tr("Xml files (*.xml)"));
    if (fileName.isEmpty())
        return;

    QList<ConnectionExport::Device> devices;
    for (const QModelIndex &row : qAsConst(rows)) {
        const QVariant productType
            = row.siblingAtColumn(DeviceModel::ColumnMacAddress).data(DeviceModel::ProductTypeRole);
        devices.append({ row.siblingAtColumn(DeviceModel::ColumnHostname).data().toString(),
            row.siblingAtColumn(DeviceModel::ColumnIpAddress).data().toString(),
            row.siblingAtColumn(DeviceModel::ColumnIpConfig).data().toString(),
            productType.isValid() ? productType.toString() : QString() });
    }
    const QString failure = ConnectionExport::save(fileName, devices);
    if (!failure.isEmpty()) {
        QMessageBox::warning(this, tr("Export connections"),
            tr("The connections could not be exported to %1: %2").arg(fileName, failure));
        return;
    }
    QMessageBox::information(this, tr("Export connections"),
        tr("%1 connection(s) exported to %2").arg(QString::number(devices.size()), fileName));
}
