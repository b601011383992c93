#include "connectiondialog.h"
#include "datagram.h"
#include "logindialog.h"
#include "modal.h"

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QtTest>

class ConnectionDialogTest : public QObject
{
    Q_OBJECT

private slots:
    // what the user may type
    void hostnameValidator_data();
    void hostnameValidator();
    void ipv4Validator_data();
    void ipv4Validator();

    // filling from a reply
    void setConfiguration_showsHeaderAndFields();
    void setConfiguration_dhcpText_data();
    void setConfiguration_dhcpText();
    void setConfiguration_failedReply_leavesFieldsEmpty();
    void setConfiguration_shortDatagram_readsNothingBeyondItsEnd_data();
    void setConfiguration_shortDatagram_readsNothingBeyondItsEnd();
    void setConfiguration_textWithoutNul_stopsAtDatagramEnd();
    void setConfiguration_markupInMac_isShownAsText();
    void switchingIpConfig_togglesGroupAndKeepsTexts();

    // closing
    void cancelEscapeOrClose_reject_data();
    void cancelEscapeOrClose_reject();
    void apply_withoutLogin_acceptsAtOnce();
    void apply_withLogin_closesOnlyAfterLoginOk();
    void apply_loginCancelled_staysOpenThenRejects();
    void returnKey_neitherAppliesNorCancels();

    // incomplete static addresses
    void apply_checksStaticAddresses_data();
    void apply_checksStaticAddresses();
    void apply_refusedAddress_asksForNoLogin();
    void invalidMark_clearsWhenTextChanges();
};

namespace {

const QString DeviceMac = QStringLiteral("00:1A:2B:3C:4D:5E");

Datagram::NetworkSettings sampleSettings(const QString &dhcp = QStringLiteral("0"))
{
    Datagram::NetworkSettings s;
    s.hostname = QStringLiteral("quorvel-lab");
    s.dhcp = dhcp;
    s.ipAddress = QStringLiteral("192.168.77.20");
    s.subnetMask = QStringLiteral("255.255.255.0");
    s.domain = QStringLiteral("lab.example");
    s.gateway = QStringLiteral("192.168.77.1");
    s.primaryDns = QStringLiteral("192.168.77.2");
    s.secondaryDns = QStringLiteral("192.168.77.3");
    return s;
}

QByteArray configReply(const Datagram::NetworkSettings &settings, quint32 status = Datagram::StatusOk,
                       const QString &mac = DeviceMac)
{
    Datagram::HeaderFields header;
    header.messageId = Datagram::NetworkConfigReply;
    header.status = status;
    header.payloadLength = Datagram::NetworkConfig::Size;
    header.protocolVersion = 3;
    header.destMacAddr = QStringLiteral("02:00:00:00:00:01");
    header.srcMacAddr = mac;
    header.srcIpAddr = settings.ipAddress;
    return Datagram::makeHeader(header) + Datagram::encodeNetworkConfig(mac, settings);
}

QList<QLineEdit *> addressFields(const ConnectionDialog &d)
{
    return {d.ipAddressEdit, d.subnetMaskEdit, d.domainEdit,
            d.gatewayEdit, d.primaryDnsEdit, d.secondaryDnsEdit};
}

QLineEdit *fieldByName(const ConnectionDialog &d, const QString &name)
{
    if (name == QLatin1String("ip"))
        return d.ipAddressEdit;
    if (name == QLatin1String("mask"))
        return d.subnetMaskEdit;
    if (name == QLatin1String("gateway"))
        return d.gatewayEdit;
    if (name == QLatin1String("dns1"))
        return d.primaryDnsEdit;
    if (name == QLatin1String("dns2"))
        return d.secondaryDnsEdit;
    return nullptr;
}

void showActive(QWidget *w)
{
    w->show();
    w->activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(w));
}

void clickLoginButton(QWidget *login, QDialogButtonBox::StandardButton which)
{
    auto *box = login->findChild<QDialogButtonBox *>();
    QVERIFY(box);
    QTest::mouseClick(box->button(which), Qt::LeftButton);
}

} // namespace

// ---- what the user may type

