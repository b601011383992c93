#include "connectiondialog.h"
#include "devicemodel.h"
#include "editdriver.h"
#include "logindata.h"
#include "mainwindow.h"
#include "mainwindowtester.h"
#include "simulatorprocess.h"
#include "testsupport.h"

#include <QElapsedTimer>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QLineEdit>
#include <QTemporaryFile>
#include <QtTest>

#include <memory>

// A settings change end to end: the real main window, offscreen, against the
// device simulator on the other side of the lab.
class EditFlowLabTest : public QObject
{
    Q_OBJECT

private slots:
    void plainDevice_appliesAndRereads();
    void authenticatedDevice_remembersOnlyAcceptedLogin();
    void silentDevice_isNotResponding();
};

namespace {

const QString PlainMac = QStringLiteral("02:00:00:00:03:01");
const QString AuthMac = QStringLiteral("02:00:00:00:04:01");

const QString SettingStatus = QStringLiteral("Setting new parameters...");
const QString ApplyingStatus = QStringLiteral("Applying new parameters...");
const QString AvailableStatus = QStringLiteral("Device available");

QJsonObject device(
    const QString &mac, int protocolVersion, const QString &hostname, const QString &ip)
{
    return QJsonObject { { QStringLiteral("mac"), mac },
        { QStringLiteral("name"), QStringLiteral("Quorvel IO-%1").arg(protocolVersion) },
        { QStringLiteral("firmware"), QStringLiteral("2.0.%1").arg(protocolVersion) },
        { QStringLiteral("productType"), QStringLiteral("12") },
        { QStringLiteral("protocolVersion"), protocolVersion },
        { QStringLiteral("hostname"), hostname }, { QStringLiteral("dhcp"), QStringLiteral("0") },
        { QStringLiteral("ipAddress"), ip },
        { QStringLiteral("subnetMask"), QStringLiteral("255.255.255.0") },
        { QStringLiteral("gateway"), QStringLiteral("192.168.77.1") },
        { QStringLiteral("user"), QStringLiteral("admin") },
        { QStringLiteral("password"), QStringLiteral("right") } };
}

// One simulator with a plain and an authenticated device, one main window
// that has scanned them.
class Lab
{
public:
    bool start(QString *why)
    {
        config = std::make_unique<QTemporaryFile>();
        if (!config->open()) {
            *why = QStringLiteral("no temporary file");
            return false;
        }
        const QJsonArray devices { device(PlainMac, 3, QStringLiteral("plain-three"),
                                       QStringLiteral("192.168.77.31")),
            device(AuthMac, 4, QStringLiteral("auth-four"), QStringLiteral("192.168.77.41")) };
        config->write(QJsonDocument(devices).toJson());
        config->flush();
        simulator = std::make_unique<TestSupport::SimulatorProcess>(QStringList {
            QStringLiteral("--config"), config->fileName(), QStringLiteral("--control") });
        if (!simulator->start()) {
            *why = simulator->errorText();
            return false;
        }
        return true;
    }

    QString text(const QString &mac, int column) const
    {
        DeviceModel *model = tester.deviceModel();
        const int row = model->findRow(mac);
        return row < 0 ? QStringLiteral("<no row>") : model->index(row, column).data().toString();
    }
    QString status(const QString &mac) const { return text(mac, DeviceModel::ColumnStatus); }

    void edit(const QString &mac)
    {
        DeviceModel *model = tester.deviceModel();
        tester.edit(model->index(model->findRow(mac), DeviceModel::ColumnIpAddress));
    }

    TestSupport::TemporarySettings settings;
    std::unique_ptr<QTemporaryFile> config;
    std::unique_ptr<TestSupport::SimulatorProcess> simulator;
    MainWindow window;
    MainWindowTester tester { window };
};

#define START_LAB(lab)                                                                             \
    QDF_REQUIRE_LAB();                                                                             \
    Lab lab;                                                                                       \
    {                                                                                              \
        QString why;                                                                               \
        QVERIFY2(lab.start(&why), qPrintable(why));                                                \
    }                                                                                              \
    lab.tester.scan();                                                                             \
    QTRY_COMPARE_WITH_TIMEOUT(lab.status(PlainMac), AvailableStatus, 10000);                       \
    QTRY_COMPARE_WITH_TIMEOUT(lab.status(AuthMac), AvailableStatus, 10000);                        \
    for (const QString &mac : { PlainMac, AuthMac }) {                                             \
        QTRY_VERIFY(!lab.text(mac, DeviceModel::ColumnFirmware).isEmpty());                        \
        QTRY_VERIFY(!lab.text(mac, DeviceModel::ColumnIpAddress).isEmpty());                       \
    }                                                                                              \
    QCOMPARE(lab.status(PlainMac), AvailableStatus)

// Waits for the restart and the re-reading that follow an accepted change.
#define WAIT_FOR_REREAD(lab, mac)                                                                  \
    QTRY_COMPARE_WITH_TIMEOUT(lab.status(mac), ApplyingStatus, 5000);                              \
    QTRY_COMPARE_WITH_TIMEOUT(lab.status(mac), AvailableStatus, 10000)

} // namespace

