#include "simulator.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QRandomGenerator>
#include <QRegularExpression>
#include <QSet>
#include <QSocketNotifier>
#include <QThread>
#include <QTimer>
#include <QUdpSocket>

#include <cstdio>

#ifdef Q_OS_LINUX
#include <sys/socket.h>
#include <unistd.h>
#endif

namespace {

constexpr quint16 DevicePort = 28244;
constexpr int SocketBufferBytes = 8 * 1024 * 1024;

bool isMac(const QString &text)
{
    // Either letter case: some devices spell their MAC in lower case and
    // answer only a request to that spelling.
    static const QRegularExpression pattern(
        QStringLiteral("^([0-9A-Fa-f]{2}:){5}[0-9A-Fa-f]{2}$"));
    return pattern.match(text).hasMatch();
}

bool readStatus(const QJsonValue &value, quint32 *status)
{
    if (value.isDouble()) {
        const double d = value.toDouble();
        if (d < 0 || d > 4294967295.0 || d != qint64(d))
            return false;
        *status = quint32(qint64(d));
        return true;
    }
    if (value.isString()) {
        bool ok = false;
        *status = value.toString().toUInt(&ok, 0);
        return ok;
    }
    return false;
}

bool readText(const QJsonValue &value, QString *text)
{
    if (value.isString())
        *text = value.toString();
    else if (value.isDouble())
        *text = QString::number(value.toDouble());
    else if (value.isBool())
        *text = value.toBool() ? QStringLiteral("1") : QStringLiteral("0");
    else
        return false;
    return true;
}

bool readInt(const QJsonValue &value, int *number)
{
    if (!value.isDouble() || value.toDouble() != double(value.toInt()))
        return false;
    *number = value.toInt();
    return true;
}

bool parseDevice(const QJsonObject &object, SimDevice *device, QString *error)
{
    QHash<QString, QString *> texts {
        { QStringLiteral("mac"), &device->mac },
        { QStringLiteral("name"), &device->name },
        { QStringLiteral("firmware"), &device->firmware },
        { QStringLiteral("productType"), &device->productType },
        { QStringLiteral("hostname"), &device->settings.hostname },
        { QStringLiteral("dhcp"), &device->settings.dhcp },
        { QStringLiteral("ipAddress"), &device->settings.ipAddress },
        { QStringLiteral("subnetMask"), &device->settings.subnetMask },
        { QStringLiteral("domain"), &device->settings.domain },
        { QStringLiteral("gateway"), &device->settings.gateway },
        { QStringLiteral("primaryDns"), &device->settings.primaryDns },
        { QStringLiteral("secondaryDns"), &device->settings.secondaryDns },
        { QStringLiteral("user"), &device->user },
        { QStringLiteral("password"), &device->password },
    };
    QHash<QString, int *> numbers {
        { QStringLiteral("protocolVersion"), &device->protocolVersion },
        { QStringLiteral("replyDelayMs"), &device->replyDelayMs },
    };
    QHash<QString, bool *> flags {
        { QStringLiteral("noDeviceInfoReply"), &device->noDeviceInfoReply },
        { QStringLiteral("noNetworkConfigReply"), &device->noNetworkConfigReply },
    };
    QHash<QString, quint32 *> statuses {
        { QStringLiteral("deviceInfoStatus"), &device->deviceInfoStatus },
        { QStringLiteral("networkConfigStatus"), &device->networkConfigStatus },
        { QStringLiteral("setConfigStatus"), &device->setConfigStatus },
    };
    for (auto it = object.begin(); it != object.end(); ++it) {
        const QString key = it.key();
        bool ok = false;
        if (texts.contains(key))
            ok = readText(it.value(), texts.value(key));
        else if (numbers.contains(key))
            ok = readInt(it.value(), numbers.value(key));
        else if (flags.contains(key))
            ok = it.value().isBool() && (*flags.value(key) = it.value().toBool(), true);
        else if (statuses.contains(key))
            ok = readStatus(it.value(), statuses.value(key));
        else {
            *error = QStringLiteral("unknown key \"%1\"").arg(key);
            return false;
        }
        if (!ok) {
            *error = QStringLiteral("bad value for \"%1\"").arg(key);
            return false;
        }
    }
    if (!isMac(device->mac)) {
        *error = QStringLiteral("\"mac\" must be six hex pairs joined by colons");
        return false;
    }
    if (device->replyDelayMs < 0) {
        *error = QStringLiteral("\"replyDelayMs\" must not be negative");
        return false;
    }
    return true;
}

} // namespace

