#include "connectiondialog.h"
#include "datagram.h"
#include "devicemodel.h"
#include "devicetableview.h"
#include "editdriver.h"
#include "logindata.h"
#include "logindialog.h"
#include "mainwindow.h"
#include "mainwindowtester.h"
#include "modal.h"
#include "packettransceiver.h"
#include "testsupport.h"

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QLineEdit>
#include <QPushButton>
#include <QtTest>

#include <memory>

namespace {

const QString DeviceMac = QStringLiteral("02:00:00:00:00:2A");
const QString OtherMac = QStringLiteral("02:00:00:00:00:2B");

Datagram::NetworkSettings deviceSettings()
{
    Datagram::NetworkSettings s;
    s.hostname = QStringLiteral("pump-hall");
    s.dhcp = QStringLiteral("0");
    s.ipAddress = QStringLiteral("192.168.77.20");
    s.subnetMask = QStringLiteral("255.255.255.0");
    s.domain = QStringLiteral("plant.example");
    s.gateway = QStringLiteral("192.168.77.1");
    s.primaryDns = QStringLiteral("192.168.77.2");
    s.secondaryDns = QStringLiteral("192.168.77.3");
    return s;
}

QByteArray reply(int messageId, const QString &mac, qint32 protocolVersion,
    const QByteArray &payload, quint32 status = Datagram::StatusOk)
{
    Datagram::HeaderFields header;
    header.messageId = messageId;
    header.status = status;
    header.payloadLength = payload.size();
    header.protocolVersion = protocolVersion;
    header.destMacAddr = QStringLiteral("02:00:00:00:00:01");
    header.srcMacAddr = mac;
    header.srcIpAddr = QStringLiteral("192.168.77.20");
    return Datagram::makeHeader(header) + payload;
}

QByteArray configReply(const QString &mac, qint32 protocolVersion,
    const Datagram::NetworkSettings &settings = deviceSettings())
{
    return reply(Datagram::NetworkConfigReply, mac, protocolVersion,
        Datagram::encodeNetworkConfig(mac, settings));
}

QByteArray infoReply(const QString &mac, const QString &name = QStringLiteral("Quorvel IO-8"))
{
    return reply(Datagram::DeviceInfoReply, mac, 4,
        Datagram::encodeDeviceInfo(QStringLiteral("17"), QStringLiteral("2.3.1"), name));
}

// The text of a fixed-width field, up to its NUL; fails the test when the
// field holds no NUL.
QByteArray fieldText(const QByteArray &payload, int offset, int width)
{
    const QByteArray field = payload.mid(offset, width);
    const int nul = field.indexOf('\0');
    return nul < 0 ? QByteArray("<no NUL>") : field.left(nul);
}

struct Sent
{
    int messageId;
    QString destMac;
    int payloadLength;
    QByteArray payload;
};

// One main window whose transceiver hands every datagram to the test
// instead of the network.
class Fixture
{
public:
    Fixture()
        : tester(window)
    {
        tester.transceiver()->setSendHookForTesting([this](const QByteArray &datagram) {
            sent.append({ Datagram::messageId(datagram), Datagram::destMacAddr(datagram),
                Datagram::readInt32(datagram, Datagram::Header::PayloadLength),
                datagram.mid(Datagram::Header::Size) });
        });
        // Without a 192.168.x interface the transceiver warns on every request;
        // the window would show that in a modal box.
        QObject::disconnect(
            tester.transceiver(), &PacketTransceiver::warningMessage, &window, nullptr);
    }

    void addDevice(const QString &mac, qint32 protocolVersion,
        const Datagram::NetworkSettings &settings = deviceSettings())
    {
        model()->onDeviceReplyReceived(infoReply(mac));
        model()->onDeviceReplyReceived(configReply(mac, protocolVersion, settings));
    }

    DeviceModel *model() const { return tester.deviceModel(); }

    QModelIndex cell(const QString &mac, int column) const
    {
        return model()->index(model()->findRow(mac), column);
    }

    TestSupport::TemporarySettings settings;
    MainWindow window;
    MainWindowTester tester;
    QList<Sent> sent;
};

ConnectionDialog *asSettingsDialog(QWidget *w)
{
    auto *dialog = qobject_cast<ConnectionDialog *>(w);
    if (!dialog)
        qWarning("expected the network settings dialog, got %s", w->metaObject()->className());
    return dialog;
}

void applyWith(std::function<void(ConnectionDialog *)> fill, const QString &user = QString(),
    const QString &password = QString(), bool remember = false, bool *loginShown = nullptr)
{
    TestSupport::applyNextSettingsDialog(fill, { user, password, remember }, loginShown);
}

QByteArray base64(const QByteArray &latin1)
{
    return latin1.toBase64();
}

} // namespace

