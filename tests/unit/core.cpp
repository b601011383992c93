#include "connectionexport.h"
#include "datagram.h"
#include "deviceclock.h"
#include "devicemodel.h"
#include "devicereplies.h"
#include "devicesteps.h"
#include "logindata.h"
#include "packettransceiver.h"
#include "testmain.h"
#include "testsupport.h"

#include <QtTest>

using namespace Datagram;
using namespace DeviceReplies;
using Acceptance = PacketTransceiver::Acceptance;
using Texts = QStringList;
using Replies = QByteArrayList;
Q_DECLARE_METATYPE(PacketTransceiver::Acceptance)

namespace {

const QString Mac = QStringLiteral("02:1A:2B:3C:4D:5E");
const char *const Device = "0A:0B:0C:0D:0E:0F";
const QString A = QStringLiteral("0A:00:00:00:00:01");
const QString Secret = QStringLiteral("s3cr\u00e9t-9");
Texts messages;

// The text followed by NULs up to the field's width.
const auto text = [](const QByteArray &a, int width) { return a.leftJustified(width, '\0'); };
const auto hex = [](const char *bytes) { return QByteArray::fromHex(bytes); };

// The header of a request, field by field: key, reserved, messageId, status, payloadLength,
// protocolVersion, destMacAddr, srcMacAddr, srcIpAddr, sequenceNumber, reserved.
QByteArray request(const char *id, const char *dest, const char *sequence,
    const char *length = "00 00 00 00", const char *src = "02:1A:2B:3C:4D:5E",
    const char *ip = "192.168.177.101")
{
    return text("5e3c9a71-0d42-4b8f-a6e2-7c19d04b8f35", 37) + QByteArray(3, 0) + hex(id)
        + QByteArray(4, 0) + hex(length) + hex("04 00 00 00") + text(dest, 18) + text(src, 18)
        + text(ip, 16) + hex(sequence) + QByteArray(14, 0);
}

// A clock that moves only when told to, so the watch's time-outs need no waiting.
struct Clock final : DeviceClock
{
    qint64 msecs = 0;
    qint64 monotonicMsecs() const override { return msecs; }
    QTime timeOfDay() const override { return QTime(8, 0).addMSecs(int(msecs)); }
};

// The alias of the icon a cell shows, empty for none.
QString iconOf(const QStandardItem *cell)
{
    for (const char *alias : { "ok", "scan", "warning" })
        if (cell->icon().cacheKey() == resourceIcon(QStringLiteral(":/") + alias).cacheKey())
            return QLatin1String(alias);
    return cell->icon().isNull() ? QString() : QStringLiteral("?");
}

} // namespace

// The wire format, the transceiver without sockets, the device table, the stored logins and
// the export document.
class CoreTest : public QObject
{
    Q_OBJECT

    QStandardItem *cell(int row, int column) const { return model->item(row, column); }
    QVariant macData(int role) const { return cell(0, DeviceModel::ColumnMacAddress)->data(role); }
    void reply(const QByteArray &datagram) { model->onDeviceReplyReceived(datagram); }

    TestSupport::TemporarySettings settings;
    Clock clock;
    QScopedPointer<DeviceModel> model;
    PacketTransceiver transceiver { Texts { "02:00:00:00:00:01|192.168.7.1|x" } };
    Texts log; // in order: the id of each request put out, "@" and the status code at each tick

private slots:
    void init()
    {
        removeLoginData(A);
        model.reset(new DeviceModel);
        model->setClock(&clock);
        log.clear();
        transceiver.setSendHookForTesting(
            [this](const QByteArray &d) { log << QString::number(messageId(d)); });
        // Wired as the window and the command-line tool wire them.
        DeviceSteps::connectModel(&transceiver, model.get());
        messages.clear();
        qInstallMessageHandler(
            [](QtMsgType, const QMessageLogContext &, const QString &text) { messages << text; });
    }
    // Nothing secret may reach the message output, whatever a test did.
    void cleanup()
    {
        qDebug("probe");
        qInstallMessageHandler(nullptr);
        const QString all = messages.join('\n');
        QVERIFY2(all.endsWith("probe") && !all.contains(Secret)
                && !all.contains(LoginData::encode({ A, "admin", Secret }).mid(12, 16))
                && !all.contains(QString::fromLatin1(credentials("admin", Secret).mid(8, 8))),
            qPrintable(all));
    }