bool parseDevices(const QByteArray &json, QVector<SimDevice> *devices, QString *error)
{
    QJsonParseError parseError;
    const QJsonDocument document = QJsonDocument::fromJson(json, &parseError);
    if (document.isNull()) {
        *error = parseError.errorString();
        return false;
    }
    const QJsonArray list = document.isArray()
        ? document.array()
        : document.object().value(QStringLiteral("devices")).toArray();
    if (list.isEmpty()) {
        *error = QStringLiteral("expected a non-empty array of devices, or {\"devices\": [...]}");
        return false;
    }
    devices->clear();
    QSet<QString> macs;
    for (int i = 0; i < list.size(); ++i) {
        if (!list.at(i).isObject()) {
            *error = QStringLiteral("device %1: not an object").arg(i);
            return false;
        }
        SimDevice device;
        QString why;
        if (!parseDevice(list.at(i).toObject(), &device, &why)) {
            *error = QStringLiteral("device %1: %2").arg(i).arg(why);
            return false;
        }
        if (macs.contains(device.mac)) {
            *error = QStringLiteral("device %1: MAC %2 used twice").arg(i).arg(device.mac);
            return false;
        }
        macs.insert(device.mac);
        devices->append(device);
    }
    return true;
}

QVector<SimDevice> generateDevices(int count, int protocolVersion, int replyDelayMs)
{
    QVector<SimDevice> devices;
    devices.reserve(count);
    for (int i = 0; i < count; ++i) {
        const int n = i + 1;
        SimDevice d;
        d.mac = QStringLiteral("02:00:00:00:%1:%2")
                    .arg((n >> 8) & 0xff, 2, 16, QLatin1Char('0'))
                    .arg(n & 0xff, 2, 16, QLatin1Char('0'))
                    .toUpper();
        d.name = QStringLiteral("Sim device %1").arg(n);
        d.firmware = QStringLiteral("1.0.%1").arg(n);
        d.productType = QStringLiteral("312");
        d.protocolVersion = protocolVersion;
        d.settings.hostname = QStringLiteral("sim-%1").arg(n);
        d.settings.dhcp = QStringLiteral("0");
        // 192.168.77.10 onwards; further devices spill into the next octets.
        const int host = 10 + i;
        d.settings.ipAddress
            = QStringLiteral("192.168.%1.%2").arg(77 + host / 250).arg(host % 250 + 1);
        d.settings.subnetMask = QStringLiteral("255.255.255.0");
        d.settings.domain = QStringLiteral("lab.example");
        d.settings.gateway = QStringLiteral("192.168.77.254");
        d.settings.primaryDns = QStringLiteral("192.168.77.253");
        d.settings.secondaryDns = QString();
        d.user = QStringLiteral("admin");
        d.password = QStringLiteral("admin");
        d.replyDelayMs = replyDelayMs;
        devices.append(d);
    }
    return devices;
}

Simulator::Simulator(QVector<SimDevice> devices, QObject *parent)
    : QObject(parent)
    , devices(std::move(devices))
    , socket(new QUdpSocket(this))
{
    for (int i = 0; i < this->devices.size(); ++i)
        indexByMac.insert(this->devices.at(i).mac, i);
    connect(socket, &QUdpSocket::readyRead, this, &Simulator::readRequests);
}

bool Simulator::bind(QString *error)
{
    if (!socket->bind(QHostAddress::AnyIPv4, DevicePort,
            QUdpSocket::ShareAddress | QUdpSocket::ReuseAddressHint)) {
        *error = socket->errorString();
        return false;
    }
    // Our own broadcasts come back to this socket; a thousand devices must not
    // crowd the finder's next request out of the buffer.
    socket->setSocketOption(QAbstractSocket::ReceiveBufferSizeSocketOption, SocketBufferBytes);
    socket->setSocketOption(QAbstractSocket::SendBufferSizeSocketOption, SocketBufferBytes);
#ifdef Q_OS_LINUX
    const int bytes = SocketBufferBytes;
    const int fd = int(socket->socketDescriptor());
    ::setsockopt(fd, SOL_SOCKET, SO_RCVBUFFORCE, &bytes, sizeof bytes);
    ::setsockopt(fd, SOL_SOCKET, SO_SNDBUFFORCE, &bytes, sizeof bytes);
#endif
    return true;
}

