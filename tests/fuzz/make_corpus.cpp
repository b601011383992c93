// Writes the seed corpora of the fuzz targets into <folder>/<target>/, built
// from the same reply builders and wire-format helpers as the unit tests.

#include "datagram.h"
#include "devicereplies.h"
#include "fuzzstream.h"
#include "logindata.h"

#include <QDir>
#include <QFile>
#include <QMap>

#include <cstdio>

using namespace Fuzz;

namespace {

const QString MacA = QStringLiteral("0A:1B:2C:3D:4E:5F");
const QString MacB = QStringLiteral("AA:BB:CC:DD:EE:01");
const QString MacC = QStringLiteral("FE:ED:FA:CE:00:01");

bool write(const QString &folder, const QString &name, const QByteArray &bytes)
{
    QDir().mkpath(folder);
    QFile file(folder + QLatin1Char('/') + name);
    return file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size();
}

FuzzWriter &typedMac(FuzzWriter &w, const QString &mac)
{
    return w.byte(TypedMac).shortText(mac);
}

FuzzWriter &raw(FuzzWriter &w, const QByteArray &datagram)
{
    return w.byte(RawDatagram).block(datagram);
}

FuzzWriter &notice(FuzzWriter &w, int messageIndex, const QString &mac)
{
    // Index into the fuzzer's table: restart, get config, get config, set, set auth, get info.
    return typedMac(w.byte(RequestNotice).byte(messageIndex), mac);
}

FuzzWriter &tick(FuzzWriter &w, int msecs)
{
    return w.byte(Tick).uint16(msecs);
}

FuzzWriter &bareReply(FuzzWriter &w, int kind, int status, const QString &mac)
{
    return typedMac(w.byte(BuiltReply).byte(kind).byte(status), mac);
}

QByteArray withDest(QByteArray datagram, const QString &dest)
{
    QByteArray field(Datagram::Header::DestMac.width, '\0');
    datagram.replace(Datagram::Header::DestMac.offset, field.size(), field);
    Datagram::writeText(datagram, Datagram::Header::DestMac, dest);
    return datagram;
}

QMap<QString, QByteArray> replySeeds()
{
    using namespace DeviceReplies;
    QMap<QString, QByteArray> seeds;
    {
        FuzzWriter w;
        raw(w, deviceInfo(MacA));
        raw(w, networkConfig(MacA, 0, "gate", "192.0.2.10"));
        raw(w, deviceInfo(MacB, 0, "12", "3.0.1", "Quorvel Lift"));
        raw(w, networkConfig(MacB, 0, "GATE", "192.0.2.10", "1"));
        raw(w, networkConfig(MacC, 0, "door", "192.0.2.11"));
        tick(w, 3000);
        seeds["scan_conflicts"] = w.bytes();
    }
    {
        FuzzWriter w;
        raw(w, networkConfig(MacA));
        notice(w, 3, MacA);
        tick(w, 500);
        bareReply(w, 2, 0, MacA);
        tick(w, 2500);
        tick(w, 2600);
        tick(w, 500);
        raw(w, networkConfig(MacA, 0, "gate2", "192.0.2.20"));
        tick(w, 500);
        seeds["edit_flow"] = w.bytes();
    }
    {
        FuzzWriter w;
        raw(w, networkConfig(MacA));
        notice(w, 1, MacA);
        tick(w, 3000);
        tick(w, 1);
        tick(w, 500);
        raw(w, deviceInfo(MacA));
        seeds["request_times_out"] = w.bytes();
    }
    {
        FuzzWriter w;
        raw(w, networkConfig(MacA, 0, "gate", "192.0.2.10", "0", 4));
        typedMac(w.byte(PendingLogin), MacA).shortText("admin").shortText("secret");
        notice(w, 4, MacA);
        bareReply(w, 3, 0, MacA);
        tick(w, 5500);
        bareReply(w, 2, 3, MacA);
        seeds["auth_saved_then_rejected"] = w.bytes();
    }
    {
        FuzzWriter w;
        raw(w, networkConfig(MacB));
        typedMac(w.byte(PendingLogin), MacA).shortText("admin").shortText("");
        bareReply(w, 3, 3, MacB);
        typedMac(w.byte(StoredLogin), MacB);
        bareReply(w, 3, 2, MacB);
        seeds["auth_failures"] = w.bytes();
    }
    {
        FuzzWriter w;
        raw(w, networkConfig("0a:1b:2c:3d:4e:5f"));
        raw(w, deviceInfo(MacA));
        w.byte(BuiltReply)
            .byte(0)
            .byte(0)
            .byte(KnownMac)
            .byte(3)
            .shortText("x")
            .shortText("")
            .shortText("1");
        w.byte(BuiltReply)
            .byte(1)
            .byte(0)
            .byte(KnownMac)
            .byte(4)
            .shortText("7")
            .shortText("1")
            .shortText("k");
        w.byte(RequestNotice).byte(1).byte(RowMac | 0x10).byte(0);
        tick(w, 3200);
        seeds["letter_case"] = w.bytes();
    }
    {
        FuzzWriter w;
        QByteArray foreign = networkConfig(MacA);
        foreign[0] = 'X';
        raw(w, foreign);
        raw(w, withDest(networkConfig(MacA), QStringLiteral("02:00:00:00:00:02")));
        raw(w, withDest(deviceInfo(MacB), QString()));
        raw(w,
            withDest(bare(Datagram::GetNetworkConfig, MacA),
                QString::fromLatin1(Datagram::BroadcastMac)));
        raw(w, networkConfig(MacC).left(150));
        raw(w, networkConfig(MacC).left(Datagram::Header::Size - 1));
        seeds["acceptance"] = w.bytes();
    }
    {
        FuzzWriter w;
        raw(w, networkConfig(MacA, 0, "a", "192.0.2.3"));
        raw(w, networkConfig(MacB, 0, "b", "192.0.2.1"));
        raw(w, networkConfig(MacC, 0, "c", "192.0.2.2"));
        w.byte(Sort).byte(0x80 | 3);
        w.byte(RemoveRows).byte(1).byte(0);
        w.byte(StatusFromOutside).byte(RowMac).byte(0);
        raw(w, networkConfig(MacB, 0, "c", "192.0.2.2"));
        w.byte(EmptyTable);
        raw(w, deviceInfo(MacA));
        seeds["sort_and_remove"] = w.bytes();
    }
    {
        FuzzWriter w;
        raw(w, networkConfig(MacA, 1));
        raw(w, deviceInfo(MacA, 1));
        raw(w, networkConfig(MacB, 0, "N/A", "N/A"));
        raw(w, networkConfig(MacC, 0, "n/a", "n/a"));
        seeds["failed_replies"] = w.bytes();
    }
    {
        FuzzWriter w;
        raw(w, networkConfig(MacA));
        raw(w, bare(3, MacA));
        w.byte(RequestNotice).byte(1).byte(BroadcastMac);
        tick(w, 500);
        tick(w, 500);
        notice(w, 0, MacA);
        seeds["unknown_and_broadcast"] = w.bytes();
    }
    return seeds;
}

QByteArray configReply(const QString &mac, quint32 status, const Datagram::NetworkSettings &s)
{
    const QByteArray payload = Datagram::encodeNetworkConfig(mac, s);
    return DeviceReplies::header(Datagram::NetworkConfigReply, mac, status, payload.size())
        + payload;
}

QMap<QString, QByteArray> dialogSeeds()
{
    Datagram::NetworkSettings s;
    s.hostname = "gate";
    s.dhcp = "0";
    s.ipAddress = "192.0.2.10";
    s.subnetMask = "255.255.255.0";
    s.domain = "plant.example";
    s.gateway = "192.0.2.1";
    s.primaryDns = "192.0.2.2";
    s.secondaryDns = "";

    QMap<QString, QByteArray> seeds;
    seeds["static"] = configReply(MacA, 0, s);
    for (const char *dhcp : { "1", "2", "x", "-1" }) {
        Datagram::NetworkSettings d = s;
        d.dhcp = dhcp;
        seeds[QStringLiteral("dhcp_%1").arg(dhcp)] = configReply(MacA, 0, d);
    }
    seeds["failed"] = configReply(MacA, 1, s);
    seeds["cut_in_payload"] = configReply(MacA, 0, s).left(150);
    seeds["header_only"] = DeviceReplies::bare(Datagram::NetworkConfigReply, MacA);
    Datagram::NetworkSettings odd = s;
    odd.ipAddress = "192.168.1.";
    odd.domain = QString(79, QLatin1Char('d'));
    odd.gateway = "...";
    seeds["incomplete_address"] = configReply(MacA, 0, odd);
    QByteArray unterminated = configReply(MacA, 0, s);
    unterminated.replace(Datagram::Header::Size + Datagram::NetworkConfig::Hostname.offset,
        Datagram::NetworkConfig::Hostname.width, QByteArray(25, 'h'));
    seeds["hostname_without_nul"] = unterminated;
    seeds["markup_in_mac"] = configReply(QStringLiteral("<i>x</i>&amp;"), 0, s);
    return seeds;
}

QMap<QString, QByteArray> loginSeeds()
{
    QMap<QString, QByteArray> seeds;
    seeds["golden"] = "AAAAIXicM3C0MnSyMnK2MnaxMnG1MnWr8fpTlJ6aV1PwpLi4/FtRCgCnKQxO";
    seeds["encoded"] = LoginData::encode({ MacA, "admin", "secret" }).toLatin1();
    seeds["encoded_empty_parts"] = LoginData::encode({ MacA, "", "" }).toLatin1();
    seeds["four_parts"] = "AAAAG3icM3C0MnSyMnK2MnaxMnG1MnWrSUzJzcyrSaxJAgBg9ggn";
    seeds["corrupt_stream"] = "AAAACnicIGdhcmJhZ2Uh";
    seeds["huge_length"] = "f////3icqwAAAHkAeQ==";
    seeds["not_base64"] = "not*base64!";
    seeds["record"] = (MacA + QStringLiteral("\1admin\1secret")).toUtf8().replace('\1', '\0');
    seeds["record_separator"] = QByteArray("AA:BB:CC:DD:EE:01\1u\1p|q").replace('\1', '\0');
    seeds["record_not_latin1"]
        = QStringLiteral("K1\1J\u00fcrgen\1\u043a\u043b\u044e\u0447\U0001F511")
              .toUtf8()
              .replace('\1', '\0');
    seeds["record_empty"] = QByteArray(2, '\0');
    return seeds;
}

} // namespace

int main(int argc, char **argv)
{
    if (argc != 2) {
        std::fprintf(stderr, "usage: %s <corpus folder>\n", argv[0]);
        return 2;
    }
    const QString root = QString::fromLocal8Bit(argv[1]);
    const QList<QPair<QString, QMap<QString, QByteArray>>> targets = {
        { "replies", replySeeds() },
        { "connectiondialog", dialogSeeds() },
        { "logindata", loginSeeds() },
    };
    for (const auto &target : targets) {
        for (auto seed = target.second.cbegin(); seed != target.second.cend(); ++seed) {
            if (!write(root + QLatin1Char('/') + target.first, seed.key(), seed.value())) {
                std::fprintf(stderr, "cannot write %s\n", qUtf8Printable(seed.key()));
                return 1;
            }
        }
    }
    return 0;
}
