#include "packettransceiver.h"

#include "datagram.h"
#include "platform.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QMessageBox>
#include <QNetworkDatagram>
#include <QNetworkInterface>
#include <QThread>
#include <QUdpSocket>

#include <algorithm>

#ifdef Q_OS_UNIX
#include <sys/socket.h>
#endif
#ifdef Q_OS_LINUX
#include <linux/sock_diag.h>
#endif

namespace {

const QString FallbackMacAddress = QStringLiteral("DD:DD:DD:DD:DD:DD");
const QString FallbackIpAddress = QStringLiteral("0.0.0.0");
const QString PreferredAddressPrefix = QStringLiteral("192.168.");
const QChar EntrySeparator = QLatin1Char('|');

// A plant of a thousand devices answers a scan with two thousand datagrams
// within milliseconds; the system's default buffer holds only a few hundred.
constexpr int ReceiveBufferBytes = 4 * 1024 * 1024;
constexpr int MaxDatagramBytes = 65536;
// Two bursts of ten thousand devices fit; each datagram also counts what
// keeping it costs, so that tiny ones cannot fill memory either.
constexpr qint64 MaxQueuedBytes = 16 * 1024 * 1024;
constexpr qint64 QueuedDatagramOverhead = 64;
// Replies are handed on in slices of this length, so that the window keeps
// answering during a burst or a flood.
constexpr int DeliverySliceMs = 25;
// A check hands on at once what is read, but for no longer than this.
constexpr int MaxImmediateDeliveryMs = 250;

} // namespace

QString PacketTransceiver::entryPart(const QString &entry, EntryPart part)
{
    return entry.split(EntrySeparator, Qt::KeepEmptyParts, Qt::CaseSensitive).value(part);
}

PacketTransceiver::PacketTransceiver(QObject *parent)
    : PacketTransceiver(interfaceEntries(systemInterfaces()), parent)
{
    interfaceSource = &PacketTransceiver::systemInterfaces;
}

PacketTransceiver::PacketTransceiver(const QStringList &interfaceEntries, QObject *parent)
    : QObject(parent)
    , sendSocket(nullptr)
    , receiveSocket(nullptr)
    , socketBound(false)
    , sequenceCounter(0)
    , interfaceList(interfaceEntries)
    , readerThread(new QThread(this))
    , readBuffer(MaxDatagramBytes, Qt::Uninitialized)
{
    receiveSocket = new QUdpSocket(this);
    sendSocket = new QUdpSocket(this);
    // Runs in the socket's thread, the reader thread once it is bound.
    connect(receiveSocket, &QUdpSocket::readyRead, receiveSocket, [this] { drainSocket(); });
}

PacketTransceiver::~PacketTransceiver()
{
    // The box has no parent; it must not outlive the transceiver that opened it.
    delete strayBox;
    // The bound socket is deleted by its thread as that ends.
    readerThread->quit();
    readerThread->wait();
}

QList<PacketTransceiver::InterfaceDescription> PacketTransceiver::systemInterfaces()
{
    QList<InterfaceDescription> descriptions;
    const QList<QNetworkInterface> all = QNetworkInterface::allInterfaces();
    for (const QNetworkInterface &iface : all) {
        InterfaceDescription d;
        d.up = iface.flags().testFlag(QNetworkInterface::IsUp);
        d.running = iface.flags().testFlag(QNetworkInterface::IsRunning);
        d.loopback = iface.flags().testFlag(QNetworkInterface::IsLoopBack);
        d.hardwareAddress = iface.hardwareAddress();
        d.humanReadableName = iface.humanReadableName();
        d.index = iface.index();
        const QList<QNetworkAddressEntry> entries = iface.addressEntries();
        for (const QNetworkAddressEntry &entry : entries)
            d.addresses.append(entry.ip());
        descriptions.append(d);
    }
    return descriptions;
}

