#include "devicemodel.h"

#include "casefold.h"
#include "datagram.h"
#include "deviceclock.h"
#include "logindata.h"

#include <QDir>
#include <QTime>
#include <QTimer>

#include <algorithm>

namespace {

constexpr int WatchInterval = 500;
constexpr qint64 RequestTimeout = 3000;
constexpr qint64 RestartDelay = 5000;

const QString NotAvailable = QStringLiteral("N/A");

QString payloadText(const QByteArray &datagram, Datagram::Field field)
{
    return Datagram::readText(datagram, { Datagram::Header::Size + field.offset, field.width });
}

} // namespace

DeviceModel::DeviceModel(QObject *parent)
    : QStandardItemModel(parent)
    , clock(DeviceClock::system())
{
    setHorizontalHeaderLabels({ tr("Device name"), tr("Firmware ver."), tr("Hostname"),
        tr("IP Address"), tr("IP config."), tr("MAC Address"), tr("Status") });
    timeoutTimer = new QTimer(this);
    timeoutTimer->setInterval(WatchInterval);
    connect(timeoutTimer, &QTimer::timeout, this, &DeviceModel::onTimeout);

    connect(this, &QAbstractItemModel::rowsAboutToBeRemoved, this, &DeviceModel::forgetRows);
    connect(this, &QAbstractItemModel::modelAboutToBeReset, this, &DeviceModel::forgetAll);
    connect(this, &QAbstractItemModel::layoutChanged, this, &DeviceModel::refreshRowCache);
}

DeviceModel::~DeviceModel() = default;

void DeviceModel::setClock(const DeviceClock *newClock)
{
    clock = newClock ? newClock : DeviceClock::system();
}

int DeviceModel::findRow(const QString &macAddress) const
{
    QStandardItem *macCell = firstInRowOrder(macIndex, caseInsensitiveKey(macAddress));
    return macCell ? rowOf(devices.at(macCell)) : -1;
}

int DeviceModel::setStatus(const QString &macAddress, const DeviceStatus &status)
{
    QStandardItem *macCell = firstInRowOrder(macIndex, caseInsensitiveKey(macAddress));
    if (!macCell)
        return -1;
    const Device &d = devices.at(macCell);
    macCell->setData(status.code(), StatusCodeRole);
    d.cells[ColumnStatus]->setText(status.text());
    d.cells[ColumnStatus]->setIcon(resourceIcon(status.iconPath()));
    return rowOf(d);
}

void DeviceModel::saveAuthenticationToRegistry(const QStringList &loginList)
{
    if (!LoginData::save(loginList))
        emit warningMessage(tr("Login not remembered"),
            tr("The login was used for this change, but it could not be stored safely: %1 "
               "cannot be written or made readable by you alone.")
                .arg(QDir::toNativeSeparators(LoginData::fileName())));
}

void DeviceModel::setPendingLoginData(const QStringList &loginList, bool remember)
{
    if (!loginList.isEmpty())
        pendingLoginData.insert(loginList.first(), { loginList, remember });
}

void DeviceModel::onDeviceRequestSent(int messageId, QString macAddress)
{
    switch (messageId) {
    case Datagram::RestartNetwork:
        setStatus(macAddress, ApplyingParameters());
        break;
    case Datagram::SetNetworkConfig:
    // Watched like the plain set: a lost request or a device that went away
    // must not leave the row waiting without a word.
    case Datagram::SetNetworkConfigAuth:
        awaitingSetReply << macAddress;
        pendingLoginData.remove(macAddress);
        stampTime({ macAddress }, RequestTimeRole);
        setStatus(macAddress, SettingParameters());
        break;
    default:
        break;
    }
}

void DeviceModel::onDeviceReplyReceived(QByteArray datagram)
{
    const QString mac = Datagram::srcMacAddr(datagram);
    const int messageId = Datagram::messageId(datagram);
    // Anyone on the LAN can send a set reply; only one that answers our own
    // request may restart a device or save or delete its login. A late one,
    // after "Device not responding", still does.
    if ((messageId == Datagram::SetNetworkConfigReply
            || messageId == Datagram::SetNetworkConfigAuthReply)
        && !awaitingSetReply.removeOne(mac))
        return;
    if (QStandardItem *macCell = firstInRowOrder(exactMacIndex, mac))
        clearTime(device(macCell), RequestTimeRole);

    const quint32 status = Datagram::status(datagram);
    switch (messageId) {
    case Datagram::DeviceInfoReply:
    case Datagram::NetworkConfigReply:
        updateRow(datagram);
        break;
    case Datagram::SetNetworkConfigAuthReply:
    case Datagram::SetNetworkConfigReply: {
        const PendingLogin login = pendingLoginData.take(mac);
        if (status == Datagram::StatusOk && login.remember)
            saveAuthenticationToRegistry(login.loginList);
        onSetConfigReply(mac, status, login.loginList);
        break;
    }
    default:
        break;
    }
}

