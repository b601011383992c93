#include "datagram.h"
#include "wirebytes.h"

#include <QtTest>

using namespace Datagram;

namespace {

using WireBytes::hex;
using WireBytes::text;
using WireBytes::zeros;

const QByteArray keyField = text("5e3c9a71-0d42-4b8f-a6e2-7c19d04b8f35", 37);

} // namespace

class tst_Datagram : public QObject
{
    Q_OBJECT

private slots:
    // ---- golden request bytes
    void getDeviceInfoHeader_matchesHandWrittenBytes();
    void setNetworkConfig_cutsLongHostnameAndMatchesBytes();
    void credentials_cutTo127Characters_data();
    void credentials_cutTo127Characters();
    void credentials_nonLatin1BecomesQuestionMark();

    // ---- bounds-checked reads
    void reads_beyondTheEndGiveEmptyOrZero_data();
    void reads_beyondTheEndGiveEmptyOrZero();
    void readText_stopsAtNulOrDatagramEnd();
    void hasTerminatedText_onlyWithNulInsideTheField_data();
    void hasTerminatedText_onlyWithNulInsideTheField();

    // ---- round trips
    void networkConfig_roundTrip();
    void deviceInfo_roundTrip();
};

void tst_Datagram::getDeviceInfoHeader_matchesHandWrittenBytes()
{
    HeaderFields f;
    f.messageId = GetDeviceInfo;
    f.destMacAddr = QStringLiteral("FF:FF:FF:FF:FF:FF");
    f.srcMacAddr = QStringLiteral("02:1A:2B:3C:4D:5E");
    f.srcIpAddr = QStringLiteral("192.168.77.1");
    f.sequenceNumber = 1;

    const QByteArray expected = keyField
        + zeros(3)              // 37 reserved
        + hex("0b 00 00 00")    // 40 messageId 11
        + hex("00 00 00 00")    // 44 status
        + hex("00 00 00 00")    // 48 payloadLength
        + hex("04 00 00 00")    // 52 protocolVersion
        + text("FF:FF:FF:FF:FF:FF", 18) // 56 destMacAddr
        + text("02:1A:2B:3C:4D:5E", 18) // 74 srcMacAddr
        + text("192.168.77.1", 16)      // 92 srcIpAddr
        + hex("01 00")                  // 108 sequenceNumber
        + zeros(14);                    // 110 reserved
    QCOMPARE(expected.size(), 124);
    QCOMPARE(makeHeader(f), expected);
}

void tst_Datagram::setNetworkConfig_cutsLongHostnameAndMatchesBytes()
{
    NetworkSettings s;
    s.hostname = QStringLiteral("abcdefghijklmnopqrstuvwxyz0123"); // 30 characters
    s.dhcp = QStringLiteral("0");
    s.ipAddress = QStringLiteral("192.168.77.20");
    s.subnetMask = QStringLiteral("255.255.255.0");
    s.domain = QStringLiteral("plant.example");
    s.gateway = QStringLiteral("192.168.77.254");
    s.primaryDns = QStringLiteral("192.168.77.53");
    s.secondaryDns = QString();

    const QByteArray expected = text("0A:0B:0C:0D:0E:0F", 18) // 0 macAddress
        + text("abcdefghijklmnopqrstuvwx", 25)               // 18 hostname, 24 + NUL
        + text("0", 2)                                        // 43 dhcp
        + text("192.168.77.20", 16)                           // 45 ipAddress
        + text("255.255.255.0", 16)                           // 61 subnetMask
        + text("plant.example", 80)                           // 77 domain
        + text("192.168.77.254", 16)                          // 157 gateway
        + text("192.168.77.53", 16)                           // 173 primaryDns
        + zeros(16);                                          // 189 secondaryDns
    QCOMPARE(expected.size(), 205);
    QCOMPARE(encodeNetworkConfig(QStringLiteral("0A:0B:0C:0D:0E:0F"), s), expected);
}

void tst_Datagram::credentials_cutTo127Characters_data()
{
    QTest::addColumn<int>("textLength");
    QTest::addColumn<int>("base64Length");
    QTest::addColumn<int>("written");
    QTest::newRow("93 characters: whole") << 93 << 124 << 124;
    QTest::newRow("94 characters: cut") << 94 << 128 << 127;
    QTest::newRow("95 characters: cut") << 95 << 128 << 127;
    QTest::newRow("colon alone") << 1 << 4 << 4;
}

void tst_Datagram::credentials_cutTo127Characters()
{
    QFETCH(int, textLength);
    QFETCH(int, base64Length);
    QFETCH(int, written);

    // "user:" + password making textLength characters in all
    const QString user = textLength > 1 ? QStringLiteral("user") : QString();
    const QString password = textLength > 1 ? QString(textLength - 5, QLatin1Char('p')) : QString();
    const QByteArray whole = credentials(user, password);
    QCOMPARE(whole.size(), base64Length);
    QCOMPARE(QByteArray::fromBase64(whole), QString(user + QLatin1Char(':') + password).toLatin1());

    const QByteArray payload = encodeNetworkConfigAuth(NetworkSettings(), user, password);
    QCOMPARE(payload.size(), 315);
    const QByteArray field = payload.mid(187, 128);
    QCOMPARE(field.left(written), whole.left(written));
    QCOMPARE(field.mid(written), zeros(128 - written));
}

void tst_Datagram::credentials_nonLatin1BecomesQuestionMark()
{
    QCOMPARE(QByteArray::fromBase64(credentials(QStringLiteral("J\u00fcrgen"), QStringLiteral("\u20ac1"))),
             QByteArray("J\xfcrgen:?1"));
}