QStringList PacketTransceiver::interfaceEntries(const QList<InterfaceDescription> &descriptions)
{
    // "192.168." first: where such an interface exists, it stays the one in
    // use that earlier versions chose.
    QStringList preferred, others, linkLocal;
    for (const InterfaceDescription &d : descriptions) {
        if (!(d.up || d.running) || d.loopback)
            continue;
        for (const QHostAddress &address : d.addresses) {
            if (address.protocol() != QAbstractSocket::IPv4Protocol)
                continue;
            const QString text = address.toString();
            QStringList &kind = text.startsWith(PreferredAddressPrefix, Qt::CaseSensitive)
                ? preferred
                : address.isLinkLocal() ? linkLocal
                                        : others;
            kind.append(
                d.hardwareAddress + EntrySeparator + text + EntrySeparator + d.humanReadableName);
        }
    }
    return preferred + others + linkLocal;
}

QStringList PacketTransceiver::withInterfaceFirst(QStringList entries, const QString &name)
{
    for (int i = 0; i < entries.size(); ++i) {
        if (entryPart(entries.at(i), EntryName) == name) {
            entries.move(i, 0);
            break;
        }
    }
    return entries;
}

QStringList PacketTransceiver::keepingInUse(QStringList fresh, const QString &inUse)
{
    const int at = fresh.indexOf(inUse);
    if (at >= 0) {
        fresh.move(at, 0);
        return fresh;
    }
    return inUse.isEmpty() ? fresh : withInterfaceFirst(fresh, entryPart(inUse, EntryName));
}

PacketTransceiver::Acceptance PacketTransceiver::acceptance(
    const QByteArray &datagram, const QString &localMacAddress)
{
    if (datagram.size() < Datagram::Header::Size
        || !Datagram::hasTerminatedText(datagram, Datagram::Header::Key)
        || !Datagram::hasTerminatedText(datagram, Datagram::Header::DestMac))
        return Acceptance::Drop;
    if (Datagram::readText(datagram, Datagram::Header::Key)
        != QLatin1String(Datagram::PacketIdentificationKey))
        return Acceptance::ForeignKey;
    if (!localMacAddress.startsWith(Datagram::destMacAddr(datagram), Qt::CaseSensitive))
        return Acceptance::Drop;
    // The sender's MAC becomes a row's key and the address of our requests to
    // it: a text that is no single device's MAC must not get that far.
    if (!Datagram::isDeviceMac(Datagram::srcMacAddr(datagram)))
        return Acceptance::Drop;
    return Acceptance::Deliver;
}

bool PacketTransceiver::bindSocket()
{
    if (socketBound)
        return true;
    socketBound = receiveSocket->bind(QHostAddress::AnyIPv4, ReceivePort, QUdpSocket::ShareAddress);
    if (socketBound) {
        enlargeReceiveBuffer();
        receiveDescriptor = receiveSocket->socketDescriptor();
        receiveSocket->setParent(nullptr);
        receiveSocket->moveToThread(readerThread);
        connect(readerThread, &QThread::finished, receiveSocket, &QObject::deleteLater);
        readerThread->start();
    }
    if (isOlderWindows())
        bindSendSocket();
    return socketBound;
}

void PacketTransceiver::enlargeReceiveBuffer()
{
    receiveSocket->setSocketOption(
        QAbstractSocket::ReceiveBufferSizeSocketOption, ReceiveBufferBytes);
#ifdef Q_OS_LINUX
    // Goes beyond the system's limit where we are allowed to; failure is fine.
    const int bytes = ReceiveBufferBytes;
    ::setsockopt(
        int(receiveSocket->socketDescriptor()), SOL_SOCKET, SO_RCVBUFFORCE, &bytes, sizeof bytes);
#endif
    if (receiveBufferLimit > 0)
        receiveSocket->setSocketOption(
            QAbstractSocket::ReceiveBufferSizeSocketOption, receiveBufferLimit);
}

void PacketTransceiver::bindSendSocket()
{
    sendSocket->close();
    sendSocket->bind(QHostAddress(localIpAddress()), SendPort, QUdpSocket::ShareAddress);
}

