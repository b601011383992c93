// A random sequence of datagrams through the transceiver's acceptance and the
// device table's reply handling, with request notices, watch ticks, sorting
// and row removals in between. The table is checked after every step against
// the plain reference table of the tests, and against invariants of its own.

#include "datagram.h"
#include "devicemodel.h"
#include "devicereplies.h"
#include "devicestatus.h"
#include "devicetabledump.h"
#include "fuzzstream.h"
#include "logindata.h"
#include "manualdeviceclock.h"
#include "packettransceiver.h"
#include "referencedevicemodel.h"

#include <QDir>
#include <QGuiApplication>
#include <QSettings>
#include <QTimer>

#include <memory>

using namespace Fuzz;
using TestSupport::ReferenceDeviceModel;

namespace {

// The host's own MAC as the transceiver's acceptance sees it.
const QString LocalMac = QStringLiteral("02:00:00:00:00:01");

QString ucs4(uint codePoint)
{
    return QString::fromUcs4(&codePoint, 1);
}

// Texts whose letter case folds in unusual ways, beside plain MACs: one
// character folding onto another, characters beyond 16 bits that fold (a
// pair of UTF-16 units), and lone halves of such pairs.
const QStringList KnownMacs = { QStringLiteral("0A:1B:2C:3D:4E:5F"),
    QStringLiteral("0a:1b:2c:3d:4e:5f"), QStringLiteral("AA:BB:CC:DD:EE:01"),
    QStringLiteral("K1:00:00:00:00:01"), QStringLiteral("\u212a1:00:00:00:00:01"),
    QStringLiteral("stra\u00dfe"), QStringLiteral("STRASSE"), QStringLiteral("\u03c3"),
    QStringLiteral("\u03c2"), QStringLiteral("\u0130"), QStringLiteral("i"), QString(),
    ucs4(0x10400), ucs4(0x10428), QStringLiteral("A") + ucs4(0x10400),
    QString(QChar(0xD801)) + QStringLiteral("a"), QString(QChar(0xDC00)),
    QString(QChar(0xD801)) + QString(QChar(0xD801)) + QString(QChar(0xDC28)) };

QString settingsRoot;

void useStore(const char *which)
{
    QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope,
        settingsRoot + QLatin1Char('/') + QLatin1String(which));
}

QSettings *openStore(const char *which)
{
    useStore(which);
    return new QSettings(QSettings::NativeFormat, QSettings::UserScope, QStringLiteral("Korvex"),
        QStringLiteral("Quorvel Device Finder"));
}

void clearStore(const char *which)
{
    std::unique_ptr<QSettings>(openStore(which))->clear();
}

// Every stored login value, by key.
QMap<QString, QString> storedLogins(const char *which)
{
    const std::unique_ptr<QSettings> store(openStore(which));
    store->beginGroup(QStringLiteral("LoginData"));
    QMap<QString, QString> values;
    const QStringList keys = store->childKeys();
    for (const QString &key : keys)
        values.insert(key, store->value(key).toString());
    return values;
}

class Run
{
public:
    explicit Run(FuzzReader &in)
        : in(in)
        , reference(&clock)
    {
        fast.setClock(&clock);
        fastTimer = fast.findChild<QTimer *>();
        check(fastTimer, QStringLiteral("the table has no watch timer"));
        // The transceiver reports each request at once, during the emit.
        QObject::connect(&fast, &DeviceModel::sendRestartNetwork, [this](const QString &mac) {
            fastSignals << QStringLiteral("restart ") + mac;
            fast.onDeviceRequestSent(Datagram::RestartNetwork, mac);
        });
        QObject::connect(&fast, &DeviceModel::sendGetEthConfiguration, [this](const QString &mac) {
            fastSignals << QStringLiteral("get config ") + mac;
            fast.onDeviceRequestSent(Datagram::GetNetworkConfig, mac);
        });
        QObject::connect(
            &reference, &ReferenceDeviceModel::sendRestartNetwork, [this](const QString &mac) {
                referenceSignals << QStringLiteral("restart ") + mac;
                reference.onDeviceRequestSent(Datagram::RestartNetwork, mac);
            });
        QObject::connect(
            &reference, &ReferenceDeviceModel::sendGetEthConfiguration, [this](const QString &mac) {
                referenceSignals << QStringLiteral("get config ") + mac;
                reference.onDeviceRequestSent(Datagram::GetNetworkConfig, mac);
            });
    }

    bool touchedStore = false;