void Simulator::enableControl()
{
    controlNotifier = new QSocketNotifier(0, QSocketNotifier::Read, this);
    connect(controlNotifier, &QSocketNotifier::activated, this, &Simulator::readControl);
}

void Simulator::readRequests()
{
    while (socket->hasPendingDatagrams()) {
        QByteArray datagram(int(qMax<qint64>(socket->pendingDatagramSize(), 0)), '\0');
        const qint64 read = socket->readDatagram(datagram.data(), datagram.size());
        if (read < 0)
            break;
        datagram.truncate(int(read));
        handleRequest(datagram);
    }
}

void Simulator::handleRequest(const QByteArray &request)
{
    using namespace Datagram;
    if (request.size() < Header::Size || !hasTerminatedText(request, Header::Key)
        || readText(request, Header::Key) != QLatin1String(PacketIdentificationKey)
        || !hasTerminatedText(request, Header::DestMac))
        return;
    const int id = messageId(request);
    if (id != RestartNetwork && id != GetNetworkConfig && id != SetNetworkConfig
        && id != GetDeviceInfo && id != SetNetworkConfigAuth)
        return;
    const QString dest = destMacAddr(request);
    QVector<int> targets;
    if (dest == QLatin1String(BroadcastMac)) {
        targets.reserve(devices.size());
        for (int i = 0; i < devices.size(); ++i)
            targets.append(i);
    } else if (indexByMac.contains(dest)) {
        targets.append(indexByMac.value(dest));
    }
    sendFlood(srcMacAddr(request));
    const char *outcome = nullptr;
    if (!targets.isEmpty()) {
        // Foreign datagrams, if asked for, are spread between the answers.
        const int share = junkPerRequest / targets.size();
        sendJunk(junkPerRequest % targets.size());
        for (int index : qAsConst(targets)) {
            sendJunk(share);
            outcome = answer(devices[index], request);
        }
    }
    if (verbose) {
        // What a single device made of a set or restart request, so that a
        // test sees whether its change went through.
        const bool single = targets.size() == 1 && dest != QLatin1String(BroadcastMac);
        const QString result
            = single && outcome ? QLatin1Char(' ') + QLatin1String(outcome) : QString();
        const QByteArray line = QStringLiteral("request %1 seq %2 from %3 to %4 length %5%6\n")
                                    .arg(id)
                                    .arg(readUInt16(request, Header::SequenceNumber))
                                    .arg(srcMacAddr(request), dest)
                                    .arg(request.size())
                                    .arg(result)
                                    .toUtf8();
        std::fputs(line.constData(), stderr);
    }
}

const char *Simulator::answer(SimDevice &device, const QByteArray &request)
{
    using namespace Datagram;
    auto setOutcome = [](quint32 status) {
        if (status == StatusOk)
            return "accepted";
        return status == StatusAuthorizationFailed ? "authorization failed" : "refused";
    };
    switch (messageId(request)) {
    case GetDeviceInfo:
        if (!device.noDeviceInfoReply)
            sendReply(device, request, DeviceInfoReply, device.deviceInfoStatus,
                encodeDeviceInfo(device.productType, device.firmware, device.name));
        break;
    case GetNetworkConfig:
        if (!device.noNetworkConfigReply)
            sendReply(device, request, NetworkConfigReply, device.networkConfigStatus,
                encodeNetworkConfig(device.mac, device.settings));
        break;
    case SetNetworkConfig:
        if (device.protocolVersion >= 4 || request.size() < Header::Size + NetworkConfig::Size)
            return "ignored";
        if (device.setConfigStatus == StatusOk) {
            device.pending = decodeNetworkConfig(request);
            device.hasPending = true;
        }
        sendReply(device, request, SetNetworkConfigReply, device.setConfigStatus, QByteArray());
        return setOutcome(device.setConfigStatus);
    case SetNetworkConfigAuth: {
        if (device.protocolVersion < 4 || request.size() < Header::Size + NetworkConfigAuth::Size)
            return "ignored";
        const QString expected = QString::fromLatin1(credentials(device.user, device.password))
                                     .left(NetworkConfigAuth::Credentials.width - 1);
        quint32 status = StatusAuthorizationFailed;
        if (decodeCredentials(request) == expected) {
            status = device.setConfigStatus;
            if (status == StatusOk) {
                device.pending = decodeNetworkConfigAuth(request);
                device.hasPending = true;
            }
        }
        sendReply(device, request, SetNetworkConfigAuthReply, status, QByteArray());
        return setOutcome(status);
    }
    case RestartNetwork:
        if (!device.hasPending)
            return "restarted";
        device.settings = device.pending;
        device.hasPending = false;
        return "restarted with new settings";
    }
    return nullptr;
}