void ConnectionDialogTest::hostnameValidator_data()
{
    QTest::addColumn<QString>("typed");
    QTest::addColumn<QString>("kept");
    QTest::newRow("leading digit refused") << "9host" << "host";
    QTest::newRow("leading hyphen refused") << "-host" << "host";
    QTest::newRow("hyphen inside kept") << "my-host-1" << "my-host-1";
    QTest::newRow("trailing hyphen kept while typing") << "host-" << "host-";
    QTest::newRow("single letter kept") << "h" << "h";
    QTest::newRow("dot and space refused") << "a.b c" << "abc";
    QTest::newRow("25th character refused") << QString(25, QLatin1Char('x')) << QString(24, QLatin1Char('x'));
}

void ConnectionDialogTest::hostnameValidator()
{
    QFETCH(QString, typed);
    QFETCH(QString, kept);
    ConnectionDialog dialog(false, nullptr);
    QTest::keyClicks(dialog.hostnameEdit, typed);
    QCOMPARE(dialog.hostnameEdit->text(), kept);
}

void ConnectionDialogTest::ipv4Validator_data()
{
    QTest::addColumn<QString>("field");
    QTest::addColumn<QString>("typed");
    QTest::addColumn<QString>("kept");
    for (const char *field : {"ip", "mask", "gateway", "dns1", "dns2"}) {
        const QString f = QString::fromLatin1(field);
        QTest::addRow("%s: 256 refused at third digit", field) << f << "256" << "25";
        QTest::addRow("%s: 300 refused at third digit", field) << f << "300" << "30";
        QTest::addRow("%s: complete address", field) << f << "10.0.255.254" << "10.0.255.254";
        QTest::addRow("%s: missing last octet kept", field) << f << "192.168.1." << "192.168.1.";
        QTest::addRow("%s: dots alone kept", field) << f << "..." << "...";
        QTest::addRow("%s: fifth octet refused", field) << f << "1.2.3.4." << "1.2.3.4";
        QTest::addRow("%s: letters refused", field) << f << "1a.b2" << "1.2";
    }
}

void ConnectionDialogTest::ipv4Validator()
{
    QFETCH(QString, field);
    QFETCH(QString, typed);
    QFETCH(QString, kept);
    ConnectionDialog dialog(false, nullptr);
    QLineEdit *edit = fieldByName(dialog, field);
    QTest::keyClicks(edit, typed);
    QCOMPARE(edit->text(), kept);
    // the domain field has no validator and takes anything
    QTest::keyClicks(dialog.domainEdit, typed);
    QCOMPARE(dialog.domainEdit->text(), typed);
}

// ---- filling from a reply

void ConnectionDialogTest::setConfiguration_showsHeaderAndFields()
{
    ConnectionDialog dialog(false, nullptr);
    QVERIFY(dialog.deviceMacAddr.isEmpty());
    dialog.setConfiguration(configReply(sampleSettings()));

    QCOMPARE(dialog.deviceMacAddr, DeviceMac);
    QCOMPARE(dialog.infoLabel->text(),
             QStringLiteral("<h2>Network Settings</h2> General network parameters for device at "
                            "MAC-Address <b>00:1A:2B:3C:4D:5E</b>.<p><p>"));
    QCOMPARE(dialog.hostnameEdit->text(), QStringLiteral("quorvel-lab"));
    QCOMPARE(dialog.ipAddressEdit->text(), QStringLiteral("192.168.77.20"));
    QCOMPARE(dialog.subnetMaskEdit->text(), QStringLiteral("255.255.255.0"));
    QCOMPARE(dialog.domainEdit->text(), QStringLiteral("lab.example"));
    QCOMPARE(dialog.gatewayEdit->text(), QStringLiteral("192.168.77.1"));
    QCOMPARE(dialog.primaryDnsEdit->text(), QStringLiteral("192.168.77.2"));
    QCOMPARE(dialog.secondaryDnsEdit->text(), QStringLiteral("192.168.77.3"));
}

void ConnectionDialogTest::setConfiguration_dhcpText_data()
{
    QTest::addColumn<QString>("dhcp");
    QTest::addColumn<int>("index");
    QTest::addColumn<bool>("groupEnabled");
    QTest::newRow("1 is DHCP") << "1" << 1 << false;
    QTest::newRow("0 is static") << "0" << 0 << true;
    QTest::newRow("2 selects nothing") << "2" << -1 << false;
    QTest::newRow("no number is static") << "x" << 0 << true;
    QTest::newRow("empty is static") << "" << 0 << true;
}