class EditFlowTest : public QObject
{
    Q_OBJECT

private slots:
    // choice of request and its payload
    void protocolVersion_choosesRequest_data();
    void protocolVersion_choosesRequest();
    void plainRequest_carriesMacAndTypedFields();
    void dhcp_sendsOneAndTheDisabledFields();
    void noItemChosen_sendsStatic();
    void credentials_data();
    void credentials();

    // login data
    void storedLogin_skipsDialogAndLeavesPending();
    void storedLoginWithBar_asksAgain();
    void remember_setsPendingOnlyAfterSending();
    void rememberUnchecked_leavesPendingAlone();
    void noSecretInAnyOutput();

    // when nothing is sent
    void rowChecks_data();
    void rowChecks();
    void editWithoutCurrentRow_doesNothing();
    void editAction_usesCurrentRow();
    void cancel_sendsNothing();

    // odd stored replies
    void shortStoredReply_readsAsEmptyFields();
    void storedReplyWithoutMac_isNotEdited_data();
    void storedReplyWithoutMac_isNotEdited();
    void tableChangesDuringDialog_requestStillGoesToDevice();
};

// ---- choice of request and its payload

void EditFlowTest::protocolVersion_choosesRequest_data()
{
    QTest::addColumn<int>("version");
    QTest::addColumn<int>("messageId");
    QTest::addColumn<int>("payloadSize");
    QTest::addColumn<bool>("login");
    QTest::newRow("0") << 0 << 9 << 205 << false;
    QTest::newRow("3") << 3 << 9 << 205 << false;
    QTest::newRow("4") << 4 << 13 << 315 << true;
    QTest::newRow("5") << 5 << 13 << 315 << true;
    QTest::newRow("260, low byte 4") << 260 << 13 << 315 << true;
    QTest::newRow("259, low byte 3") << 259 << 9 << 205 << false;
    QTest::newRow("255") << 255 << 13 << 315 << true;
}

void EditFlowTest::protocolVersion_choosesRequest()
{
    QFETCH(int, version);
    QFETCH(int, messageId);
    QFETCH(int, payloadSize);
    QFETCH(bool, login);
    Fixture f;
    f.addDevice(DeviceMac, version);
    bool loginShown = false;
    applyWith(nullptr, QStringLiteral("admin"), QStringLiteral("pw"), false, &loginShown);
    f.tester.edit(f.cell(DeviceMac, DeviceModel::ColumnHostname));

    QCOMPARE(loginShown, login);
    QCOMPARE(f.sent.size(), 1);
    QCOMPARE(f.sent[0].messageId, messageId);
    QCOMPARE(f.sent[0].destMac, DeviceMac);
    QCOMPARE(f.sent[0].payloadLength, payloadSize);
    QCOMPARE(f.sent[0].payload.size(), payloadSize);
    QCOMPARE(f.cell(DeviceMac, DeviceModel::ColumnStatus).data().toString(),
        QStringLiteral("Setting new parameters..."));
}

void EditFlowTest::plainRequest_carriesMacAndTypedFields()
{
    Fixture f;
    f.addDevice(DeviceMac, 3);
    applyWith([](ConnectionDialog *d) {
        d->hostnameEdit->setText(QStringLiteral("boiler-room"));
        d->ipAddressEdit->setText(QStringLiteral("192.168.77.30"));
        d->domainEdit->setText(QString(100, QLatin1Char('d')));
    });
    f.tester.edit(f.cell(DeviceMac, DeviceModel::ColumnDeviceName));

    QCOMPARE(f.sent.size(), 1);
    const QByteArray p = f.sent[0].payload;
    QCOMPARE(fieldText(p, 0, 18), DeviceMac.toLatin1());
    QCOMPARE(fieldText(p, 18, 25), QByteArray("boiler-room"));
    QCOMPARE(fieldText(p, 43, 2), QByteArray("0"));
    QCOMPARE(fieldText(p, 45, 16), QByteArray("192.168.77.30"));
    QCOMPARE(fieldText(p, 61, 16), QByteArray("255.255.255.0"));
    QCOMPARE(fieldText(p, 77, 80), QByteArray(79, 'd'));
    QCOMPARE(fieldText(p, 157, 16), QByteArray("192.168.77.1"));
    QCOMPARE(fieldText(p, 173, 16), QByteArray("192.168.77.2"));
    QCOMPARE(fieldText(p, 189, 16), QByteArray("192.168.77.3"));
}

