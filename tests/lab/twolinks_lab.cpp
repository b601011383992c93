#include "connectiondialog.h"
#include "devicefiltermodel.h"
#include "devicemodel.h"
#include "mainwindow.h"
#include "modal.h"
#include "packettransceiver.h"
#include "simulatorprocess.h"
#include "testmain.h"
#include "testsupport.h"

#include <QComboBox>
#include <QInputDialog>
#include <QJsonDocument>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QtTest>

// Two devices with one IP address, one that answers only half a scan.
const char Devices[] = R"([{"mac": "02:00:00:00:00:0%1", "name": "Lumaboard", "firmware": "1.6",
  "productType": "11", "protocolVersion": 3, "hostname": "hall-%1", "ipAddress": "172.16.5.20",
  "subnetMask": "255.255.255.0", "noNetworkConfigReply": %2}])";

// A laptop on two networks: the office link holds the default route, the
// devices are on another private network, which every request must leave through.
class TwoLinksLabTest : public QObject
{
    Q_OBJECT

private slots:
    void devicesBesideTheDefaultRoute_scanEditSelectorAndNewAddress()
    {
        QDF_REQUIRE_LAB();
        if (qEnvironmentVariableIsEmpty("QDF_LAB_OFFICE_NS"))
            QSKIP("needs the office link of scripts/netlab run --two-links");
        TestSupport::TemporarySettings settings;
        QTemporaryFile config;
        QString devices = QString(Devices).arg("1", "false") + QString(Devices).arg("2", "false")
            + QString(Devices).arg("3", "true");
        QVERIFY(config.open() && config.write(devices.replace("}][{", "},{").toUtf8()) > 0
            && config.flush());
        NetLab::SimulatorProcess simulator({ QStringLiteral("--config"), config.fileName() });
        QVERIFY2(simulator.start(), qPrintable(simulator.errorText()));
        // The device link first, as the system lists it; no "192.168." address anywhere.
        const QStringList entries
            = PacketTransceiver::interfaceEntries(PacketTransceiver::systemInterfaces());
        QCOMPARE(entries.size(), 2);
        const QString link = entries.at(0).section('|', 2), office = entries.at(1).section('|', 2);
        QCOMPARE(entries.at(0).section('|', 1, 1) + ' ' + entries.at(1).section('|', 1, 1),
            "172.16.5.1 10.9.0.1");

        MainWindow window; // reads the system's interfaces
        auto *model = window.findChild<DeviceModel *>();
        auto *selector = window.findChild<QComboBox *>("interfaceSelector");
        auto *status = window.findChild<QLabel *>("statusLabel");
        const auto text = [model](int n, int column) {
            const int row = model->findRow(QStringLiteral("02:00:00:00:00:0%1").arg(n));
            return model->index(row, column).data().toString();
        };
        const auto found = [&](const QString &where) {
            return QStringLiteral("3 devices on %1, 2 with conflicts, 1 incomplete").arg(where);
        };
        // Every box or chooser is recorded and closed, so that a scan that finds nothing cannot
        // hang.
        QStringList boxes, choices;
        const auto record = [&](QWidget *modal) {
            boxes << modal->windowTitle();
            if (auto *chooser = qobject_cast<QInputDialog *>(modal))
                choices = QStringList { chooser->labelText() } + chooser->comboBoxItems();
            modal->close();
        };

        QPointer<QObject> watch = TestSupport::whenModalShown(record);
        QMetaObject::invokeMethod(&window, "scan");
        QTRY_COMPARE_WITH_TIMEOUT(status->text(), found(link + " (172.16.5.1)"), 8000);
        QCOMPARE(boxes, QStringList());
        delete watch;

        // The set request, the restart and the re-reading all have to get there.
        TestSupport::whenModalShown([](QWidget *modal) {
            auto *dialog = qobject_cast<ConnectionDialog *>(modal);
            dialog->hostnameEdit->setText(QStringLiteral("renamed"));
            dialog->applyButton->click();
        });
        QMetaObject::invokeMethod(&window, "edit",
            Q_ARG(QModelIndex,
                window.findChild<DeviceFilterModel *>()->mapFromSource(
                    model->index(model->findRow(QStringLiteral("02:00:00:00:00:02")), 0))));
        QTRY_COMPARE_WITH_TIMEOUT(
            text(2, DeviceModel::ColumnHostname), QStringLiteral("renamed"), 12000);
        QCOMPARE(text(2, DeviceModel::ColumnStatus), QStringLiteral("Device available"));

        // An address that appears after the start, then the office chosen by keyboard: nothing
        // answers there, and the chooser offers each interface once.
        QProcess ip;
        ip.start("ip", { "addr", "add", "172.16.6.1/24", "dev", link });
        QVERIFY(ip.waitForFinished() && ip.exitCode() == 0);
        QCOMPARE(selector->accessibleName(), QStringLiteral("Network interface"));
        TestSupport::whenModalShown(record);
        QTest::keyClick(selector, Qt::Key_Down);
        QCOMPARE(status->text(), QStringLiteral("Scanning on %1 (10.9.0.1)...").arg(office));
        QTRY_COMPARE_WITH_TIMEOUT(boxes, QStringList { "Scan/Refresh" }, 8000);
        QCOMPARE(choices,
            QStringList(
                { "No device replied on 10.9.0.1.<p>Try another network interface or cancel?",
                    office, link }));
        QCOMPARE(status->text(), QStringLiteral("0 devices on %1 (10.9.0.1)").arg(office));

        // The new address is offered, and answered through.
        QCOMPARE(selector->itemText(2), QStringLiteral("%1 (172.16.6.1)").arg(link));
        QTest::keyClick(selector, Qt::Key_End);
        QTRY_COMPARE_WITH_TIMEOUT(status->text(), found(link + " (172.16.6.1)"), 8000);
        QCOMPARE(boxes.size(), 1);

        // The command line lists the same, and points from an empty list to the other link.
        QProcess cli;
        cli.start(qEnvironmentVariable("QDF_CLI"), { "interfaces", "--json" });
        QVERIFY(cli.waitForFinished());
        QCOMPARE(
            QJsonDocument::fromJson(cli.readAllStandardOutput()).toJson(QJsonDocument::Compact),
            QString(R"([{"ip":"172.16.5.1","mac":"%1","name":"%2"},{"ip":"172.16.6.1","mac":"%1",)"
                    R"("name":"%2"},{"ip":"10.9.0.1","mac":"%3","name":"%4"}])")
                .arg(entries.at(0).section('|', 0, 0), link, entries.at(1).section('|', 0, 0),
                    office)
                .toUtf8());
        cli.start(
            qEnvironmentVariable("QDF_CLI"), { "list", "--interface", office, "--wait", "1" });
        QVERIFY(cli.waitForFinished() && cli.exitCode() == 1);
        QVERIFY(cli.readAllStandardError().endsWith(
            QStringLiteral("other interfaces: %1 (172.16.5.1); choose one with --interface NAME\n")
                .arg(link)
                .toUtf8()));
    }
};

QDF_TEST(TwoLinksLabTest)
#include "twolinks_lab.moc"
