#include "datagram.h"
#include "devicemodel.h"
#include "devicereplies.h"
#include "logindata.h"
#include "manualdeviceclock.h"
#include "testsupport.h"

#include <QAbstractItemModelTester>
#include <QSignalSpy>
#include <QTimer>
#include <QtTest>

#include <memory>

namespace {

const QString MacA = QStringLiteral("0A:1B:2C:3D:4E:5F");
const QString MacB = QStringLiteral("0A:1B:2C:3D:4E:60");
const QString MacC = QStringLiteral("0A:1B:2C:3D:4E:61");
const QString Broadcast = QString::fromLatin1(Datagram::BroadcastMac);

using namespace DeviceReplies;

} // namespace

class tst_DeviceModel : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();

    void headerLabels();

    // ---- rows
    void deviceInfoForUnknownDevice_addsRowAtEndWithNetworkCellsEmpty();
    void refreshWithAnyLetterCase_keepsRowAndOtherReplyKindsCells();
    void refresh_isSeenAsRemovalThenInsertionAtTheSamePlace();
    void refreshAfterSorting_updatesTheMovedRow();
    void emptiedTable_acceptsTheSameDevicesAgain();
    void failedReplies_showNotAvailableAndRequestFailed();
    void fieldsRead_data();
    void fieldsRead();
    void truncatedDatagrams_readAsEmptyAndDoNotCrash_data();
    void truncatedDatagrams_readAsEmptyAndDoNotCrash();
    void unknownMac_findRowAndSetStatusReturnMinusOne();

    // ---- conflict marks
    void sameIpAddress_marksBothAndClearsWhenResolved();
    void hostnamesDifferingInCase_conflict_ipAddressesMustMatchExactly();
    void notAvailableAndEmptyCells_neverConflict();
    void failedReply_leavesMarksUntilNextSuccessfulReply();

    // ---- requests, time-outs and restart
    void broadcastNotice_stampsNothingAndTimerStopsAtNextTick();
    void requestNotices_setStatusesAndStamps();
    void unansweredRequest_timesOutStrictlyAfter3000ms();
    void replyBeforeTheTimeoutTick_leavesDeviceAvailable();
    void replyAfterTheTimeoutTick_turnsNotRespondingBackToAvailable();
    void anyReplyKind_clearsRequestTime_data();
    void anyReplyKind_clearsRequestTime();
    void waits_areMeasuredOnTheMonotonicClock();
    void setReplyOk_asksForRestartEvenWithoutRow();
    void setReplyOk_showsApplyingBeforeRestartIsStamped();
    void restart_asksForConfigurationStrictlyAfter5000ms();
    void setReplyFailures_setTheirStatuses_data();
    void setReplyFailures_setTheirStatuses();

    // ---- remembered login data
    void authReply_okFromPendingMac_savesBeforeRestart();
    void authReply_failedOrFromAnotherMac_dropsPendingWithoutSaving_data();
    void authReply_failedOrFromAnotherMac_dropsPendingWithoutSaving();
    void authorizationFailed_withStoredLogin_removesItAndSaysSo();

private:
    QString text(int row, int column) const { return model->item(row, column)->text(); }
    QVariant macData(int row, int role) const
    {
        return model->item(row, DeviceModel::ColumnMacAddress)->data(role);
    }
    QTimer *timer() const { return model->findChild<QTimer *>(); }
    void tick() { QVERIFY(QMetaObject::invokeMethod(model.get(), "onTimeout")); }
    void addDevice(const QString &mac, const QString &hostname, const QString &ip)
    {
        model->onDeviceReplyReceived(deviceInfo(mac));
        model->onDeviceReplyReceived(networkConfig(mac, 0, hostname, ip));
    }
    bool warned(int row, int column) const
    {
        const QIcon icon = model->item(row, column)->icon();
        return !icon.isNull() || icon.cacheKey() != 0;
    }
    bool marked(int row, int column) const
    {
        return model->item(row, column)->icon().cacheKey()
            == resourceIcon(QStringLiteral(":/warning")).cacheKey();
    }
    // Connects the model the way the main window does, with a transceiver
    // that only reports what it would have sent.
    void wireFakeTransceiver()
    {
        connect(
            model.get(), &DeviceModel::sendRestartNetwork, model.get(), [this](const QString &mac) {
                model->onDeviceRequestSent(Datagram::RestartNetwork, mac);
            });
        connect(model.get(), &DeviceModel::sendGetEthConfiguration, model.get(),
            [this](const QString &mac) {
                model->onDeviceRequestSent(Datagram::GetNetworkConfig, mac);
            });
    }

    std::unique_ptr<TestSupport::TemporarySettings> settings;
    TestSupport::ManualDeviceClock clock;
    std::unique_ptr<DeviceModel> model;
    std::unique_ptr<QAbstractItemModelTester> tester;
};

