#include "datagram.h"
#include "devicemodel.h"
#include "devicereplies.h"
#include "devicetabledump.h"
#include "logindata.h"
#include "manualdeviceclock.h"
#include "referencedevicemodel.h"
#include "testsupport.h"

#include <QRandomGenerator>
#include <QSettings>
#include <QTimer>
#include <QtTest>

#include <functional>

using TestSupport::describeCell;
using TestSupport::ReferenceDeviceModel;

namespace {

QString ucs4(uint codePoint)
{
    return QString::fromUcs4(&codePoint, 1);
}

// Letters in every MAC so that letter-case variants exist; the last two fold
// onto their neighbours only when case is ignored.
const QStringList Macs
    = { "0A:1B:2C:3D:4E:5F", "0A:1B:2C:3D:4E:60", "AA:BB:CC:DD:EE:01", "AA:BB:CC:DD:EE:02",
          "AA:BB:CC:DD:EE:0F", "FE:ED:FA:CE:00:01", "DE:AD:BE:EF:00:02", "C0:FF:EE:00:00:0A",
          "K1:00:00:00:00:01", QStringLiteral("\u212a1:00:00:00:00:01"), "", "0a:1b:2c:3d:4e:5f" };

const QStringList Hostnames = { "gate", "GATE", "Gate", "door", "DOOR", "lift", "n/a", "N/A", "",
    "stra\u00dfe", "STRASSE", "k-1", QStringLiteral("\u212a-1"), ucs4(0x10400), ucs4(0x10428), "x",
    QStringLiteral("\u03c3"), QStringLiteral("\u03c2"), QStringLiteral("\u017f"), "s",
    QStringLiteral("\u0130"), "i" };

const QStringList IpAddresses = { "192.0.2.1", "192.0.2.2", "192.0.2.3", "192.0.2.01", "N/A", "n/a",
    "", "fe80::a", "FE80::A" };

const QStringList DhcpTexts = { "1", "0", "2", "" };
const QStringList ProductTypes = { "7", "12", "x", "", "-4", "99999999999" };

const QVector<quint32> Statuses = { 0, 0, 0, 0, 1, Datagram::StatusAuthorizationFailed };

// One settings store per model, so that each sees only its own login data.
class Stores
{
public:
    void useFast() { use(fast); }
    void useReference() { use(reference); }

private:
    static void use(const QTemporaryDir &dir)
    {
        QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope, dir.path());
    }
    QTemporaryDir fast;
    QTemporaryDir reference;
};

} // namespace

class tst_DeviceModelEquivalence : public QObject
{
    Q_OBJECT

private slots:
    void randomSequences_matchTheReference_data();
    void randomSequences_matchTheReference();
};

void tst_DeviceModelEquivalence::randomSequences_matchTheReference_data()
{
    QTest::addColumn<quint32>("seed");
    QTest::addColumn<int>("steps");
    for (quint32 seed : { 1u, 2u, 3u, 4u, 5u })
        QTest::newRow(qPrintable(QStringLiteral("seed %1").arg(seed))) << seed << 3000;
}

