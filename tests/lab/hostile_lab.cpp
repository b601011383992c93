#include "connectiondialog.h"
#include "devicefiltermodel.h"
#include "devicemodel.h"
#include "devicetableview.h"
#include "logindata.h"
#include "mainwindow.h"
#include "modal.h"
#include "simulatorprocess.h"
#include "testmain.h"
#include "testsupport.h"

#include <QDesktopServices>
#include <QLineEdit>
#include <QPushButton>
#include <QtTest>

// Someone on the LAN forges replies beside a real device: they must steer no
// set request, no remembered login and no browser.
class HostileLabTest : public QObject
{
    Q_OBJECT

private slots:
    void forgedReplies_steerNothing();
};

void HostileLabTest::forgedReplies_steerNothing()
{
    QDF_REQUIRE_LAB();
    const QString mac = QStringLiteral("02:00:00:00:05:01");
    TestSupport::TemporarySettings settings;
    LoginData::save({ mac, QStringLiteral("admin"), QStringLiteral("right") });
    QTemporaryFile config;
    QVERIFY(config.open());
    const QString longName(300, QLatin1Char('n'));
    config.write(QStringLiteral(R"([{ "mac": "%1", "name": "%2", "firmware": "2.0",
        "hostname": "hall", "ipAddress": "1@evil.example", "subnetMask": "255.255.255.0", "user": "admin",
        "password": "right" }])")
                     .arg(mac, longName)
                     .toUtf8());
    config.flush();
    NetLab::SimulatorProcess simulator(
        { QStringLiteral("--config"), config.fileName(), QStringLiteral("--control") });
    QVERIFY2(simulator.start(), qPrintable(simulator.errorText()));

    MainWindow window;
    auto *model = window.findChild<DeviceModel *>();
    auto cell = [&](int column) { return model->index(model->findRow(mac), column); };
    auto shown = [&](int column) {
        return window.findChild<DeviceFilterModel *>()->mapFromSource(cell(column));
    };
    auto scanned = [&] {
        QMetaObject::invokeMethod(&window, "scan");
        // The device information comes first, so the row is complete with its address.
        return QTest::qWaitFor(
            [&] { return !cell(DeviceModel::ColumnIpAddress).data().isNull(); }, 10000);
    };
    TestSupport::UrlCatcher catcher;
    QDesktopServices::setUrlHandler(QStringLiteral("http"), &catcher, "open");
    const auto unset = qScopeGuard([] { QDesktopServices::unsetUrlHandler("http"); });
    auto openInBrowser = [&] {
        window.findChild<DeviceTableView *>()->setCurrentIndex(shown(DeviceModel::ColumnIpAddress));
        QMetaObject::invokeMethod(&window, "launchBrowser");
    };

    QVERIFY(scanned());
    QCOMPARE(cell(DeviceModel::ColumnDeviceName).data().toString(), longName.left(256));
    openInBrowser();
    QVERIFY(catcher.urls.isEmpty()); // "1@evil.example" would have gone to evil.example

    for (const QString &forge : QStringList { "long-mac", "auth-failure " + mac }) {
        simulator.write("forge " + forge.toLatin1() + '\n');
        while (!simulator.canReadLine() && simulator.waitForReadyRead(5000)) { }
        QVERIFY(simulator.readLine().startsWith("ok"));
    }
    // Sent before the scan's requests, the forged replies are read before the device's answers.
    QVERIFY(scanned());
    QCOMPARE(model->rowCount(), 1); // no row for "FF:FF:FF:FF:FF:FF!", so no edit of it
    QVERIFY(hasLoginData(mac)); // no request of ours was refused

    // The remembered login still serves (the login dialog would be left empty),
    // and the device's own set reply still acts.
    TestSupport::whenModalShown([](QWidget *modal) {
        auto *dialog = qobject_cast<ConnectionDialog *>(modal);
        dialog->ipAddressEdit->setText(QStringLiteral("192.168.77.51"));
        dialog->applyButton->click();
    });
    QMetaObject::invokeMethod(
        &window, "edit", Q_ARG(QModelIndex, shown(DeviceModel::ColumnIpAddress)));
    QTRY_COMPARE_WITH_TIMEOUT(cell(DeviceModel::ColumnIpAddress).data().toString(),
        QStringLiteral("192.168.77.51"), 12000);
    openInBrowser();
    QCOMPARE(catcher.urls, QList<QUrl> { QUrl(QStringLiteral("http://192.168.77.51/index.cgi")) });
}

QDF_TEST(HostileLabTest)
#include "hostile_lab.moc"