void tst_DeviceModel::init()
{
    settings = std::make_unique<TestSupport::TemporarySettings>();
    clock = TestSupport::ManualDeviceClock();
    model = std::make_unique<DeviceModel>();
    model->setClock(&clock);
    tester = std::make_unique<QAbstractItemModelTester>(
        model.get(), QAbstractItemModelTester::FailureReportingMode::QtTest);
}

void tst_DeviceModel::cleanup()
{
    tester.reset();
    model.reset();
    settings.reset();
}

void tst_DeviceModel::headerLabels()
{
    const QStringList expected = { "Device name", "Firmware ver.", "Hostname", "IP Address",
        "IP config.", "MAC Address", "Status" };
    QCOMPARE(model->columnCount(), expected.size());
    for (int column = 0; column < expected.size(); ++column)
        QCOMPARE(model->headerData(column, Qt::Horizontal).toString(), expected.at(column));
    QVERIFY(!timer()->isActive());
    QCOMPARE(timer()->interval(), 500);
}

// ---- rows

void tst_DeviceModel::deviceInfoForUnknownDevice_addsRowAtEndWithNetworkCellsEmpty()
{
    addDevice(MacA, "a", "192.0.2.1");
    QSignalSpy inserted(model.get(), &QAbstractItemModel::rowsInserted);

    model->onDeviceReplyReceived(deviceInfo(MacB, 0, "12", "3.4.5", "Quorvel Door"));

    QCOMPARE(model->rowCount(), 2);
    QCOMPARE(inserted.count(), 1);
    QCOMPARE(inserted.at(0).at(1).toInt(), 1);
    QCOMPARE(text(1, DeviceModel::ColumnDeviceName), QStringLiteral("Quorvel Door"));
    QCOMPARE(text(1, DeviceModel::ColumnFirmware), QStringLiteral("3.4.5"));
    QCOMPARE(text(1, DeviceModel::ColumnMacAddress), MacB);
    for (int column :
        { DeviceModel::ColumnHostname, DeviceModel::ColumnIpAddress, DeviceModel::ColumnIpConfig })
        QVERIFY(model->item(1, column)->data(Qt::DisplayRole).isNull());
    QCOMPARE(text(1, DeviceModel::ColumnStatus), QStringLiteral("Device available"));
    QCOMPARE(macData(1, DeviceModel::StatusCodeRole).toInt(), 0);
    QCOMPARE(macData(1, DeviceModel::ProductTypeRole).toInt(), 12);
    QVERIFY(!macData(1, DeviceModel::RawConfigRole).isValid());
}

void tst_DeviceModel::refreshWithAnyLetterCase_keepsRowAndOtherReplyKindsCells()
{
    addDevice(MacA, "a", "192.0.2.1");
    addDevice(MacB, "b", "192.0.2.2");
    addDevice(MacC, "c", "192.0.2.3");

    const QString lower = MacB.toLower();
    model->onDeviceReplyReceived(networkConfig(lower, 0, "b2", "192.0.2.22", "1"));

    QCOMPARE(model->rowCount(), 3);
    QCOMPARE(model->findRow(MacB), 1);
    QCOMPARE(model->findRow(lower), 1);
    QCOMPARE(text(1, DeviceModel::ColumnMacAddress), lower);
    QCOMPARE(text(1, DeviceModel::ColumnHostname), QStringLiteral("b2"));
    QCOMPARE(text(1, DeviceModel::ColumnIpAddress), QStringLiteral("192.0.2.22"));
    QCOMPARE(text(1, DeviceModel::ColumnIpConfig), QStringLiteral("DHCP"));
    QCOMPARE(text(1, DeviceModel::ColumnDeviceName), QStringLiteral("Quorvel Gate"));
    QCOMPARE(text(1, DeviceModel::ColumnFirmware), QStringLiteral("2.1.0"));
    QCOMPARE(macData(1, DeviceModel::ProductTypeRole).toInt(), 7);
    QCOMPARE(text(0, DeviceModel::ColumnMacAddress), MacA);
    QCOMPARE(text(2, DeviceModel::ColumnMacAddress), MacC);
}

