#include "mainwindow.h"

#include "connectiondialog.h"
#include "datagram.h"
#include "devicemodel.h"
#include "devicesteps.h"
#include "logindialog.h"
#include "packettransceiver.h"

#include <QCheckBox>
#include <QComboBox>
#include <QLineEdit>
#include <QPersistentModelIndex>

void MainWindow::edit(QModelIndex index)
{
    // Without a cell: the one selected row, as the action demands.
    const QModelIndexList selected = selectedDevices(DeviceModel::ColumnMacAddress);
    const QPersistentModelIndex macCell = index.isValid()
        ? deviceIndex(index, DeviceModel::ColumnMacAddress)
        : selected.size() == 1 ? selected.first()
                               : QModelIndex();
    if (!macCell.isValid())
        return;
    const int row = macCell.row();
    if (macCell.sibling(row, DeviceModel::ColumnIpAddress).data(Qt::DisplayRole).isNull()
        || macCell.sibling(row, DeviceModel::ColumnFirmware).data(Qt::DisplayRole).isNull())
        return;

    // A stored reply cut short reads as empty texts and version 0 where it
    // ends. The request goes to its MAC text cut to the field: anything but one
    // device's MAC (always 17 ASCII characters, so never cut) could reach every
    // device and give them all the same settings.
    const QByteArray reply = macCell.data(DeviceModel::RawConfigRole).toByteArray();
    if (!Datagram::isDeviceMac(Datagram::srcMacAddr(reply)))
        return;
    const bool needsLogin = DeviceSteps::needsLogin(reply);

    QStringList loginList;
    bool askForLogin = false;
    if (needsLogin) {
        loginList = loadLoginData(macCell.data(Qt::DisplayRole).toString());
        if (loginList.size() != 3)
            loginList.clear();
        askForLogin = loginList.isEmpty();
    }

    ConnectionDialog dialog(askForLogin, this);
    dialog.setConfiguration(macCell.data(DeviceModel::RawConfigRole).toByteArray());
    if (dialog.exec() != QDialog::Accepted)
        return;

    // Rows may have changed while the dialog was open: from here on only the
    // dialog's own copy of the device's reply counts.
    if (needsLogin && loginList.isEmpty()) {
        loginList = QStringList { dialog.deviceMacAddr, dialog.loginDialog->usernameEdit->text(),
            dialog.loginDialog->passwordEdit->text() };
    }
    DeviceSteps::sendSettings(transceiver, deviceModel, reply, dialog.settings(), loginList,
        needsLogin && dialog.loginDialog->rememberCheckBox->isChecked());
}
