#include "referencedevicemodel.h"

#include "datagram.h"
#include "deviceclock.h"
#include "devicemodel.h"
#include "logindata.h"

#include <QTime>
#include <QTimer>

namespace TestSupport {

namespace {

constexpr int MacColumn = DeviceModel::ColumnMacAddress;
const QString NotAvailable = QStringLiteral("N/A");

QString payloadText(const QByteArray &datagram, int offset, int width)
{
    return Datagram::readText(datagram, { Datagram::Header::Size + offset, width });
}

} // namespace

ReferenceDeviceModel::ReferenceDeviceModel(const DeviceClock *clock, QObject *parent)
    : QStandardItemModel(parent)
    , clock(clock)
{
    setHorizontalHeaderLabels({ QStringLiteral("Device name"), QStringLiteral("Firmware ver."),
        QStringLiteral("Hostname"), QStringLiteral("IP Address"), QStringLiteral("IP config."),
        QStringLiteral("MAC Address"), QStringLiteral("Status") });
    timeoutTimer = new QTimer(this);
    timeoutTimer->setInterval(500);
    connect(timeoutTimer, &QTimer::timeout, this, &ReferenceDeviceModel::onTimeout);
}

int ReferenceDeviceModel::findRow(const QString &macAddress) const
{
    const QList<QStandardItem *> found = findItems(macAddress, Qt::MatchFixedString, MacColumn);
    return found.isEmpty() ? -1 : found.first()->row();
}

int ReferenceDeviceModel::setStatus(const QString &macAddress, const DeviceStatus &status)
{
    const int row = findRow(macAddress);
    if (row < 0)
        return -1;
    item(row, MacColumn)->setData(status.code(), DeviceModel::StatusCodeRole);
    item(row, DeviceModel::ColumnStatus)->setText(status.text());
    item(row, DeviceModel::ColumnStatus)->setIcon(resourceIcon(status.iconPath()));
    return row;
}

void ReferenceDeviceModel::stampTime(const QStringList &macAddresses, int role)
{
    const QTime now = clock->timeOfDay();
    for (int row = 0; row < rowCount(); ++row) {
        if (macAddresses.contains(item(row, MacColumn)->text()))
            item(row, MacColumn)->setData(now, role);
    }
    timeoutTimer->start();
}

void ReferenceDeviceModel::onDeviceRequestSent(int messageId, QString macAddress)
{
    switch (messageId) {
    case Datagram::RestartNetwork:
        setStatus(macAddress, ApplyingParameters());
        break;
    case Datagram::GetNetworkConfig:
        stampTime({ macAddress }, DeviceModel::RequestTimeRole);
        break;
    case Datagram::SetNetworkConfig:
    case Datagram::SetNetworkConfigAuth:
        awaitingSetReply << macAddress;
        stampTime({ macAddress }, DeviceModel::RequestTimeRole);
        setStatus(macAddress, SettingParameters());
        break;
    default:
        break;
    }
}

void ReferenceDeviceModel::onDeviceReplyReceived(QByteArray datagram)
{
    const QString mac = Datagram::srcMacAddr(datagram);
    const int messageId = Datagram::messageId(datagram);
    if ((messageId == Datagram::SetNetworkConfigReply
            || messageId == Datagram::SetNetworkConfigAuthReply)
        && !awaitingSetReply.removeOne(mac))
        return;
    for (int row = 0; row < rowCount(); ++row) {
        if (item(row, MacColumn)->text() == mac) {
            item(row, MacColumn)->setData(QTime(), DeviceModel::RequestTimeRole);
            break;
        }
    }
    const quint32 status = Datagram::status(datagram);
    if (messageId == Datagram::DeviceInfoReply || messageId == Datagram::NetworkConfigReply) {
        updateRow(datagram);
        return;
    }
    if (messageId == Datagram::SetNetworkConfigAuthReply) {
        if (status == Datagram::StatusOk && !pendingLoginData.isEmpty()
            && pendingLoginData.first() == mac)
            LoginData::save(pendingLoginData);
        pendingLoginData.clear();
    } else if (messageId != Datagram::SetNetworkConfigReply) {
        return;
    }
    if (status == Datagram::StatusOk) {
        emit sendRestartNetwork(mac);
        stampTime({ mac }, DeviceModel::RestartTimeRole);
    } else if (status == Datagram::StatusAuthorizationFailed) {
        if (hasLoginData(mac)) {
            removeLoginData(mac);
            setStatus(mac, StoredPasswordInvalid());
        } else {
            setStatus(mac, AuthorizationFailed());
        }
    } else {
        setStatus(mac, RequestFailed());
    }
}

void ReferenceDeviceModel::updateRow(const QByteArray &datagram)
{
    const bool failed = Datagram::status(datagram) != 0;
    const QString mac = Datagram::srcMacAddr(datagram);
    int row = findRow(mac);
    QList<QStandardItem *> items;
    if (row >= 0) {
        items = takeRow(row);
    } else {
        for (int column = 0; column < 7; ++column)
            items.append(new QStandardItem);
        row = rowCount();
    }
    if (Datagram::messageId(datagram) == Datagram::DeviceInfoReply) {
        items[0]->setText(failed ? NotAvailable : payloadText(datagram, 24, 256));
        items[1]->setText(failed ? NotAvailable : payloadText(datagram, 4, 20));
        items[5]->setData(failed ? 0 : payloadText(datagram, 0, 4).toInt(nullptr, 10),
            DeviceModel::ProductTypeRole);
    } else {
        items[5]->setData(datagram, DeviceModel::RawConfigRole);
        items[2]->setText(failed ? NotAvailable : payloadText(datagram, 18, 25));
        items[3]->setText(failed ? NotAvailable : payloadText(datagram, 45, 16));
        if (failed)
            items[4]->setText(NotAvailable);
        else if (payloadText(datagram, 43, 2) == QLatin1String("1"))
            items[4]->setText(QStringLiteral("DHCP"));
        else
            items[4]->setText(QStringLiteral("static"));
    }
    items[5]->setText(mac);
    insertRow(row, items);
    if (!failed) {
        setStatus(mac, DeviceAvailable());
        markConflicts();
    } else {
        setStatus(mac, RequestFailed());
    }
}

void ReferenceDeviceModel::markConflicts()
{
    for (int row = 0; row < rowCount(); ++row) {
        for (int column : { 2, 3 }) {
            item(row, column)->setIcon(QIcon());
            item(row, column)->setToolTip(QString());
        }
    }
    for (int row = 0; row < rowCount(); ++row) {
        const QString ip = item(row, 3)->text();
        if (!ip.isEmpty() && ip != NotAvailable) {
            const QList<QStandardItem *> found
                = findItems(ip, Qt::MatchFixedString | Qt::MatchCaseSensitive, 3);
            if (found.size() > 1) {
                for (QStandardItem *cell : found) {
                    cell->setIcon(resourceIcon(QStringLiteral(":/warning")));
                    cell->setToolTip(QStringLiteral("IP conflict!"));
                }
            }
        }
        const QString host = item(row, 2)->text();
        if (!host.isEmpty() && host != NotAvailable) {
            const QList<QStandardItem *> found = findItems(host, Qt::MatchFixedString, 2);
            if (found.size() > 1) {
                for (QStandardItem *cell : found) {
                    cell->setIcon(resourceIcon(QStringLiteral(":/warning")));
                    cell->setToolTip(QStringLiteral("Hostname conflict!"));
                }
            }
        }
    }
}

void ReferenceDeviceModel::onTimeout()
{
    const QTime now = clock->timeOfDay();
    bool pending = false;
    for (int row = 0; row < rowCount(); ++row) {
        QStandardItem *macCell = item(row, MacColumn);
        const QTime requested = macCell->data(DeviceModel::RequestTimeRole).toTime();
        if (!requested.isNull()) {
            pending = true;
            if (requested.msecsTo(now) > 3000) {
                setStatus(macCell->text(), DeviceNotResponding());
                macCell->setData(QTime(), DeviceModel::RequestTimeRole);
            }
        }
        const QTime restarted = macCell->data(DeviceModel::RestartTimeRole).toTime();
        if (!restarted.isNull()) {
            pending = true;
            if (restarted.msecsTo(now) > 5000) {
                emit sendGetEthConfiguration(macCell->text());
                if (row < rowCount())
                    item(row, MacColumn)->setData(QTime(), DeviceModel::RestartTimeRole);
            }
        }
    }
    if (!pending)
        timeoutTimer->stop();
}

} // namespace TestSupport