void ConnectionDialogTest::setConfiguration_dhcpText()
{
    QFETCH(QString, dhcp);
    QFETCH(int, index);
    QFETCH(bool, groupEnabled);
    ConnectionDialog dialog(false, nullptr);
    // start from the other state so that both directions are exercised
    dialog.ipConfComboBox->setCurrentIndex(groupEnabled ? 1 : 0);
    dialog.setConfiguration(configReply(sampleSettings(dhcp)));

    QCOMPARE(dialog.ipConfComboBox->currentIndex(), index);
    QCOMPARE(dialog.staticConfigGroupBox->isEnabled(), groupEnabled);
    const QList<QLineEdit *> fields = addressFields(dialog);
    for (QLineEdit *edit : fields) {
        QCOMPARE(edit->isEnabled(), groupEnabled);
        QVERIFY(!edit->text().isEmpty());
    }
    QCOMPARE(dialog.ipAddressEdit->text(), QStringLiteral("192.168.77.20"));
    QVERIFY(dialog.hostnameEdit->isEnabled());
}

void ConnectionDialogTest::setConfiguration_failedReply_leavesFieldsEmpty()
{
    ConnectionDialog dialog(false, nullptr);
    dialog.setConfiguration(configReply(sampleSettings(QStringLiteral("1")), 0x80000001u));

    QCOMPARE(dialog.deviceMacAddr, DeviceMac);
    QVERIFY(dialog.infoLabel->text().contains(DeviceMac));
    QVERIFY(dialog.hostnameEdit->text().isEmpty());
    for (QLineEdit *edit : addressFields(dialog))
        QVERIFY(edit->text().isEmpty());
    QCOMPARE(dialog.ipConfComboBox->currentIndex(), 0);
    QVERIFY(dialog.staticConfigGroupBox->isEnabled());
}

void ConnectionDialogTest::setConfiguration_shortDatagram_readsNothingBeyondItsEnd_data()
{
    QTest::addColumn<int>("length");
    QTest::addColumn<QString>("mac");
    QTest::addColumn<QString>("hostname");
    QTest::addColumn<QString>("ipAddress");
    QTest::addColumn<QString>("secondaryDns");
    QTest::newRow("empty") << 0 << "" << "" << "" << "";
    QTest::newRow("cut in the key") << 20 << "" << "" << "" << "";
    QTest::newRow("cut in the MAC") << 80 << "00:1A:" << "" << "" << "";
    QTest::newRow("header only") << 124 << DeviceMac << "" << "" << "";
    QTest::newRow("cut in the host name") << 146 << DeviceMac << "quor" << "" << "";
    QTest::newRow("cut in the IP address") << 176 << DeviceMac << "quorvel-lab" << "192.168" << "";
    QTest::newRow("cut in the last field") << 318 << DeviceMac << "quorvel-lab" << "192.168.77.20" << "192.1";
    QTest::newRow("one byte short") << 328 << DeviceMac << "quorvel-lab" << "192.168.77.20" << "192.168.77.3";
}

void ConnectionDialogTest::setConfiguration_shortDatagram_readsNothingBeyondItsEnd()
{
    QFETCH(int, length);
    QFETCH(QString, mac);
    QFETCH(QString, hostname);
    QFETCH(QString, ipAddress);
    QFETCH(QString, secondaryDns);
    ConnectionDialog dialog(false, nullptr);
    // a copy of exactly `length` bytes, so a sanitizer sees any read past it
    const QByteArray full = configReply(sampleSettings());
    dialog.setConfiguration(QByteArray(full.constData(), length));

    QCOMPARE(dialog.deviceMacAddr, mac);
    QCOMPARE(dialog.hostnameEdit->text(), hostname);
    QCOMPARE(dialog.ipAddressEdit->text(), ipAddress);
    QCOMPARE(dialog.secondaryDnsEdit->text(), secondaryDns);
}

void ConnectionDialogTest::setConfiguration_textWithoutNul_stopsAtDatagramEnd()
{
    QByteArray datagram = configReply(sampleSettings());
    const int last = Datagram::Header::Size + Datagram::NetworkConfig::SecondaryDns.offset;
    datagram.replace(last, Datagram::NetworkConfig::SecondaryDns.width, QByteArray(16, '7'));
    QCOMPARE(datagram.size(), 329);

    ConnectionDialog dialog(false, nullptr);
    dialog.setConfiguration(datagram);
    QCOMPARE(dialog.secondaryDnsEdit->text(), QString(16, QLatin1Char('7')));
    QCOMPARE(dialog.primaryDnsEdit->text(), QStringLiteral("192.168.77.2"));
}

