#include "datagram.h"
#include "devicemodel.h"
#include "devicereplies.h"
#include "devicetableview.h"
#include "mainwindow.h"
#include "mainwindowtester.h"
#include "packettransceiver.h"
#include "platform.h"
#include "simulatorprocess.h"
#include "testsupport.h"

#include <QAbstractButton>
#include <QAction>
#include <QElapsedTimer>
#include <QInputDialog>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QMessageBox>
#include <QPointer>
#include <QSignalSpy>
#include <QTemporaryFile>
#include <QTimer>
#include <QUdpSocket>
#include <QtTest>

#include <functional>
#include <memory>

namespace {

// The device simulator in the lab's device namespace, playing `devices`.
class Simulator
{
public:
    bool start(const QStringList &arguments, QString *why)
    {
        process = std::make_unique<TestSupport::SimulatorProcess>(arguments);
        if (process->start())
            return true;
        *why = process->errorText();
        return false;
    }

    bool startWith(const QJsonArray &devices, QString *why)
    {
        config = std::make_unique<QTemporaryFile>();
        if (!config->open()) {
            *why = QStringLiteral("no temporary file");
            return false;
        }
        config->write(QJsonDocument(devices).toJson());
        config->flush();
        return start({ QStringLiteral("--config"), config->fileName() }, why);
    }

    void stop() { process.reset(); }

private:
    std::unique_ptr<TestSupport::SimulatorProcess> process;
    std::unique_ptr<QTemporaryFile> config;
};

QJsonObject device(
    const QString &mac, const QString &name, const QString &hostname, const QString &ipAddress)
{
    return QJsonObject { { QStringLiteral("mac"), mac }, { QStringLiteral("name"), name },
        { QStringLiteral("firmware"), QStringLiteral("1.6.0") },
        { QStringLiteral("productType"), QStringLiteral("12") },
        { QStringLiteral("hostname"), hostname }, { QStringLiteral("dhcp"), QStringLiteral("1") },
        { QStringLiteral("ipAddress"), ipAddress },
        { QStringLiteral("subnetMask"), QStringLiteral("255.255.255.0") } };
}

// A device that took part in an earlier scan and will not answer again.
QByteArray staleReply()
{
    return DeviceReplies::deviceInfo(QStringLiteral("02:00:00:00:00:99"));
}

// Every modal box or chooser that opens, as it was seen; `respond` decides
// how it is closed.
class ModalRecorder : public QObject
{
public:
    struct Seen
    {
        QString kind;
        QString title;
        QString text;
        QMessageBox::Icon icon = QMessageBox::NoIcon;
        QStringList items;
        bool editable = false;
        Qt::WindowFlags flags;
    };

    std::function<void(QWidget *)> respond = [](QWidget *modal) {
        if (auto *box = qobject_cast<QMessageBox *>(modal))
            box->button(QMessageBox::Ok) ? box->button(QMessageBox::Ok)->click() : box->reject();
        else if (auto *dialog = qobject_cast<QDialog *>(modal))
            dialog->reject();
    };
    QList<Seen> seen;

    ModalRecorder()
    {
        poll.setInterval(10);
        connect(&poll, &QTimer::timeout, this, [this] {
            QWidget *modal = QApplication::activeModalWidget();
            if (!modal || !modal->isVisible() || modal == last)
                return;
            last = modal;
            Seen entry;
            entry.title = modal->windowTitle();
            entry.flags = modal->windowFlags();
            if (auto *box = qobject_cast<QMessageBox *>(modal)) {
                entry.kind = QStringLiteral("box");
                entry.text = box->text();
                entry.icon = box->icon();
            } else if (auto *input = qobject_cast<QInputDialog *>(modal)) {
                entry.kind = QStringLiteral("chooser");
                entry.text = input->labelText();
                entry.items = input->comboBoxItems();
                entry.editable = input->isComboBoxEditable();
            }
            seen << entry;
            respond(modal);
        });
        poll.start();
    }

private:
    QTimer poll;
    QPointer<QWidget> last;
};

} // namespace

class ScanCycleLabTest : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();

    void scan_fillsRowsAndMarksOnlyIncompleteRows();
    void scanTwiceWithin3s_emptiesTwiceAndChecksOnce();
    void noReply_saysNoDevicesFoundOnce();
    void noReplyOnOlderWindows_offersInterfacesUntilCancelled();
    void portHeldWithoutSharing_refusesEveryScanAndKeepsRows();
    void thousandDevicesInBursts_allBecomeCompleteRows();

