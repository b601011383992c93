#pragma once

#include <QByteArray>
#include <QHostAddress>
#include <QList>
#include <QMutex>
#include <QObject>
#include <QPointer>
#include <QQueue>
#include <QString>
#include <QStringList>

#include <functional>

class QMessageBox;
class QThread;
class QUdpSocket;

// The program's only network endpoint: picks the local interface, broadcasts
// every request to the devices and hands each reply meant for this host on
// through replyReceived(). Once bound, the receiving socket lives in a reader
// thread of its own that only moves datagrams into a queue, so that no burst
// overflows the socket while the window is busy; the queue is emptied on the
// transceiver's thread, in arrival order.
class PacketTransceiver : public QObject
{
    Q_OBJECT

public:
    // What the interface enumeration needs to know about one network interface.
    struct InterfaceDescription
    {
        bool up = false;
        bool running = false;
        bool loopback = false;
        QString hardwareAddress;
        QString humanReadableName;
        QList<QHostAddress> addresses;
        int index = 0; // the system's, 0 for unknown
    };

    // What happens to a received datagram.
    enum class Acceptance {
        Deliver, // ours and addressed to this host
        Drop, // unreadable, meant for someone else or from no device; no word about it
        ForeignKey, // another program's datagram on our port
    };

    static constexpr quint16 ReceivePort = 28244;
    static constexpr quint16 SendPort = 28245;

    explicit PacketTransceiver(QObject *parent = nullptr);
    // Takes the interface entries ("MAC|IP|name") as given instead of asking the system.
    explicit PacketTransceiver(const QStringList &interfaceEntries, QObject *parent = nullptr);
    ~PacketTransceiver() override;

    bool bindSocket();
    // A scan starts with this request; from then on a stray datagram may be
    // reported again.
    void getDeviceInfo(QString destMacAddr);
    void sendRequest(int messageId, QString destMacAddr, QByteArray payload);
    void selectInterface(QString name);
    // Makes that exact entry ("MAC|IP|name") the one in use, where two
    // addresses of one interface share its name. False when it is not listed.
    bool selectInterfaceEntry(const QString &entry);
    // Reads the system's interfaces again: the one in use stays in use while
    // it is there, new links are added. A scan starts with this; from then on
    // a missing interface is warned about once again.
    void refreshInterfaces();
    QStringList interfaces() const;
    QString localMacAddress() const;
    QString localIpAddress() const;

    // The scan's pause between its two broadcasts: blocks the calling thread
    // for msec without processing events, but reads the replies that come
    // meanwhile, beside the reader thread, into the queue handed on later.
    void pause(int msec);
    // Hands on at once every reply read so far (within a quarter second, so
    // that a flood cannot hold the window), without waiting for the event
    // loop's turn: the check after a scan judges what arrived in time.
    void deliverQueued();
    // Datagrams lost so far because a buffer was full: the system's receive
    // buffer (where the system tells) or the bound of the queue. Wraps around.
    quint32 droppedCount();

    static QList<InterfaceDescription> systemInterfaces();
    // Entries "MAC|IP|name" for every IPv4 address of every interface that is
    // up or running and not loopback: those beginning with "192.168." first,
    // then the others, link-local ones last, each in the given order.
    static QStringList interfaceEntries(const QList<InterfaceDescription> &descriptions);
    // The list with the first entry named `name` moved to the front; unchanged
    // when no entry has that name.
    static QStringList withInterfaceFirst(QStringList entries, const QString &name);
    // The parts of an entry "MAC|IP|name".
    enum EntryPart { EntryMac, EntryAddress, EntryName };
    static QString entryPart(const QString &entry, EntryPart part);
    // Fresh entries with the one in use first: the same entry while it is
    // there, else the first address of the same interface.
    static QStringList keepingInUse(QStringList fresh, const QString &inUse);
    static Acceptance acceptance(const QByteArray &datagram, const QString &localMacAddress);

    // Programs without widgets tell of a stray datagram ("read error", "not
    // our packetIdentificationKey") through this instead of a message box.
    void setStrayReporter(std::function<void(const QString &text)> reporter);

    // While a hook is set, outgoing datagrams go to it instead of the network.
    void setSendHookForTesting(std::function<void(const QByteArray &datagram)> hook);
    void setSequenceCounterForTesting(quint16 value);
    // Where the transceiver reads the interfaces from instead of the system.
    void setInterfaceSourceForTesting(std::function<QList<InterfaceDescription>()> source);
    // Gives the receiving socket, when it is bound, no more buffer than an
    // ordinary user's system allows (net.core.rmem_max) whatever root may force.
    void setReceiveBufferLimitForTesting(int bytes);

signals:
    void replyReceived(QByteArray datagram);
    void requestSent(int messageId, QString macAddress);
    void warningMessage(QString title, QString msg);
    // The entries or the one in use changed.
    void interfacesChanged();

public slots:
    void getNetworkConfig(QString destMacAddr = QStringLiteral("FF:FF:FF:FF:FF:FF"));
    void restartNetwork(QString destMacAddr);

private slots:
    void processPendingDatagrams();

private:
    // False, with nothing taken, when the queue is empty.
    bool takeQueued(QByteArray *datagram);
    void deliver(const QByteArray &datagram);
    QByteArray createMessageHeader(int messageId, QString destMacAddr, int payloadLength);
    void send(int messageId, const QString &destMacAddr, const QByteArray &payload);
    void bindSendSocket();
    void setInterfaceList(const QStringList &entries);
    // Follows the interfaces as they are now; returns the system's index of
    // the one in use, 0 for none.
    uint followInterfaces();
    void enlargeReceiveBuffer();
    void drainSocket();
    // With queueMutex held, from either thread.
    void readWaitingDatagrams();
    void queueDatagram(const QByteArray &datagram);
    void dispatch(const QByteArray &datagram);
    void showStrayDatagramBox(const QString &text);

    QUdpSocket *sendSocket;
    QUdpSocket *receiveSocket;
    bool socketBound;
    quint16 sequenceCounter;
    QStringList interfaceList;
    // Empty for a transceiver given its entries: they never change by themselves.
    std::function<QList<InterfaceDescription>()> interfaceSource;
    bool interfaceWarned = false;

    int receiveBufferLimit = 0;

    QThread *readerThread;
    qintptr receiveDescriptor = -1;
    QByteArray readBuffer; // guarded by queueMutex
    QMutex queueMutex;
    // Guarded by queueMutex: datagrams read but not yet handed on (a null one
    // stands for a failed read), their cost, bounded so that a flood is dropped
    // instead of filling memory, and whether a delivery is on its way.
    QQueue<QByteArray> queuedReplies;
    qint64 queuedBytes = 0;
    bool deliveryPosted = false;
    quint32 queueDrops = 0;

    // One box for stray datagrams per scan: more arriving while it is open, or
    // after the user closed it, are dropped, so they cannot keep a box in front.
    QPointer<QMessageBox> strayBox;
    std::function<void(const QString &text)> strayReporter;
    bool strayReported = false;
    std::function<void(const QByteArray &datagram)> sendHook;
};