void EditFlowTest::dhcp_sendsOneAndTheDisabledFields()
{
    Fixture f;
    f.addDevice(DeviceMac, 4);
    applyWith(
        [](ConnectionDialog *d) {
            d->ipAddressEdit->setText(QStringLiteral("10.1."));
            d->ipConfComboBox->setCurrentIndex(1);
        },
        QStringLiteral("admin"), QStringLiteral("pw"));
    f.tester.edit(f.cell(DeviceMac, DeviceModel::ColumnMacAddress));

    QCOMPARE(f.sent.size(), 1);
    const QByteArray p = f.sent[0].payload;
    QCOMPARE(fieldText(p, 0, 25), QByteArray("pump-hall"));
    QCOMPARE(fieldText(p, 25, 2), QByteArray("1"));
    QCOMPARE(fieldText(p, 27, 16), QByteArray("10.1."));
    QCOMPARE(fieldText(p, 43, 16), QByteArray("255.255.255.0"));
    QCOMPARE(fieldText(p, 59, 80), QByteArray("plant.example"));
    QCOMPARE(fieldText(p, 139, 16), QByteArray("192.168.77.1"));
    QCOMPARE(fieldText(p, 155, 16), QByteArray("192.168.77.2"));
    QCOMPARE(fieldText(p, 171, 16), QByteArray("192.168.77.3"));
}

void EditFlowTest::noItemChosen_sendsStatic()
{
    Fixture f;
    Datagram::NetworkSettings settings = deviceSettings();
    settings.dhcp = QStringLiteral("2");
    f.addDevice(DeviceMac, 3, settings);
    int index = 0;
    applyWith([&index](ConnectionDialog *d) { index = d->ipConfComboBox->currentIndex(); });
    f.tester.edit(f.cell(DeviceMac, DeviceModel::ColumnMacAddress));

    QCOMPARE(index, -1);
    QCOMPARE(f.sent.size(), 1);
    QCOMPARE(fieldText(f.sent[0].payload, 43, 2), QByteArray("0"));
}

void EditFlowTest::credentials_data()
{
    QTest::addColumn<QString>("user");
    QTest::addColumn<QString>("password");
    QTest::addColumn<QByteArray>("expected");
    QTest::newRow("empty user and password") << QString() << QString() << QByteArray("Og==");
    QTest::newRow("empty password") << "admin" << QString() << QByteArray("YWRtaW46");
    QTest::newRow("plain") << "admin"
                           << "secret" << QByteArray("YWRtaW46c2VjcmV0");
    QTest::newRow("outside Latin-1 becomes ?")
        << QStringLiteral("a\u20ac") << QStringLiteral("\u00fc") << base64("a?:\xfc");
    // "user:password" of 93, 94 and 95 characters: 124 Base64 characters fit,
    // 128 are cut to 127
    const QString user(46, QLatin1Char('u'));
    QTest::newRow("93 characters, sent whole")
        << user << QString(46, QLatin1Char('p'))
        << base64(QByteArray(46, 'u') + ':' + QByteArray(46, 'p'));
    QTest::newRow("94 characters, cut")
        << user << QString(47, QLatin1Char('p'))
        << base64(QByteArray(46, 'u') + ':' + QByteArray(47, 'p')).left(127);
    QTest::newRow("95 characters, cut")
        << user << QString(48, QLatin1Char('p'))
        << base64(QByteArray(46, 'u') + ':' + QByteArray(48, 'p')).left(127);
}

void EditFlowTest::credentials()
{
    QFETCH(QString, user);
    QFETCH(QString, password);
    QFETCH(QByteArray, expected);
    Fixture f;
    f.addDevice(DeviceMac, 4);
    applyWith(nullptr, user, password);
    f.tester.edit(f.cell(DeviceMac, DeviceModel::ColumnIpAddress));

    QCOMPARE(f.sent.size(), 1);
    QCOMPARE(f.sent[0].messageId, 13);
    QCOMPARE(fieldText(f.sent[0].payload, 187, 128), expected);
    QVERIFY(expected.size() <= 127);
}

// ---- login data