    void requests_goOutAsHandWrittenBytes()
    {
        PacketTransceiver t(Texts { Mac + "|192.168.177.101|lab0" }), none { Texts() };
        Replies out;
        for (PacketTransceiver *p : { &t, &none })
            p->setSendHookForTesting([&out](const QByteArray &d) { out << d; });
        QSignalSpy warnings(&none, &PacketTransceiver::warningMessage);
        // Every text is too long for its field: cut to the field's width less one, then a NUL.
        const auto cut
            = [](char c, int width) -> QByteArray { return QByteArray(width - 1, c) + '\0'; };
        const NetworkSettings s { QString(30, 'h'), "10", QString(20, 'i'), QString(20, 'm'),
            QString(90, 'd'), QString(20, 'g'), QString(20, 'p'), QString(20, 's') };
        const QByteArray fields = cut('h', 25) + cut('1', 2) + cut('i', 16) + cut('m', 16)
            + cut('d', 80) + cut('g', 16) + cut('p', 16) + cut('s', 16);
        // Base64 of the Latin-1 text, the euro sign turned into "?", cut to 127 characters.
        const QString password = Secret + QStringLiteral("\u20ac") + QString(80, 'p');
        const QByteArray base64 = QByteArray("admin:s3cr\xe9t-9?").append(80, 'p').toBase64();

        t.getDeviceInfo(QStringLiteral("FF:FF:FF:FF:FF:FF"));
        QVERIFY(QMetaObject::invokeMethod(&t, "getNetworkConfig")); // as a scan calls it
        t.restartNetwork(Device);
        t.sendRequest(SetNetworkConfig, Device, encodeNetworkConfig(Device, s));
        t.sendRequest(SetNetworkConfigAuth, Device,
            encodeNetworkConfigAuth(s, QStringLiteral("admin"), password));
        t.setSequenceCounterForTesting(65534);
        t.getNetworkConfig(Device);
        t.getNetworkConfig(Device);
        none.getNetworkConfig(Device);

        QCOMPARE(out,
            Replies({ request("0b 00 00 00", "FF:FF:FF:FF:FF:FF", "01 00"),
                request("07 00 00 00", "FF:FF:FF:FF:FF:FF", "02 00"),
                request("01 00 00 00", Device, "03 00"),
                request("09 00 00 00", Device, "04 00", "cd 00 00 00") + text(Device, 18) + fields,
                request("0d 00 00 00", Device, "05 00", "3b 01 00 00") + fields
                    + text(base64.left(127), 128),
                request("07 00 00 00", Device, "ff ff"), request("07 00 00 00", Device, "00 00"),
                request("07 00 00 00", Device, "01 00", "00 00 00 00", "DD:DD:DD:DD:DD:DD",
                    "0.0.0.0") }));
        QCOMPARE(warnings.value(0),
            QVariantList(
                { "Creating message header", "Could not get a valid network interface!" }));
        QCOMPARE(encodeDeviceInfo("1234", QString(25, 'f'), "Gate-M4"),
            text("123", 4) + cut('f', 20) + text("Gate-M4", 8)); // what the device table reads
    }

    void acceptance_data()
    {
        QTest::addColumn<QByteArray>("datagram");
        QTest::addColumn<Acceptance>("expected");
        const auto to = [](const char *dest) -> QByteArray {
            return request("08 00 00 00", dest, "00 00", "00 00 00 00", "02:00:00:00:00:01");
        };
        const QByteArray ok = to("02:1A:2B:3C:4D:5E");
        // clang-format off
        QTest::newRow("to this host") << ok << Acceptance::Deliver;
        QTest::newRow("empty destination") << to("") << Acceptance::Deliver;
        QTest::newRow("own broadcast") << to("FF:FF:FF:FF:FF:FF") << Acceptance::Drop;
        QTest::newRow("local MAC in lower case") << to("02:1a:2b:3c:4d:5e") << Acceptance::Drop;
        QTest::newRow("short of a header") << ok.left(123) << Acceptance::Drop;
        QTest::newRow("key without NUL") << QByteArray(ok).replace(36, 1, "x") << Acceptance::Drop;
        QTest::newRow("other key") << QByteArray(ok).replace(0, 1, "6") << Acceptance::ForeignKey;
        // clang-format on
    }
    void acceptance()
    {
        QFETCH(QByteArray, datagram);
        QTEST(PacketTransceiver::acceptance(datagram, Mac), "expected");
    }

