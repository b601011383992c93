#include "connectionexport.h"

#include "devicemodel.h"

#include <QSaveFile>
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

QList<Device> exportableDevices(const QModelIndexList &rows)
{
    QList<Device> devices;
    for (const QModelIndex &row : rows) {
        const QModelIndex ip = row.siblingAtColumn(DeviceModel::ColumnIpAddress);
        const QModelIndex name = row.siblingAtColumn(DeviceModel::ColumnDeviceName);
        if (!ip.data().isValid() || !name.data().isValid()
            || name.data().toString().startsWith(QLatin1String("Quorvel")))
            continue;
        const QVariant productType
            = row.siblingAtColumn(DeviceModel::ColumnMacAddress).data(DeviceModel::ProductTypeRole);
        devices.append({ row.siblingAtColumn(DeviceModel::ColumnHostname).data().toString(),
            ip.data().toString(), row.siblingAtColumn(DeviceModel::ColumnIpConfig).data().toString(),
            productType.isValid() ? productType.toString() : QString() });
    }
    return devices;
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

QString save(const QString &fileName, const QList<Device> &devices)
{
    QSaveFile file(fileName);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Text))
        return file.errorString();
    write(&file, devices);
    // Qt 5.15's commit() overlooks a failure of its own last flush, the one
    // that meets a full disk with a short file.
    if (!file.flush() || !file.commit())
        return file.errorString();
    return QString();
}

} // namespace ConnectionExport
