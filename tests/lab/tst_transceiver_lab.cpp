#include "datagram.h"
#include "packettransceiver.h"
#include "platform.h"
#include "simulatorprocess.h"
#include "testsupport.h"
#include "wirebytes.h"

#include <QMessageBox>
#include <QTemporaryFile>
#include <QUdpSocket>
#include <QtTest>

#include <functional>

using TestSupport::SimulatorProcess;

namespace {

const QString Broadcast = QStringLiteral("FF:FF:FF:FF:FF:FF");
const QString LocalMac = QStringLiteral("02:1A:2B:3C:4D:5E");
const QString LabEntry = QStringLiteral("02:1A:2B:3C:4D:5E|192.168.77.1|lab0");
const QString DeviceV3 = QStringLiteral("02:00:00:00:00:03");
const QString DeviceV4 = QStringLiteral("02:00:00:00:00:04");

using WireBytes::hex;
using WireBytes::text;
using WireBytes::zeros;

QByteArray requestHeader(const char *messageIdAndLength, const char *destMac, const char *sequence)
{
    return text("5e3c9a71-0d42-4b8f-a6e2-7c19d04b8f35", 37) + zeros(3)
        + hex(messageIdAndLength) // messageId, status, payloadLength
        + hex("04 00 00 00") // protocolVersion
        + text(destMac, 18) + text("02:1A:2B:3C:4D:5E", 18) + text("192.168.77.1", 16)
        + hex(sequence) + zeros(14);
}

bool isRequest(const QByteArray &d)
{
    const int id = Datagram::messageId(d);
    return d.size() >= Datagram::Header::Size
        && (id == Datagram::RestartNetwork || id == Datagram::GetNetworkConfig
            || id == Datagram::SetNetworkConfig || id == Datagram::GetDeviceInfo
            || id == Datagram::SetNetworkConfigAuth);
}

bool isReply(const QByteArray &d)
{
    return d.size() >= Datagram::Header::Size && !isRequest(d)
        && Datagram::readText(d, 0) == QLatin1String(Datagram::PacketIdentificationKey);
}

// Listens on the finder side next to the transceiver: the finder's own
// broadcasts come back to it, and so do the devices' replies.
class Listener
{
public:
    bool bind()
    {
        return socket.bind(
            QHostAddress::AnyIPv4, PacketTransceiver::ReceivePort, QUdpSocket::ShareAddress);
    }

    struct Received
    {
        QByteArray datagram;
        quint16 senderPort;
    };

    QList<Received> collect(
        int count, const std::function<bool(const QByteArray &)> &keep, int timeoutMs = 10000)
    {
        QList<Received> got;
        QDeadlineTimer deadline(timeoutMs);
        while (got.size() < count && !deadline.hasExpired()) {
            if (!socket.hasPendingDatagrams()) {
                QTest::qWait(2);
                continue;
            }
            QByteArray d(int(socket.pendingDatagramSize()), '\0');
            quint16 port = 0;
            d.truncate(int(socket.readDatagram(d.data(), d.size(), nullptr, &port)));
            if (keep(d))
                got.append({ d, port });
        }
        return got;
    }

    QList<QByteArray> requests(int count)
    {
        QList<QByteArray> out;
        for (const Received &r : collect(count, isRequest))
            out.append(r.datagram);
        return out;
    }