    void step()
    {
        stepTouchedStore = false;
        switch (in.byte() % ReplyOperationCount) {
        case RawDatagram:
            deliver(in.block());
            break;
        case BuiltReply:
            deliver(builtReply());
            break;
        case RequestNotice: {
            static const int ids[] = { Datagram::RestartNetwork, Datagram::GetNetworkConfig,
                Datagram::GetNetworkConfig, Datagram::SetNetworkConfig,
                Datagram::SetNetworkConfigAuth, Datagram::GetDeviceInfo };
            const quint8 pick = in.byte();
            const int id = pick < 6 * 32 ? ids[pick % 6] : pick - 6 * 32;
            const QString mac = macText();
            onBoth([&](DeviceModel &m) { m.onDeviceRequestSent(id, mac); },
                [&](ReferenceDeviceModel &m) { m.onDeviceRequestSent(id, mac); });
            break;
        }
        case Tick:
            // Bounded, so that a run stays within one day of the time of day
            // the reference measures its waits on.
            clock.advance(in.uint16() % 7000);
            onBoth([](DeviceModel &m) { QMetaObject::invokeMethod(&m, "onTimeout"); },
                [](ReferenceDeviceModel &m) { m.onTimeout(); });
            break;
        case Sort: {
            const quint8 how = in.byte();
            const Qt::SortOrder order = how & 0x80 ? Qt::DescendingOrder : Qt::AscendingOrder;
            const int column = how % (DeviceModel::ColumnStatus + 1);
            fast.sort(column, order);
            reference.sort(column, order);
            break;
        }
        case RemoveRows: {
            const int rows = reference.rowCount();
            const int first = in.byte() % (rows + 1);
            const int count = rows > first ? 1 + in.byte() % (rows - first) : 0;
            fast.removeRows(first, count);
            reference.removeRows(first, count);
            break;
        }
        case EmptyTable:
            fast.setRowCount(0);
            reference.setRowCount(0);
            break;
        case PendingLogin: {
            const QString mac = macText();
            const QString user = in.shortText();
            const QString password = in.shortText();
            fast.pendingLoginData = QStringList { mac, user, password };
            reference.pendingLoginData = fast.pendingLoginData;
            break;
        }
        case StoredLogin: {
            const QStringList record = { macText(), QStringLiteral("u"), QStringLiteral("p") };
            touchedStore = stepTouchedStore = true;
            useStore("fast");
            LoginData::save(record);
            useStore("reference");
            LoginData::save(record);
            break;
        }
        case StatusFromOutside: {
            const QString mac = macText();
            check(fast.setStatus(mac, InformationIncomplete())
                    == reference.setStatus(mac, InformationIncomplete()),
                QStringLiteral("setStatus rows differ for ") + mac);
            break;
        }
        }
        compare();
    }

private:
    template<typename OnFast, typename OnReference>
    void onBoth(OnFast onFast, OnReference onReference)
    {
        useStore("fast");
        onFast(fast);
        useStore("reference");
        onReference(reference);
    }

    // A MAC text: typed in (UTF-8, or UTF-16 units), one of the table's own
    // in another letter case, one that folds unusually, or the broadcast MAC.
    QString macText()
    {
        const quint8 how = in.byte();
        switch (how % 4) {
        case TypedMac:
            return how & 0x40 ? in.shortUtf16() : in.shortText();
        case RowMac: {
            if (reference.rowCount() == 0)
                return KnownMacs.first();
            const QString mac
                = reference.item(in.byte() % reference.rowCount(), DeviceModel::ColumnMacAddress)
                      ->text();
            return how & 0x10 ? mac.toLower() : how & 0x20 ? mac.toUpper() : mac;
        }
        case KnownMac:
            return KnownMacs.at(in.byte() % KnownMacs.size());
        default:
            return QString::fromLatin1(Datagram::BroadcastMac);
        }
    }

    QByteArray builtReply()
    {
        static const quint32 statuses[]
            = { Datagram::StatusOk, Datagram::StatusOk, 1, Datagram::StatusAuthorizationFailed };
        const quint8 kind = in.byte();
        const quint32 status = statuses[in.byte() % 4];
        const QString mac = macText();
        switch (kind % 5) {
        case 0: {
            const QString hostname = in.shortText();
            const QString ipAddress = in.shortText();
            const QString dhcp = in.shortText();
            return DeviceReplies::networkConfig(mac, status, hostname, ipAddress, dhcp);
        }
        case 1: {
            const QString productType = in.shortText();
            const QString firmware = in.shortText();
            return DeviceReplies::deviceInfo(mac, status, productType, firmware, in.shortText());
        }
        case 2:
            return DeviceReplies::bare(Datagram::SetNetworkConfigReply, mac, status);
        case 3:
            return DeviceReplies::bare(Datagram::SetNetworkConfigAuthReply, mac, status);
        default:
            return DeviceReplies::bare(kind, mac, status);
        }
    }