void EditFlowLabTest::plainDevice_appliesAndRereads()
{
    START_LAB(lab);
    QCOMPARE(lab.text(PlainMac, DeviceModel::ColumnHostname), QStringLiteral("plain-three"));

    bool loginShown = false;
    TestSupport::applyNextSettingsDialog(
        [](ConnectionDialog *d) {
            d->hostnameEdit->setText(QStringLiteral("renamed-three"));
            d->ipAddressEdit->setText(QStringLiteral("192.168.77.33"));
        },
        {}, &loginShown);
    QElapsedTimer sinceRequest;
    sinceRequest.start();
    lab.edit(PlainMac);
    QVERIFY(!loginShown);
    QCOMPARE(lab.status(PlainMac), SettingStatus);

    QTRY_COMPARE_WITH_TIMEOUT(lab.status(PlainMac), ApplyingStatus, 5000);
    // the old settings stay until the device's network restart has been read back
    QCOMPARE(lab.text(PlainMac, DeviceModel::ColumnHostname), QStringLiteral("plain-three"));
    QTRY_COMPARE_WITH_TIMEOUT(
        lab.text(PlainMac, DeviceModel::ColumnHostname), QStringLiteral("renamed-three"), 10000);
    QVERIFY2(sinceRequest.elapsed() > 5000, qPrintable(QString::number(sinceRequest.elapsed())));
    QCOMPARE(lab.text(PlainMac, DeviceModel::ColumnIpAddress), QStringLiteral("192.168.77.33"));
    QCOMPARE(lab.status(PlainMac), AvailableStatus);
}

void EditFlowLabTest::authenticatedDevice_remembersOnlyAcceptedLogin()
{
    START_LAB(lab);
    DeviceModel *model = lab.tester.deviceModel();

    // a wrong password, although "Remember password" is checked, is refused and not stored
    bool loginShown = false;
    TestSupport::applyNextSettingsDialog(
        nullptr, { QStringLiteral("admin"), QStringLiteral("wrong"), true }, &loginShown);
    lab.edit(AuthMac);
    QVERIFY(loginShown);
    QTRY_COMPARE_WITH_TIMEOUT(lab.status(AuthMac), QStringLiteral("Authorization failed"), 5000);
    QVERIFY(model->pendingLoginData.isEmpty());
    QVERIFY(!hasLoginData(AuthMac));

    // the right one is stored once the device has accepted it
    loginShown = false;
    TestSupport::applyNextSettingsDialog(
        [](ConnectionDialog *d) { d->hostnameEdit->setText(QStringLiteral("auth-renamed")); },
        { QStringLiteral("admin"), QStringLiteral("right"), true }, &loginShown);
    lab.edit(AuthMac);
    QVERIFY(loginShown);
    QCOMPARE(model->pendingLoginData,
        (QStringList { AuthMac, QStringLiteral("admin"), QStringLiteral("right") }));
    QVERIFY(!hasLoginData(AuthMac));
    QTRY_VERIFY_WITH_TIMEOUT(hasLoginData(AuthMac), 5000);
    WAIT_FOR_REREAD(lab, AuthMac);
    QCOMPARE(lab.text(AuthMac, DeviceModel::ColumnHostname), QStringLiteral("auth-renamed"));

    // the next change asks for no login
    loginShown = false;
    TestSupport::applyNextSettingsDialog(
        [](ConnectionDialog *d) { d->hostnameEdit->setText(QStringLiteral("auth-again")); }, {},
        &loginShown);
    lab.edit(AuthMac);
    QVERIFY(!loginShown);
    WAIT_FOR_REREAD(lab, AuthMac);
    QCOMPARE(lab.text(AuthMac, DeviceModel::ColumnHostname), QStringLiteral("auth-again"));

    // once the device's password has changed, the stored one is forgotten
    QVERIFY2(lab.simulator->command(QStringLiteral("password %1 changed").arg(AuthMac)),
        qPrintable(lab.simulator->errorText()));
    loginShown = false;
    TestSupport::applyNextSettingsDialog(nullptr, {}, &loginShown);
    lab.edit(AuthMac);
    QVERIFY(!loginShown);
    QTRY_COMPARE_WITH_TIMEOUT(lab.status(AuthMac),
        QStringLiteral("Stored password is not valid any more, please try again!"), 5000);
    QVERIFY(!hasLoginData(AuthMac));
    QCOMPARE(lab.text(AuthMac, DeviceModel::ColumnHostname), QStringLiteral("auth-again"));

    // and the next change asks again
    loginShown = false;
    TestSupport::applyNextSettingsDialog(
        nullptr, { QStringLiteral("admin"), QStringLiteral("changed"), false }, &loginShown);
    lab.edit(AuthMac);
    QVERIFY(loginShown);
    WAIT_FOR_REREAD(lab, AuthMac);
    QVERIFY(!hasLoginData(AuthMac));
}

void EditFlowLabTest::silentDevice_isNotResponding()
{
    START_LAB(lab);
    lab.simulator->stop();

    TestSupport::applyNextSettingsDialog(nullptr);
    QElapsedTimer sinceRequest;
    sinceRequest.start();
    lab.edit(PlainMac);
    QCOMPARE(lab.status(PlainMac), SettingStatus);
    QTRY_COMPARE_WITH_TIMEOUT(lab.status(PlainMac), QStringLiteral("Device not responding"), 6000);
    QVERIFY2(sinceRequest.elapsed() > 3000, qPrintable(QString::number(sinceRequest.elapsed())));
}

QTEST_MAIN(EditFlowLabTest)
#include "tst_editflow_lab.moc"