void tst_DeviceModel::refresh_isSeenAsRemovalThenInsertionAtTheSamePlace()
{
    addDevice(MacA, "a", "192.0.2.1");
    addDevice(MacB, "b", "192.0.2.2");
    QStringList events;
    connect(model.get(), &QAbstractItemModel::rowsRemoved, this,
        [&](const QModelIndex &, int first, int last) {
            events << QStringLiteral("removed %1-%2").arg(first).arg(last);
        });
    connect(model.get(), &QAbstractItemModel::rowsInserted, this,
        [&](const QModelIndex &, int first, int last) {
            events << QStringLiteral("inserted %1-%2").arg(first).arg(last);
        });

    model->onDeviceReplyReceived(deviceInfo(MacA, 0, "1", "9.9", "renamed"));

    QCOMPARE(events, QStringList({ "removed 0-0", "inserted 0-0" }));
    QCOMPARE(text(0, DeviceModel::ColumnDeviceName), QStringLiteral("renamed"));
}

void tst_DeviceModel::refreshAfterSorting_updatesTheMovedRow()
{
    addDevice(MacA, "zulu", "192.0.2.1");
    addDevice(MacB, "alpha", "192.0.2.2");
    addDevice(MacC, "mike", "192.0.2.3");
    model->sort(DeviceModel::ColumnHostname);
    QCOMPARE(model->findRow(MacA), 2);
    QCOMPARE(model->findRow(MacB), 0);

    model->onDeviceReplyReceived(networkConfig(MacA, 0, "alpha", "192.0.2.9"));

    QCOMPARE(model->rowCount(), 3);
    QCOMPARE(model->findRow(MacA), 2);
    QCOMPARE(text(2, DeviceModel::ColumnHostname), QStringLiteral("alpha"));
    QVERIFY(marked(2, DeviceModel::ColumnHostname));
    QVERIFY(marked(0, DeviceModel::ColumnHostname));
    QVERIFY(!marked(1, DeviceModel::ColumnHostname));
}

void tst_DeviceModel::emptiedTable_acceptsTheSameDevicesAgain()
{
    addDevice(MacA, "same", "192.0.2.1");
    addDevice(MacB, "same", "192.0.2.1");
    model->onDeviceRequestSent(Datagram::GetNetworkConfig, MacA);
    model->setRowCount(0);
    QCOMPARE(model->findRow(MacA), -1);

    addDevice(MacB, "same", "192.0.2.1");
    QCOMPARE(model->rowCount(), 1);
    QCOMPARE(model->findRow(MacB), 0);
    QVERIFY(!marked(0, DeviceModel::ColumnHostname));
    QVERIFY(!marked(0, DeviceModel::ColumnIpAddress));
    addDevice(MacA, "SAME", "192.0.2.1");
    QVERIFY(marked(0, DeviceModel::ColumnHostname));
    QVERIFY(marked(1, DeviceModel::ColumnIpAddress));

    clock.advance(4000);
    tick();
    QCOMPARE(text(1, DeviceModel::ColumnStatus), QStringLiteral("Device available"));
}

void tst_DeviceModel::failedReplies_showNotAvailableAndRequestFailed()
{
    addDevice(MacA, "a", "192.0.2.1");
    model->onDeviceReplyReceived(deviceInfo(MacA, 5, "9", "x", "y"));
    model->onDeviceReplyReceived(networkConfig(MacA, 0x80000003u, "h", "192.0.2.7", "1"));

    QCOMPARE(model->rowCount(), 1);
    for (int column = 0; column <= DeviceModel::ColumnIpConfig; ++column)
        QCOMPARE(text(0, column), QStringLiteral("N/A"));
    QCOMPARE(text(0, DeviceModel::ColumnStatus), QStringLiteral("Request failed"));
    QCOMPARE(macData(0, DeviceModel::StatusCodeRole).toInt(), 4);
    QCOMPARE(macData(0, DeviceModel::ProductTypeRole).toInt(), 0);
    // The failed configuration reply is still kept whole for the edit flow.
    QCOMPARE(macData(0, DeviceModel::RawConfigRole).toByteArray(),
        networkConfig(MacA, 0x80000003u, "h", "192.0.2.7", "1"));
}

void tst_DeviceModel::fieldsRead_data()
{
    QTest::addColumn<QString>("productType");
    QTest::addColumn<QString>("dhcp");
    QTest::addColumn<int>("productTypeRole");
    QTest::addColumn<QString>("ipConfig");

    QTest::newRow("number, dhcp 1") << "42"
                                    << "1" << 42 << "DHCP";
    QTest::newRow("no number, dhcp 0") << "x1"
                                       << "0" << 0 << "static";
    QTest::newRow("empty, dhcp 2") << ""
                                   << "2" << 0 << "static";
    QTest::newRow("negative, dhcp empty") << "-3"
                                          << "" << -3 << "static";
}