private:
    QString cell(int row, int column) const;
    int rowOf(const QString &mac) const;

    std::unique_ptr<TestSupport::TemporarySettings> settings;
    std::unique_ptr<MainWindow> window;
    std::unique_ptr<MainWindowTester> tester;
    std::unique_ptr<ModalRecorder> modals;
    Simulator simulator;
};

void ScanCycleLabTest::init()
{
    QDF_REQUIRE_LAB();
    settings = std::make_unique<TestSupport::TemporarySettings>();
    window = std::make_unique<MainWindow>();
    tester = std::make_unique<MainWindowTester>(*window);
    modals = std::make_unique<ModalRecorder>();
    window->show();
    QVERIFY(QTest::qWaitForWindowExposed(window.get()));
}

void ScanCycleLabTest::cleanup()
{
    simulator.stop();
    forceOlderWindowsForTesting(std::nullopt);
    modals.reset();
    tester.reset();
    window.reset();
    settings.reset();
}

QString ScanCycleLabTest::cell(int row, int column) const
{
    return tester->deviceModel()->index(row, column).data().toString();
}

int ScanCycleLabTest::rowOf(const QString &mac) const
{
    return tester->deviceModel()->findRow(mac);
}

void ScanCycleLabTest::scan_fillsRowsAndMarksOnlyIncompleteRows()
{
    QJsonObject infoOnly = device(QStringLiteral("02:00:00:00:00:03"),
        QStringLiteral("Netaboard-IQ"), QStringLiteral("bar"), QStringLiteral("192.168.77.13"));
    infoOnly.insert(QStringLiteral("noNetworkConfigReply"), true);
    QJsonObject configOnly = device(QStringLiteral("02:00:00:00:00:04"),
        QStringLiteral("Netaboard-M3"), QStringLiteral("stage"), QStringLiteral("192.168.77.14"));
    configOnly.insert(QStringLiteral("noDeviceInfoReply"), true);
    QJsonObject failing = device(QStringLiteral("02:00:00:00:00:05"),
        QStringLiteral("Netaboard-M4"), QStringLiteral("foyer"), QStringLiteral("192.168.77.15"));
    failing.insert(QStringLiteral("networkConfigStatus"), QStringLiteral("0x80000001"));
    QJsonObject staticDevice = device(QStringLiteral("02:00:00:00:00:02"),
        QStringLiteral("QuorvelNET-III"), QStringLiteral("rack"), QStringLiteral("192.168.77.12"));
    staticDevice.insert(QStringLiteral("dhcp"), QStringLiteral("0"));
    QString why;
    QVERIFY2(simulator.startWith(
                 { device(QStringLiteral("02:00:00:00:00:01"), QStringLiteral("Lumaboard-III"),
                       QStringLiteral("hall"), QStringLiteral("192.168.77.11")),
                     staticDevice, infoOnly, configOnly, failing },
                 &why),
        qPrintable(why));

    QSignalSpy checks(tester->checkTimer(), &QTimer::timeout);
    tester->scanAct()->trigger();
    QVERIFY(tester->checkTimer()->isActive());
    QTRY_COMPARE_WITH_TIMEOUT(tester->deviceModel()->rowCount(), 5, 2500);

    const int full = rowOf(QStringLiteral("02:00:00:00:00:01"));
    QVERIFY(full >= 0);
    const QStringList expected { QStringLiteral("Lumaboard-III"), QStringLiteral("1.6.0"),
        QStringLiteral("hall"), QStringLiteral("192.168.77.11"), QStringLiteral("DHCP"),
        QStringLiteral("02:00:00:00:00:01"), QStringLiteral("Device available") };
    for (int column = 0; column < expected.size(); ++column)
        QCOMPARE(cell(full, column), expected.at(column));
    QCOMPARE(cell(rowOf(QStringLiteral("02:00:00:00:00:02")), DeviceModel::ColumnIpConfig),
        QStringLiteral("static"));

    QTRY_COMPARE_WITH_TIMEOUT(checks.count(), 1, 5000);
    const QString incomplete
        = QStringLiteral("Device information incomplete. Please scan network again!");
    QCOMPARE(cell(full, DeviceModel::ColumnStatus), QStringLiteral("Device available"));
    QCOMPARE(cell(rowOf(QStringLiteral("02:00:00:00:00:02")), DeviceModel::ColumnStatus),
        QStringLiteral("Device available"));
    for (const QString &mac :
        { QStringLiteral("02:00:00:00:00:03"), QStringLiteral("02:00:00:00:00:04") }) {
        const int row = rowOf(mac);
        QCOMPARE(cell(row, DeviceModel::ColumnStatus), incomplete);
        QVERIFY(!tester->deviceModel()
                     ->index(row, DeviceModel::ColumnStatus)
                     .data(Qt::DecorationRole)
                     .isNull());
        QCOMPARE(tester->deviceModel()
                     ->index(row, DeviceModel::ColumnMacAddress)
                     .data(DeviceModel::StatusCodeRole)
                     .toInt(),
            5);
    }
    // "N/A" is a value: the failed reply's row is not incomplete.
    const int failed = rowOf(QStringLiteral("02:00:00:00:00:05"));
    QCOMPARE(cell(failed, DeviceModel::ColumnIpAddress), QStringLiteral("N/A"));
    QCOMPARE(cell(failed, DeviceModel::ColumnStatus), QStringLiteral("Request failed"));
    QVERIFY(modals->seen.isEmpty());
}

