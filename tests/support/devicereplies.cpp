#include "devicereplies.h"

#include "datagram.h"

namespace DeviceReplies {

QByteArray header(
    int messageId, const QString &srcMac, quint32 status, int payloadLength, qint32 protocolVersion)
{
    Datagram::HeaderFields f;
    f.messageId = messageId;
    f.status = status;
    f.payloadLength = payloadLength;
    f.protocolVersion = protocolVersion;
    f.destMacAddr = QStringLiteral("02:00:00:00:00:01");
    f.srcMacAddr = srcMac;
    f.srcIpAddr = QStringLiteral("192.0.2.200");
    return Datagram::makeHeader(f);
}

QByteArray deviceInfo(const QString &srcMac, quint32 status, const QString &productType,
    const QString &firmwareVersion, const QString &deviceName)
{
    const QByteArray payload = Datagram::encodeDeviceInfo(productType, firmwareVersion, deviceName);
    return header(Datagram::DeviceInfoReply, srcMac, status, payload.size()) + payload;
}

QByteArray networkConfig(const QString &srcMac, quint32 status, const QString &hostname,
    const QString &ipAddress, const QString &dhcp, qint32 protocolVersion)
{
    Datagram::NetworkSettings s;
    s.hostname = hostname;
    s.dhcp = dhcp;
    s.ipAddress = ipAddress;
    s.subnetMask = QStringLiteral("255.255.255.0");
    s.gateway = QStringLiteral("192.0.2.1");
    const QByteArray payload = Datagram::encodeNetworkConfig(srcMac, s);
    return header(Datagram::NetworkConfigReply, srcMac, status, payload.size(), protocolVersion)
        + payload;
}

QByteArray bare(int messageId, const QString &srcMac, quint32 status)
{
    return header(messageId, srcMac, status);
}

} // namespace DeviceReplies
