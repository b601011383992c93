#pragma once

#include "datagram.h"

// Reply datagrams as devices send them, built with the wire-format helpers.
namespace DeviceReplies {

// A header alone is a whole SetNetworkConfigReply (10) or SetNetworkConfigAuthReply (14).
inline QByteArray header(int messageId, const QString &srcMac, quint32 status = 0,
    int payloadLength = 0, qint32 protocolVersion = 4)
{
    return Datagram::makeHeader({ messageId, status, payloadLength, protocolVersion,
        QStringLiteral("02:00:00:00:00:01"), srcMac, QStringLiteral("192.0.2.200"), 0 });
}

inline QByteArray deviceInfo(const QString &srcMac, quint32 status = 0,
    const QString &productType = QStringLiteral("7"),
    const QString &firmwareVersion = QStringLiteral("2.1.0"),
    const QString &deviceName = QStringLiteral("Quorvel Gate"))
{
    const QByteArray payload = Datagram::encodeDeviceInfo(productType, firmwareVersion, deviceName);
    return header(Datagram::DeviceInfoReply, srcMac, status, payload.size()) + payload;
}

inline QByteArray networkConfig(const QString &srcMac, quint32 status = 0,
    const QString &hostname = QStringLiteral("gate"),
    const QString &ipAddress = QStringLiteral("192.0.2.10"),
    const QString &dhcp = QStringLiteral("0"), qint32 protocolVersion = 4)
{
    const QByteArray payload = Datagram::encodeNetworkConfig(srcMac,
        { hostname, dhcp, ipAddress, QStringLiteral("255.255.255.0"), QString(),
            QStringLiteral("192.0.2.1"), QString(), QString() });
    return header(Datagram::NetworkConfigReply, srcMac, status, payload.size(), protocolVersion)
        + payload;
}

} // namespace DeviceReplies
