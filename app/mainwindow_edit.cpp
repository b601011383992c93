#include "mainwindow.h"

#include "connectiondialog.h"
#include "datagram.h"
#include "devicemodel.h"
#include "devicetableview.h"
#include "logindialog.h"
#include "packettransceiver.h"

#include <QCheckBox>
#include <QComboBox>
#include <QLineEdit>
#include <QPersistentModelIndex>

namespace {

// Below this protocol version a device takes its settings without credentials.
constexpr quint8 FirstAuthenticatedVersion = 4;

Datagram::NetworkSettings settingsFrom(const ConnectionDialog &dialog)
{
    Datagram::NetworkSettings settings;
    settings.hostname = dialog.hostnameEdit->text();
    settings.dhcp
        = dialog.ipConfComboBox->currentIndex() == 1 ? QStringLiteral("1") : QStringLiteral("0");
    // The address fields go out as they stand, also while DHCP has disabled them.
    settings.ipAddress = dialog.ipAddressEdit->text();
    settings.subnetMask = dialog.subnetMaskEdit->text();
    settings.domain = dialog.domainEdit->text();
    settings.gateway = dialog.gatewayEdit->text();
    settings.primaryDns = dialog.primaryDnsEdit->text();
    settings.secondaryDns = dialog.secondaryDnsEdit->text();
    return settings;
}

} // namespace

void MainWindow::edit(QModelIndex index)
{
    const QModelIndex cell = index.isValid() ? index : deviceView->currentIndex();
    const QPersistentModelIndex macCell = cell.sibling(cell.row(), DeviceModel::ColumnMacAddress);
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
    const quint8 version = Datagram::protocolVersion(reply);

    QStringList loginList;
    bool askForLogin = false;
    if (version >= FirstAuthenticatedVersion) {
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
    // dialog's own copy of the device's MAC counts.
    const Datagram::NetworkSettings settings = settingsFrom(dialog);
    if (version < FirstAuthenticatedVersion) {
        transceiver->sendRequest(Datagram::SetNetworkConfig, dialog.deviceMacAddr,
            Datagram::encodeNetworkConfig(dialog.deviceMacAddr, settings));
        return;
    }

    if (loginList.isEmpty()) {
        loginList = QStringList { dialog.deviceMacAddr, dialog.loginDialog->usernameEdit->text(),
            dialog.loginDialog->passwordEdit->text() };
    }
    transceiver->sendRequest(Datagram::SetNetworkConfigAuth, dialog.deviceMacAddr,
        Datagram::encodeNetworkConfigAuth(settings, loginList.at(1), loginList.at(2)));
    // Kept by the model until the device has accepted them, then stored.
    if (dialog.loginDialog->rememberCheckBox->isChecked())
        deviceModel->pendingLoginData = loginList;
}