void tst_DeviceModelEquivalence::randomSequences_matchTheReference()
{
    QFETCH(quint32, seed);
    QFETCH(int, steps);

    TestSupport::TemporarySettings settings;
    Stores stores;
    TestSupport::ManualDeviceClock clock;
    DeviceModel fast;
    fast.setClock(&clock);
    ReferenceDeviceModel reference(&clock);
    QTimer *fastTimer = fast.findChild<QTimer *>();
    QVERIFY(fastTimer);

    // Both wired to a transceiver that reports its requests at once, as the real one does.
    QStringList fastSignals;
    QStringList referenceSignals;
    connect(&fast, &DeviceModel::sendRestartNetwork, &fast, [&](const QString &mac) {
        fastSignals << "restart " + mac;
        fast.onDeviceRequestSent(Datagram::RestartNetwork, mac);
    });
    connect(&fast, &DeviceModel::sendGetEthConfiguration, &fast, [&](const QString &mac) {
        fastSignals << "get config " + mac;
        fast.onDeviceRequestSent(Datagram::GetNetworkConfig, mac);
    });
    connect(
        &reference, &ReferenceDeviceModel::sendRestartNetwork, &reference, [&](const QString &mac) {
            referenceSignals << "restart " + mac;
            reference.onDeviceRequestSent(Datagram::RestartNetwork, mac);
        });
    connect(&reference, &ReferenceDeviceModel::sendGetEthConfiguration, &reference,
        [&](const QString &mac) {
            referenceSignals << "get config " + mac;
            reference.onDeviceRequestSent(Datagram::GetNetworkConfig, mac);
        });

    QRandomGenerator random(seed);
    auto pick = [&random](const QStringList &list) { return list.at(random.bounded(list.size())); };
    auto macVariant = [&]() {
        QString mac = pick(Macs);
        if (random.bounded(4) == 0)
            mac = mac.toLower();
        else if (random.bounded(8) == 0 && !mac.isEmpty())
            mac[mac.size() - 1] = mac.at(mac.size() - 1).toLower();
        return mac;
    };
    auto both = [&](const std::function<void(DeviceModel &)> &onFast,
                    const std::function<void(ReferenceDeviceModel &)> &onReference) {
        stores.useFast();
        onFast(fast);
        stores.useReference();
        onReference(reference);
    };
    auto reply = [&](const QByteArray &datagram) {
        both([&](DeviceModel &m) { m.onDeviceReplyReceived(datagram); },
            [&](ReferenceDeviceModel &m) { m.onDeviceReplyReceived(datagram); });
    };

    QString lastStep;
    for (int step = 0; step < steps; ++step) {
        const int kind = random.bounded(100);
        const QString mac = macVariant();
        if (kind < 30) {
            const QByteArray d = random.bounded(2)
                ? DeviceReplies::deviceInfo(mac, Statuses.at(random.bounded(Statuses.size())),
                    pick(ProductTypes), "1." + pick(DhcpTexts), pick(Hostnames))
                : DeviceReplies::networkConfig(mac, Statuses.at(random.bounded(Statuses.size())),
                    pick(Hostnames), pick(IpAddresses), pick(DhcpTexts), random.bounded(3, 6));
            lastStep = QStringLiteral("reply %1 from %2").arg(Datagram::messageId(d)).arg(mac);
            reply(d);
        } else if (kind < 36) {
            const QByteArray d
                = DeviceReplies::networkConfig(mac, 0, pick(Hostnames), pick(IpAddresses));
            const int cut = random.bounded(d.size());
            lastStep = QStringLiteral("reply cut to %1 bytes").arg(cut);
            reply(QByteArray(d.constData(), cut));
        } else if (kind < 48) {
            const int messageId = random.bounded(3) ? Datagram::SetNetworkConfigReply
                                                    : Datagram::SetNetworkConfigAuthReply;
            const quint32 status = Statuses.at(random.bounded(Statuses.size()));
            lastStep
                = QStringLiteral("reply %1 status %2 from %3").arg(messageId).arg(status).arg(mac);
            reply(DeviceReplies::bare(messageId, mac, status));
        } else if (kind < 50) {
            lastStep = QStringLiteral("unknown reply from %1").arg(mac);
            reply(DeviceReplies::bare(random.bounded(2) ? 3 : 11, mac));
        } else if (kind < 65) {
            static const int ids[] = { 1, 7, 7, 7, 9, 9, 13, 11, 2 };
            const int messageId = ids[random.bounded(int(sizeof ids / sizeof *ids))];
            const QString target
                = random.bounded(6) ? mac : QString::fromLatin1(Datagram::BroadcastMac);
            lastStep = QStringLiteral("request %1 to %2").arg(messageId).arg(target);
            both([&](DeviceModel &m) { m.onDeviceRequestSent(messageId, target); },
                [&](ReferenceDeviceModel &m) { m.onDeviceRequestSent(messageId, target); });
        } else if (kind < 85) {
            const int msecs = random.bounded(1400);
            lastStep = QStringLiteral("tick after %1 ms").arg(msecs);
            clock.advance(msecs);
            both([&](DeviceModel &m) { QMetaObject::invokeMethod(&m, "onTimeout"); },
                [&](ReferenceDeviceModel &m) { m.onTimeout(); });
        } else if (kind < 91) {
            const int column = random.bounded(7);
            const Qt::SortOrder order
                = random.bounded(2) ? Qt::AscendingOrder : Qt::DescendingOrder;
            lastStep = QStringLiteral("sort by %1").arg(column);
            fast.sort(column, order);
            reference.sort(column, order);
        } else if (kind < 95) {
            const QStringList login
                = { random.bounded(3) ? pick(Macs) : mac, "user", pick(Hostnames) };
            lastStep = QStringLiteral("pending login for %1").arg(login.first());
            fast.pendingLoginData = login;
            reference.pendingLoginData = login;
        } else if (kind < 97) {
            lastStep = QStringLiteral("stored login for %1").arg(mac);
            both(
                [&](DeviceModel &) {
                    LoginData::save({ mac, "u", "p" });
                },
                [&](ReferenceDeviceModel &) {
                    LoginData::save({ mac, "u", "p" });
                });
        } else if (kind < 98) {
            lastStep = QStringLiteral("status from outside for %1").arg(mac);
            QCOMPARE(fast.setStatus(mac, InformationIncomplete()),
                reference.setStatus(mac, InformationIncomplete()));
        } else if (kind < 99 || reference.rowCount() == 0) {
            lastStep = QStringLiteral("table emptied");
            fast.setRowCount(0);
            reference.setRowCount(0);
        } else {
            const int first = random.bounded(reference.rowCount());
            const int count = 1 + random.bounded(reference.rowCount() - first);
            lastStep = QStringLiteral("rows %1 to %2 removed").arg(first).arg(first + count - 1);
            fast.removeRows(first, count);
            reference.removeRows(first, count);
        }

        const QString where = QStringLiteral("step %1 (%2)").arg(step).arg(lastStep);
        QVERIFY2(fast.rowCount() == reference.rowCount(), qPrintable(where));
        for (int row = 0; row < reference.rowCount(); ++row) {
            for (int column = 0; column < 7; ++column) {
                const QStringList a = describeCell(fast.item(row, column));
                const QStringList b = describeCell(reference.item(row, column));
                if (a != b) {
                    QFAIL(qPrintable(
                        QStringLiteral("%1, row %2, column %3:\n  fast %4\n  reference %5")
                            .arg(where)
                            .arg(row)
                            .arg(column)
                            .arg(a.join(" | "), b.join(" | "))));
                }
            }
            const QString rowMac = reference.item(row, DeviceModel::ColumnMacAddress)->text();
            QVERIFY2(fast.findRow(rowMac) == reference.findRow(rowMac), qPrintable(where));
        }
        QVERIFY2(fastSignals == referenceSignals, qPrintable(where));
        QVERIFY2(fastTimer->isActive() == reference.timeoutTimer->isActive(), qPrintable(where));
        QVERIFY2(fast.pendingLoginData == reference.pendingLoginData, qPrintable(where));
        QVERIFY2(fast.findRow(mac) == reference.findRow(mac), qPrintable(where));
        if (!lastStep.startsWith(QLatin1String("reply 1"))
            && !lastStep.startsWith(QLatin1String("stored")))
            continue;
        stores.useFast();
        const bool fastStored = hasLoginData(mac);
        const QStringList fastLogin = LoginData::load(mac);
        stores.useReference();
        QVERIFY2(fastStored == hasLoginData(mac), qPrintable(where));
        QVERIFY2(fastLogin == LoginData::load(mac), qPrintable(where));
    }
}

QTEST_MAIN(tst_DeviceModelEquivalence)
#include "tst_devicemodel_equivalence.moc"
