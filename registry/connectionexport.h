#pragma once

#include <QList>
#include <QModelIndexList>
#include <QSet>
#include <QString>

class QIODevice;

// The XML connection file that Zet7 imports: root `export`, one `connection`
// per device.
namespace ConnectionExport {

struct Device {
    QString hostname;
    QString ipAddress;
    QString ipConfig;
    QString productType; // empty when the device never sent its device information
};

// Makes host names unique within one file: H, H2, H3 ... H999.
class NameRegistry final
{
public:
    QString take(const QString &hostname);

private:
    QSet<QString> used;
};

// The devices of the given rows of the device table that can be exported, in
// the given order: rows with a device name and an IP address, and not of a
// Quorvel device (which Zet7 does not connect to).
QList<Device> exportableDevices(const QModelIndexList &rows);

// Writes the whole document and returns the number of connections written.
int write(QIODevice *device, const QList<Device> &devices);

// Writes the file whole or not at all, so an existing file is replaced only by
// a complete new one. Returns why it could not, or an empty text.
QString save(const QString &fileName, const QList<Device> &devices);

} // namespace ConnectionExport
