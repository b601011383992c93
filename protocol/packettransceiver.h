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
    // Entries "MAC|IP|name" for every address beginning with "192.168." of every
    // interface that is up or running and not loopback, in the given order.
    static QStringList interfaceEntries(const QList<InterfaceDescription> &descriptions);
    // The list with the first entry named `name` moved to the front; unchanged
    // when no entry has that name.
    static QStringList withInterfaceFirst(QStringList entries, const QString &name);
    static Acceptance acceptance(const QByteArray &datagram, const QString &localMacAddress);

    // Programs without widgets tell of a stray datagram ("read error", "not
    // our packetIdentificationKey") through this instead of a message box.
    void setStrayReporter(std::function<void(const QString &text)> reporter);

    // While a hook is set, outgoing datagrams go to it instead of the network.
    void setSendHookForTesting(std::function<void(const QByteArray &datagram)> hook);
    void setSequenceCounterForTesting(quint16 value);
    // Gives the receiving socket, when it is bound, no more buffer than an
    // ordinary user's system allows (net.core.rmem_max) whatever root may force.
    void setReceiveBufferLimitForTesting(int bytes);

signals:
    void replyReceived(QByteArray datagram);
    void requestSent(int messageId, QString macAddress);
    void warningMessage(QString title, QString msg);

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