    QUdpSocket socket;
};

int firstDifference(const QByteArray &a, const QByteArray &b)
{
    const int n = qMin(a.size(), b.size());
    for (int i = 0; i < n; ++i) {
        if (a.at(i) != b.at(i))
            return i;
    }
    return a.size() == b.size() ? -1 : n;
}

QList<QMessageBox *> strayBoxes()
{
    QList<QMessageBox *> boxes;
    const QWidgetList all = QApplication::topLevelWidgets();
    for (QWidget *w : all) {
        auto *box = qobject_cast<QMessageBox *>(w);
        if (box && box->isVisible() && box->windowTitle() == QLatin1String("!"))
            boxes.append(box);
    }
    return boxes;
}

QString writeConfig(QTemporaryFile &file, const QByteArray &json)
{
    if (!file.open())
        return QString();
    file.write(json);
    file.close();
    return file.fileName();
}

const QByteArray TwoDevices = R"([
  {"mac": "02:00:00:00:00:03", "name": "Old one", "firmware": "2.1", "productType": "110",
   "protocolVersion": 3, "hostname": "old-one", "dhcp": "1", "ipAddress": "192.168.77.30",
   "subnetMask": "255.255.255.0", "domain": "lab.example", "gateway": "192.168.77.254",
   "primaryDns": "192.168.77.253", "secondaryDns": ""},
  {"mac": "02:00:00:00:00:04", "name": "New one with a longer device name", "firmware": "4.0.2",
   "productType": "312", "protocolVersion": 4, "hostname": "new-one", "dhcp": "0",
   "ipAddress": "192.168.77.40", "subnetMask": "255.255.255.0", "domain": "lab.example",
   "gateway": "192.168.77.254", "primaryDns": "192.168.77.253", "secondaryDns": "192.168.77.252",
   "user": "admin", "password": "admin"}
])";

// The scan's two broadcasts, with the window's pause between them (none for 0).
void broadcastScan(PacketTransceiver &transceiver, int pauseMs)
{
    transceiver.getDeviceInfo(Broadcast);
    if (pauseMs > 0)
        transceiver.pauseAndQueueReplies(pauseMs);
    transceiver.getNetworkConfig(Broadcast);
}

} // namespace

class tst_TransceiverLab : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();

    // ---- interfaces and sockets
    void construction_findsTheLabInterface();
    void bindSocket_failsWhilePortHeldAndSucceedsOnceFree();
    void olderWindows_sendsFromPort28245();
    void selectInterface_movesEntryFirstAndSendsFromIt();

    // ---- requests on the wire
    void requests_numberedFromOneAcrossKindsAndWrap();
    void setNetworkConfig_bytesOnTheWire();
    void setNetworkConfigAuth_credentialsOnTheWire_data();
    void setNetworkConfigAuth_credentialsOnTheWire();

    // ---- replies
    void scan_repliesDeliveredWholeAndOwnBroadcastsDropped();
    void replyForAnotherHost_dropped();
    void pause_queuesRepliesAndDeliversThemInOrderAfterwards();
    void burst_thousandDevicesAllDelivered_data();
    void burst_thousandDevicesAllDelivered();
    void foreignFlood_opensOneBoxAndKeepsDelivering();

    // ---- the simulator other lab tests rely on
    void simulator_checksCredentialsAndAppliesOnRestart();
};

void tst_TransceiverLab::init()
{
    QDF_REQUIRE_LAB();
}

void tst_TransceiverLab::cleanup()
{
    forceOlderWindowsForTesting(std::nullopt);
    for (QMessageBox *box : strayBoxes())
        box->close();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
}

void tst_TransceiverLab::construction_findsTheLabInterface()
{
    PacketTransceiver transceiver;
    const QStringList entries = transceiver.interfaces();
    QCOMPARE(entries.size(), 1);
    const QStringList parts = entries.first().split(QLatin1Char('|'));
    QCOMPARE(parts.size(), 3);
    QVERIFY2(QRegularExpression(QStringLiteral("^([0-9A-F]{2}:){5}[0-9A-F]{2}$"))
                 .match(parts.at(0))
                 .hasMatch(),
        qPrintable(parts.at(0)));
    QCOMPARE(parts.at(1), QStringLiteral("192.168.77.1"));
    QVERIFY(parts.at(2).startsWith(QLatin1String("qdf")));
    QCOMPARE(transceiver.localMacAddress(), parts.at(0));
    QCOMPARE(transceiver.localIpAddress(), parts.at(1));
}