void tst_DeviceModel::fieldsRead()
{
    QFETCH(QString, productType);
    QFETCH(QString, dhcp);
    QFETCH(int, productTypeRole);
    QFETCH(QString, ipConfig);

    model->onDeviceReplyReceived(deviceInfo(MacA, 0, productType));
    model->onDeviceReplyReceived(networkConfig(MacA, 0, "gate", "192.0.2.1", dhcp));

    QCOMPARE(macData(0, DeviceModel::ProductTypeRole).toInt(), productTypeRole);
    QCOMPARE(text(0, DeviceModel::ColumnIpConfig), ipConfig);
}

void tst_DeviceModel::truncatedDatagrams_readAsEmptyAndDoNotCrash_data()
{
    QTest::addColumn<QByteArray>("datagram");
    QTest::addColumn<int>("rows");
    QTest::addColumn<QString>("mac");
    QTest::addColumn<QString>("hostname");
    QTest::addColumn<QString>("deviceName");

    const QByteArray config = networkConfig(MacA, 0, "gate", "192.0.2.1");
    const QByteArray info = deviceInfo(MacA, 0, "7", "2.1.0", "Quorvel Gate");
    QTest::newRow("empty") << QByteArray() << 0 << ""
                           << ""
                           << "";
    QTest::newRow("header without message id") << config.left(40) << 0 << ""
                                               << ""
                                               << "";
    QTest::newRow("config cut inside the source MAC") << config.left(80) << 1 << "0A:1B:"
                                                      << ""
                                                      << "";
    QTest::newRow("config with the header only") << config.left(124) << 1 << MacA << ""
                                                 << "";
    QTest::newRow("config cut inside the host name") << config.left(144) << 1 << MacA << "ga"
                                                     << "";
    QTest::newRow("device info cut inside the firmware") << info.left(130) << 1 << MacA << ""
                                                         << "";
    QTest::newRow("device info cut inside the name") << info.left(152) << 1 << MacA << ""
                                                     << "Quor";
}

void tst_DeviceModel::truncatedDatagrams_readAsEmptyAndDoNotCrash()
{
    QFETCH(QByteArray, datagram);
    QFETCH(int, rows);
    QFETCH(QString, mac);
    QFETCH(QString, hostname);
    QFETCH(QString, deviceName);

    // A copy of exactly that size, so that reading past its end is caught.
    model->onDeviceReplyReceived(QByteArray(datagram.constData(), datagram.size()));

    QCOMPARE(model->rowCount(), rows);
    if (rows == 0)
        return;
    QCOMPARE(text(0, DeviceModel::ColumnMacAddress), mac);
    QCOMPARE(text(0, DeviceModel::ColumnStatus), QStringLiteral("Device available"));
    if (Datagram::messageId(datagram) == Datagram::NetworkConfigReply) {
        QCOMPARE(text(0, DeviceModel::ColumnHostname), hostname);
        QCOMPARE(text(0, DeviceModel::ColumnIpAddress), QString());
        QCOMPARE(text(0, DeviceModel::ColumnIpConfig), QStringLiteral("static"));
    } else {
        QCOMPARE(text(0, DeviceModel::ColumnDeviceName), deviceName);
        QCOMPARE(macData(0, DeviceModel::ProductTypeRole).toInt(), 7);
    }
}

void tst_DeviceModel::unknownMac_findRowAndSetStatusReturnMinusOne()
{
    addDevice(MacA, "a", "192.0.2.1");
    QCOMPARE(model->findRow(MacB), -1);
    QCOMPARE(model->setStatus(MacB, InformationIncomplete()), -1);
    QCOMPARE(model->setStatus(MacA.toLower(), InformationIncomplete()), 0);
    QCOMPARE(text(0, DeviceModel::ColumnStatus),
        QStringLiteral("Device information incomplete. Please scan network again!"));
    QCOMPARE(macData(0, DeviceModel::StatusCodeRole).toInt(), 5);
}

// ---- conflict marks