void ConnectionDialogTest::setConfiguration_markupInMac_isShownAsText()
{
    ConnectionDialog dialog(false, nullptr);
    dialog.setConfiguration(configReply(sampleSettings(), Datagram::StatusOk, QStringLiteral("<img src=x>")));
    QCOMPARE(dialog.deviceMacAddr, QStringLiteral("<img src=x>"));
    QVERIFY(!dialog.infoLabel->text().contains(QStringLiteral("<img")));
    QVERIFY(dialog.infoLabel->text().contains(QStringLiteral("&lt;img src=x&gt;")));
}

void ConnectionDialogTest::switchingIpConfig_togglesGroupAndKeepsTexts()
{
    ConnectionDialog dialog(false, nullptr);
    dialog.setConfiguration(configReply(sampleSettings()));
    QTest::keyClicks(dialog.domainEdit, QStringLiteral(".typed"));
    QStringList before;
    for (QLineEdit *edit : addressFields(dialog))
        before << edit->text();

    dialog.ipConfComboBox->setCurrentIndex(1);
    QVERIFY(!dialog.staticConfigGroupBox->isEnabled());
    for (QLineEdit *edit : addressFields(dialog))
        QVERIFY(!edit->isEnabled());

    dialog.ipConfComboBox->setCurrentIndex(0);
    QVERIFY(dialog.staticConfigGroupBox->isEnabled());
    QStringList after;
    for (QLineEdit *edit : addressFields(dialog)) {
        QVERIFY(edit->isEnabled());
        after << edit->text();
    }
    QCOMPARE(after, before);
    QCOMPARE(dialog.domainEdit->text(), QStringLiteral("lab.example.typed"));
}

// ---- closing

void ConnectionDialogTest::cancelEscapeOrClose_reject_data()
{
    QTest::addColumn<int>("how");
    QTest::addColumn<bool>("askForLogin");
    QTest::newRow("cancel button") << 0 << false;
    QTest::newRow("escape key") << 1 << false;
    QTest::newRow("window closed") << 2 << false;
    QTest::newRow("cancel button with login") << 0 << true;
    QTest::newRow("escape key with login") << 1 << true;
}

void ConnectionDialogTest::cancelEscapeOrClose_reject()
{
    QFETCH(int, how);
    QFETCH(bool, askForLogin);
    ConnectionDialog dialog(askForLogin, nullptr);
    dialog.setConfiguration(configReply(sampleSettings()));
    TestSupport::whenModalShown([&dialog, how](QWidget *w) {
        QCOMPARE(w, static_cast<QWidget *>(&dialog));
        if (how == 0)
            QTest::mouseClick(dialog.cancelButton, Qt::LeftButton);
        else if (how == 1)
            QTest::keyClick(w, Qt::Key_Escape);
        else
            w->close();
    });
    QCOMPARE(dialog.exec(), int(QDialog::Rejected));
}

void ConnectionDialogTest::apply_withoutLogin_acceptsAtOnce()
{
    ConnectionDialog dialog(false, nullptr);
    dialog.setConfiguration(configReply(sampleSettings()));
    TestSupport::whenModalShown([&dialog](QWidget *) { QTest::mouseClick(dialog.applyButton, Qt::LeftButton); });
    QCOMPARE(dialog.exec(), int(QDialog::Accepted));
    QVERIFY(!dialog.loginDialog->isVisible());
}

void ConnectionDialogTest::apply_withLogin_closesOnlyAfterLoginOk()
{
    QWidget window;
    ConnectionDialog dialog(true, &window);
    QCOMPARE(dialog.loginDialog->parentWidget(), &window);
    dialog.setConfiguration(configReply(sampleSettings()));

    QString loginTitle;
    bool settingsOpenDuringLogin = false;
    TestSupport::whenModalShown([&](QWidget *) {
        TestSupport::whenModalShown(
            [&](QWidget *login) {
                loginTitle = login->windowTitle();
                settingsOpenDuringLogin = dialog.isVisible();
                QTest::keyClicks(dialog.loginDialog->usernameEdit, QStringLiteral("admin"));
                clickLoginButton(login, QDialogButtonBox::Ok);
            },
            &dialog);
        QTest::mouseClick(dialog.applyButton, Qt::LeftButton);
    });
    QCOMPARE(dialog.exec(), int(QDialog::Accepted));
    QCOMPARE(loginTitle, QStringLiteral("Device login"));
    QVERIFY(settingsOpenDuringLogin);
    QCOMPARE(dialog.loginDialog->usernameEdit->text(), QStringLiteral("admin"));
}

