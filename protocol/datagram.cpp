#include "datagram.h"

#include <QStringList>
#include <QtEndian>

#include <algorithm>

namespace Datagram {

namespace {

bool fits(const QByteArray &data, int offset, int size)
{
    return offset >= 0 && size >= 0 && offset <= data.size() - size;
}

constexpr Field shifted(Field field, int by) { return {field.offset + by, field.width}; }

void writeSettings(QByteArray &payload, int shift, const NetworkSettings &s)
{
    using namespace NetworkConfig;
    writeText(payload, shifted(Hostname, shift), s.hostname);
    writeText(payload, shifted(Dhcp, shift), s.dhcp);
    writeText(payload, shifted(IpAddress, shift), s.ipAddress);
    writeText(payload, shifted(SubnetMask, shift), s.subnetMask);
    writeText(payload, shifted(Domain, shift), s.domain);
    writeText(payload, shifted(Gateway, shift), s.gateway);
    writeText(payload, shifted(PrimaryDns, shift), s.primaryDns);
    writeText(payload, shifted(SecondaryDns, shift), s.secondaryDns);
}

NetworkSettings readSettings(const QByteArray &datagram, int base)
{
    using namespace NetworkConfig;
    NetworkSettings s;
    s.hostname = readText(datagram, shifted(Hostname, base));
    s.dhcp = readText(datagram, shifted(Dhcp, base));
    s.ipAddress = readText(datagram, shifted(IpAddress, base));
    s.subnetMask = readText(datagram, shifted(SubnetMask, base));
    s.domain = readText(datagram, shifted(Domain, base));
    s.gateway = readText(datagram, shifted(Gateway, base));
    s.primaryDns = readText(datagram, shifted(PrimaryDns, base));
    s.secondaryDns = readText(datagram, shifted(SecondaryDns, base));
    return s;
}

} // namespace

void writeText(QByteArray &buffer, int offset, int width, const QString &text)
{
    if (width <= 0 || !fits(buffer, offset, width))
        return;
    const QByteArray bytes = text.toUtf8().left(width - 1);
    std::copy(bytes.cbegin(), bytes.cend(), buffer.begin() + offset);
    buffer[offset + bytes.size()] = '\0';
}

void writeInt32(QByteArray &buffer, int offset, qint32 value)
{
    if (fits(buffer, offset, 4))
        qToLittleEndian<qint32>(value, buffer.data() + offset);
}

void writeUInt16(QByteArray &buffer, int offset, quint16 value)
{
    if (fits(buffer, offset, 2))
        qToLittleEndian<quint16>(value, buffer.data() + offset);
}

QString readText(const QByteArray &datagram, Field field)
{
    if (field.offset < 0 || field.offset >= datagram.size())
        return QString();
    const char *begin = datagram.constData() + field.offset;
    const int limit = qMin(datagram.size() - field.offset, qMax(field.width, 0));
    return QString::fromUtf8(begin, int(qstrnlen(begin, uint(limit))));
}

bool hasTerminatedText(const QByteArray &datagram, Field field)
{
    if (field.offset < 0 || field.offset >= datagram.size())
        return false;
    const int limit = qMin(datagram.size(), field.offset + field.width);
    const char *begin = datagram.constData() + field.offset;
    return std::find(begin, datagram.constData() + limit, '\0') != datagram.constData() + limit;
}

qint32 readInt32(const QByteArray &datagram, int offset)
{
    return fits(datagram, offset, 4) ? qFromLittleEndian<qint32>(datagram.constData() + offset) : 0;
}

quint32 readUInt32(const QByteArray &datagram, int offset)
{
    return fits(datagram, offset, 4) ? qFromLittleEndian<quint32>(datagram.constData() + offset) : 0;
}

quint16 readUInt16(const QByteArray &datagram, int offset)
{
    return fits(datagram, offset, 2) ? qFromLittleEndian<quint16>(datagram.constData() + offset) : 0;
}

quint8 readUInt8(const QByteArray &datagram, int offset)
{
    return fits(datagram, offset, 1) ? quint8(datagram.at(offset)) : 0;
}

bool isDeviceMac(const QString &text)
{
    static const QString hexDigits = QStringLiteral("0123456789ABCDEFabcdef");
    if (text.size() != 17 || text.compare(QLatin1String(BroadcastMac), Qt::CaseInsensitive) == 0)
        return false;
    for (int i = 0; i < text.size(); ++i) {
        if (i % 3 == 2 ? text.at(i) != QLatin1Char(':') : !hexDigits.contains(text.at(i)))
            return false;
    }
    return true;
}

QString canonicalIpv4(const QString &text)
{
    const QStringList octets = text.split(QLatin1Char('.'));
    if (octets.size() != 4)
        return QString();
    QStringList numbers;
    for (const QString &octet : octets) {
        const bool digits = !octet.isEmpty() && octet.size() <= 3
            && std::all_of(octet.cbegin(), octet.cend(),
                [](QChar c) { return c >= QLatin1Char('0') && c <= QLatin1Char('9'); });
        if (!digits || octet.toInt() > 255)
            return QString();
        numbers << QString::number(octet.toInt());
    }
    return numbers.join(QLatin1Char('.'));
}

QByteArray makeHeader(const HeaderFields &f)
{
    QByteArray header(Header::Size, '\0');
    writeText(header, Header::Key, QString::fromLatin1(PacketIdentificationKey));
    writeInt32(header, Header::MessageId, f.messageId);
    writeInt32(header, Header::Status, qint32(f.status));
    writeInt32(header, Header::PayloadLength, f.payloadLength);
    writeInt32(header, Header::ProtocolVersion, f.protocolVersion);
    writeText(header, Header::DestMac, f.destMacAddr);
    writeText(header, Header::SrcMac, f.srcMacAddr);
    writeText(header, Header::SrcIp, f.srcIpAddr);
    writeUInt16(header, Header::SequenceNumber, f.sequenceNumber);
    return header;
}

QByteArray encodeNetworkConfig(const QString &macAddress, const NetworkSettings &settings)
{
    QByteArray payload(NetworkConfig::Size, '\0');
    writeText(payload, NetworkConfig::MacAddress, macAddress);
    writeSettings(payload, 0, settings);
    return payload;
}

QByteArray credentials(const QString &user, const QString &password)
{
    return QString(user + QLatin1Char(':') + password).toLatin1().toBase64();
}

QByteArray encodeNetworkConfigAuth(const NetworkSettings &settings, const QString &user,
                                   const QString &password)
{
    QByteArray payload(NetworkConfigAuth::Size, '\0');
    writeSettings(payload, NetworkConfigAuth::ConfigShift, settings);
    writeText(payload, NetworkConfigAuth::Credentials,
              QString::fromLatin1(credentials(user, password)));
    return payload;
}

NetworkSettings decodeNetworkConfig(const QByteArray &datagram)
{
    return readSettings(datagram, Header::Size);
}

QString networkConfigMac(const QByteArray &datagram)
{
    return readText(datagram, shifted(NetworkConfig::MacAddress, Header::Size));
}

NetworkSettings decodeNetworkConfigAuth(const QByteArray &datagram)
{
    return readSettings(datagram, Header::Size + NetworkConfigAuth::ConfigShift);
}

QString decodeCredentials(const QByteArray &datagram)
{
    return readText(datagram, shifted(NetworkConfigAuth::Credentials, Header::Size));
}

QByteArray encodeDeviceInfo(const QString &productType, const QString &firmwareVersion,
                            const QString &deviceName)
{
    const QByteArray name = deviceName.toUtf8();
    QByteArray payload(DeviceInfo::DeviceName.offset + name.size() + 1, '\0');
    writeText(payload, DeviceInfo::ProductType, productType);
    writeText(payload, DeviceInfo::FirmwareVersion, firmwareVersion);
    writeText(payload, DeviceInfo::DeviceName.offset, name.size() + 1, deviceName);
    return payload;
}

} // namespace Datagram