void Simulator::sendReply(const SimDevice &device, const QByteArray &request, int messageId,
    quint32 status, const QByteArray &payload)
{
    using namespace Datagram;
    if (loss > 0 && QRandomGenerator::global()->generateDouble() < loss)
        return;
    HeaderFields f;
    f.messageId = messageId;
    f.status = status;
    f.payloadLength = payload.size();
    f.protocolVersion = device.protocolVersion;
    f.destMacAddr = srcMacAddr(request);
    f.srcMacAddr = device.mac;
    f.srcIpAddr = device.settings.ipAddress;
    f.sequenceNumber = readUInt16(request, Header::SequenceNumber);
    sendLater(device.replyDelayMs, makeHeader(f) + payload);
}

void Simulator::sendLater(int delayMs, const QByteArray &datagram)
{
    if (delayMs <= 0)
        broadcast(datagram);
    else
        QTimer::singleShot(delayMs, this, [this, datagram] { broadcast(datagram); });
}

void Simulator::sendJunk(int count)
{
    for (int i = 0; i < count; ++i) {
        // Mostly datagrams of another program with a full header's length,
        // now and then a short one.
        const quint32 n = junkCounter++;
        QByteArray junk = (n % 8 == 7) ? QByteArray(1 + int(n % 100), 'j')
                                       : QByteArray(Datagram::Header::Size + int(n % 64), '\0');
        if (junk.size() >= Datagram::Header::Size) {
            Datagram::writeText(
                junk, Datagram::Header::Key, QStringLiteral("other-program-%1").arg(n));
            Datagram::writeInt32(junk, Datagram::Header::MessageId, Datagram::NetworkConfigReply);
        }
        broadcast(junk);
    }
}

bool Simulator::forge(const QStringList &what)
{
    using namespace Datagram;
    // An empty destMacAddr passes every finder's test of being meant for it.
    auto reply = [](int messageId, quint32 status, const QString &mac,
                     const QByteArray &payload) -> QByteArray {
        HeaderFields f;
        f.messageId = messageId;
        f.status = status;
        f.payloadLength = payload.size();
        f.srcMacAddr = mac;
        f.srcIpAddr = QStringLiteral("192.168.77.66");
        return makeHeader(f) + payload;
    };
    if (what == QStringList { QStringLiteral("long-mac") }) {
        NetworkSettings settings;
        settings.hostname = QStringLiteral("forged");
        settings.dhcp = QStringLiteral("0");
        settings.ipAddress = QStringLiteral("192.168.77.66");
        settings.subnetMask = QStringLiteral("255.255.255.0");
        const QString mac = QLatin1String(BroadcastMac);
        for (QByteArray datagram :
            { reply(NetworkConfigReply, StatusOk, mac, encodeNetworkConfig(mac, settings)),
                reply(DeviceInfoReply, StatusOk, mac,
                    encodeDeviceInfo(QStringLiteral("1"), QStringLiteral("6.6.6"),
                        QStringLiteral("Forged"))) }) {
            // "!" where the NUL belongs: a reader that runs on takes in the IP
            // text behind it, a writer cuts it back to the broadcast MAC.
            datagram[Header::SrcMac.offset + Header::SrcMac.width - 1] = '!';
            broadcast(datagram);
        }
        return true;
    }
    if (what.size() == 2 && what.first() == QLatin1String("auth-failure")) {
        broadcast(reply(SetNetworkConfigAuthReply, StatusAuthorizationFailed, what.at(1), {}));
        return true;
    }
    return false;
}