void EditFlowTest::storedLogin_skipsDialogAndLeavesPending()
{
    Fixture f;
    f.addDevice(DeviceMac, 4);
    f.model()->pendingLoginData
        = QStringList { DeviceMac, QStringLiteral("stored"), QStringLiteral("word") };
    f.model()->saveAuthenticationToRegistry();
    const QStringList sentinel { OtherMac, QStringLiteral("keeper"), QStringLiteral("x") };
    f.model()->pendingLoginData = sentinel;

    bool loginShown = false;
    applyWith(nullptr, QStringLiteral("typed"), QStringLiteral("typed"), true, &loginShown);
    f.tester.edit(f.cell(DeviceMac, DeviceModel::ColumnIpAddress));

    QVERIFY(!loginShown);
    QCOMPARE(f.sent.size(), 1);
    QCOMPARE(f.sent[0].messageId, 13);
    QCOMPARE(fieldText(f.sent[0].payload, 187, 128), base64("stored:word"));
    QCOMPARE(f.model()->pendingLoginData, sentinel);
}

void EditFlowTest::storedLoginWithBar_asksAgain()
{
    Fixture f;
    f.addDevice(DeviceMac, 4);
    f.model()->pendingLoginData
        = QStringList { DeviceMac, QStringLiteral("stored"), QStringLiteral("pass|word") };
    f.model()->saveAuthenticationToRegistry();
    QVERIFY(hasLoginData(DeviceMac));

    bool loginShown = false;
    applyWith(nullptr, QStringLiteral("typed"), QStringLiteral("pw"), false, &loginShown);
    f.tester.edit(f.cell(DeviceMac, DeviceModel::ColumnIpAddress));

    QVERIFY(loginShown);
    QCOMPARE(f.sent.size(), 1);
    QCOMPARE(fieldText(f.sent[0].payload, 187, 128), base64("typed:pw"));
}

void EditFlowTest::remember_setsPendingOnlyAfterSending()
{
    Fixture f;
    f.addDevice(DeviceMac, 4);
    QStringList pendingWhenSent { QStringLiteral("untouched") };
    f.tester.transceiver()->setSendHookForTesting([&](const QByteArray &datagram) {
        pendingWhenSent = f.model()->pendingLoginData;
        f.sent.append(
            { Datagram::messageId(datagram), Datagram::destMacAddr(datagram), 0, QByteArray() });
    });
    applyWith(nullptr, QStringLiteral("admin"), QStringLiteral("s3cret"), true);
    f.tester.edit(f.cell(DeviceMac, DeviceModel::ColumnIpAddress));

    QCOMPARE(f.sent.size(), 1);
    QVERIFY(pendingWhenSent.isEmpty());
    QCOMPARE(f.model()->pendingLoginData,
        (QStringList { DeviceMac, QStringLiteral("admin"), QStringLiteral("s3cret") }));
    // stored only once the device accepts
    QVERIFY(!hasLoginData(DeviceMac));
    f.model()->onDeviceReplyReceived(
        reply(Datagram::SetNetworkConfigAuthReply, DeviceMac, 4, QByteArray()));
    QVERIFY(hasLoginData(DeviceMac));
    QCOMPARE(f.tester.loadLoginData(DeviceMac),
        (QStringList { DeviceMac, QStringLiteral("admin"), QStringLiteral("s3cret") }));
}

void EditFlowTest::rememberUnchecked_leavesPendingAlone()
{
    Fixture f;
    f.addDevice(DeviceMac, 4);
    const QStringList sentinel { OtherMac, QStringLiteral("other"), QStringLiteral("pw") };
    f.model()->pendingLoginData = sentinel;
    applyWith(nullptr, QStringLiteral("admin"), QStringLiteral("s3cret"), false);
    f.tester.edit(f.cell(DeviceMac, DeviceModel::ColumnIpAddress));

    QCOMPARE(f.sent.size(), 1);
    QCOMPARE(f.model()->pendingLoginData, sentinel);
}

namespace {
QStringList *capturedMessages = nullptr;
void captureMessage(QtMsgType, const QMessageLogContext &, const QString &message)
{
    capturedMessages->append(message);
}
} // namespace