void ScanCycleLabTest::scanTwiceWithin3s_emptiesTwiceAndChecksOnce()
{
    QString why;
    QVERIFY2(simulator.startWith(
                 { device(QStringLiteral("02:00:00:00:00:01"), QStringLiteral("Lumaboard-III"),
                     QStringLiteral("hall"), QStringLiteral("192.168.77.11")) },
                 &why),
        qPrintable(why));
    // A row no device will send again shows the first emptying.
    tester->deviceModel()->onDeviceReplyReceived(staleReply());

    window->activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(window.get()));
    QSignalSpy checks(tester->checkTimer(), &QTimer::timeout);
    // Replies wait for the event loop, so right after the key the table shows
    // whether it was emptied.
    QTest::keyClick(window.get(), Qt::Key_F5);
    QCOMPARE(tester->deviceModel()->rowCount(), 0);
    QTRY_COMPARE_WITH_TIMEOUT(tester->deviceModel()->rowCount(), 1, 3000);
    QCOMPARE(rowOf(QStringLiteral("02:00:00:00:00:99")), -1);

    QTest::qWait(1500);
    tester->deviceModel()->onDeviceReplyReceived(staleReply());
    QCOMPARE(tester->deviceModel()->rowCount(), 2);
    QElapsedTimer sinceSecond;
    QTest::keyClick(window.get(), Qt::Key_F5);
    sinceSecond.start();
    QCOMPARE(tester->deviceModel()->rowCount(), 0);
    QTRY_COMPARE_WITH_TIMEOUT(tester->deviceModel()->rowCount(), 1, 3000);
    QCOMPARE(checks.count(), 0);

    QTRY_COMPARE_WITH_TIMEOUT(checks.count(), 1, 6000);
    QVERIFY2(sinceSecond.elapsed() >= 2900, qPrintable(QString::number(sinceSecond.elapsed())));
    QTest::qWait(1000);
    QCOMPARE(checks.count(), 1);
    QCOMPARE(cell(0, DeviceModel::ColumnStatus), QStringLiteral("Device available"));
    QVERIFY(modals->seen.isEmpty());
}

void ScanCycleLabTest::noReply_saysNoDevicesFoundOnce()
{
    forceOlderWindowsForTesting(false);
    QSignalSpy checks(tester->checkTimer(), &QTimer::timeout);
    tester->scanAct()->trigger();
    QTRY_COMPARE_WITH_TIMEOUT(modals->seen.size(), 1, 6000);
    QCOMPARE(checks.count(), 1);
    const ModalRecorder::Seen box = modals->seen.first();
    QCOMPARE(box.kind, QStringLiteral("box"));
    QCOMPARE(box.title, QStringLiteral("Quorvel Device Finder"));
    QCOMPARE(box.text, QStringLiteral("No devices found!"));
    QCOMPARE(box.icon, QMessageBox::Information);

    QTest::qWait(3500);
    QCOMPARE(modals->seen.size(), 1);
    QVERIFY(!tester->checkTimer()->isActive());
}