void tst_DeviceModel::sameIpAddress_marksBothAndClearsWhenResolved()
{
    addDevice(MacA, "a", "192.0.2.1");
    addDevice(MacB, "b", "192.0.2.2");
    QVERIFY(!warned(0, DeviceModel::ColumnIpAddress));

    addDevice(MacC, "c", "192.0.2.1");
    QVERIFY(marked(0, DeviceModel::ColumnIpAddress));
    QVERIFY(marked(2, DeviceModel::ColumnIpAddress));
    QVERIFY(!warned(1, DeviceModel::ColumnIpAddress));
    QCOMPARE(
        model->item(2, DeviceModel::ColumnIpAddress)->toolTip(), QStringLiteral("IP conflict!"));
    QVERIFY(!warned(0, DeviceModel::ColumnHostname));

    model->onDeviceReplyReceived(networkConfig(MacC, 0, "c", "192.0.2.3"));
    QVERIFY(!warned(0, DeviceModel::ColumnIpAddress));
    QVERIFY(!warned(2, DeviceModel::ColumnIpAddress));
    QCOMPARE(model->item(0, DeviceModel::ColumnIpAddress)->toolTip(), QString());
}

void tst_DeviceModel::hostnamesDifferingInCase_conflict_ipAddressesMustMatchExactly()
{
    addDevice(MacA, "Gate-1", "fe80::a");
    addDevice(MacB, "gATE-1", "FE80::A");
    addDevice(MacC, "other", "fe80::a ");

    QVERIFY(marked(0, DeviceModel::ColumnHostname));
    QVERIFY(marked(1, DeviceModel::ColumnHostname));
    QCOMPARE(model->item(1, DeviceModel::ColumnHostname)->toolTip(),
        QStringLiteral("Hostname conflict!"));
    QVERIFY(!warned(2, DeviceModel::ColumnHostname));
    for (int row = 0; row < 3; ++row)
        QVERIFY(!warned(row, DeviceModel::ColumnIpAddress));
}

void tst_DeviceModel::notAvailableAndEmptyCells_neverConflict()
{
    addDevice(MacA, "", "");
    addDevice(MacB, "", "");
    model->onDeviceReplyReceived(networkConfig(MacC, 1));
    model->onDeviceReplyReceived(deviceInfo(QStringLiteral("0A:1B:2C:3D:4E:62")));
    model->onDeviceReplyReceived(networkConfig(QStringLiteral("0A:1B:2C:3D:4E:63"), 1));
    addDevice(QStringLiteral("0A:1B:2C:3D:4E:64"), "x", "192.0.2.5");

    QCOMPARE(model->rowCount(), 6);
    for (int row = 0; row < model->rowCount(); ++row) {
        QVERIFY(!warned(row, DeviceModel::ColumnHostname));
        QVERIFY(!warned(row, DeviceModel::ColumnIpAddress));
    }
}

void tst_DeviceModel::failedReply_leavesMarksUntilNextSuccessfulReply()
{
    addDevice(MacA, "a", "192.0.2.1");
    addDevice(MacB, "b", "192.0.2.1");
    QVERIFY(marked(0, DeviceModel::ColumnIpAddress));

    model->onDeviceReplyReceived(networkConfig(MacB, 7));
    QCOMPARE(text(1, DeviceModel::ColumnIpAddress), QStringLiteral("N/A"));
    QVERIFY(marked(0, DeviceModel::ColumnIpAddress));
    QVERIFY(marked(1, DeviceModel::ColumnIpAddress));

    model->onDeviceReplyReceived(deviceInfo(MacC));
    QVERIFY(!warned(0, DeviceModel::ColumnIpAddress));
    QVERIFY(!warned(1, DeviceModel::ColumnIpAddress));
}

// ---- requests, time-outs and restart

void tst_DeviceModel::broadcastNotice_stampsNothingAndTimerStopsAtNextTick()
{
    addDevice(MacA, "a", "192.0.2.1");
    model->onDeviceRequestSent(Datagram::GetNetworkConfig, Broadcast);
    QVERIFY(timer()->isActive());
    QVERIFY(!macData(0, DeviceModel::RequestTimeRole).toTime().isValid());

    tick();
    QVERIFY(!timer()->isActive());
    QCOMPARE(text(0, DeviceModel::ColumnStatus), QStringLiteral("Device available"));
}

