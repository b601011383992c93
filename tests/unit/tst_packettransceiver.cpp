#include "datagram.h"
#include "packettransceiver.h"
#include "platform.h"
#include "wirebytes.h"

#include <QtTest>

using Description = PacketTransceiver::InterfaceDescription;
using Acceptance = PacketTransceiver::Acceptance;

Q_DECLARE_METATYPE(QList<PacketTransceiver::InterfaceDescription>)
Q_DECLARE_METATYPE(PacketTransceiver::Acceptance)

namespace {

const QString LocalMac = QStringLiteral("02:1A:2B:3C:4D:5E");
const QString LabEntry = QStringLiteral("02:1A:2B:3C:4D:5E|192.168.77.1|lab0");

using WireBytes::hex;
using WireBytes::text;
using WireBytes::zeros;

Description iface(bool up, bool running, bool loopback, const char *mac, const char *name,
    const QStringList &addresses)
{
    Description d;
    d.up = up;
    d.running = running;
    d.loopback = loopback;
    d.hardwareAddress = QString::fromLatin1(mac);
    d.humanReadableName = QString::fromLatin1(name);
    for (const QString &a : addresses)
        d.addresses.append(QHostAddress(a));
    return d;
}

QByteArray reply(const QString &destMac)
{
    Datagram::HeaderFields f;
    f.messageId = Datagram::NetworkConfigReply;
    f.destMacAddr = destMac;
    f.srcMacAddr = QStringLiteral("02:00:00:00:00:01");
    f.srcIpAddr = QStringLiteral("192.168.77.10");
    return Datagram::makeHeader(f);
}

// Captures what the transceiver would put on the wire.
struct Capture
{
    explicit Capture(PacketTransceiver &t)
    {
        t.setSendHookForTesting([this](const QByteArray &d) { datagrams.append(d); });
    }
    QList<QByteArray> datagrams;
};

} // namespace

class tst_PacketTransceiver : public QObject
{
    Q_OBJECT

private slots:
    // ---- interface enumeration
    void interfaceEntries_takesUsableAddressesInOrder_data();
    void interfaceEntries_takesUsableAddressesInOrder();
    void withInterfaceFirst_movesFirstMatchToFront_data();
    void withInterfaceFirst_movesFirstMatchToFront();
    void selectInterface_unknownNameLeavesListAlone();
    void localAddresses_comeFromFirstEntryOrFallback();

    // ---- requests
    void getDeviceInfo_headerMatchesHandWrittenBytes();
    void sequenceCounter_sharedByAllRequestsAndWraps();
    void getNetworkConfig_withoutArgumentAddressesAllDevices();
    void sendRequest_appendsPayloadAndSetsLength();
    void noInterface_warnsAndStillSendsWithFallbacks();
    void requestSent_reportsIdAndDestination();

    // ---- received datagrams
    void acceptance_data();
    void acceptance();

    // ---- platform
    void olderWindows_canBeForcedEitherWay();
};

void tst_PacketTransceiver::interfaceEntries_takesUsableAddressesInOrder_data()
{
    QTest::addColumn<QList<Description>>("descriptions");
    QTest::addColumn<QStringList>("expected");

    const char *mac = "02:1A:2B:3C:4D:5E";
    QTest::newRow("up but not running is taken")
        << QList<Description> { iface(true, false, false, mac, "eth0", { "192.168.1.5" }) }
        << QStringList { "02:1A:2B:3C:4D:5E|192.168.1.5|eth0" };
    QTest::newRow("running but not up is taken")
        << QList<Description> { iface(false, true, false, mac, "eth0", { "192.168.1.5" }) }
        << QStringList { "02:1A:2B:3C:4D:5E|192.168.1.5|eth0" };
    QTest::newRow("neither up nor running is skipped")
        << QList<Description> { iface(false, false, false, mac, "eth0", { "192.168.1.5" }) }
        << QStringList();
    QTest::newRow("loopback never, even with 192.168.") << QList<Description> {
        iface(true, true, true, "00:00:00:00:00:00", "lo", { "192.168.1.5" })
    } << QStringList();
    QTest::newRow("two 192.168. addresses give two entries") << QList<Description> {
        iface(true, true, false, mac, "LAN", { "192.168.1.5", "192.168.2.5" })
    } << QStringList { "02:1A:2B:3C:4D:5E|192.168.1.5|LAN", "02:1A:2B:3C:4D:5E|192.168.2.5|LAN" };
    QTest::newRow("10.0.0.5 gives nothing")
        << QList<Description> { iface(true, true, false, mac, "eth0", { "10.0.0.5" }) }
        << QStringList();
    QTest::newRow("IPv6 only gives nothing") << QList<Description> {
        iface(true, true, false, mac, "eth0", { "fe80::1", "::ffff:192.168.1.5" })
    } << QStringList();
    QTest::newRow("platform order kept, other addresses skipped")
        << QList<Description> { iface(true, true, false, "02:00:00:00:00:0B", "wlan0",
                                    { "10.1.1.1", "192.168.8.20" }),
               iface(true, true, false, "02:00:00:00:00:0A", "eth0", { "192.168.1.5" }) }
        << QStringList { "02:00:00:00:00:0B|192.168.8.20|wlan0",
               "02:00:00:00:00:0A|192.168.1.5|eth0" };
    QTest::newRow("no interfaces") << QList<Description>() << QStringList();
}