void Simulator::sendFlood(const QString &destMac)
{
    if (floodSpreadMs <= 0) {
        sendForged(destMac, floodPerRequest);
        return;
    }
    auto *timer = new QTimer(this);
    timer->setTimerType(Qt::PreciseTimer);
    QElapsedTimer clock;
    clock.start();
    const int total = floodPerRequest;
    const qint64 spread = floodSpreadMs;
    connect(timer, &QTimer::timeout, this, [=, sent = 0]() mutable {
        const int due = int(qMin<qint64>(total, total * clock.elapsed() / spread));
        sendForged(destMac, due - sent);
        sent = due;
        if (sent >= total)
            timer->deleteLater();
    });
    timer->start(1);
}

void Simulator::sendForged(const QString &destMac, int count)
{
    using namespace Datagram;
    for (int i = 0; i < count; ++i) {
        // What any host on the LAN can send: replies nobody asked for, each
        // from a device the table has not seen yet.
        const quint32 n = ++floodCounter;
        const QString hex = QStringLiteral("%1").arg(n, 8, 16, QLatin1Char('0')).toUpper();
        const QString mac = QStringLiteral("0A:00:%1:%2:%3:%4")
                                .arg(hex.mid(0, 2), hex.mid(2, 2), hex.mid(4, 2), hex.mid(6, 2));
        HeaderFields f;
        f.messageId = n % 2 ? DeviceInfoReply : NetworkConfigReply;
        f.destMacAddr = destMac;
        f.srcMacAddr = mac;
        f.srcIpAddr = QStringLiteral("192.168.77.2");
        const int payloadBytes = floodBytes - Header::Size;
        QByteArray payload = f.messageId == DeviceInfoReply
            ? encodeDeviceInfo(QStringLiteral("312"), QStringLiteral("1.0"),
                QString(
                    qMax(0, payloadBytes - DeviceInfo::DeviceName.offset - 1), QLatin1Char('x')))
            : encodeNetworkConfig(mac, SimDevice().settings);
        payload.append(qMax(0, payloadBytes - payload.size()), '\0');
        f.payloadLength = payload.size();
        broadcast(makeHeader(f) + payload);
    }
}

void Simulator::broadcast(const QByteArray &datagram)
{
    // A burst may fill the send queue for a moment; wait for room rather than
    // drop a reply.
    for (int attempt = 0; attempt < 1000; ++attempt) {
        if (socket->writeDatagram(datagram, QHostAddress(QHostAddress::Broadcast), DevicePort) >= 0)
            return;
        if (socket->error() != QAbstractSocket::TemporaryError)
            return;
        QThread::usleep(100);
    }
}

void Simulator::readControl()
{
    char buffer[4096];
#ifdef Q_OS_UNIX
    const ssize_t n = ::read(0, buffer, sizeof buffer);
#else
    const qint64 n = -1;
#endif
    if (n <= 0) {
        controlNotifier->setEnabled(false);
        return;
    }
    controlBuffer.append(buffer, int(n));
    int newline;
    while ((newline = controlBuffer.indexOf('\n')) >= 0) {
        const QString line = QString::fromUtf8(controlBuffer.left(newline)).trimmed();
        controlBuffer.remove(0, newline + 1);
        if (!line.isEmpty())
            runCommand(line);
    }
}

void Simulator::runCommand(const QString &line)
{
    const QStringList words = line.split(QLatin1Char(' '), Qt::SkipEmptyParts);
    const QString command = words.value(0);
    QString answerText;
    if ((command == QLatin1String("password") || command == QLatin1String("user"))
        && words.size() <= 3 && indexByMac.contains(words.value(1))) {
        SimDevice &device = devices[indexByMac.value(words.value(1))];
        (command == QLatin1String("password") ? device.password : device.user) = words.value(2);
        // The new value is not echoed.
        answerText = QStringLiteral("ok %1 %2").arg(command, device.mac);
    } else if (command == QLatin1String("junk") && words.size() == 2 && words.at(1).toInt() > 0) {
        sendJunk(words.at(1).toInt());
        answerText = QStringLiteral("ok ") + line;
    } else if (command == QLatin1String("forge") && forge(words.mid(1))) {
        answerText = QStringLiteral("ok ") + line;
    } else if (command == QLatin1String("quit")) {
        QCoreApplication::quit();
        answerText = QStringLiteral("ok quit");
    } else {
        answerText = QStringLiteral("error unknown command \"%1\"").arg(command);
    }
    std::fputs(qPrintable(answerText + QLatin1Char('\n')), stdout);
    std::fflush(stdout);
}