void EditFlowTest::noSecretInAnyOutput()
{
    const QString password = QStringLiteral("Tr0ub4dor&3");
    const QByteArray encoded = base64("operator:" + password.toLatin1());
    Fixture f;
    f.addDevice(DeviceMac, 4);

    QStringList messages;
    capturedMessages = &messages;
    const QtMessageHandler previous = qInstallMessageHandler(captureMessage);
    applyWith(nullptr, QStringLiteral("operator"), password, true);
    f.tester.edit(f.cell(DeviceMac, DeviceModel::ColumnIpAddress));
    f.model()->onDeviceReplyReceived(
        reply(Datagram::SetNetworkConfigAuthReply, DeviceMac, 4, QByteArray()));
    QCoreApplication::processEvents();
    qDebug("edit finished"); // shows that the capture works
    qInstallMessageHandler(previous);
    capturedMessages = nullptr;

    QCOMPARE(f.sent.size(), 2); // the request and the restart
    QVERIFY(messages.contains(QStringLiteral("edit finished")));
    for (const QString &message : qAsConst(messages)) {
        QVERIFY2(!message.contains(password), "the password reached the message log");
        QVERIFY2(!message.contains(QString::fromLatin1(encoded)),
            "the credentials reached the message log");
        QVERIFY2(!message.contains(QString::fromLatin1(encoded.left(40))),
            "the credentials reached the message log");
    }
}

// ---- when nothing is sent

void EditFlowTest::rowChecks_data()
{
    QTest::addColumn<bool>("deviceInfo");
    QTest::addColumn<bool>("networkConfig");
    QTest::addColumn<QString>("name");
    QTest::addColumn<bool>("clearFirmware");
    QTest::addColumn<bool>("opens");
    QTest::newRow("no network configuration yet") << true << false << "IO-8" << false << false;
    QTest::newRow("no device information yet") << false << true << "" << false << false;
    QTest::newRow("name but no firmware") << true << true << "IO-8" << true << false;
    QTest::newRow("empty device name") << true << true << "" << false << true;
    QTest::newRow("complete row") << true << true << "IO-8" << false << true;
}

void EditFlowTest::rowChecks()
{
    QFETCH(bool, deviceInfo);
    QFETCH(bool, networkConfig);
    QFETCH(QString, name);
    QFETCH(bool, clearFirmware);
    QFETCH(bool, opens);
    Fixture f;
    if (deviceInfo)
        f.model()->onDeviceReplyReceived(infoReply(DeviceMac, name));
    if (networkConfig)
        f.model()->onDeviceReplyReceived(configReply(DeviceMac, 3));
    QVERIFY(f.model()->findRow(DeviceMac) >= 0);
    if (clearFirmware)
        QVERIFY(f.model()->setData(f.cell(DeviceMac, DeviceModel::ColumnFirmware), QVariant()));

    // every cell of the row stands for the row
    for (int column = 0; column < 7; ++column) {
        bool opened = false;
        QPointer<QObject> watch = TestSupport::whenModalShown([&opened](QWidget *w) {
            opened = true;
            w->close();
        });
        f.tester.edit(f.cell(DeviceMac, column));
        delete watch;
        QCOMPARE(opened, opens);
    }
    QVERIFY(f.sent.isEmpty());
}

void EditFlowTest::editWithoutCurrentRow_doesNothing()
{
    Fixture f;
    f.addDevice(DeviceMac, 3);
    f.tester.deviceView()->setCurrentIndex(QModelIndex());
    bool opened = false;
    QPointer<QObject> watch = TestSupport::whenModalShown([&opened](QWidget *w) {
        opened = true;
        w->close();
    });
    f.tester.edit();
    delete watch;
    QVERIFY(!opened);
    QVERIFY(f.sent.isEmpty());
}

void EditFlowTest::editAction_usesCurrentRow()
{
    Fixture f;
    f.addDevice(OtherMac, 3);
    f.addDevice(DeviceMac, 3);
    f.tester.deviceView()->setCurrentIndex(f.cell(DeviceMac, DeviceModel::ColumnFirmware));
    QString editedMac;
    applyWith([&editedMac](ConnectionDialog *d) { editedMac = d->deviceMacAddr; });
    f.tester.edit();
    QCOMPARE(editedMac, DeviceMac);
    QCOMPARE(f.sent.size(), 1);
    QCOMPARE(f.sent[0].destMac, DeviceMac);
}

