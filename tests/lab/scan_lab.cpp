#include "connectiondialog.h"
#include "devicefiltermodel.h"
#include "devicemodel.h"
#include "mainwindow.h"
#include "packettransceiver.h"
#include "scancycle.h"
#include "simulatorprocess.h"
#include "testmain.h"
#include "testsupport.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QLineEdit>
#include <QPushButton>
#include <QTemporaryFile>
#include <QtTest>

namespace {

const QString Plain = QStringLiteral("02:00:00:AA:00:01");
const QString InfoOnly = QStringLiteral("02:00:00:AA:00:02");
const QString ConfigOnly = QStringLiteral("02:00:00:AA:00:03");
const QString Available = QStringLiteral("Device available");

// Beside the thousand generated devices: one to edit, one that answers only the
// first request and one only the second.
const char Odd[] = R"([{"mac": "02:00:00:AA:00:01", "name": "Lumaboard-III", "firmware": "1.6",
  "protocolVersion": 3, "hostname": "hall", "dhcp": "1", "ipAddress": "192.168.50.1"},
 {"mac": "02:00:00:AA:00:02", "name": "Info only", "firmware": "1", "noNetworkConfigReply": true},
 {"mac": "02:00:00:AA:00:03", "hostname": "conf", "dhcp": "0", "ipAddress": "192.168.50.3",
  "noDeviceInfoReply": true}])";

} // namespace

class ScanLab : public QObject
{
    Q_OBJECT

private slots:
    void scanOfAPlantThenAnEdit();
};

// One scan of a thousand and three devices, the thousand losing 2 % of their
// replies on the way, into an ordinary user's small socket buffer, with
// foreign datagrams among the replies, then a settings change of one of
// them, all through the real window; then the same scan by the command line.
void ScanLab::scanOfAPlantThenAnEdit()
{
    QDF_REQUIRE_LAB();
    QTemporaryFile oddDevices;
    QVERIFY(oddDevices.open() && oddDevices.write(Odd) > 0 && oddDevices.flush());
    NetLab::SimulatorProcess plant({ "--count", "1000", "--loss", "0.02" });
    NetLab::SimulatorProcess odd({ "--config", oddDevices.fileName(), "--junk", "200" });
    QVERIFY2(plant.start(), qPrintable(plant.errorText()));
    QVERIFY2(odd.start(), qPrintable(odd.errorText()));
    TestSupport::TemporarySettings settings;
    MainWindow window;
    window.findChild<PacketTransceiver *>()->setReceiveBufferLimitForTesting(212992);
    auto *model = window.findChild<DeviceModel *>();
    auto cell = [model](const QString &mac, int column) {
        return model->index(model->findRow(mac), column).data().toString();
    };
    auto available = [model] {
        int rows = 0;
        for (int row = 0; row < model->rowCount(); ++row)
            rows += model->index(row, DeviceModel::ColumnStatus).data() == Available;
        return rows;
    };

    QElapsedTimer clock;
    QStringList sent;
    QList<qint64> sentAt;
    qint64 checkedAt = -1;
    connect(window.findChild<PacketTransceiver *>(), &PacketTransceiver::requestSent,
        [&](int id, const QString &mac) {
            sent << QString::number(id) + ' ' + mac;
            sentAt << clock.elapsed();
        });
    connect(
        window.findChild<ScanCycle *>(), &ScanCycle::checked, [&] { checkedAt = clock.elapsed(); });
    clock.start();
    QVERIFY(QMetaObject::invokeMethod(&window, "scan"));
    const qint64 scanned = clock.elapsed();
    QCOMPARE(sent, (QStringList { "11 FF:FF:FF:FF:FF:FF", "7 FF:FF:FF:FF:FF:FF" }));
    QVERIFY2(sentAt[1] - sentAt[0] >= 95, "no pause between the two requests");

    // Every device has its row long before the check (but one of the thousand
    // may have lost all its replies to both rounds on a busy machine), and
    // foreign datagrams among the replies brought up one box, which did not
    // hold them up.
    QTRY_VERIFY_WITH_TIMEOUT(model->rowCount() >= 1002, 2500);
    QCOMPARE(available(), model->rowCount());
    QCOMPARE(checkedAt, -1);
    QWidgetList boxes;
    for (QWidget *widget : QApplication::topLevelWidgets())
        if (widget->isVisible() && widget->windowTitle() == QLatin1String("!"))
            boxes << widget;
    QCOMPARE(boxes.size(), 1);
    boxes[0]->close();

    // The check alone marks the rows that stayed incomplete: each device whose
    // reply was lost was asked again by its MAC, after one more round of both
    // broadcasts for those that lost both replies.
    QTRY_VERIFY_WITH_TIMEOUT(checkedAt >= 0, 5000);
    QCOMPARE(sent.count("11 FF:FF:FF:FF:FF:FF"), 2);
    QVERIFY(sent.contains("7 " + InfoOnly) && sent.contains("11 " + ConfigOnly));
    // A coarse timer may fire up to 5 % early.
    QVERIFY2(checkedAt - scanned >= 2850, qPrintable(QString::number(checkedAt - scanned)));
    for (const QString &mac : { InfoOnly, ConfigOnly })
        QCOMPARE(cell(mac, DeviceModel::ColumnStatus),
            QStringLiteral("Device information incomplete. Please scan network again!"));
    QCOMPARE(available(), model->rowCount() - 2);

    // The edit: set, the device's restart, and the row read again.
    QTimer::singleShot(100, [] {
        QWidget *modal = QApplication::activeModalWidget();
        if (auto *dialog = qobject_cast<ConnectionDialog *>(modal)) {
            dialog->hostnameEdit->setText(QStringLiteral("renamed"));
            dialog->applyButton->click();
        } else if (modal) {
            modal->close();
        }
    });
    QVERIFY(QMetaObject::invokeMethod(&window, "edit",
        Q_ARG(QModelIndex,
            window.findChild<DeviceFilterModel *>()->mapFromSource(
                model->index(model->findRow(Plain), DeviceModel::ColumnIpAddress)))));
    QCOMPARE(cell(Plain, DeviceModel::ColumnStatus), QStringLiteral("Setting new parameters..."));
    QTRY_COMPARE_WITH_TIMEOUT(
        cell(Plain, DeviceModel::ColumnStatus), QStringLiteral("Applying new parameters..."), 3000);
    QCOMPARE(cell(Plain, DeviceModel::ColumnHostname), QStringLiteral("hall"));
    QTRY_COMPARE_WITH_TIMEOUT(
        cell(Plain, DeviceModel::ColumnHostname), QStringLiteral("renamed"), 8000);
    QCOMPARE(cell(Plain, DeviceModel::ColumnStatus), Available);
    // The unanswered re-ask made no unresponsive device of it.
    QCOMPARE(cell(InfoOnly, DeviceModel::ColumnStatus),
        QStringLiteral("Device information incomplete. Please scan network again!"));

    // The command line's list is as complete.
    QProcess cli;
    cli.start(qEnvironmentVariable("QDF_CLI"), { "list", "--json" });
    QVERIFY(cli.waitForFinished(15000));
    const QJsonArray listed = QJsonDocument::fromJson(cli.readAllStandardOutput()).array();
    QVERIFY(listed.size() >= 1002);
    QCOMPARE(int(std::count_if(listed.begin(), listed.end(),
                 [](const QJsonValue &d) { return d["status"] == Available; })),
        listed.size() - 2);
}

QDF_TEST(ScanLab)
#include "scan_lab.moc"