void DeviceModel::onSetConfigReply(const QString &mac, quint32 status, const QStringList &sentLogin)
{
    if (status == Datagram::StatusOk) {
        // The transceiver's notice of the restart sets its status during this emit.
        emit sendRestartNetwork(mac);
        stampTime({ mac }, RestartTimeRole);
    } else if (status == Datagram::StatusAuthorizationFailed) {
        // A mistyped login leaves the remembered one alone.
        if (!sentLogin.isEmpty() && LoginData::load(mac) == sentLogin) {
            removeLoginData(mac);
            setStatus(mac, StoredPasswordInvalid());
        } else {
            setStatus(mac, AuthorizationFailed());
        }
    } else {
        setStatus(mac, RequestFailed());
    }
}

void DeviceModel::updateRow(const QByteArray &datagram)
{
    const bool failed = Datagram::status(datagram) != Datagram::StatusOk;
    const QString mac = Datagram::srcMacAddr(datagram);

    QStandardItem *macCell = firstInRowOrder(macIndex, caseInsensitiveKey(mac));
    const bool known = macCell;
    int row;
    QList<QStandardItem *> items;
    if (known) {
        // Changed in place: a filtering or sorting view above re-files a
        // removed and re-inserted row at a cost that grows with the table.
        row = rowOf(devices.at(macCell));
        for (int column = 0; column < ColumnCount; ++column)
            items.append(item(row, column));
    } else {
        if (rowCount() >= MaxRows) {
            if (!full)
                emit fullChanged(full = true);
            return;
        }
        row = rowCount();
        for (int column = 0; column < ColumnCount; ++column)
            items.append(new QStandardItem);
        macCell = items.at(ColumnMacAddress);
        Device &created = devices[macCell];
        std::copy(items.cbegin(), items.cend(), created.cells);
        created.serial = nextSerial++;
        dirtyRows.insert(macCell);
    }
    Device &d = devices.at(macCell);

    if (Datagram::messageId(datagram) == Datagram::DeviceInfoReply) {
        using namespace Datagram::DeviceInfo;
        items[ColumnDeviceName]->setText(failed ? NotAvailable : payloadText(datagram, DeviceName));
        items[ColumnFirmware]->setText(
            failed ? NotAvailable : payloadText(datagram, FirmwareVersion));
        macCell->setData(
            failed ? 0 : payloadText(datagram, ProductType).toInt(nullptr, 10), ProductTypeRole);
    } else {
        using namespace Datagram::NetworkConfig;
        // Anything a reply carries behind its configuration is never read:
        // a row keeps no more than a real reply's 329 bytes.
        macCell->setData(datagram.left(Datagram::Header::Size + Size), RawConfigRole);
        const QString hostname = failed ? NotAvailable : payloadText(datagram, Hostname);
        const QString ipAddress = failed ? NotAvailable : payloadText(datagram, IpAddress);
        items[ColumnHostname]->setText(hostname);
        items[ColumnIpAddress]->setText(ipAddress);
        items[ColumnIpConfig]->setText(failed                       ? NotAvailable
                : payloadText(datagram, Dhcp) == QLatin1String("1") ? QStringLiteral("DHCP")
                                                                    : QStringLiteral("static"));
        indexHostname(macCell, d, hostname);
        indexIpAddress(macCell, d, ipAddress);
    }
    macCell->setText(mac);
    indexMac(macCell, d, mac);

    if (!known) {
        insertRow(row, items);
        d.row = row;
    }

    if (failed) {
        setStatus(mac, RequestFailed());
    } else {
        setStatus(mac, DeviceAvailable());
        markConflicts();
    }
}