    // Up or running interfaces but loopback give an entry for each IPv4 address, "192.168." first
    // and link-local last. A scan reads them again and the one in use stays while it is there; a
    // request never carries the address of a link that is gone.
    void interfaces_orderedAndFollowed()
    {
        QList<PacketTransceiver::InterfaceDescription> now;
        const auto links = [&now](const Texts &lines) {
            now.clear();
            for (const QString &line : lines) {
                const Texts w = line.split(' ');
                now << PacketTransceiver::InterfaceDescription { w[1].contains('u'),
                    w[1].contains('r'), w[1].contains('l'), "02:00:00:00:00:" + w[0].right(2), w[0],
                    {}, 0 };
                for (const QString &address : w.mid(2))
                    now.last().addresses << QHostAddress(address);
            }
        };
        links({ "wlan0A ur 10.9.0.1 169.254.3.3", "eth005 u 172.16.5.1 192.168.2.5",
            "eth106 r 192.168.1.6", "eth207 - 192.168.1.7", "lo0008 url 192.168.1.8",
            "eth309 ur fe80::1 ::ffff:192.168.1.5" });
        QCOMPARE(PacketTransceiver::interfaceEntries(now).join(' ').remove("02:00:00:00:00:"),
            "05|192.168.2.5|eth005 06|192.168.1.6|eth106 0A|10.9.0.1|wlan0A 05|172.16.5.1|eth005 "
            "0A|169.254.3.3|wlan0A");

        PacketTransceiver t { Texts() };
        Texts sent; // source address and the MAC's last byte of each request
        t.setSendHookForTesting([&](const QByteArray &d) {
            sent << readText(d, Header::SrcIp) + srcMacAddr(d).right(3);
        });
        t.setInterfaceSourceForTesting([&now] { return now; });
        QSignalSpy warnings(&t, &PacketTransceiver::warningMessage);
        const auto scanThenSend = [&](bool scan, const Texts &lines) {
            links(lines);
            if (scan)
                t.refreshInterfaces();
            t.restartNetwork(Device);
        };
        scanThenSend(true, {});
        t.restartNetwork(Device); // one warning a scan, not one a request
        scanThenSend(true, {});
        scanThenSend(
            false, { "eth005 ur 172.16.5.1 172.16.6.1", "wlan0A r 10.9.0.1" }); // plugged in
        QVERIFY(t.selectInterfaceEntry("02:00:00:00:00:05|172.16.6.1|eth005"));
        QVERIFY(!t.selectInterfaceEntry("02:00:00:00:00:05|172.16.7.1|eth005"));
        t.restartNetwork(Device);
        scanThenSend(true, { "eth005 ur 172.16.5.1 172.16.6.1", "wlan0A r 10.9.0.1 192.168.5.5" });
        QCOMPARE(t.interfaces().join(' ').remove("02:00:00:00:00:"),
            "05|172.16.6.1|eth005 0A|192.168.5.5|wlan0A 05|172.16.5.1|eth005 0A|10.9.0.1|wlan0A");
        scanThenSend(false, { "eth005 ur 172.16.5.1", "wlan0A r 10.9.0.1 192.168.5.5" });
        scanThenSend(false, { "wlan0A r 10.9.0.1 192.168.5.5" }); // unplugged
        scanThenSend(false, {});
        QCOMPARE(sent.join(' '),
            "0.0.0.0:DD 0.0.0.0:DD 0.0.0.0:DD 172.16.5.1:05 172.16.6.1:05 172.16.6.1:05 "
            "172.16.5.1:05 192.168.5.5:0A 0.0.0.0:DD");
        QCOMPARE(warnings.size(), 3);
    }

