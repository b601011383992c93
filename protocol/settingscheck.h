#pragma once

#include "datagram.h"

#include <QString>
#include <QVector>

// What a device must not be told: the rules the settings dialog, the login
// dialog and the command line apply before a set request leaves.
namespace SettingsCheck {

enum AddressField {
    IpAddressField,
    SubnetMaskField,
    GatewayField,
    PrimaryDnsField,
    SecondaryDnsField
};

// The host-name and address patterns of the dialog's validators.
inline constexpr char HostnamePattern[] = "[a-zA-Z][a-zA-Z0-9-]*[a-zA-Z0-9]";
inline constexpr char Ipv4Pattern[]
    = "((1{0,1}[0-9]{0,2}|2[0-4]{1,1}[0-9]{1,1}|25[0-5]{1,1})\\.){3,3}"
      "(1{0,1}[0-9]{0,2}|2[0-4]{1,1}[0-9]{1,1}|25[0-5]{1,1})";
inline constexpr int MaxHostnameLength = 24;

// The device takes the Base64 form of the Latin-1 "user:password" in 127
// characters: 93 bytes make 124 of them, 94 already 128.
inline constexpr int MaxCredentialsLength = 93;

// Everything but DHCP ("1") goes out as a static configuration, which needs
// complete addresses: IP address and mask always, the others when filled in.
// The fields that break this, in the order above.
QVector<AddressField> invalidAddresses(const Datagram::NetworkSettings &settings);

// Whether a device may be given this host name: the pattern matched by the
// whole text (a letter first, a letter or digit last, two characters at
// least) in at most MaxHostnameLength characters.
bool isHostname(const QString &text);

// The settings with every address that is a complete one in the form that
// was checked: no leading zeros, which a device may read as octal.
Datagram::NetworkSettings withCanonicalAddresses(Datagram::NetworkSettings settings);

// The position of the first character of "user:password" that the device
// cannot receive (outside Latin-1 it would arrive as "?"), or -1.
int unsendableCharacterAt(const QString &credentials);

} // namespace SettingsCheck
