#pragma once

#include <QByteArray>
#include <QString>

// The wire format shared by the finder and the devices: a fixed 124-byte
// header, then the payload of the message kind. Texts are fixed-width,
// NUL-terminated UTF-8; integers are little-endian. Every reader here is
// bounds-checked: a field beyond the datagram's end reads as empty text or 0.
namespace Datagram {

inline constexpr char PacketIdentificationKey[] = "5e3c9a71-0d42-4b8f-a6e2-7c19d04b8f35";
inline constexpr char BroadcastMac[] = "FF:FF:FF:FF:FF:FF";

enum MessageId {
    RestartNetwork = 1,
    GetNetworkConfig = 7,
    NetworkConfigReply = 8,
    SetNetworkConfig = 9,
    SetNetworkConfigReply = 10,
    GetDeviceInfo = 11,
    DeviceInfoReply = 12,
    SetNetworkConfigAuth = 13,
    SetNetworkConfigAuthReply = 14,
};

inline constexpr quint32 StatusOk = 0;
inline constexpr quint32 StatusAuthorizationFailed = 0x80000003u;

inline constexpr int RequestProtocolVersion = 4;

struct Field {
    int offset;
    int width;
};

// MessageHeader, offsets from the start of the datagram.
namespace Header {
inline constexpr int Size = 124;
inline constexpr Field Key{0, 37};
inline constexpr int MessageId = 40;
inline constexpr int Status = 44;
inline constexpr int PayloadLength = 48;
inline constexpr int ProtocolVersion = 52;
inline constexpr Field DestMac{56, 18};
inline constexpr Field SrcMac{74, 18};
inline constexpr Field SrcIp{92, 16};
inline constexpr int SequenceNumber = 108;
} // namespace Header

// NetworkConfig payload, offsets within the payload.
namespace NetworkConfig {
inline constexpr int Size = 205;
inline constexpr Field MacAddress{0, 18};
inline constexpr Field Hostname{18, 25};
inline constexpr Field Dhcp{43, 2};
inline constexpr Field IpAddress{45, 16};
inline constexpr Field SubnetMask{61, 16};
inline constexpr Field Domain{77, 80};
inline constexpr Field Gateway{157, 16};
inline constexpr Field PrimaryDns{173, 16};
inline constexpr Field SecondaryDns{189, 16};
} // namespace NetworkConfig

// NetworkConfigAuth payload: the configuration without the MAC, then credentials.
namespace NetworkConfigAuth {
inline constexpr int Size = 315;
inline constexpr int ConfigShift = -18; // relative to the NetworkConfig offsets
inline constexpr Field Credentials{187, 128};
} // namespace NetworkConfigAuth

// DeviceInfo payload, offsets within the payload.
namespace DeviceInfo {
inline constexpr Field ProductType{0, 4};
inline constexpr Field FirmwareVersion{4, 20};
// Runs to its NUL; cut where no real name reaches, so a reply's memory is bounded.
inline constexpr Field DeviceName{24, 256};
} // namespace DeviceInfo

// Texts are cut to width - 1 bytes so a NUL always follows; the buffer must be zero-filled.
void writeText(QByteArray &buffer, int offset, int width, const QString &text);
inline void writeText(QByteArray &buffer, Field field, const QString &text)
{
    writeText(buffer, field.offset, field.width, text);
}
void writeInt32(QByteArray &buffer, int offset, qint32 value);
void writeUInt16(QByteArray &buffer, int offset, quint16 value);

// Reads up to the first NUL, the field's end or the datagram's end; empty beyond it.
QString readText(const QByteArray &datagram, Field field);
// True when the field lies inside the datagram and holds a NUL within its width.
bool hasTerminatedText(const QByteArray &datagram, Field field);
qint32 readInt32(const QByteArray &datagram, int offset);
quint32 readUInt32(const QByteArray &datagram, int offset);
quint16 readUInt16(const QByteArray &datagram, int offset);
quint8 readUInt8(const QByteArray &datagram, int offset);

inline int messageId(const QByteArray &d) { return readInt32(d, Header::MessageId); }
inline quint32 status(const QByteArray &d) { return readUInt32(d, Header::Status); }
inline quint8 protocolVersion(const QByteArray &d) { return readUInt8(d, Header::ProtocolVersion); }
inline QString srcMacAddr(const QByteArray &d) { return readText(d, Header::SrcMac); }
inline QString destMacAddr(const QByteArray &d) { return readText(d, Header::DestMac); }

// One device's own MAC text: six two-digit hex groups joined by colons (either
// letter case, as devices may write it), and not the broadcast MAC.
bool isDeviceMac(const QString &text);
// The text of four decimal octets 0-255 without leading zeros, which elsewhere
// may mean octal; a null string when `text` is no dotted IPv4 address.
QString canonicalIpv4(const QString &text);

struct HeaderFields {
    int messageId = 0;
    quint32 status = 0;
    int payloadLength = 0;
    qint32 protocolVersion = RequestProtocolVersion;
    QString destMacAddr;
    QString srcMacAddr;
    QString srcIpAddr;
    quint16 sequenceNumber = 0;
};
QByteArray makeHeader(const HeaderFields &fields);

// The configuration texts of a NetworkConfig or NetworkConfigAuth payload.
struct NetworkSettings {
    QString hostname;
    QString dhcp;
    QString ipAddress;
    QString subnetMask;
    QString domain;
    QString gateway;
    QString primaryDns;
    QString secondaryDns;
};

QByteArray encodeNetworkConfig(const QString &macAddress, const NetworkSettings &settings);
QByteArray encodeNetworkConfigAuth(const NetworkSettings &settings, const QString &user,
                                   const QString &password);
// Base64 of the Latin-1 "user:password", whole (the payload keeps 127 characters of it).
QByteArray credentials(const QString &user, const QString &password);

// Reads the configuration of a whole NetworkConfigReply / SetNetworkConfig datagram.
NetworkSettings decodeNetworkConfig(const QByteArray &datagram);
QString networkConfigMac(const QByteArray &datagram);
// Reads the configuration of a whole SetNetworkConfigAuth datagram.
NetworkSettings decodeNetworkConfigAuth(const QByteArray &datagram);
QString decodeCredentials(const QByteArray &datagram);

QByteArray encodeDeviceInfo(const QString &productType, const QString &firmwareVersion,
                            const QString &deviceName);

} // namespace Datagram