    void deviceTable_data()
    {
        QTest::addColumn<Replies>("replies");
        // Per row columns 0-4 and the product type, "-" where never written; "*" marks a conflict.
        QTest::addColumn<QString>("rows");
        const auto config = [](int n, const char *host, const char *ip, quint32 status = 0) {
            return networkConfig(QStringLiteral("0A:00:00:00:00:0%1").arg(n), status, host, ip);
        };
        const QByteArray cut = config(1, "gate", "192.0.2.1"), info = deviceInfo(A, 0, "12");
        // clang-format off
        QTest::newRow("failed") << Replies { deviceInfo(A, 5), config(1, "g", "1", 1) }
                                << "N/A|N/A|N/A|N/A|N/A|0";
        QTest::newRow("refresh in lower case keeps the row and the other reply's cells")
            << Replies { deviceInfo("0A:00:00:00:00:02"), deviceInfo(A, 0, "x1"),
                         networkConfig(A.toLower(), 0, "b", "1", "1") }
            << "Quorvel Gate|2.1.0|-|-|-|7 / Quorvel Gate|2.1.0|b|1|DHCP|0";
        QTest::newRow("cut before the id") << Replies { cut.left(40) } << "";
        QTest::newRow("cut in the host name") << Replies { cut.left(144) } << "-|-|ga||static|-";
        QTest::newRow("cut in the name") << Replies { info.left(152) } << "Quor|2.1.0|-|-|-|12";
        QTest::newRow("conflicts: pairs, host names in any case, never empty or N/A")
            << Replies { config(1, "Ga", "1"), config(2, "gA", "2"), config(3, "o", "1"),
                         config(4, "", ""), config(5, "", ""), config(6, "", "", 1),
                         config(7, "", "", 1), config(8, "x", "f"), config(9, "y", "F") }
            << "-|-|Ga*|1*|static|- / -|-|gA*|2|static|- / -|-|o|1*|static|- / -|-|||static|- / "
               "-|-|||static|- / -|-|N/A|N/A|N/A|- / -|-|N/A|N/A|N/A|- / -|-|x|f|static|- / "
               "-|-|y|F|static|-";
        QTest::newRow("a failed reply keeps the marks")
            << Replies { config(1, "a", "1"), config(2, "A", "1"), config(2, "", "", 7) }
            << "-|-|a*|1*|static|- / -|-|N/A*|N/A*|N/A|-";
        QTest::newRow("until the next successful one")
            << Replies { config(1, "a", "1"), config(2, "A", "1"), config(2, "", "", 7),
                         deviceInfo(Device) }
            << "-|-|a|1|static|- / -|-|N/A|N/A|N/A|- / Quorvel Gate|2.1.0|-|-|-|7";
        // clang-format on
    }
    void deviceTable()
    {
        QFETCH(Replies, replies);
        for (const QByteArray &datagram : replies) // exactly that size, so overreads show
            reply(QByteArray(datagram.constData(), datagram.size()));
        QString rows;
        for (int row = 0; row < model->rowCount(); ++row) {
            rows += row ? " / " : "";
            for (int column = 0; column <= DeviceModel::ColumnMacAddress; ++column) {
                const QStandardItem *c = cell(row, column);
                const QVariant v = c->data(column < DeviceModel::ColumnMacAddress
                        ? Qt::DisplayRole
                        : int(DeviceModel::ProductTypeRole));
                rows += QString(column ? "|" : "") + (v.isValid() ? v.toString() : "-");
                const QString tip = column == 2 ? "Hostname conflict!" : "IP conflict!";
                if (!iconOf(c).isEmpty() || !c->toolTip().isEmpty())
                    rows += iconOf(c) == "warning" && c->toolTip() == tip ? "*" : "?";
            }
        }
        QTEST(rows, "rows");
        const QStandardItem *last = cell(model->rowCount() - 1, DeviceModel::ColumnMacAddress);
        QCOMPARE(last ? last->text() : QString(), srcMacAddr(replies.last()));
        if (messageId(replies.last()) == NetworkConfigReply)
            QCOMPARE(last->data(DeviceModel::RawConfigRole).toByteArray(), replies.last());
    }