void tst_TransceiverLab::bindSocket_failsWhilePortHeldAndSucceedsOnceFree()
{
    QUdpSocket holder;
    QVERIFY(holder.bind(
        QHostAddress::AnyIPv4, PacketTransceiver::ReceivePort, QUdpSocket::DontShareAddress));
    PacketTransceiver transceiver(QStringList { LabEntry });
    QVERIFY(!transceiver.bindSocket());
    QVERIFY(!transceiver.bindSocket());
    holder.close();
    QVERIFY(transceiver.bindSocket());
    QVERIFY(transceiver.bindSocket());
}

void tst_TransceiverLab::olderWindows_sendsFromPort28245()
{
    Listener listener;
    QVERIFY(listener.bind());
    {
        forceOlderWindowsForTesting(true);
        PacketTransceiver transceiver(QStringList { LabEntry });
        QVERIFY(transceiver.bindSocket());
        transceiver.getDeviceInfo(Broadcast);
        const auto got = listener.collect(1, isRequest);
        QCOMPARE(got.size(), 1);
        QCOMPARE(got.first().senderPort, PacketTransceiver::SendPort);
    }
    {
        forceOlderWindowsForTesting(false);
        PacketTransceiver transceiver(QStringList { LabEntry });
        QVERIFY(transceiver.bindSocket());
        transceiver.getDeviceInfo(Broadcast);
        const auto got = listener.collect(1, isRequest);
        QCOMPARE(got.size(), 1);
        QVERIFY(got.first().senderPort != PacketTransceiver::SendPort);
    }
}

void tst_TransceiverLab::selectInterface_movesEntryFirstAndSendsFromIt()
{
    Listener listener;
    QVERIFY(listener.bind());
    const QStringList entries { QStringLiteral("02:00:00:00:AA:01|192.168.77.1|first"),
        QStringLiteral("02:00:00:00:AA:02|192.168.77.1|second"),
        QStringLiteral("02:00:00:00:AA:03|192.168.77.1|second") };
    PacketTransceiver transceiver(entries);

    transceiver.selectInterface(QStringLiteral("third"));
    QCOMPARE(transceiver.interfaces(), entries);

    transceiver.selectInterface(QStringLiteral("second"));
    QCOMPARE(
        transceiver.interfaces(), (QStringList { entries.at(1), entries.at(0), entries.at(2) }));
    transceiver.getNetworkConfig();
    const auto got = listener.collect(1, isRequest);
    QCOMPARE(got.size(), 1);
    QCOMPARE(Datagram::srcMacAddr(got.first().datagram), QStringLiteral("02:00:00:00:AA:02"));
    QCOMPARE(got.first().senderPort, PacketTransceiver::SendPort);
}

void tst_TransceiverLab::requests_numberedFromOneAcrossKindsAndWrap()
{
    Listener listener;
    QVERIFY(listener.bind());
    PacketTransceiver transceiver(QStringList { LabEntry });
    QVERIFY(transceiver.bindSocket());
    QSignalSpy replies(&transceiver, &PacketTransceiver::replyReceived);

    transceiver.getDeviceInfo(Broadcast);
    transceiver.getNetworkConfig();
    transceiver.restartNetwork(DeviceV3);
    transceiver.sendRequest(
        Datagram::SetNetworkConfig, DeviceV3, QByteArray(Datagram::NetworkConfig::Size, '\0'));
    transceiver.setSequenceCounterForTesting(65534);
    transceiver.getNetworkConfig(DeviceV4);
    transceiver.getNetworkConfig(DeviceV4);

    const QList<QByteArray> sent = listener.requests(6);
    QCOMPARE(sent.size(), 6);
    QList<int> ids;
    QList<quint16> numbers;
    for (const QByteArray &d : sent) {
        ids.append(Datagram::messageId(d));
        numbers.append(Datagram::readUInt16(d, Datagram::Header::SequenceNumber));
    }
    QCOMPARE(ids, (QList<int> { 11, 7, 1, 9, 7, 7 }));
    QCOMPARE(numbers, (QList<quint16> { 1, 2, 3, 4, 65535, 0 }));
    QCOMPARE(Datagram::destMacAddr(sent.at(1)), Broadcast);
    QCOMPARE(sent.at(3).size(), 329);

    // The same broadcasts reached the transceiver's own socket and were dropped.
    QTest::qWait(200);
    QCOMPARE(replies.size(), 0);
}

