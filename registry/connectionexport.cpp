#include "connectionexport.h"

#include <QXmlStreamWriter>

namespace ConnectionExport {

QString NameRegistry::take(const QString &hostname)
{
    QString name = hostname;
    if (used.contains(name)) {
        // Past 998 the last candidate is used unchecked.
        int suffix = 2;
        while (suffix < 999 && used.contains(hostname + QString::number(suffix)))
            ++suffix;
        name = hostname + QString::number(suffix);
    }
    used.insert(name);
    return name;
}

int write(QIODevice *device, const QList<Device> &devices)
{
    QXmlStreamWriter xml(device);
    xml.setAutoFormatting(true);
    xml.writeStartDocument();
    xml.writeStartElement(QStringLiteral("export"));
    NameRegistry names;
    for (const Device &d : devices) {
        xml.writeStartElement(QStringLiteral("connection"));
        xml.writeAttribute(QStringLiteral("Host"),
                           d.ipConfig == QLatin1String("DHCP") ? d.hostname : d.ipAddress);
        xml.writeAttribute(QStringLiteral("ProductType"), d.productType);
        xml.writeAttribute(QStringLiteral("ServerType"), QStringLiteral("1"));
        xml.writeAttribute(QStringLiteral("Port"), QString());
        xml.writeAttribute(QStringLiteral("UploadSubfolder"), QString());
        xml.writeAttribute(QStringLiteral("User"), QString());
        xml.writeAttribute(QStringLiteral("Password"), QString());
        xml.writeCharacters(names.take(d.hostname));
        xml.writeEndElement();
    }
    xml.writeEndElement();
    xml.writeEndDocument();
    return devices.size();
}

} // namespace ConnectionExport