void tst_PacketTransceiver::interfaceEntries_takesUsableAddressesInOrder()
{
    QFETCH(QList<Description>, descriptions);
    QFETCH(QStringList, expected);
    QCOMPARE(PacketTransceiver::interfaceEntries(descriptions), expected);
}

void tst_PacketTransceiver::withInterfaceFirst_movesFirstMatchToFront_data()
{
    QTest::addColumn<QStringList>("entries");
    QTest::addColumn<QString>("name");
    QTest::addColumn<QStringList>("expected");

    const QStringList twoOnOne { "M1|192.168.1.5|eth0", "M2|192.168.9.9|wlan0",
        "M1|192.168.2.5|eth0" };
    QTest::newRow("first of two entries with that name") << twoOnOne << "eth0" << twoOnOne;
    QTest::newRow("others keep their order")
        << twoOnOne << "wlan0"
        << QStringList { "M2|192.168.9.9|wlan0", "M1|192.168.1.5|eth0", "M1|192.168.2.5|eth0" };
    QTest::newRow("unknown name changes nothing") << twoOnOne << "eth1" << twoOnOne;
    QTest::newRow("name compared case-sensitively") << twoOnOne << "WLAN0" << twoOnOne;
    QTest::newRow("name with a bar inside") << QStringList { "M1|192.168.1.5|a",
        "M2|192.168.1.6|b|c" } << "b" << QStringList { "M2|192.168.1.6|b|c", "M1|192.168.1.5|a" };
}

void tst_PacketTransceiver::withInterfaceFirst_movesFirstMatchToFront()
{
    QFETCH(QStringList, entries);
    QFETCH(QString, name);
    QFETCH(QStringList, expected);
    QCOMPARE(PacketTransceiver::withInterfaceFirst(entries, name), expected);
}

void tst_PacketTransceiver::selectInterface_unknownNameLeavesListAlone()
{
    const QStringList entries { "M1|192.168.1.5|eth0", "M2|192.168.2.5|wlan0" };
    PacketTransceiver transceiver(entries);
    transceiver.selectInterface(QStringLiteral("nope"));
    QCOMPARE(transceiver.interfaces(), entries);
    QCOMPARE(transceiver.localIpAddress(), QStringLiteral("192.168.1.5"));
}

void tst_PacketTransceiver::localAddresses_comeFromFirstEntryOrFallback()
{
    PacketTransceiver none { QStringList() };
    QCOMPARE(none.localMacAddress(), QStringLiteral("DD:DD:DD:DD:DD:DD"));
    QCOMPARE(none.localIpAddress(), QStringLiteral("0.0.0.0"));

    PacketTransceiver two(QStringList { LabEntry, "02:00:00:00:00:99|192.168.5.5|other" });
    QCOMPARE(two.localMacAddress(), LocalMac);
    QCOMPARE(two.localIpAddress(), QStringLiteral("192.168.77.1"));
}