void tst_DeviceModel::requestNotices_setStatusesAndStamps()
{
    addDevice(MacA, "a", "192.0.2.1");
    addDevice(MacB, "b", "192.0.2.2");

    model->onDeviceRequestSent(Datagram::SetNetworkConfigAuth, MacB);
    QCOMPARE(text(1, DeviceModel::ColumnStatus), QStringLiteral("Setting new parameters..."));
    QCOMPARE(macData(1, DeviceModel::StatusCodeRole).toInt(), 1);
    QVERIFY(!macData(1, DeviceModel::RequestTimeRole).toTime().isValid());
    QVERIFY(!timer()->isActive());

    model->onDeviceRequestSent(Datagram::SetNetworkConfig, MacA);
    QCOMPARE(text(0, DeviceModel::ColumnStatus), QStringLiteral("Setting new parameters..."));
    QCOMPARE(macData(0, DeviceModel::RequestTimeRole).toTime(), clock.timeOfDay());
    QVERIFY(timer()->isActive());

    model->onDeviceRequestSent(Datagram::GetDeviceInfo, MacA);
    model->onDeviceRequestSent(Datagram::RestartNetwork, MacA);
    QCOMPARE(text(0, DeviceModel::ColumnStatus), QStringLiteral("Applying new parameters..."));
    QCOMPARE(macData(0, DeviceModel::StatusCodeRole).toInt(), 2);

    // Only an exact MAC text is stamped.
    model->onDeviceRequestSent(Datagram::GetNetworkConfig, MacB.toLower());
    QVERIFY(!macData(1, DeviceModel::RequestTimeRole).toTime().isValid());

    // The authenticated request is never watched.
    clock.advance(60000);
    tick();
    QCOMPARE(text(1, DeviceModel::ColumnStatus), QStringLiteral("Setting new parameters..."));
    QCOMPARE(text(0, DeviceModel::ColumnStatus), QStringLiteral("Device not responding"));
}

void tst_DeviceModel::unansweredRequest_timesOutStrictlyAfter3000ms()
{
    addDevice(MacA, "a", "192.0.2.1");
    model->onDeviceRequestSent(Datagram::GetNetworkConfig, MacA);
    const QTime stamp = macData(0, DeviceModel::RequestTimeRole).toTime();
    QVERIFY(stamp.isValid());

    clock.advance(3000);
    tick();
    QCOMPARE(text(0, DeviceModel::ColumnStatus), QStringLiteral("Device available"));
    QCOMPARE(macData(0, DeviceModel::RequestTimeRole).toTime(), stamp);

    clock.advance(1);
    tick();
    QCOMPARE(text(0, DeviceModel::ColumnStatus), QStringLiteral("Device not responding"));
    QCOMPARE(macData(0, DeviceModel::StatusCodeRole).toInt(), 3);
    QVERIFY(macData(0, DeviceModel::RequestTimeRole).isValid());
    QVERIFY(macData(0, DeviceModel::RequestTimeRole).toTime().isNull());
    QVERIFY(timer()->isActive()); // the expiring tick still counted as pending

    tick();
    QVERIFY(!timer()->isActive());
}

void tst_DeviceModel::replyBeforeTheTimeoutTick_leavesDeviceAvailable()
{
    addDevice(MacA, "a", "192.0.2.1");
    model->onDeviceRequestSent(Datagram::GetNetworkConfig, MacA);
    clock.advance(3200);
    model->onDeviceReplyReceived(networkConfig(MacA));
    clock.advance(300);
    tick();
    QCOMPARE(text(0, DeviceModel::ColumnStatus), QStringLiteral("Device available"));
}

void tst_DeviceModel::replyAfterTheTimeoutTick_turnsNotRespondingBackToAvailable()
{
    addDevice(MacA, "a", "192.0.2.1");
    model->onDeviceRequestSent(Datagram::GetNetworkConfig, MacA);
    clock.advance(3500);
    tick();
    QCOMPARE(text(0, DeviceModel::ColumnStatus), QStringLiteral("Device not responding"));

    model->onDeviceReplyReceived(networkConfig(MacA));
    QCOMPARE(text(0, DeviceModel::ColumnStatus), QStringLiteral("Device available"));
    QCOMPARE(macData(0, DeviceModel::StatusCodeRole).toInt(), 0);
}

void tst_DeviceModel::anyReplyKind_clearsRequestTime_data()
{
    QTest::addColumn<QByteArray>("reply");
    QTest::addColumn<QString>("status");

    QTest::newRow("device info") << deviceInfo(MacA) << "Device available";
    QTest::newRow("failed set reply")
        << bare(Datagram::SetNetworkConfigReply, MacA, 9) << "Request failed";
    QTest::newRow("unknown message id") << bare(3, MacA) << "Setting new parameters...";
    QTest::newRow("restart request echo")
        << bare(Datagram::RestartNetwork, MacA) << "Setting new parameters...";
}

void tst_DeviceModel::anyReplyKind_clearsRequestTime()
{
    QFETCH(QByteArray, reply);
    QFETCH(QString, status);

    addDevice(MacA, "a", "192.0.2.1");
    model->onDeviceRequestSent(Datagram::SetNetworkConfig, MacA);
    model->onDeviceReplyReceived(reply);
    QVERIFY(macData(0, DeviceModel::RequestTimeRole).toTime().isNull());

    clock.advance(10000);
    tick();
    QCOMPARE(text(0, DeviceModel::ColumnStatus), status);
    QVERIFY(!timer()->isActive());
}

