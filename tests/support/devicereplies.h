#pragma once

#include <QByteArray>
#include <QString>

// Reply datagrams as devices send them, built with the wire-format helpers.
namespace DeviceReplies {

QByteArray header(int messageId, const QString &srcMac, quint32 status = 0, int payloadLength = 0,
    qint32 protocolVersion = 4);

QByteArray deviceInfo(const QString &srcMac, quint32 status = 0,
    const QString &productType = QStringLiteral("7"),
    const QString &firmwareVersion = QStringLiteral("2.1.0"),
    const QString &deviceName = QStringLiteral("Quorvel Gate"));

QByteArray networkConfig(const QString &srcMac, quint32 status = 0,
    const QString &hostname = QStringLiteral("gate"),
    const QString &ipAddress = QStringLiteral("192.0.2.10"),
    const QString &dhcp = QStringLiteral("0"), qint32 protocolVersion = 4);

// SetNetworkConfigReply (10), SetNetworkConfigAuthReply (14) or any header-only reply.
QByteArray bare(int messageId, const QString &srcMac, quint32 status = 0);

} // namespace DeviceReplies