void ConnectionDialogTest::apply_loginCancelled_staysOpenThenRejects()
{
    ConnectionDialog dialog(true, nullptr);
    dialog.setConfiguration(configReply(sampleSettings()));

    int loginRuns = 0;
    bool stillOpen = false;
    bool keptTyping = false;
    TestSupport::whenModalShown([&](QWidget *) {
        TestSupport::whenModalShown(
            [&](QWidget *login) {
                ++loginRuns;
                QTest::keyClicks(dialog.loginDialog->passwordEdit, QStringLiteral("pw"));
                clickLoginButton(login, QDialogButtonBox::Cancel);
            },
            &dialog);
        QTest::mouseClick(dialog.applyButton, Qt::LeftButton);
        stillOpen = dialog.isVisible();

        TestSupport::whenModalShown(
            [&](QWidget *login) {
                ++loginRuns;
                keptTyping = dialog.loginDialog->passwordEdit->text() == QLatin1String("pw");
                QTest::keyClick(login, Qt::Key_Escape);
            },
            &dialog);
        QTest::mouseClick(dialog.applyButton, Qt::LeftButton);
        QTest::keyClick(&dialog, Qt::Key_Escape);
    });
    QCOMPARE(dialog.exec(), int(QDialog::Rejected));
    QCOMPARE(loginRuns, 2);
    QVERIFY(stillOpen);
    QVERIFY(keptTyping);
}

void ConnectionDialogTest::returnKey_neitherAppliesNorCancels()
{
    ConnectionDialog dialog(false, nullptr);
    dialog.setConfiguration(configReply(sampleSettings()));
    showActive(&dialog);
    QSignalSpy finished(&dialog, &QDialog::finished);
    dialog.hostnameEdit->setFocus();
    QTest::keyClick(dialog.hostnameEdit, Qt::Key_Return);
    QTest::keyClick(dialog.ipAddressEdit, Qt::Key_Enter);
    QCOMPARE(finished.count(), 0);
    QVERIFY(dialog.isVisible());
}

// ---- incomplete static addresses

void ConnectionDialogTest::apply_checksStaticAddresses_data()
{
    QTest::addColumn<int>("ipConfIndex");
    QTest::addColumn<QString>("ip");
    QTest::addColumn<QString>("mask");
    QTest::addColumn<QString>("gateway");
    QTest::addColumn<QString>("dns1");
    QTest::addColumn<QString>("dns2");
    QTest::addColumn<QString>("offending"); // empty: accepted

    const QString ip = QStringLiteral("192.168.1.10");
    const QString mask = QStringLiteral("255.255.255.0");
    const QString gw = QStringLiteral("192.168.1.1");
    QTest::newRow("complete") << 0 << ip << mask << gw << "8.8.8.8" << "1.1.1.1" << "";
    QTest::newRow("gateway and DNS may be empty") << 0 << ip << mask << "" << "" << "" << "";
    QTest::newRow("zero and 255 octets") << 0 << "0.0.0.0" << "255.255.255.255" << "" << "" << "" << "";
    QTest::newRow("IP missing last octet") << 0 << "192.168.1." << mask << gw << "" << "" << "ip";
    QTest::newRow("IP dots alone") << 0 << "..." << mask << gw << "" << "" << "ip";
    QTest::newRow("IP empty") << 0 << "" << mask << gw << "" << "" << "ip";
    QTest::newRow("IP three octets") << 0 << "10.0.1" << mask << "" << "" << "" << "ip";
    QTest::newRow("mask empty") << 0 << ip << "" << gw << "" << "" << "mask";
    QTest::newRow("mask missing octet") << 0 << ip << "255..255.0" << gw << "" << "" << "mask";
    QTest::newRow("bad gateway") << 0 << ip << mask << "192.168.1." << "" << "" << "gateway";
    QTest::newRow("bad primary DNS") << 0 << ip << mask << gw << "8.8." << "" << "dns1";
    QTest::newRow("bad secondary DNS") << 0 << ip << mask << gw << "" << "..." << "dns2";
    QTest::newRow("first offender gets focus") << 0 << ip << "" << "1." << "" << "" << "mask";
    QTest::newRow("DHCP checks nothing") << 1 << "..." << "" << "1." << "x" << "" << "";
    // with no item chosen the request still says static
    QTest::newRow("no item chosen is checked") << -1 << "192.168." << mask << "" << "" << "" << "ip";
}