// Brings the marks to what a pass over every row would show: cells in a
// group of two or more matching texts, at least one of them not "N/A", are
// marked. Only groups whose membership changed and rows whose texts changed
// since the last pass can differ from that, so only those are visited.
void DeviceModel::markConflicts()
{
    for (const ConflictKind kind : { HostConflict, IpConflict }) {
        for (const QString &key : qAsConst(dirtyGroups[kind])) {
            auto group = groups[kind].find(key);
            if (group == groups[kind].end())
                continue;
            const bool marked = group->members.size() > 1 && group->initiators > 0;
            if (marked == group->marked)
                continue;
            group->marked = marked;
            for (QStandardItem *member : qAsConst(group->members))
                showMark(kind, devices.at(member), marked);
        }
        dirtyGroups[kind].clear();
    }
    for (QStandardItem *macCell : qAsConst(dirtyRows)) {
        const Device &d = devices.at(macCell);
        const auto host = groups[HostConflict].constFind(d.hostKey);
        showMark(HostConflict, d, host != groups[HostConflict].cend() && host->marked);
        const auto ip = groups[IpConflict].constFind(d.ipKey);
        showMark(IpConflict, d, ip != groups[IpConflict].cend() && ip->marked);
    }
    dirtyRows.clear();
}

void DeviceModel::showMark(ConflictKind kind, const Device &device, bool marked)
{
    QStandardItem *cell = device.cells[kind == HostConflict ? ColumnHostname : ColumnIpAddress];
    cell->setIcon(marked ? resourceIcon(QStringLiteral(":/warning")) : QIcon());
    if (!marked)
        cell->setToolTip(QString());
    else if (kind == HostConflict)
        cell->setToolTip(tr("Hostname conflict!"));
    else
        cell->setToolTip(tr("IP conflict!"));
}

void DeviceModel::indexMac(QStandardItem *macCell, Device &d, const QString &mac)
{
    if (d.macIndexed) {
        if (d.mac == mac)
            return;
        macIndex.remove(d.macKey, macCell);
        exactMacIndex.remove(d.mac, macCell);
    }
    d.macIndexed = true;
    d.mac = mac;
    d.macKey = caseInsensitiveKey(mac);
    macIndex.insert(d.macKey, macCell);
    exactMacIndex.insert(d.mac, macCell);
}

void DeviceModel::indexHostname(QStandardItem *macCell, Device &d, const QString &text)
{
    // An empty text never matches, and "N/A" only matches when another text
    // searches for it (as "n/a" does, case being ignored).
    const QString key = text.isEmpty() ? QString() : caseInsensitiveKey(text);
    const bool initiates = text != NotAvailable;
    if (key == d.hostKey && initiates == d.hostInitiates)
        return;
    leaveGroup(HostConflict, d.hostKey, macCell, d.hostInitiates);
    joinGroup(HostConflict, key, macCell, initiates);
    d.hostKey = key;
    d.hostInitiates = initiates;
    dirtyRows.insert(macCell);
}

void DeviceModel::indexIpAddress(QStandardItem *macCell, Device &d, const QString &text)
{
    const QString key = text == NotAvailable ? QString() : text;
    if (key == d.ipKey)
        return;
    leaveGroup(IpConflict, d.ipKey, macCell, true);
    joinGroup(IpConflict, key, macCell, true);
    d.ipKey = key;
    dirtyRows.insert(macCell);
}

void DeviceModel::joinGroup(
    ConflictKind kind, const QString &key, QStandardItem *macCell, bool initiates)
{
    if (key.isEmpty())
        return;
    ConflictGroup &group = groups[kind][key];
    group.members.append(macCell);
    if (initiates)
        ++group.initiators;
    dirtyGroups[kind].insert(key);
}

void DeviceModel::leaveGroup(
    ConflictKind kind, const QString &key, QStandardItem *macCell, bool initiates)
{
    if (key.isEmpty())
        return;
    auto group = groups[kind].find(key);
    if (group == groups[kind].end())
        return;
    const int at = group->members.indexOf(macCell);
    if (at >= 0) {
        group->members[at] = group->members.last();
        group->members.removeLast();
    }
    if (initiates)
        --group->initiators;
    if (group->members.isEmpty())
        groups[kind].erase(group);
    dirtyGroups[kind].insert(key);
}

void DeviceModel::stampTime(const QStringList &macAddresses, int role)
{
    // The roles show the time of day, but waits are measured on a clock that
    // never jumps, so a wait across midnight or a change of the system time
    // still times out after the real interval.
    const QTime timeOfDay = clock->timeOfDay();
    const qint64 now = clock->monotonicMsecs();
    for (const QString &mac : macAddresses) {
        for (auto it = exactMacIndex.constFind(mac); it != exactMacIndex.cend() && it.key() == mac;
             ++it) {
            Device &d = device(it.value());
            it.value()->setData(timeOfDay, role);
            (role == RequestTimeRole ? d.requestStarted : d.restartStarted) = now;
            watched.insert(it.value());
        }
    }
    timeoutTimer->start();
}

