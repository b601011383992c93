#pragma once

#include "datagram.h"

#include <QHash>
#include <QObject>
#include <QString>
#include <QStringList>
#include <QVector>

class QSocketNotifier;
class QUdpSocket;

// One simulated device: what it reports and how it misbehaves.
struct SimDevice
{
    QString mac;
    QString name;
    QString firmware;
    QString productType;
    int protocolVersion = 4;
    Datagram::NetworkSettings settings;
    QString user;
    QString password;
    int replyDelayMs = 0;
    bool noDeviceInfoReply = false;
    bool noNetworkConfigReply = false;
    quint32 deviceInfoStatus = Datagram::StatusOk;
    quint32 networkConfigStatus = Datagram::StatusOk;
    quint32 setConfigStatus = Datagram::StatusOk;

    bool hasPending = false;
    Datagram::NetworkSettings pending;
};

// Devices from a JSON document; false with a reason in *error.
bool parseDevices(const QByteArray &json, QVector<SimDevice> *devices, QString *error);
// `count` devices with distinct MACs, names and addresses.
QVector<SimDevice> generateDevices(int count, int protocolVersion, int replyDelayMs);

// Plays the devices on UDP port 28244: answers the finder's requests by
// broadcast, as the devices do.
class Simulator : public QObject
{
    Q_OBJECT

public:
    explicit Simulator(QVector<SimDevice> devices, QObject *parent = nullptr);

    bool bind(QString *error);
    void setVerbose(bool on) { verbose = on; }
    // Foreign datagrams sent along with the answers to each request.
    void setJunkPerRequest(int count) { junkPerRequest = count; }
    // Forged replies of `bytes` each, from ever new MACs, sent to the
    // sender of each request, spread evenly over `spreadMs` (0: at once).
    void setFloodPerRequest(int count, int bytes, int spreadMs = 0)
    {
        floodPerRequest = count;
        floodBytes = bytes;
        floodSpreadMs = spreadMs;
    }
    // Each reply of a device is lost with this probability, as on a lossy switch.
    void setLoss(double share) { loss = share; }
    void enableControl();

private:
    void readRequests();
    void handleRequest(const QByteArray &request);
    // What became of a set or restart request, for the verbose log; null for
    // the other requests.
    const char *answer(SimDevice &device, const QByteArray &request);
    void sendReply(const SimDevice &device, const QByteArray &request, int messageId,
        quint32 status, const QByteArray &payload);
    void sendLater(int delayMs, const QByteArray &datagram);
    void sendJunk(int count);
    // Hostile datagrams for the finder's tests; false for an unknown kind.
    bool forge(const QStringList &what);
    void sendFlood(const QString &destMac);
    void sendForged(const QString &destMac, int count);
    void broadcast(const QByteArray &datagram);
    void readControl();
    void runCommand(const QString &line);

    QVector<SimDevice> devices;
    QHash<QString, int> indexByMac;
    QUdpSocket *socket;
    QSocketNotifier *controlNotifier = nullptr;
    QByteArray controlBuffer;
    bool verbose = false;
    int junkPerRequest = 0;
    quint32 junkCounter = 0;
    int floodPerRequest = 0;
    int floodBytes = 0;
    int floodSpreadMs = 0;
    double loss = 0;
    quint32 floodCounter = 0;
};