void tst_Datagram::reads_beyondTheEndGiveEmptyOrZero_data()
{
    QTest::addColumn<QByteArray>("datagram");
    QTest::newRow("empty") << QByteArray();
    QTest::newRow("key only") << keyField;
    QTest::newRow("cut inside messageId") << (keyField + zeros(4) + hex("08 00"));
    QTest::newRow("cut inside protocolVersion") << (keyField + zeros(15) + hex("04"));
}

void tst_Datagram::reads_beyondTheEndGiveEmptyOrZero()
{
    QFETCH(QByteArray, datagram);
    if (datagram.size() <= Header::MessageId + 3)
        QCOMPARE(messageId(datagram), 0);
    QCOMPARE(status(datagram), 0u);
    if (datagram.size() <= Header::ProtocolVersion)
        QCOMPARE(protocolVersion(datagram), quint8(0));
    QCOMPARE(srcMacAddr(datagram), QString());
    QCOMPARE(destMacAddr(datagram), QString());
    QCOMPARE(readUInt16(datagram, Header::SequenceNumber), quint16(0));
    const NetworkSettings s = decodeNetworkConfig(datagram);
    QVERIFY(s.hostname.isEmpty() && s.secondaryDns.isEmpty());
    QCOMPARE(readInt32(datagram, -2), 0);
    QCOMPARE(readText(datagram, -1), QString());
}

void tst_Datagram::readText_stopsAtNulOrDatagramEnd()
{
    const QByteArray d("ab\0cd", 5);
    QCOMPARE(readText(d, 0), QStringLiteral("ab"));
    QCOMPARE(readText(d, 3), QStringLiteral("cd")); // no NUL: up to the end, not past it
    QCOMPARE(readText(d, 5), QString());
    // QByteArray::mid() shares nothing past the copy, so ASan sees any overrun
    const QByteArray unterminated = QByteArray("\xc3\xa4xyz").mid(0, 5);
    QCOMPARE(readText(unterminated, 0), QStringLiteral("\u00e4xyz"));
}

void tst_Datagram::hasTerminatedText_onlyWithNulInsideTheField_data()
{
    QTest::addColumn<QByteArray>("datagram");
    QTest::addColumn<bool>("terminated");
    QTest::newRow("key with NUL") << keyField << true;
    QTest::newRow("37 bytes without NUL") << QByteArray(37, 'x') << false;
    QTest::newRow("NUL only after the field") << (QByteArray(37, 'x') + zeros(1)) << false;
    QTest::newRow("cut before the NUL") << QByteArray(20, 'x') << false;
    QTest::newRow("cut after the NUL") << (QByteArray(5, 'x') + zeros(1)) << true;
    QTest::newRow("empty datagram") << QByteArray() << false;
}

void tst_Datagram::hasTerminatedText_onlyWithNulInsideTheField()
{
    QFETCH(QByteArray, datagram);
    QFETCH(bool, terminated);
    QCOMPARE(hasTerminatedText(datagram, Header::Key), terminated);
}

void tst_Datagram::networkConfig_roundTrip()
{
    NetworkSettings s;
    s.hostname = QStringLiteral("Linie-7");
    s.dhcp = QStringLiteral("1");
    s.ipAddress = QStringLiteral("192.168.77.9");
    s.subnetMask = QStringLiteral("255.255.0.0");
    s.domain = QStringLiteral("d\u00f6m\u00e4in");
    s.gateway = QStringLiteral("192.168.77.1");
    s.primaryDns = QStringLiteral("192.168.77.2");
    s.secondaryDns = QStringLiteral("192.168.77.3");

    HeaderFields h;
    h.messageId = NetworkConfigReply;
    h.payloadLength = NetworkConfig::Size;
    const QByteArray reply = makeHeader(h) + encodeNetworkConfig(QStringLiteral("AA:BB:CC:DD:EE:01"), s);
    QCOMPARE(reply.size(), 329);
    QCOMPARE(networkConfigMac(reply), QStringLiteral("AA:BB:CC:DD:EE:01"));
    const NetworkSettings back = decodeNetworkConfig(reply);
    QCOMPARE(back.hostname, s.hostname);
    QCOMPARE(back.dhcp, s.dhcp);
    QCOMPARE(back.domain, s.domain);
    QCOMPARE(back.secondaryDns, s.secondaryDns);

    h.messageId = SetNetworkConfigAuth;
    h.payloadLength = NetworkConfigAuth::Size;
    const QByteArray auth = makeHeader(h) + encodeNetworkConfigAuth(s, QStringLiteral("admin"), QStringLiteral("pw"));
    QCOMPARE(auth.size(), 439);
    const NetworkSettings authBack = decodeNetworkConfigAuth(auth);
    QCOMPARE(authBack.hostname, s.hostname);
    QCOMPARE(authBack.gateway, s.gateway);
    QCOMPARE(authBack.secondaryDns, s.secondaryDns);
    QCOMPARE(decodeCredentials(auth), QStringLiteral("YWRtaW46cHc="));
}

void tst_Datagram::deviceInfo_roundTrip()
{
    const QByteArray payload = encodeDeviceInfo(QStringLiteral("42"), QStringLiteral("1.8.3"),
                                                QStringLiteral("Cinaboard-M4"));
    QCOMPARE(payload, text("42", 4) + text("1.8.3", 20) + text("Cinaboard-M4", 13));
}

QTEST_GUILESS_MAIN(tst_Datagram)
#include "tst_datagram.moc"