void PacketTransceiver::selectInterface(QString name)
{
    const QStringList reordered = withInterfaceFirst(interfaceList, name);
    const bool found = std::any_of(interfaceList.cbegin(), interfaceList.cend(),
        [&name](const QString &entry) { return entryPart(entry, EntryName) == name; });
    if (!found)
        return;
    const bool changed = reordered != interfaceList;
    interfaceList = reordered;
    // Elsewhere the interface index of each datagram picks the link.
    if (isOlderWindows())
        bindSendSocket();
    if (changed)
        emit interfacesChanged();
}

bool PacketTransceiver::selectInterfaceEntry(const QString &entry)
{
    const int at = interfaceList.indexOf(entry);
    if (at < 0)
        return false;
    QStringList reordered = interfaceList;
    reordered.move(at, 0);
    setInterfaceList(reordered);
    return true;
}

void PacketTransceiver::refreshInterfaces()
{
    interfaceWarned = false;
    if (interfaceSource)
        setInterfaceList(keepingInUse(interfaceEntries(interfaceSource()), interfaceList.value(0)));
}

void PacketTransceiver::setInterfaceList(const QStringList &entries)
{
    if (entries == interfaceList)
        return;
    const bool inUseChanged = entries.value(0) != interfaceList.value(0);
    interfaceList = entries;
    if (inUseChanged && isOlderWindows())
        bindSendSocket();
    emit interfacesChanged();
}

uint PacketTransceiver::followInterfaces()
{
    if (!interfaceSource && sendHook)
        return 0;
    const QList<InterfaceDescription> now
        = interfaceSource ? interfaceSource() : systemInterfaces();
    // A request must never carry the address of an interface that is gone:
    // the next one in line takes over.
    if (interfaceSource) {
        const QStringList fresh = interfaceEntries(now);
        if (!fresh.contains(interfaceList.value(0)))
            setInterfaceList(keepingInUse(fresh, interfaceList.value(0)));
    }
    if (interfaceList.isEmpty())
        return 0;
    // Looked up at each send: an adapter plugged in again comes back with
    // another index. 0, for a name the system does not know, leaves the
    // choice to routing.
    const QString name = entryPart(interfaceList.first(), EntryName);
    for (const InterfaceDescription &d : now) {
        if (d.humanReadableName == name)
            return uint(d.index);
    }
    return 0;
}

QStringList PacketTransceiver::interfaces() const
{
    return interfaceList;
}

QString PacketTransceiver::localMacAddress() const
{
    return interfaceList.isEmpty() ? FallbackMacAddress
                                   : entryPart(interfaceList.first(), EntryMac);
}

QString PacketTransceiver::localIpAddress() const
{
    return interfaceList.isEmpty() ? FallbackIpAddress
                                   : entryPart(interfaceList.first(), EntryAddress);
}

QByteArray PacketTransceiver::createMessageHeader(
    int messageId, QString destMacAddr, int payloadLength)
{
    Datagram::HeaderFields fields;
    fields.messageId = messageId;
    fields.payloadLength = payloadLength;
    fields.destMacAddr = destMacAddr;
    // Once a scan: a box for each request would hold the scan until clicked.
    if (interfaceList.isEmpty() && !interfaceWarned) {
        interfaceWarned = true;
        emit warningMessage(QStringLiteral("Creating message header"),
            QStringLiteral("Could not get a valid network interface!"));
    }
    fields.srcMacAddr = localMacAddress();
    fields.srcIpAddr = localIpAddress();
    fields.sequenceNumber = ++sequenceCounter;
    return Datagram::makeHeader(fields);
}