void EditFlowTest::cancel_sendsNothing()
{
    Fixture f;
    f.addDevice(DeviceMac, 4);
    const QStringList sentinel { OtherMac, QStringLiteral("other"), QStringLiteral("pw") };
    f.model()->pendingLoginData = sentinel;
    TestSupport::whenModalShown([](QWidget *w) {
        ConnectionDialog *d = asSettingsDialog(w);
        if (!d)
            return;
        // a cancelled login leaves the settings dialog open; then cancel that too
        TestSupport::whenModalShown(
            [](QWidget *login) {
                auto *ld = qobject_cast<LoginDialog *>(login);
                ld->rememberCheckBox->setChecked(true);
                ld->buttonBox->button(QDialogButtonBox::Cancel)->click();
            },
            d);
        QTest::mouseClick(d->applyButton, Qt::LeftButton);
        QTest::mouseClick(d->cancelButton, Qt::LeftButton);
    });
    f.tester.edit(f.cell(DeviceMac, DeviceModel::ColumnIpAddress));
    QVERIFY(f.sent.isEmpty());
    QCOMPARE(f.model()->pendingLoginData, sentinel);
    QCOMPARE(f.cell(DeviceMac, DeviceModel::ColumnStatus).data().toString(),
        QStringLiteral("Device available"));
}

// ---- odd stored replies

void EditFlowTest::shortStoredReply_readsAsEmptyFields()
{
    Fixture f;
    f.addDevice(DeviceMac, 4);
    const QModelIndex mac = f.cell(DeviceMac, DeviceModel::ColumnMacAddress);
    // cut inside the host name: version byte and MAC are there, the rest is not
    const QByteArray full = configReply(DeviceMac, 4);
    QVERIFY(f.model()->setData(mac, QByteArray(full.constData(), 150), DeviceModel::RawConfigRole));

    QString hostname = QStringLiteral("unset");
    QString ipAddress = QStringLiteral("unset");
    applyWith(
        [&](ConnectionDialog *d) {
            hostname = d->hostnameEdit->text();
            ipAddress = d->ipAddressEdit->text();
            d->ipAddressEdit->setText(QStringLiteral("192.168.77.40"));
            d->subnetMaskEdit->setText(QStringLiteral("255.255.0.0"));
        },
        QStringLiteral("admin"), QStringLiteral("pw"));
    f.tester.edit(mac);

    QCOMPARE(hostname, QStringLiteral("pump-hall").left(150 - 142));
    QCOMPARE(ipAddress, QString());
    QCOMPARE(f.sent.size(), 1);
    QCOMPARE(f.sent[0].messageId, 13);
    QCOMPARE(fieldText(f.sent[0].payload, 27, 16), QByteArray("192.168.77.40"));
}

void EditFlowTest::storedReplyWithoutMac_isNotEdited_data()
{
    QTest::addColumn<QByteArray>("stored");
    const QByteArray full = configReply(DeviceMac, 3);
    QTest::newRow("no datagram") << QByteArray();
    QTest::newRow("shorter than the version byte") << full.left(40);
    QTest::newRow("cut before the source MAC") << full.left(74);
    QByteArray broadcast = full;
    broadcast.replace(74, 17, QByteArray(Datagram::BroadcastMac));
    QTest::newRow("broadcast source MAC") << broadcast;
    QByteArray lowerBroadcast = full;
    lowerBroadcast.replace(74, 17, QByteArray("ff:ff:ff:ff:ff:ff"));
    QTest::newRow("broadcast source MAC, lower case") << lowerBroadcast;
}

void EditFlowTest::storedReplyWithoutMac_isNotEdited()
{
    QFETCH(QByteArray, stored);
    Fixture f;
    f.addDevice(DeviceMac, 3);
    const QModelIndex mac = f.cell(DeviceMac, DeviceModel::ColumnMacAddress);
    QVERIFY(f.model()->setData(mac, stored, DeviceModel::RawConfigRole));

    bool opened = false;
    QPointer<QObject> watch = TestSupport::whenModalShown([&opened](QWidget *w) {
        opened = true;
        w->close();
    });
    f.tester.edit(mac);
    delete watch;
    QVERIFY(!opened);
    QVERIFY(f.sent.isEmpty());
}

void EditFlowTest::tableChangesDuringDialog_requestStillGoesToDevice()
{
    Fixture f;
    f.addDevice(DeviceMac, 3);
    f.addDevice(OtherMac, 3);
    applyWith([&f](ConnectionDialog *) {
        // a scan empties the table and a different device fills the first row
        f.model()->setRowCount(0);
        f.addDevice(OtherMac, 3);
    });
    f.tester.edit(f.cell(DeviceMac, DeviceModel::ColumnIpAddress));

    QCOMPARE(f.sent.size(), 1);
    QCOMPARE(f.sent[0].destMac, DeviceMac);
    QCOMPARE(fieldText(f.sent[0].payload, 0, 18), DeviceMac.toLatin1());
}

QTEST_MAIN(EditFlowTest)
#include "tst_editflow.moc"
