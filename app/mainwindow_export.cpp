#include "mainwindow.h"

#include "connectionexport.h"
#include "devicemodel.h"

#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QMessageBox>
#include <QStandardPaths>

void MainWindow::exportConnectionsToXml()
{
    const QList<ConnectionExport::Device> devices
        = ConnectionExport::exportableDevices(selectedDevices(DeviceModel::ColumnDeviceName));
    if (devices.isEmpty())
        return;

    // Not the root folder, where no ordinary user may write.
    QString startDir = QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation);
    if (startDir.isEmpty() || !QFileInfo(startDir).isDir())
        startDir = QDir::homePath();
    const QString fileName = QFileDialog::getSaveFileName(this,
        tr("Export %1 connections to a file").arg(devices.size()), startDir,
        tr("Xml files (*.xml)"));
    if (fileName.isEmpty())
        return;

    const QString failure = ConnectionExport::save(fileName, devices);
    if (!failure.isEmpty()) {
        QMessageBox::warning(this, tr("Export connections"),
            tr("The connections could not be exported to %1: %2").arg(fileName, failure));
        return;
    }
    QMessageBox::information(this, tr("Export connections"),
        tr("%1 connection(s) exported to %2").arg(QString::number(devices.size()), fileName));
}