void PacketTransceiver::send(int messageId, const QString &destMacAddr, const QByteArray &payload)
{
    const uint index = followInterfaces();
    const QByteArray datagram
        = createMessageHeader(messageId, destMacAddr, payload.size()) + payload;
    if (sendHook) {
        sendHook(datagram);
    } else {
        // On Linux a broadcast leaves by the default route whatever address the
        // socket is bound to; naming the interface sends it out of the one in
        // use. The index travels as IPv4 packet info, so the socket must be IPv4.
        if (sendSocket->state() == QAbstractSocket::UnconnectedState)
            sendSocket->bind(QHostAddress(QHostAddress::AnyIPv4), 0);
        QNetworkDatagram out(datagram, QHostAddress(QHostAddress::Broadcast), ReceivePort);
        out.setInterfaceIndex(index);
        sendSocket->writeDatagram(out);
    }
    emit requestSent(messageId, destMacAddr);
}

void PacketTransceiver::getNetworkConfig(QString destMacAddr)
{
    send(Datagram::GetNetworkConfig, destMacAddr, QByteArray());
}

void PacketTransceiver::restartNetwork(QString destMacAddr)
{
    send(Datagram::RestartNetwork, destMacAddr, QByteArray());
}

void PacketTransceiver::getDeviceInfo(QString destMacAddr)
{
    strayReported = false;
    send(Datagram::GetDeviceInfo, destMacAddr, QByteArray());
}

void PacketTransceiver::sendRequest(int messageId, QString destMacAddr, QByteArray payload)
{
    send(messageId, destMacAddr, payload);
}

void PacketTransceiver::drainSocket()
{
    // Read and queued under the lock, so that the order holds while the
    // window thread reads too.
    QMutexLocker lock(&queueMutex);
    readWaitingDatagrams();
    for (;;) {
        // Qt's own read, until it finds nothing, arms the notification again.
        const qint64 read = receiveSocket->readDatagram(readBuffer.data(), readBuffer.size());
        if (read < 0 && receiveSocket->error() == QAbstractSocket::TemporaryError)
            return;
        // A failed read is queued as a null datagram, to be reported in its
        // turn; the socket notifies again for whatever is still waiting.
        queueDatagram(read < 0 ? QByteArray() : QByteArray(readBuffer.constData(), int(read)));
    }
}

void PacketTransceiver::readWaitingDatagrams()
{
#ifdef Q_OS_UNIX
    // A burst must not wait long in the system's buffer, which is small for
    // an ordinary user: the reader thread reads it, and the window thread too
    // between two deliveries. One plain call a datagram; the socket is
    // non-blocking.
    for (;;) {
        const ssize_t read
            = ::recv(int(receiveDescriptor), readBuffer.data(), size_t(readBuffer.size()), 0);
        if (read < 0)
            return; // nothing waiting, or an error the reader thread will meet
        queueDatagram(QByteArray(readBuffer.constData(), int(read)));
    }
#endif
}

void PacketTransceiver::pause(int msec)
{
    QElapsedTimer clock;
    clock.start();
    while (!clock.hasExpired(msec)) {
        {
            QMutexLocker lock(&queueMutex);
            readWaitingDatagrams();
        }
        QThread::usleep(500);
    }
}

void PacketTransceiver::queueDatagram(const QByteArray &datagram)
{
    const qint64 cost = datagram.size() + QueuedDatagramOverhead;
    // A flood beyond the bound is dropped, as the system would drop it.
    if (queuedBytes + cost > MaxQueuedBytes) {
        ++queueDrops;
        return;
    }
    queuedReplies.enqueue(datagram);
    queuedBytes += cost;
    if (!deliveryPosted) {
        deliveryPosted = true;
        QMetaObject::invokeMethod(
            this, &PacketTransceiver::processPendingDatagrams, Qt::QueuedConnection);
    }
}