void tst_TransceiverLab::setNetworkConfig_bytesOnTheWire()
{
    Listener listener;
    QVERIFY(listener.bind());
    PacketTransceiver transceiver(QStringList { LabEntry });

    Datagram::NetworkSettings s;
    s.hostname = QStringLiteral("abcdefghijklmnopqrstuvwxyz0123");
    s.dhcp = QStringLiteral("0");
    s.ipAddress = QStringLiteral("192.168.77.20");
    s.subnetMask = QStringLiteral("255.255.255.0");
    s.domain = QStringLiteral("lab.example");
    s.gateway = QStringLiteral("192.168.77.254");
    s.primaryDns = QStringLiteral("192.168.77.253");
    transceiver.sendRequest(
        Datagram::SetNetworkConfig, DeviceV3, Datagram::encodeNetworkConfig(DeviceV3, s));

    const QByteArray expected
        = requestHeader("09 00 00 00  00 00 00 00  cd 00 00 00", "02:00:00:00:00:03", "01 00")
        + text("02:00:00:00:00:03", 18) + text("abcdefghijklmnopqrstuvwx", 25) + text("0", 2)
        + text("192.168.77.20", 16) + text("255.255.255.0", 16) + text("lab.example", 80)
        + text("192.168.77.254", 16) + text("192.168.77.253", 16) + zeros(16);
    QCOMPARE(expected.size(), 329);
    const QList<QByteArray> sent = listener.requests(1);
    QCOMPARE(sent.size(), 1);
    QCOMPARE(sent.first(), expected);
}

void tst_TransceiverLab::setNetworkConfigAuth_credentialsOnTheWire_data()
{
    QTest::addColumn<QString>("password");
    QTest::addColumn<QByteArray>("credentials");

    // "admin:" and the password: 93 characters give 124 Base64 characters,
    // 95 give 128, of which the field keeps 127.
    QTest::newRow("93 characters, whole")
        << QStringLiteral("012345678901234567890123456789012345678901234567890123456789012345678901"
                          "23456789abcdefg")
        << QByteArray(
               "YWRtaW46MDEyMzQ1Njc4OTAxMjM0NTY3ODkwMTIzNDU2Nzg5MDEyMzQ1Njc4OTAxMjM0NTY3ODkwMTIz"
               "NDU2Nzg5MDEyMzQ1Njc4OTAxMjM0NTY3ODlhYmNkZWZn");
    QTest::newRow("95 characters, cut to 127")
        << QStringLiteral("012345678901234567890123456789012345678901234567890123456789012345678901"
                          "23456789abcdefghi")
        << QByteArray(
               "YWRtaW46MDEyMzQ1Njc4OTAxMjM0NTY3ODkwMTIzNDU2Nzg5MDEyMzQ1Njc4OTAxMjM0NTY3ODkwMTIz"
               "NDU2Nzg5MDEyMzQ1Njc4OTAxMjM0NTY3ODlhYmNkZWZnaGk");
}

void tst_TransceiverLab::setNetworkConfigAuth_credentialsOnTheWire()
{
    QFETCH(QString, password);
    QFETCH(QByteArray, credentials);

    Listener listener;
    QVERIFY(listener.bind());
    PacketTransceiver transceiver(QStringList { LabEntry });
    Datagram::NetworkSettings s;
    s.hostname = QStringLiteral("new-one");
    s.dhcp = QStringLiteral("1");
    transceiver.sendRequest(Datagram::SetNetworkConfigAuth, DeviceV4,
        Datagram::encodeNetworkConfigAuth(s, QStringLiteral("admin"), password));

    const QByteArray expected
        = requestHeader("0d 00 00 00  00 00 00 00  3b 01 00 00", "02:00:00:00:00:04", "01 00")
        + text("new-one", 25) + text("1", 2) + zeros(16 + 16 + 80 + 16 + 16 + 16)
        + text(credentials, 128);
    QCOMPARE(expected.size(), 439);
    const QList<QByteArray> sent = listener.requests(1);
    QCOMPARE(sent.size(), 1);
    // Compared by position only: credentials stay out of the test log.
    const int at = firstDifference(sent.first(), expected);
    QVERIFY2(at < 0, qPrintable(QStringLiteral("first difference at byte %1").arg(at)));
}