void tst_DeviceModel::waits_areMeasuredOnTheMonotonicClock()
{
    addDevice(MacA, "a", "192.0.2.1");
    addDevice(MacB, "b", "192.0.2.2");
    clock.setTimeOfDay(QTime(23, 59, 59, 500));
    model->onDeviceRequestSent(Datagram::GetNetworkConfig, MacA);
    QCOMPARE(macData(0, DeviceModel::RequestTimeRole).toTime(), QTime(23, 59, 59, 500));

    // Across midnight: the time of day goes back a whole day.
    clock.advance(3001);
    QCOMPARE(clock.timeOfDay(), QTime(0, 0, 2, 501));
    tick();
    QCOMPARE(text(0, DeviceModel::ColumnStatus), QStringLiteral("Device not responding"));

    // The system time set an hour ahead is no wait at all.
    model->onDeviceRequestSent(Datagram::GetNetworkConfig, MacB);
    clock.setTimeOfDay(clock.timeOfDay().addSecs(3600));
    clock.advance(500);
    tick();
    QCOMPARE(text(1, DeviceModel::ColumnStatus), QStringLiteral("Device available"));
    clock.advance(2501);
    tick();
    QCOMPARE(text(1, DeviceModel::ColumnStatus), QStringLiteral("Device not responding"));
}

void tst_DeviceModel::setReplyOk_asksForRestartEvenWithoutRow()
{
    QSignalSpy restart(model.get(), &DeviceModel::sendRestartNetwork);
    model->onDeviceReplyReceived(bare(Datagram::SetNetworkConfigReply, MacA, 0));
    QCOMPARE(restart.count(), 1);
    QCOMPARE(restart.at(0).at(0).toString(), MacA);
    QCOMPARE(model->rowCount(), 0);
    QVERIFY(timer()->isActive());
    tick();
    QVERIFY(!timer()->isActive());
}

void tst_DeviceModel::setReplyOk_showsApplyingBeforeRestartIsStamped()
{
    addDevice(MacA, "a", "192.0.2.1");
    QVariant restartTimeDuringNotice;
    connect(model.get(), &DeviceModel::sendRestartNetwork, model.get(), [&](const QString &mac) {
        model->onDeviceRequestSent(Datagram::RestartNetwork, mac);
        restartTimeDuringNotice = macData(0, DeviceModel::RestartTimeRole);
        QCOMPARE(text(0, DeviceModel::ColumnStatus), QStringLiteral("Applying new parameters..."));
    });

    model->onDeviceRequestSent(Datagram::SetNetworkConfig, MacA);
    model->onDeviceReplyReceived(bare(Datagram::SetNetworkConfigReply, MacA, 0));

    QVERIFY(restartTimeDuringNotice.toTime().isNull());
    QCOMPARE(macData(0, DeviceModel::RestartTimeRole).toTime(), clock.timeOfDay());
    QCOMPARE(text(0, DeviceModel::ColumnStatus), QStringLiteral("Applying new parameters..."));
}

void tst_DeviceModel::restart_asksForConfigurationStrictlyAfter5000ms()
{
    addDevice(MacA, "a", "192.0.2.1");
    wireFakeTransceiver();
    QSignalSpy getConfig(model.get(), &DeviceModel::sendGetEthConfiguration);
    model->onDeviceReplyReceived(bare(Datagram::SetNetworkConfigReply, MacA, 0));

    for (int elapsed = 500; elapsed <= 5000; elapsed += 500) {
        clock.advance(500);
        tick();
    }
    QCOMPARE(getConfig.count(), 0);
    clock.advance(500);
    tick();
    QCOMPARE(getConfig.count(), 1);
    QCOMPARE(getConfig.at(0).at(0).toString(), MacA);
    QVERIFY(macData(0, DeviceModel::RestartTimeRole).toTime().isNull());
    // The transceiver's notice of the GetNetworkConfig request started a new watch.
    QVERIFY(!macData(0, DeviceModel::RequestTimeRole).toTime().isNull());

    model->onDeviceReplyReceived(networkConfig(MacA, 0, "new", "192.0.2.50"));
    QCOMPARE(text(0, DeviceModel::ColumnStatus), QStringLiteral("Device available"));
    QCOMPARE(text(0, DeviceModel::ColumnIpAddress), QStringLiteral("192.0.2.50"));
    tick();
    QVERIFY(!timer()->isActive());
    QCOMPARE(getConfig.count(), 1);
}

