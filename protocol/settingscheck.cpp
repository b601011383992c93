#include "settingscheck.h"

#include <QRegularExpression>

#include <algorithm>

namespace SettingsCheck {

QVector<AddressField> invalidAddresses(const Datagram::NetworkSettings &settings)
{
    if (settings.dhcp == QLatin1String("1"))
        return {};
    struct Rule
    {
        AddressField field;
        const QString &text;
        bool mayBeEmpty;
    };
    const Rule rules[] = { { IpAddressField, settings.ipAddress, false },
        { SubnetMaskField, settings.subnetMask, false }, { GatewayField, settings.gateway, true },
        { PrimaryDnsField, settings.primaryDns, true },
        { SecondaryDnsField, settings.secondaryDns, true } };
    QVector<AddressField> invalid;
    for (const Rule &rule : rules) {
        // A half-typed "192.168.1." would leave the device unreachable.
        if (!(rule.mayBeEmpty && rule.text.isEmpty())
            && Datagram::canonicalIpv4(rule.text).isNull())
            invalid << rule.field;
    }
    return invalid;
}

bool isHostname(const QString &text)
{
    static const QRegularExpression pattern(
        QRegularExpression::anchoredPattern(QString::fromLatin1(HostnamePattern)));
    return text.size() <= MaxHostnameLength && pattern.match(text).hasMatch();
}

Datagram::NetworkSettings withCanonicalAddresses(Datagram::NetworkSettings settings)
{
    for (QString *address : { &settings.ipAddress, &settings.subnetMask, &settings.gateway,
             &settings.primaryDns, &settings.secondaryDns }) {
        const QString canonical = Datagram::canonicalIpv4(*address);
        if (!canonical.isNull())
            *address = canonical;
    }
    return settings;
}

int unsendableCharacterAt(const QString &credentials)
{
    const auto foreign = std::find_if(
        credentials.cbegin(), credentials.cend(), [](QChar c) { return c.unicode() > 0xFF; });
    return foreign == credentials.cend() ? -1 : int(foreign - credentials.cbegin());
}

} // namespace SettingsCheck