void tst_TransceiverLab::scan_repliesDeliveredWholeAndOwnBroadcastsDropped()
{
    QTemporaryFile config;
    SimulatorProcess sim({ QStringLiteral("--config"), writeConfig(config, TwoDevices) });
    QVERIFY2(sim.start(), qPrintable(sim.errorText()));

    PacketTransceiver transceiver;
    QVERIFY(transceiver.bindSocket());
    QSignalSpy replies(&transceiver, &PacketTransceiver::replyReceived);
    broadcastScan(transceiver, 100);
    QTRY_COMPARE_WITH_TIMEOUT(replies.size(), 4, 10000);
    QTest::qWait(200);
    QCOMPARE(replies.size(), 4);

    QHash<QString, QByteArray> infos;
    QHash<QString, QByteArray> configs;
    for (const QList<QVariant> &args : qAsConst(replies)) {
        const QByteArray d = args.first().toByteArray();
        QCOMPARE(Datagram::destMacAddr(d), transceiver.localMacAddress());
        QCOMPARE(Datagram::readInt32(d, Datagram::Header::PayloadLength),
            d.size() - Datagram::Header::Size);
        if (Datagram::messageId(d) == Datagram::DeviceInfoReply)
            infos.insert(Datagram::srcMacAddr(d), d);
        else if (Datagram::messageId(d) == Datagram::NetworkConfigReply)
            configs.insert(Datagram::srcMacAddr(d), d);
    }
    QCOMPARE(infos.size(), 2);
    QCOMPARE(configs.size(), 2);

    const QByteArray info = infos.value(DeviceV4);
    const QByteArray name("New one with a longer device name");
    QCOMPARE(info.size(), 124 + 24 + name.size() + 1);
    QCOMPARE(info.mid(124), text("312", 4) + text("4.0.2", 20) + name + zeros(1));

    const QByteArray old = configs.value(DeviceV3);
    QCOMPARE(old.size(), 329);
    QCOMPARE(int(Datagram::protocolVersion(old)), 3);
    QCOMPARE(Datagram::networkConfigMac(old), DeviceV3);
    QCOMPARE(Datagram::decodeNetworkConfig(old).hostname, QStringLiteral("old-one"));
    QCOMPARE(Datagram::decodeNetworkConfig(old).dhcp, QStringLiteral("1"));
    QCOMPARE(int(Datagram::protocolVersion(configs.value(DeviceV4))), 4);
    QCOMPARE(Datagram::decodeNetworkConfig(configs.value(DeviceV4)).secondaryDns,
        QStringLiteral("192.168.77.252"));
}

void tst_TransceiverLab::replyForAnotherHost_dropped()
{
    QTemporaryFile config;
    SimulatorProcess sim({ QStringLiteral("--config"), writeConfig(config, TwoDevices) });
    QVERIFY2(sim.start(), qPrintable(sim.errorText()));
    Listener listener;
    QVERIFY(listener.bind());
    PacketTransceiver transceiver;
    QVERIFY(transceiver.bindSocket());
    QSignalSpy replies(&transceiver, &PacketTransceiver::replyReceived);

    // Another finder on the same segment asks; the device answers it by broadcast.
    Datagram::HeaderFields other;
    other.messageId = Datagram::GetNetworkConfig;
    other.destMacAddr = DeviceV4;
    other.srcMacAddr = QStringLiteral("02:99:99:99:99:99");
    other.srcIpAddr = QStringLiteral("192.168.77.99");
    QUdpSocket otherFinder;
    QVERIFY(otherFinder.writeDatagram(Datagram::makeHeader(other),
                QHostAddress(QHostAddress::Broadcast), PacketTransceiver::ReceivePort)
        > 0);
    const auto seen = listener.collect(1, [](const QByteArray &d) {
        return isReply(d) && Datagram::destMacAddr(d) == QLatin1String("02:99:99:99:99:99");
    });
    QCOMPARE(seen.size(), 1);

    // Our own request goes after it; its reply is the only one delivered.
    transceiver.getNetworkConfig(DeviceV4);
    QTRY_COMPARE_WITH_TIMEOUT(replies.size(), 1, 10000);
    QTest::qWait(200);
    QCOMPARE(replies.size(), 1);
    QCOMPARE(Datagram::destMacAddr(replies.first().first().toByteArray()),
        transceiver.localMacAddress());
}