void tst_PacketTransceiver::getDeviceInfo_headerMatchesHandWrittenBytes()
{
    PacketTransceiver transceiver(QStringList { LabEntry });
    Capture capture(transceiver);
    transceiver.getDeviceInfo(QStringLiteral("FF:FF:FF:FF:FF:FF"));

    const QByteArray expected = text("5e3c9a71-0d42-4b8f-a6e2-7c19d04b8f35", 37) + zeros(3)
        + hex("0b 00 00 00") // messageId 11
        + hex("00 00 00 00") // status
        + hex("00 00 00 00") // payloadLength
        + hex("04 00 00 00") // protocolVersion
        + text("FF:FF:FF:FF:FF:FF", 18) + text("02:1A:2B:3C:4D:5E", 18) + text("192.168.77.1", 16)
        + hex("01 00") // sequenceNumber
        + zeros(14);
    QCOMPARE(capture.datagrams.size(), 1);
    QCOMPARE(capture.datagrams.first(), expected);
}

void tst_PacketTransceiver::sequenceCounter_sharedByAllRequestsAndWraps()
{
    PacketTransceiver transceiver(QStringList { LabEntry });
    Capture capture(transceiver);
    transceiver.getDeviceInfo(QStringLiteral("FF:FF:FF:FF:FF:FF"));
    transceiver.getNetworkConfig();
    transceiver.restartNetwork(QStringLiteral("02:00:00:00:00:01"));
    transceiver.sendRequest(Datagram::SetNetworkConfig, QStringLiteral("02:00:00:00:00:01"),
        QByteArray(Datagram::NetworkConfig::Size, '\0'));
    transceiver.setSequenceCounterForTesting(65534);
    transceiver.getNetworkConfig();
    transceiver.getNetworkConfig();
    transceiver.getNetworkConfig();

    QList<quint16> numbers;
    for (const QByteArray &d : qAsConst(capture.datagrams))
        numbers.append(Datagram::readUInt16(d, Datagram::Header::SequenceNumber));
    QCOMPARE(numbers, (QList<quint16> { 1, 2, 3, 4, 65535, 0, 1 }));
}

void tst_PacketTransceiver::getNetworkConfig_withoutArgumentAddressesAllDevices()
{
    PacketTransceiver transceiver(QStringList { LabEntry });
    Capture capture(transceiver);
    // Through the meta-object, as a connection without argument would call it.
    QVERIFY(QMetaObject::invokeMethod(&transceiver, "getNetworkConfig"));
    QCOMPARE(capture.datagrams.size(), 1);
    const QByteArray &d = capture.datagrams.first();
    QCOMPARE(d.size(), 124);
    QCOMPARE(Datagram::messageId(d), int(Datagram::GetNetworkConfig));
    QCOMPARE(Datagram::destMacAddr(d), QStringLiteral("FF:FF:FF:FF:FF:FF"));
}

void tst_PacketTransceiver::sendRequest_appendsPayloadAndSetsLength()
{
    PacketTransceiver transceiver(QStringList { LabEntry });
    Capture capture(transceiver);
    QByteArray payload(Datagram::NetworkConfigAuth::Size, '\0');
    payload[0] = 'x';
    payload[payload.size() - 1] = 'y';
    transceiver.sendRequest(
        Datagram::SetNetworkConfigAuth, QStringLiteral("02:00:00:00:00:07"), payload);

    QCOMPARE(capture.datagrams.size(), 1);
    const QByteArray &d = capture.datagrams.first();
    QCOMPARE(d.size(), 439);
    QCOMPARE(Datagram::readInt32(d, Datagram::Header::PayloadLength), 315);
    QCOMPARE(Datagram::messageId(d), int(Datagram::SetNetworkConfigAuth));
    QCOMPARE(Datagram::destMacAddr(d), QStringLiteral("02:00:00:00:00:07"));
    QCOMPARE(d.mid(124), payload);
}

void tst_PacketTransceiver::noInterface_warnsAndStillSendsWithFallbacks()
{
    PacketTransceiver transceiver { QStringList() };
    Capture capture(transceiver);
    QSignalSpy warnings(&transceiver, &PacketTransceiver::warningMessage);
    QSignalSpy sent(&transceiver, &PacketTransceiver::requestSent);
    transceiver.getDeviceInfo(QStringLiteral("FF:FF:FF:FF:FF:FF"));
    transceiver.getNetworkConfig();

    QCOMPARE(warnings.size(), 2);
    QCOMPARE(warnings.first().at(0).toString(), QStringLiteral("Creating message header"));
    QCOMPARE(warnings.first().at(1).toString(),
        QStringLiteral("Could not get a valid network interface!"));
    QCOMPARE(sent.size(), 2);
    QCOMPARE(capture.datagrams.size(), 2);
    for (const QByteArray &d : qAsConst(capture.datagrams)) {
        QCOMPARE(Datagram::srcMacAddr(d), QStringLiteral("DD:DD:DD:DD:DD:DD"));
        QCOMPARE(Datagram::readText(d, Datagram::Header::SrcIp.offset), QStringLiteral("0.0.0.0"));
    }
}