    // After a NetworkConfigReply of device A, steps: info [status], config [status], send <id>,
    // reply <id> <status> [MAC], pass|wait <ms> (wait then ticks the watch), login [once|typo]
    // (the login the set just sent carries: to remember, not to, a wrong one); statuses in
    // hexadecimal. The outcome: the log; code, icon and text of the status at the end; whether
    // the login is kept.
    void statuses_data()
    {
        QTest::addColumn<QString>("steps");
        QTest::addColumn<QString>("outcome");
        // clang-format off
        QTest::newRow("failed replies") << "send 9, reply 10 80000004, wait 0, info 5"
                                        << "9 @4; 4 warning Request failed";
        QTest::newRow("a set of either kind unanswered")
            << "send 9, wait 3000, wait 1, send 13, wait 3000, wait 1"
            << "9 @1 @3 13 @1 @3; 3 warning Device not responding";
        QTest::newRow("any reply ends the watch, also between ticks")
            << "send 7, pass 3200, config, wait 300, send 9, reply 3 0, wait 9000"
            << "7 @0 9 @1; 1 scan Setting new parameters...";
        QTest::newRow("restart, then silence")
            << "send 9, reply 10 0, wait 5000, wait 1, wait 3000, wait 1"
            << "9 1 @2 7 @2 @2 @3; 3 warning Device not responding";
        QTest::newRow("no row") << "send 9 0A:00:00:00:00:02, reply 10 0 0A:00:00:00:00:02"
                                << "9 1; 0 ok Device available";
        QTest::newRow("bad login") << "send 13, login, reply 14 80000003" << "13; 5 warning Authorization failed";
        QTest::newRow("failed login, then a set without one")
            << "send 13, login, reply 14 1, send 13, reply 14 0"
            << "13 13 1; 2 scan Applying new parameters...";
        QTest::newRow("timed-out login, answered late") << "send 13, login, wait 3000, wait 1, reply 14 0"
            << "13 @1 @3 1; 2 scan Applying new parameters...";
        QTest::newRow("a set of another device between")
            << "send 13, login, send 13 0A:00:00:00:00:02, reply 14 0 0A:00:00:00:00:02, reply 14 0"
            << "13 13 1 1; 2 scan Applying new parameters...; kept";
        QTest::newRow("login accepted, unasked replies ignored, settings read back")
            << "send 13, login, reply 14 0, reply 14 80000003, reply 10 0, reply 10 1, "
               "wait 5000, wait 500, config, wait 500"
            << "13 1 @2 7 @2 @0; 0 ok Device available; kept";
        QTest::newRow("a typo leaves the kept login")
            << "send 13, login, reply 14 0, send 13, login typo, reply 14 80000003"
            << "13 1 13; 5 warning Authorization failed; kept";
        QTest::newRow("kept login rejected later")
            << "send 13, login, reply 14 0, send 13, login once, reply 14 80000003"
            << "13 1 13; 5 warning Stored password is not valid any more, please try again!";
        // clang-format on
    }
    void statuses()
    {
        QFETCH(QString, steps);
        // A row keeps a real reply's bytes, not whatever a sender appends.
        reply(networkConfig(A) + QByteArray(8000, 'x'));
        QCOMPARE(macData(DeviceModel::RawConfigRole).toByteArray(), networkConfig(A));
        for (const QString &step : steps.split(", ")) {
            const Texts w = step.split(' ');
            const quint32 status = w.value(w.at(0) == "reply" ? 2 : 1).toUInt(nullptr, 16);
            if (w.at(0) == "info" || w.at(0) == "config")
                reply(w.at(0) == "info" ? deviceInfo(A, status) : networkConfig(A, status));
            else if (w.at(0) == "send")
                transceiver.sendRequest(w.at(1).toInt(), w.value(2, A), QByteArray());
            else if (w.at(0) == "reply")
                reply(header(w.at(1).toInt(), w.value(3, A), status));
            else if (w.at(0) == "login")
                model->setPendingLoginData(
                    Texts { A, "admin", w.value(1) == "typo" ? "typo" : Secret }, w.size() == 1);
            else
                clock.msecs += w.at(1).toInt();
            if (w.at(0) == "wait" && QMetaObject::invokeMethod(model.get(), "onTimeout"))
                log << '@' + macData(DeviceModel::StatusCodeRole).toString();
        }
        const QStandardItem *status = cell(0, DeviceModel::ColumnStatus);
        const Texts login { A, "admin", Secret };
        QTEST(QStringLiteral("%1; %2 %3 %4%5")
                  .arg(log.join(' '), macData(DeviceModel::StatusCodeRole).toString(),
                      iconOf(status), status->text(),
                      LoginData::load(A) == login ? QStringLiteral("; kept") : QString()),
            "outcome");
    }