void tst_TransceiverLab::pause_queuesRepliesAndDeliversThemInOrderAfterwards()
{
    SimulatorProcess sim({ QStringLiteral("--count"), QStringLiteral("5") });
    QVERIFY2(sim.start(), qPrintable(sim.errorText()));
    Listener listener;
    QVERIFY(listener.bind());
    PacketTransceiver transceiver;
    QVERIFY(transceiver.bindSocket());
    QSignalSpy replies(&transceiver, &PacketTransceiver::replyReceived);

    transceiver.getDeviceInfo(Broadcast);
    transceiver.pauseAndQueueReplies(500);
    QCOMPARE(replies.size(), 0);

    // The replies were there during the pause, in this order.
    const auto arrived = listener.collect(5, isReply, 1000);
    QCOMPARE(arrived.size(), 5);
    QTRY_COMPARE_WITH_TIMEOUT(replies.size(), 5, 10000);
    for (int i = 0; i < 5; ++i)
        QCOMPARE(replies.at(i).first().toByteArray(), arrived.at(i).datagram);
}

void tst_TransceiverLab::burst_thousandDevicesAllDelivered_data()
{
    QTest::addColumn<int>("pauseMs");
    QTest::newRow("with the scan's pause") << 100;
    QTest::newRow("back to back, plain draining") << 0;
}

void tst_TransceiverLab::burst_thousandDevicesAllDelivered()
{
    QFETCH(int, pauseMs);
    SimulatorProcess sim({ QStringLiteral("--count"), QStringLiteral("1000") });
    QVERIFY2(sim.start(), qPrintable(sim.errorText()));
    PacketTransceiver transceiver;
    QVERIFY(transceiver.bindSocket());
    QSignalSpy replies(&transceiver, &PacketTransceiver::replyReceived);

    broadcastScan(transceiver, pauseMs);
    QTRY_COMPARE_WITH_TIMEOUT(replies.size(), 2000, 30000);
    QTest::qWait(200);
    QCOMPARE(replies.size(), 2000);

    QSet<QString> distinct;
    for (const QList<QVariant> &args : qAsConst(replies)) {
        const QByteArray d = args.first().toByteArray();
        distinct.insert(
            Datagram::srcMacAddr(d) + QLatin1Char('/') + QString::number(Datagram::messageId(d)));
    }
    QCOMPARE(distinct.size(), 2000);
}

void tst_TransceiverLab::foreignFlood_opensOneBoxAndKeepsDelivering()
{
    SimulatorProcess sim({ QStringLiteral("--count"), QStringLiteral("20"),
        QStringLiteral("--junk"), QStringLiteral("5000"), QStringLiteral("--control") });
    QVERIFY2(sim.start(), qPrintable(sim.errorText()));
    PacketTransceiver transceiver;
    QVERIFY(transceiver.bindSocket());
    QSignalSpy replies(&transceiver, &PacketTransceiver::replyReceived);

    broadcastScan(transceiver, 100);
    // The foreign datagrams travel between the replies, so all 10,000 have been
    // read once the last reply is delivered.
    QTRY_COMPARE_WITH_TIMEOUT(replies.size(), 40, 60000);

    QList<QMessageBox *> boxes = strayBoxes();
    QCOMPARE(boxes.size(), 1);
    QCOMPARE(boxes.first()->text(), QStringLiteral("not our packetIdentificationKey"));
    QCOMPARE(boxes.first()->windowModality(), Qt::ApplicationModal);

    // Once closed, the next stray datagram may open a box again.
    boxes.first()->close();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    QCOMPARE(strayBoxes().size(), 0);
    QVERIFY2(sim.command(QStringLiteral("junk 7")), qPrintable(sim.errorText()));
    QTRY_COMPARE_WITH_TIMEOUT(strayBoxes().size(), 1, 10000);
    QTest::qWait(200);
    QCOMPARE(strayBoxes().size(), 1);
    QCOMPARE(replies.size(), 40);
}