    void deliver(const QByteArray &datagram)
    {
        const PacketTransceiver::Acceptance verdict
            = PacketTransceiver::acceptance(datagram, LocalMac);
        const bool ours = datagram.size() >= Datagram::Header::Size
            && Datagram::hasTerminatedText(datagram, Datagram::Header::Key)
            && Datagram::readText(datagram, Datagram::Header::Key)
                == QLatin1String(Datagram::PacketIdentificationKey);
        check((verdict == PacketTransceiver::Acceptance::ForeignKey)
                == (datagram.size() >= Datagram::Header::Size
                    && Datagram::hasTerminatedText(datagram, Datagram::Header::Key)
                    && Datagram::hasTerminatedText(datagram, Datagram::Header::DestMac) && !ours),
            QStringLiteral("a datagram with another key is not reported as such"));
        if (verdict != PacketTransceiver::Acceptance::Deliver)
            return;
        check(ours && LocalMac.startsWith(Datagram::destMacAddr(datagram)),
            QStringLiteral("a datagram that is not ours, or not for this host, was accepted"));
        const int messageId = Datagram::messageId(datagram);
        if (messageId == Datagram::SetNetworkConfigReply
            || messageId == Datagram::SetNetworkConfigAuthReply)
            touchedStore = stepTouchedStore = true;
        onBoth([&](DeviceModel &m) { m.onDeviceReplyReceived(datagram); },
            [&](ReferenceDeviceModel &m) { m.onDeviceReplyReceived(datagram); });
    }

    void compare()
    {
        const int rows = reference.rowCount();
        check(fast.rowCount() == rows,
            QStringLiteral("%1 rows, the reference has %2").arg(fast.rowCount()).arg(rows));
        for (int row = 0; row < rows; ++row) {
            for (int column = 0; column < DeviceModel::ColumnStatus + 1; ++column) {
                const QStringList a = TestSupport::describeCell(fast.item(row, column));
                const QStringList b = TestSupport::describeCell(reference.item(row, column));
                check(a == b,
                    QStringLiteral("row %1, column %2:\n  table     %3\n  reference %4")
                        .arg(row)
                        .arg(column)
                        .arg(a.join(QStringLiteral(" | ")), b.join(QStringLiteral(" | "))));
            }
            const QString mac = fast.item(row, DeviceModel::ColumnMacAddress)->text();
            // One row per device: no other row's MAC matches this one.
            check(fast.findRow(mac) == row,
                QStringLiteral("row %1 (%2) is found at row %3")
                    .arg(row)
                    .arg(mac)
                    .arg(fast.findRow(mac)));
            for (int other = row + 1; other < rows; ++other) {
                const QString otherMac = fast.item(other, DeviceModel::ColumnMacAddress)->text();
                check(QString::compare(mac, otherMac, Qt::CaseInsensitive) != 0,
                    QStringLiteral("rows %1 and %2 are the same device").arg(row).arg(other));
            }
        }
        check(fastSignals == referenceSignals,
            QStringLiteral("signals differ:\n  table     %1\n  reference %2")
                .arg(fastSignals.join(QStringLiteral(", ")),
                    referenceSignals.join(QStringLiteral(", "))));
        check(fastTimer->isActive() == reference.timeoutTimer->isActive(),
            QStringLiteral("the watch timer runs in only one of the tables"));
        check(fast.pendingLoginData == reference.pendingLoginData,
            QStringLiteral("pending login data differs"));
        if (stepTouchedStore)
            check(storedLogins("fast") == storedLogins("reference"),
                QStringLiteral("the stored login data differs"));
    }

    FuzzReader &in;
    TestSupport::ManualDeviceClock clock;
    DeviceModel fast;
    ReferenceDeviceModel reference;
    QTimer *fastTimer = nullptr;
    QStringList fastSignals;
    QStringList referenceSignals;
    bool stepTouchedStore = false;
};

} // namespace

extern "C" int LLVMFuzzerInitialize(int *, char ***argv)
{
    Fuzz::silenceQtMessages();
    // Icons need a GUI application; nothing is shown.
    Fuzz::startOffscreenApplication<QGuiApplication>((*argv)[0]);
    settingsRoot = Fuzz::useTemporarySettings();
    for (const char *which : { "fast", "reference" })
        QDir(settingsRoot).mkpath(QLatin1String(which));
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    FuzzReader in(data, size);
    bool touchedStore = false;
    {
        Run run(in);
        while (!in.atEnd())
            run.step();
        touchedStore = run.touchedStore;
    }
    // Every input starts with empty login stores.
    if (touchedStore) {
        clearStore("fast");
        clearStore("reference");
    }
    return 0;
}