void tst_DeviceModel::setReplyFailures_setTheirStatuses_data()
{
    QTest::addColumn<int>("messageId");
    QTest::addColumn<quint32>("status");
    QTest::addColumn<QString>("text");

    QTest::newRow("10 authorization")
        << 10 << Datagram::StatusAuthorizationFailed << "Authorization failed";
    QTest::newRow("14 authorization")
        << 14 << Datagram::StatusAuthorizationFailed << "Authorization failed";
    QTest::newRow("10 other") << 10 << 0x80000004u << "Request failed";
    QTest::newRow("14 other") << 14 << 1u << "Request failed";
}

void tst_DeviceModel::setReplyFailures_setTheirStatuses()
{
    QFETCH(int, messageId);
    QFETCH(quint32, status);
    QFETCH(QString, text);

    addDevice(MacA, "a", "192.0.2.1");
    QSignalSpy restart(model.get(), &DeviceModel::sendRestartNetwork);
    model->onDeviceReplyReceived(bare(messageId, MacA, status));
    QCOMPARE(this->text(0, DeviceModel::ColumnStatus), text);
    QCOMPARE(restart.count(), 0);
    QVERIFY(!timer()->isActive());
}

// ---- remembered login data

void tst_DeviceModel::authReply_okFromPendingMac_savesBeforeRestart()
{
    addDevice(MacA, "a", "192.0.2.1");
    bool savedBeforeRestart = false;
    connect(model.get(), &DeviceModel::sendRestartNetwork, model.get(),
        [&](const QString &) { savedBeforeRestart = hasLoginData(MacA); });
    model->pendingLoginData = QStringList({ MacA, "admin", QStringLiteral("s3cr\u00e9t") });

    model->onDeviceReplyReceived(bare(Datagram::SetNetworkConfigAuthReply, MacA, 0));

    QVERIFY(savedBeforeRestart);
    QVERIFY(model->pendingLoginData.isEmpty());
    QCOMPARE(LoginData::load(MacA), QStringList({ MacA, "admin", QStringLiteral("s3cr\u00e9t") }));
    QVERIFY(!macData(0, DeviceModel::RestartTimeRole).toTime().isNull());
}

void tst_DeviceModel::authReply_failedOrFromAnotherMac_dropsPendingWithoutSaving_data()
{
    QTest::addColumn<QString>("sender");
    QTest::addColumn<quint32>("status");
    QTest::addColumn<int>("restarts");

    QTest::newRow("failure from the pending MAC") << MacA << 2u << 0;
    QTest::newRow("success from another MAC") << MacB << 0u << 1;
    QTest::newRow("success from a case variant") << MacA.toLower() << 0u << 1;
}

void tst_DeviceModel::authReply_failedOrFromAnotherMac_dropsPendingWithoutSaving()
{
    QFETCH(QString, sender);
    QFETCH(quint32, status);
    QFETCH(int, restarts);

    QSignalSpy restart(model.get(), &DeviceModel::sendRestartNetwork);
    model->pendingLoginData = QStringList({ MacA, "admin", "pw" });
    model->onDeviceReplyReceived(bare(Datagram::SetNetworkConfigAuthReply, sender, status));

    QVERIFY(model->pendingLoginData.isEmpty());
    QVERIFY(!hasLoginData(MacA));
    QVERIFY(!hasLoginData(sender));
    QCOMPARE(restart.count(), restarts);
}

void tst_DeviceModel::authorizationFailed_withStoredLogin_removesItAndSaysSo()
{
    addDevice(MacA, "a", "192.0.2.1");
    LoginData::save({ MacA, "admin", "old" });
    model->onDeviceReplyReceived(
        bare(Datagram::SetNetworkConfigAuthReply, MacA, Datagram::StatusAuthorizationFailed));
    QCOMPARE(text(0, DeviceModel::ColumnStatus),
        QStringLiteral("Stored password is not valid any more, please try again!"));
    QCOMPARE(macData(0, DeviceModel::StatusCodeRole).toInt(), 5);
    QVERIFY(!hasLoginData(MacA));

    model->onDeviceReplyReceived(
        bare(Datagram::SetNetworkConfigAuthReply, MacA, Datagram::StatusAuthorizationFailed));
    QCOMPARE(text(0, DeviceModel::ColumnStatus), QStringLiteral("Authorization failed"));
}

QTEST_MAIN(tst_DeviceModel)
#include "tst_devicemodel.moc"
