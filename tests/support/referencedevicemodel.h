#pragma once

#include <QByteArray>
#include <QStandardItemModel>
#include <QStringList>

class DeviceClock;
class DeviceStatus;
class QTimer;

namespace TestSupport {

// The device table done the plain way: every look-up searches the rows and
// every successful reply re-marks conflicts over the whole table. Slow, but
// obviously what the table must show; DeviceModel is checked against it.
// Elapsed times are taken from the time of day, so tests keep it away from
// midnight.
class ReferenceDeviceModel : public QStandardItemModel
{
    Q_OBJECT

public:
    explicit ReferenceDeviceModel(const DeviceClock *clock, QObject *parent = nullptr);

    int setStatus(const QString &macAddress, const DeviceStatus &status);
    int findRow(const QString &macAddress) const;

    QStringList pendingLoginData;
    QTimer *timeoutTimer;

public slots:
    void onDeviceReplyReceived(QByteArray datagram);
    void onDeviceRequestSent(int messageId, QString macAddress);
    void onTimeout();

signals:
    void sendRestartNetwork(QString macAddress);
    void sendGetEthConfiguration(QString macAddress);

private:
    void stampTime(const QStringList &macAddresses, int role);
    void updateRow(const QByteArray &datagram);
    void markConflicts();

    const DeviceClock *clock;
    QStringList awaitingSetReply;
};

} // namespace TestSupport
