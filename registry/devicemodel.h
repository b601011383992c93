#pragma once

#include "devicestatus.h"

#include <QByteArray>
#include <QHash>
#include <QMultiHash>
#include <QSet>
#include <QStandardItemModel>
#include <QStringList>
#include <QVector>

#include <unordered_map>

class DeviceClock;
class QTimer;

// The table of known devices, one row per MAC address text. Replies from the
// transceiver create or refresh rows; request notices and a 500 ms watch drive
// the status column through a change of network settings.
//
// Every look-up goes through indexes kept beside the items (by MAC, by host
// name and by IP address), so a reply costs the same at any table size. The
// indexes are keyed by the MAC cell, which survives sorting; rows are added
// and changed only through this class, and removed by anyone.
class DeviceModel : public QStandardItemModel
{
    Q_OBJECT

public:
    enum DeviceColumn {
        ColumnDeviceName,
        ColumnFirmware,
        ColumnHostname,
        ColumnIpAddress,
        ColumnIpConfig,
        ColumnMacAddress,
        ColumnStatus,
    };

    // Data of the MAC cell.
    enum DeviceRole {
        RawConfigRole = Qt::UserRole + 1,
        RequestTimeRole,
        RestartTimeRole,
        StatusCodeRole,
        ProductTypeRole,
    };

    // A scan keeps no more rows (a /16's worth of hosts): a flood of forged
    // replies from ever new MACs must not fill memory.
    static constexpr int MaxRows = 65536;

    explicit DeviceModel(QObject *parent = nullptr);
    ~DeviceModel() override;

    int setStatus(const QString &macAddress, const DeviceStatus &status);
    int findRow(const QString &macAddress) const;
    void saveAuthenticationToRegistry(const QStringList &loginList);
    // The login ([MAC, user, password]) that the set request just sent to its
    // MAC carried. It belongs to that request alone: stored once the device
    // accepts it when `remember` is set, dropped when the request fails, times
    // out or another set to the device starts. Only a refusal of the login
    // that is stored removes the stored one.
    void setPendingLoginData(const QStringList &loginList, bool remember);

    // Whether a new MAC was turned away since the table was last emptied.
    bool isFull() const { return full; }

    // Nothing but tests replaces the system clocks.
    void setClock(const DeviceClock *clock);

public slots:
    void onDeviceReplyReceived(QByteArray datagram);
    void onDeviceRequestSent(int messageId, QString macAddress);

signals:
    void sendRestartNetwork(QString macAddress);
    void sendGetEthConfiguration(QString macAddress);
    void fullChanged(bool full);
    // A login the user asked to remember could not be stored safely.
    void warningMessage(QString title, QString msg);

private slots:
    void onTimeout();

private:
    static constexpr int ColumnCount = 7;
    static constexpr qint64 NotStarted = -1;

    struct Device
    {
        QStandardItem *cells[ColumnCount] = {};
        int row = -1; // last known row, checked before use
        quint64 serial = 0;
        bool macIndexed = false;
        QString mac;
        QString macKey;
        QString hostKey; // empty: the host name takes part in no conflict
        bool hostInitiates = false;
        QString ipKey; // empty: the IP address takes part in no conflict
        qint64 requestStarted = NotStarted;
        qint64 restartStarted = NotStarted;
    };

    // Cells whose texts match (exactly for IP addresses, with case ignored for
    // host names). Members are MAC cells; `marked` is what the members showed
    // after the last conflict pass.
    struct ConflictGroup
    {
        QVector<QStandardItem *> members;
        int initiators = 0;
        bool marked = false;
    };

    enum ConflictKind { HostConflict, IpConflict };

    void updateRow(const QByteArray &datagram);
    void markConflicts();
    void stampTime(const QStringList &macAddresses, int role);
    void clearTime(Device &device, int role);
    void onSetConfigReply(const QString &mac, quint32 status, const QStringList &sentLogin);

    QStandardItem *firstInRowOrder(
        const QMultiHash<QString, QStandardItem *> &index, const QString &key) const;
    int rowOf(const Device &device) const;
    Device &device(QStandardItem *macCell);

    void indexMac(QStandardItem *macCell, Device &device, const QString &mac);
    void indexHostname(QStandardItem *macCell, Device &device, const QString &text);
    void indexIpAddress(QStandardItem *macCell, Device &device, const QString &text);
    void joinGroup(ConflictKind kind, const QString &key, QStandardItem *macCell, bool initiates);
    void leaveGroup(ConflictKind kind, const QString &key, QStandardItem *macCell, bool initiates);
    void showMark(ConflictKind kind, const Device &device, bool marked);

    void forgetRows(const QModelIndex &parent, int first, int last);
    void forgetAll();
    void refreshRowCache();

    QTimer *timeoutTimer;

    const DeviceClock *clock;
    bool full = false;
    quint64 nextSerial = 1;
    std::unordered_map<QStandardItem *, Device> devices;
    QMultiHash<QString, QStandardItem *> macIndex; // case-folded MAC text
    QMultiHash<QString, QStandardItem *> exactMacIndex;
    QHash<QString, ConflictGroup> groups[2];
    QSet<QString> dirtyGroups[2];
    QSet<QStandardItem *> dirtyRows;
    QSet<QStandardItem *> watched; // MAC cells with a request or restart time
    // The MAC of each set request sent and not answered yet, once per request.
    QStringList awaitingSetReply;
    struct PendingLogin
    {
        QStringList loginList;
        bool remember = false;
    };
    QHash<QString, PendingLogin> pendingLoginData; // by the exact MAC text
};