void tst_PacketTransceiver::requestSent_reportsIdAndDestination()
{
    PacketTransceiver transceiver(QStringList { LabEntry });
    Capture capture(transceiver);
    QSignalSpy warnings(&transceiver, &PacketTransceiver::warningMessage);
    QSignalSpy sent(&transceiver, &PacketTransceiver::requestSent);
    transceiver.restartNetwork(QStringLiteral("02:00:00:00:00:01"));
    transceiver.getDeviceInfo(QStringLiteral("FF:FF:FF:FF:FF:FF"));

    QCOMPARE(warnings.size(), 0);
    QCOMPARE(sent.size(), 2);
    QCOMPARE(sent.at(0).at(0).toInt(), int(Datagram::RestartNetwork));
    QCOMPARE(sent.at(0).at(1).toString(), QStringLiteral("02:00:00:00:00:01"));
    QCOMPARE(sent.at(1).at(0).toInt(), int(Datagram::GetDeviceInfo));
    QCOMPARE(sent.at(1).at(1).toString(), QStringLiteral("FF:FF:FF:FF:FF:FF"));
}

void tst_PacketTransceiver::acceptance_data()
{
    QTest::addColumn<QByteArray>("datagram");
    QTest::addColumn<Acceptance>("expected");

    const QByteArray good = reply(LocalMac);
    QTest::newRow("reply to this host") << good << Acceptance::Deliver;
    QTest::newRow("reply with payload") << good + QByteArray(205, 'p') << Acceptance::Deliver;
    QTest::newRow("empty destination passes") << reply(QString()) << Acceptance::Deliver;
    QTest::newRow("prefix of the local MAC passes")
        << reply(QStringLiteral("02:1A")) << Acceptance::Deliver;
    QTest::newRow("own broadcast")
        << reply(QStringLiteral("FF:FF:FF:FF:FF:FF")) << Acceptance::Drop;
    QTest::newRow("reply for another host")
        << reply(QStringLiteral("02:1A:2B:3C:4D:5F")) << Acceptance::Drop;
    QTest::newRow("local MAC in lower case") << reply(LocalMac.toLower()) << Acceptance::Drop;
    QTest::newRow("one byte short of a header") << good.left(123) << Acceptance::Drop;
    QTest::newRow("empty datagram") << QByteArray() << Acceptance::Drop;

    QByteArray keyWithoutNul = good;
    keyWithoutNul[36] = 'x';
    QTest::newRow("key field without NUL") << keyWithoutNul << Acceptance::Drop;

    QByteArray destWithoutNul = good;
    for (int i = 56; i < 74; ++i)
        destWithoutNul[i] = 'A';
    QTest::newRow("destination field without NUL") << destWithoutNul << Acceptance::Drop;

    QByteArray otherKey = good;
    otherKey[0] = '6';
    QTest::newRow("another key") << otherKey << Acceptance::ForeignKey;
    QTest::newRow("another program's text")
        << QByteArray("hello").leftJustified(200, '\0') << Acceptance::ForeignKey;
    QTest::newRow("short foreign datagram") << QByteArray("hello", 6) << Acceptance::Drop;
}

void tst_PacketTransceiver::acceptance()
{
    QFETCH(QByteArray, datagram);
    QFETCH(Acceptance, expected);
    QCOMPARE(PacketTransceiver::acceptance(datagram, LocalMac), expected);
}

void tst_PacketTransceiver::olderWindows_canBeForcedEitherWay()
{
    forceOlderWindowsForTesting(true);
    QVERIFY(isOlderWindows());
    forceOlderWindowsForTesting(false);
    QVERIFY(!isOlderWindows());
    forceOlderWindowsForTesting(std::nullopt);
#ifdef Q_OS_WIN
    QSKIP("the real answer depends on the Windows version");
#else
    QVERIFY(!isOlderWindows());
#endif
}

QTEST_GUILESS_MAIN(tst_PacketTransceiver)
#include "tst_packettransceiver.moc"