void ScanCycleLabTest::noReplyOnOlderWindows_offersInterfacesUntilCancelled()
{
    forceOlderWindowsForTesting(true);
    QStringList names;
    for (const QString &entry : tester->transceiver()->interfaces())
        names << entry.section(QLatin1Char('|'), 2, 2);
    QVERIFY(!names.isEmpty());
    QVERIFY(tester->transceiver()->interfaces().first().contains(QStringLiteral("|192.168.77.1|")));

    // Accept the first offer, cancel the second.
    modals->respond = [this](QWidget *modal) {
        auto *dialog = qobject_cast<QDialog *>(modal);
        QVERIFY(dialog);
        if (modals->seen.size() == 1)
            dialog->accept();
        else
            dialog->reject();
    };
    QSignalSpy sent(tester->transceiver(), &PacketTransceiver::requestSent);
    tester->scanAct()->trigger();
    QCOMPARE(sent.count(), 2);

    QTRY_COMPARE_WITH_TIMEOUT(modals->seen.size(), 1, 6000);
    const ModalRecorder::Seen chooser = modals->seen.first();
    QCOMPARE(chooser.kind, QStringLiteral("chooser"));
    QCOMPARE(chooser.title, QStringLiteral("Scan/Refresh"));
    QCOMPARE(chooser.text,
        QStringLiteral(
            "No device replied on 192.168.77.1.<p>Try another network interface or cancel?"));
    QCOMPARE(chooser.items, names);
    QVERIFY(!chooser.editable);
    QVERIFY(!(chooser.flags & Qt::WindowContextHelpButtonHint));

    // Accepted: the same two requests again and a new wait.
    QTRY_COMPARE(sent.count(), 4);
    QCOMPARE(sent.at(2).at(0).toInt(), int(Datagram::GetDeviceInfo));
    QCOMPARE(sent.at(3).at(0).toInt(), int(Datagram::GetNetworkConfig));
    QCOMPARE(sent.at(3).at(1).toString(), QStringLiteral("FF:FF:FF:FF:FF:FF"));

    // Still nobody answers: asked again, and cancelled this time.
    QTRY_COMPARE_WITH_TIMEOUT(modals->seen.size(), 2, 6000);
    QCOMPARE(modals->seen.at(1).kind, QStringLiteral("chooser"));
    QTRY_VERIFY(!QApplication::activeModalWidget());
    QVERIFY(!tester->checkTimer()->isActive());
    QTest::qWait(200);
    QCOMPARE(sent.count(), 4);
}

void ScanCycleLabTest::portHeldWithoutSharing_refusesEveryScanAndKeepsRows()
{
    auto blocker = std::make_unique<QUdpSocket>();
    QVERIFY(blocker->bind(
        QHostAddress::AnyIPv4, PacketTransceiver::ReceivePort, QUdpSocket::DontShareAddress));

    tester->deviceModel()->onDeviceReplyReceived(staleReply());
    QSignalSpy sent(tester->transceiver(), &PacketTransceiver::requestSent);

    for (int attempt = 1; attempt <= 2; ++attempt) {
        tester->scanAct()->trigger();
        QCOMPARE(modals->seen.size(), attempt);
        const ModalRecorder::Seen box = modals->seen.last();
        QCOMPARE(box.title, QStringLiteral("Scan devices"));
        QCOMPARE(box.text,
            QStringLiteral("Could not bind socket! Please check if another application instance is "
                           "already running!"));
        QCOMPARE(box.icon, QMessageBox::Critical);
        QCOMPARE(tester->deviceModel()->rowCount(), 1);
        QVERIFY(!tester->checkTimer()->isActive());
        QCOMPARE(sent.count(), 0);
    }

    // Once the port is free again the next scan binds.
    blocker.reset();
    tester->scanAct()->trigger();
    QCOMPARE(modals->seen.size(), 2);
    QCOMPARE(sent.count(), 2);
    QCOMPARE(tester->deviceModel()->rowCount(), 0);
    tester->checkTimer()->stop();
}

void ScanCycleLabTest::thousandDevicesInBursts_allBecomeCompleteRows()
{
    const int count = 1000;
    QString why;
    QVERIFY2(simulator.start({ QStringLiteral("--count"), QString::number(count) }, &why),
        qPrintable(why));

    tester->scanAct()->trigger();
    QTRY_COMPARE_WITH_TIMEOUT(tester->deviceModel()->rowCount(), count, 60000);
    // The check must find nothing to mark.
    QTRY_VERIFY_WITH_TIMEOUT(!tester->checkTimer()->isActive(), 10000);

    DeviceModel *model = tester->deviceModel();
    int incomplete = 0;
    int empty = 0;
    QSet<QString> macs;
    for (int row = 0; row < model->rowCount(); ++row) {
        macs.insert(cell(row, DeviceModel::ColumnMacAddress));
        for (int column = DeviceModel::ColumnDeviceName; column <= DeviceModel::ColumnMacAddress;
             ++column)
            empty += cell(row, column).isEmpty();
        incomplete += cell(row, DeviceModel::ColumnStatus) != QLatin1String("Device available");
    }
    QCOMPARE(macs.size(), count);
    QCOMPARE(empty, 0);
    QCOMPARE(incomplete, 0);
    QVERIFY(modals->seen.isEmpty());
}

QTEST_MAIN(ScanCycleLabTest)
#include "tst_scancycle_lab.moc"