void PacketTransceiver::processPendingDatagrams()
{
    QElapsedTimer slice;
    slice.start();
    for (;;) {
        QByteArray datagram;
        {
            QMutexLocker lock(&queueMutex);
            readWaitingDatagrams();
            if (queuedReplies.isEmpty()) {
                deliveryPosted = false;
                return;
            }
            if (slice.elapsed() >= DeliverySliceMs) {
                // The rest follows once the event loop has had its turn.
                QMetaObject::invokeMethod(
                    this, &PacketTransceiver::processPendingDatagrams, Qt::QueuedConnection);
                return;
            }
            datagram = queuedReplies.dequeue();
            queuedBytes -= datagram.size() + QueuedDatagramOverhead;
        }
        deliver(datagram);
    }
}

void PacketTransceiver::deliverQueued()
{
    int count;
    {
        QMutexLocker lock(&queueMutex);
        readWaitingDatagrams();
        count = queuedReplies.size();
    }
    // Only what is there now, and for a bounded time: a flood going on must
    // not hold the caller.
    QElapsedTimer clock;
    clock.start();
    for (QByteArray datagram;
         count > 0 && !clock.hasExpired(MaxImmediateDeliveryMs) && takeQueued(&datagram); --count)
        deliver(datagram);
}

bool PacketTransceiver::takeQueued(QByteArray *datagram)
{
    QMutexLocker lock(&queueMutex);
    if (queuedReplies.isEmpty())
        return false;
    *datagram = queuedReplies.dequeue();
    queuedBytes -= datagram->size() + QueuedDatagramOverhead;
    return true;
}

void PacketTransceiver::deliver(const QByteArray &datagram)
{
    if (datagram.isNull())
        showStrayDatagramBox(QStringLiteral("read error"));
    else
        dispatch(datagram);
}

quint32 PacketTransceiver::droppedCount()
{
    quint32 system = 0;
#ifdef Q_OS_LINUX
    if (receiveDescriptor >= 0) {
        quint32 memory[SK_MEMINFO_VARS] = {};
        socklen_t length = sizeof memory;
        if (::getsockopt(int(receiveDescriptor), SOL_SOCKET, SO_MEMINFO, memory, &length) == 0
            && length > SK_MEMINFO_DROPS * sizeof(quint32))
            system = memory[SK_MEMINFO_DROPS];
    }
#endif
    QMutexLocker lock(&queueMutex);
    return system + queueDrops;
}

void PacketTransceiver::dispatch(const QByteArray &datagram)
{
    switch (acceptance(datagram, localMacAddress())) {
    case Acceptance::Deliver:
        emit replyReceived(datagram);
        break;
    case Acceptance::ForeignKey:
        showStrayDatagramBox(QStringLiteral("not our packetIdentificationKey"));
        break;
    case Acceptance::Drop:
        break;
    }
}

void PacketTransceiver::showStrayDatagramBox(const QString &text)
{
    if (strayReporter) {
        strayReporter(text);
        return;
    }
    // Without a widget application (tools, benchmarks) there is no one to tell.
    if (strayBox || strayReported || !qobject_cast<QApplication *>(QCoreApplication::instance()))
        return;
    strayReported = true;
    // Not exec(): deliveries wait for this call to return, and replies must
    // keep flowing while the box is open.
    strayBox
        = new QMessageBox(QMessageBox::Information, QStringLiteral("!"), text, QMessageBox::Ok);
    strayBox->setAttribute(Qt::WA_DeleteOnClose);
    strayBox->setWindowModality(Qt::ApplicationModal);
    strayBox->show();
}

void PacketTransceiver::setStrayReporter(std::function<void(const QString &text)> reporter)
{
    strayReporter = std::move(reporter);
}

void PacketTransceiver::setSendHookForTesting(std::function<void(const QByteArray &datagram)> hook)
{
    sendHook = std::move(hook);
}

void PacketTransceiver::setSequenceCounterForTesting(quint16 value)
{
    sequenceCounter = value;
}

void PacketTransceiver::setInterfaceSourceForTesting(
    std::function<QList<InterfaceDescription>()> source)
{
    interfaceSource = std::move(source);
}

void PacketTransceiver::setReceiveBufferLimitForTesting(int bytes)
{
    receiveBufferLimit = bytes;
}