void DeviceModel::clearTime(Device &d, int role)
{
    d.cells[ColumnMacAddress]->setData(QTime(), role);
    (role == RequestTimeRole ? d.requestStarted : d.restartStarted) = NotStarted;
}

void DeviceModel::onTimeout()
{
    const qint64 now = clock->monotonicMsecs();

    struct Due
    {
        int row;
        QStandardItem *macCell;
        quint64 serial;
    };
    QVector<Due> due;
    due.reserve(watched.size());
    for (auto it = watched.begin(); it != watched.end();) {
        const auto found = devices.find(*it);
        if (found == devices.end()
            || (found->second.requestStarted == NotStarted
                && found->second.restartStarted == NotStarted)) {
            it = watched.erase(it);
            continue;
        }
        due.append({ rowOf(found->second), *it, found->second.serial });
        ++it;
    }
    // A time that expires in a tick still counts as pending, so the timer
    // stops only at the first tick that finds none.
    if (due.isEmpty()) {
        timeoutTimer->stop();
        return;
    }
    std::sort(due.begin(), due.end(), [](const Due &a, const Due &b) { return a.row < b.row; });

    // Signals emitted here may change the table, so each device is looked up again.
    auto current = [this](const Due &entry) -> Device * {
        const auto found = devices.find(entry.macCell);
        return found != devices.end() && found->second.serial == entry.serial ? &found->second
                                                                              : nullptr;
    };
    for (const Due &entry : qAsConst(due)) {
        Device *d = current(entry);
        if (d && d->requestStarted != NotStarted && now - d->requestStarted > RequestTimeout) {
            pendingLoginData.remove(d->mac);
            setStatus(d->mac, DeviceNotResponding());
            clearTime(*d, RequestTimeRole);
        }
        d = current(entry);
        if (d && d->restartStarted != NotStarted && now - d->restartStarted > RestartDelay) {
            // Only this re-read is watched; a scan asking a row for a missing
            // reply must not call the device unresponsive.
            const QString mac = d->mac;
            emit sendGetEthConfiguration(mac);
            if ((d = current(entry)))
                clearTime(*d, RestartTimeRole);
            stampTime({ mac }, RequestTimeRole);
        }
    }
}

QStandardItem *DeviceModel::firstInRowOrder(
    const QMultiHash<QString, QStandardItem *> &index, const QString &key) const
{
    auto it = index.constFind(key);
    if (it == index.cend())
        return nullptr;
    QStandardItem *first = it.value();
    // Only rows added from outside can share a key; find the topmost then.
    for (++it; it != index.cend() && it.key() == key; ++it) {
        if (rowOf(devices.at(it.value())) < rowOf(devices.at(first)))
            first = it.value();
    }
    return first;
}

int DeviceModel::rowOf(const Device &d) const
{
    QStandardItem *macCell = d.cells[ColumnMacAddress];
    if (d.row >= 0 && d.row < rowCount() && item(d.row, ColumnMacAddress) == macCell)
        return d.row;
    return macCell->row();
}

DeviceModel::Device &DeviceModel::device(QStandardItem *macCell)
{
    return devices.at(macCell);
}

void DeviceModel::forgetRows(const QModelIndex &parent, int first, int last)
{
    if (parent.isValid())
        return;
    if (first == 0 && last == rowCount() - 1) {
        forgetAll();
        return;
    }
    for (int row = first; row <= last; ++row) {
        QStandardItem *macCell = item(row, ColumnMacAddress);
        const auto found = devices.find(macCell);
        if (found == devices.end())
            continue;
        Device &d = found->second;
        macIndex.remove(d.macKey, macCell);
        exactMacIndex.remove(d.mac, macCell);
        leaveGroup(HostConflict, d.hostKey, macCell, d.hostInitiates);
        leaveGroup(IpConflict, d.ipKey, macCell, true);
        dirtyRows.remove(macCell);
        watched.remove(macCell);
        devices.erase(found);
    }
}

void DeviceModel::forgetAll()
{
    devices.clear();
    macIndex.clear();
    exactMacIndex.clear();
    for (const ConflictKind kind : { HostConflict, IpConflict }) {
        groups[kind].clear();
        dirtyGroups[kind].clear();
    }
    dirtyRows.clear();
    watched.clear();
    if (full)
        emit fullChanged(full = false);
}

void DeviceModel::refreshRowCache()
{
    for (int row = 0; row < rowCount(); ++row) {
        const auto found = devices.find(item(row, ColumnMacAddress));
        if (found != devices.end())
            found->second.row = row;
    }
}