    void loginData_story()
    {
        const QString user = QStringLiteral("J\u00fcrgen"),
                      pass = QStringLiteral("p\u00e4ssw\u00f6rd");
        LoginData::save({ A, user, pass });
        QCOMPARE(LoginData::load(A), Texts({ A, user, pass }));
        // The file as both Qt 5 and Qt 6 builds write and read it, so a login moves between them.
        QFile file(settings.path() + "/Korvex/Quorvel Device Finder.conf");
        const QByteArray line = "0A%3A00%3A00%3A00%3A00%3A01=";
        QVERIFY(file.open(QIODevice::ReadOnly));
        QVERIFY(file.readAll().contains(
            QByteArray("\n" + line + LoginData::encode({ A, user, pass }).toLatin1() + "\n")));
        file.close();
        auto store = [&](const QByteArray &value) {
            QVERIFY(file.open(QIODevice::WriteOnly));
            file.write("[LoginData]\n" + line + value + "\n");
            file.close();
        };
        QVERIFY(!hasLoginData(A.toLower()) && LoginData::load(A.toLower()).isEmpty());
        LoginData::save({ A, "", "" });
        QCOMPARE(LoginData::load(A), Texts({ A, "", "" }));
        LoginData::save({ A, "admin", "pa|ss" }); // saved, but never a valid record
        QVERIFY(hasLoginData(A) && LoginData::load(A).isEmpty());
        // "0A:1B:2C:3D:4E:5F|J\xfcrgen|p\xe4ssw\xf6rd" as another zlib compressed it
        store("AAAAIXicM3C0MnSyMnK2MnaxMnG1MnWr8fpTlJ6aV1PwpLi4/FtRCgCnKQxO");
        QCOMPARE(LoginData::load(A), Texts({ "0A:1B:2C:3D:4E:5F", user, pass }));
        store("AAAACnicIGdhcmJhZ2Uh"); // a damaged stream
        QVERIFY(LoginData::load(A).isEmpty());
        removeLoginData(A);
        QVERIFY(!hasLoginData(A));
    }

    void exportDocument()
    {
        QBuffer buffer;
        buffer.open(QIODevice::WriteOnly);
        const QList<ConnectionExport::Device> devices { { "H2", "192.168.77.10", "static", "17" },
            { "H", "192.168.77.11", "DHCP", "0" }, { "H", "N/A", "N/A", "3" },
            { "h", "192.168.77.12", "dhcp", "" } };
        QCOMPARE(ConnectionExport::write(&buffer, devices), 4);
        // clang-format off
        const QString rest = R"( ServerType="1" Port="" UploadSubfolder="" User="" Password="">)";
        QCOMPARE(QString::fromUtf8(buffer.data()), QString(R"(<?xml version="1.0" encoding="UTF-8"?>
<export>
    <connection Host="192.168.77.10" ProductType="17")" + rest + R"(H2</connection>
    <connection Host="H" ProductType="0")" + rest + R"(H</connection>
    <connection Host="N/A" ProductType="3")" + rest + R"(H3</connection>
    <connection Host="192.168.77.12" ProductType="")" + rest + R"(h</connection>
</export>
)"));
        // clang-format on
    }
};

QDF_TEST(CoreTest)
#include "core.moc"
