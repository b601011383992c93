#include "mainwindow.h"

#include "connectionexport.h"
#include "devicemodel.h"
#include "devicetableview.h"

#include <QDir>
#include <QFile>
#include <QFileDialog>
#include <QItemSelectionModel>
#include <QMessageBox>

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

    const QString fileName = QFileDialog::getSaveFileName(
        this, tr("Export %1 connections to a file").arg(rows.size()), QDir::rootPath(),
        tr("Xml files (*.xml)"));
    if (fileName.isEmpty())
        return;

    int written = 0;
    QFile file(fileName);
    if (file.open(QIODevice::WriteOnly | QIODevice::Text)) {
        QList<ConnectionExport::Device> devices;
        for (const QModelIndex &row : qAsConst(rows)) {
            const QVariant productType =
                row.siblingAtColumn(DeviceModel::ColumnMacAddress).data(DeviceModel::ProductTypeRole);
            devices.append({row.siblingAtColumn(DeviceModel::ColumnHostname).data().toString(),
                            row.siblingAtColumn(DeviceModel::ColumnIpAddress).data().toString(),
                            row.siblingAtColumn(DeviceModel::ColumnIpConfig).data().toString(),
                            productType.isValid() ? productType.toString() : QString()});
        }
        written = ConnectionExport::write(&file, devices);
        file.close();
    }
    QMessageBox::information(this, tr("Export connections"),
                             tr("%1 connection(s) exported to %2").arg(QString::number(written), fileName));
}