void tst_TransceiverLab::simulator_checksCredentialsAndAppliesOnRestart()
{
    QTemporaryFile config;
    SimulatorProcess sim({ QStringLiteral("--control"), QStringLiteral("--config"),
        writeConfig(config, TwoDevices) });
    QVERIFY2(sim.start(), qPrintable(sim.errorText()));
    PacketTransceiver transceiver;
    QVERIFY(transceiver.bindSocket());
    QSignalSpy replies(&transceiver, &PacketTransceiver::replyReceived);
    auto lastReply = [&replies] { return replies.last().first().toByteArray(); };

    Datagram::NetworkSettings s;
    s.hostname = QStringLiteral("renamed");
    s.dhcp = QStringLiteral("1");
    const QByteArray payload
        = Datagram::encodeNetworkConfigAuth(s, QStringLiteral("admin"), QStringLiteral("admin"));

    // The password was changed behind the finder's back: refused.
    QVERIFY2(sim.command(QStringLiteral("password 02:00:00:00:00:04 changed")),
        qPrintable(sim.errorText()));
    transceiver.sendRequest(Datagram::SetNetworkConfigAuth, DeviceV4, payload);
    QTRY_COMPARE_WITH_TIMEOUT(replies.size(), 1, 10000);
    QCOMPARE(Datagram::messageId(lastReply()), int(Datagram::SetNetworkConfigAuthReply));
    QCOMPARE(Datagram::status(lastReply()), Datagram::StatusAuthorizationFailed);

    // Changed back: accepted, but in effect only after the restart.
    QVERIFY2(sim.command(QStringLiteral("password 02:00:00:00:00:04 admin")),
        qPrintable(sim.errorText()));
    transceiver.sendRequest(Datagram::SetNetworkConfigAuth, DeviceV4, payload);
    QTRY_COMPARE_WITH_TIMEOUT(replies.size(), 2, 10000);
    QCOMPARE(Datagram::status(lastReply()), Datagram::StatusOk);
    transceiver.getNetworkConfig(DeviceV4);
    QTRY_COMPARE_WITH_TIMEOUT(replies.size(), 3, 10000);
    QCOMPARE(Datagram::decodeNetworkConfig(lastReply()).hostname, QStringLiteral("new-one"));
    transceiver.restartNetwork(DeviceV4);
    transceiver.getNetworkConfig(DeviceV4);
    QTRY_COMPARE_WITH_TIMEOUT(replies.size(), 4, 10000);
    QCOMPARE(Datagram::decodeNetworkConfig(lastReply()).hostname, QStringLiteral("renamed"));
    QCOMPARE(Datagram::decodeNetworkConfig(lastReply()).dhcp, QStringLiteral("1"));

    // A device of protocol version 3 takes SetNetworkConfig without a login.
    transceiver.sendRequest(
        Datagram::SetNetworkConfig, DeviceV3, Datagram::encodeNetworkConfig(DeviceV3, s));
    QTRY_COMPARE_WITH_TIMEOUT(replies.size(), 5, 10000);
    QCOMPARE(Datagram::messageId(lastReply()), int(Datagram::SetNetworkConfigReply));
    QCOMPARE(Datagram::srcMacAddr(lastReply()), DeviceV3);
    QCOMPARE(Datagram::status(lastReply()), Datagram::StatusOk);
}

QTEST_MAIN(tst_TransceiverLab)
#include "tst_transceiver_lab.moc"