void ConnectionDialogTest::apply_checksStaticAddresses()
{
    QFETCH(int, ipConfIndex);
    QFETCH(QString, ip);
    QFETCH(QString, mask);
    QFETCH(QString, gateway);
    QFETCH(QString, dns1);
    QFETCH(QString, dns2);
    QFETCH(QString, offending);

    ConnectionDialog dialog(false, nullptr);
    dialog.setConfiguration(configReply(sampleSettings()));
    // programmatic texts bypass the validator, as the device's own values do
    dialog.ipAddressEdit->setText(ip);
    dialog.subnetMaskEdit->setText(mask);
    dialog.gatewayEdit->setText(gateway);
    dialog.primaryDnsEdit->setText(dns1);
    dialog.secondaryDnsEdit->setText(dns2);
    dialog.ipConfComboBox->setCurrentIndex(ipConfIndex);
    showActive(&dialog);
    dialog.hostnameEdit->setFocus();

    QSignalSpy finished(&dialog, &QDialog::finished);
    QTest::mouseClick(dialog.applyButton, Qt::LeftButton);

    if (offending.isEmpty()) {
        QCOMPARE(finished.count(), 1);
        QCOMPARE(dialog.result(), int(QDialog::Accepted));
        return;
    }
    QCOMPARE(finished.count(), 0);
    QVERIFY(dialog.isVisible());
    QLineEdit *bad = fieldByName(dialog, offending);
    QVERIFY(!bad->styleSheet().isEmpty());
    if (ipConfIndex == 0)
        QCOMPARE(QApplication::focusWidget(), static_cast<QWidget *>(bad));
    else
        QCOMPARE(QApplication::focusWidget(), static_cast<QWidget *>(dialog.ipConfComboBox));
    QVERIFY(dialog.hostnameEdit->styleSheet().isEmpty());
    // nothing was altered on the way
    QCOMPARE(dialog.ipAddressEdit->text(), ip);
    QCOMPARE(dialog.subnetMaskEdit->text(), mask);
}

void ConnectionDialogTest::apply_refusedAddress_asksForNoLogin()
{
    ConnectionDialog dialog(true, nullptr);
    dialog.setConfiguration(configReply(sampleSettings()));
    dialog.ipAddressEdit->setText(QStringLiteral("192.168.1."));
    showActive(&dialog);

    QSignalSpy loginFinished(dialog.loginDialog, &QDialog::finished);
    // should the login dialog come up after all, close it so the test fails instead of hanging
    QPointer<QObject> guard =
        TestSupport::whenModalShown([](QWidget *login) { login->close(); }, &dialog, 2000);
    QTest::mouseClick(dialog.applyButton, Qt::LeftButton);
    QCOMPARE(loginFinished.count(), 0);
    delete guard;
    QVERIFY(dialog.isVisible());

    dialog.ipAddressEdit->setText(QStringLiteral("192.168.1.5"));
    TestSupport::whenModalShown(
        [](QWidget *login) { clickLoginButton(login, QDialogButtonBox::Ok); }, &dialog);
    QTest::mouseClick(dialog.applyButton, Qt::LeftButton);
    QCOMPARE(loginFinished.count(), 1);
    QCOMPARE(dialog.result(), int(QDialog::Accepted));
}

void ConnectionDialogTest::invalidMark_clearsWhenTextChanges()
{
    ConnectionDialog dialog(false, nullptr);
    dialog.setConfiguration(configReply(sampleSettings()));
    dialog.gatewayEdit->setText(QStringLiteral("10.1."));
    showActive(&dialog);
    QTest::mouseClick(dialog.applyButton, Qt::LeftButton);
    QVERIFY(!dialog.gatewayEdit->styleSheet().isEmpty());

    QTest::keyClicks(dialog.gatewayEdit, QStringLiteral("2"));
    QVERIFY(dialog.gatewayEdit->styleSheet().isEmpty());

    dialog.subnetMaskEdit->clear();
    QTest::mouseClick(dialog.applyButton, Qt::LeftButton);
    QVERIFY(!dialog.subnetMaskEdit->styleSheet().isEmpty());
    dialog.ipConfComboBox->setCurrentIndex(1);
    QVERIFY(dialog.subnetMaskEdit->styleSheet().isEmpty());
}

QTEST_MAIN(ConnectionDialogTest)
#include "tst_connectiondialog.moc"
