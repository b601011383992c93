#include "connectiondialog.h"

#include "datagram.h"
#include "logindialog.h"
#include "settingscheck.h"

#include <QComboBox>
#include <QFormLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRegularExpression>
#include <QRegularExpressionValidator>

namespace {

const char InvalidInputStyle[] = "QLineEdit { border: 2px solid #d64541; }";

void markInvalid(QLineEdit *edit)
{
    edit->setStyleSheet(QString::fromLatin1(InvalidInputStyle));
}

void clearMark(QLineEdit *edit)
{
    if (!edit->styleSheet().isEmpty())
        edit->setStyleSheet(QString());
}

} // namespace

ConnectionDialog::ConnectionDialog(bool askForLogin, QWidget *parent)
    : QDialog(parent)
    , askForLogin(askForLogin)
{
    setWindowFlags(windowFlags() & ~Qt::WindowContextHelpButtonHint);
    setWindowTitle(QStringLiteral("Connection properties"));

    auto *mainForm = new QFormLayout;
    infoLabel = new QLabel(this);
    infoLabel->setWordWrap(true);
    infoLabel->setTextFormat(Qt::RichText);
    hostnameEdit = new QLineEdit(this);
    ipConfComboBox = new QComboBox(this);
    ipConfComboBox->addItem(QStringLiteral("static"));
    ipConfComboBox->addItem(QStringLiteral("DHCP"));

    staticConfigGroupBox = new QGroupBox(tr("Static configuration"), this);
    auto *staticForm = new QFormLayout;
    staticConfigGroupBox->setLayout(staticForm);

    ipAddressEdit = new QLineEdit(this);
    subnetMaskEdit = new QLineEdit(this);
    domainEdit = new QLineEdit(this);
    gatewayEdit = new QLineEdit(this);
    primaryDnsEdit = new QLineEdit(this);
    secondaryDnsEdit = new QLineEdit(this);

    auto *ipValidator = new QRegularExpressionValidator(
        QRegularExpression(QString::fromLatin1(SettingsCheck::Ipv4Pattern)), this);
    for (QLineEdit *edit :
        { ipAddressEdit, subnetMaskEdit, gatewayEdit, primaryDnsEdit, secondaryDnsEdit })
        edit->setValidator(ipValidator);
    auto *hostnameValidator = new QRegularExpressionValidator(
        QRegularExpression(QString::fromLatin1(SettingsCheck::HostnamePattern)), this);
    hostnameEdit->setValidator(hostnameValidator);
    hostnameEdit->setMaxLength(SettingsCheck::MaxHostnameLength);

    applyButton = new QPushButton(tr("Apply"), this);
    applyButton->setDefault(false);
    // Return in a field must neither apply nor throw away what was typed.
    applyButton->setAutoDefault(false);
    cancelButton = new QPushButton(tr("Cancel"), this);
    cancelButton->setAutoDefault(false);

    mainForm->addRow(infoLabel);
    mainForm->addRow(tr("Hostname:"), hostnameEdit);
    mainForm->addRow(tr("IP configuration:"), ipConfComboBox);

    staticForm->addRow(tr("IP address:"), ipAddressEdit);
    staticForm->addRow(tr("Subnet mask:"), subnetMaskEdit);
    staticForm->addRow(tr("Domain:"), domainEdit);
    staticForm->addRow(tr("Gateway IP:"), gatewayEdit);
    staticForm->addRow(tr("Primary DNS server:"), primaryDnsEdit);
    staticForm->addRow(tr("Secondary DNS server:"), secondaryDnsEdit);

    mainForm->addRow(staticConfigGroupBox);

    auto *buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(applyButton);
    buttons->addWidget(cancelButton);
    buttons->addStretch();
    mainForm->addRow(buttons);
    setLayout(mainForm);

    loginDialog = new LoginDialog(parent, Qt::Dialog);

    connect(applyButton, &QPushButton::clicked, this, &ConnectionDialog::askAccept);
    connect(cancelButton, &QPushButton::clicked, this, &ConnectionDialog::reject);
    connect(ipConfComboBox, QOverload<int>::of(&QComboBox::currentIndexChanged), this,
        &ConnectionDialog::onIpConfChanged);
    for (QLineEdit *edit : { hostnameEdit, ipAddressEdit, subnetMaskEdit, gatewayEdit,
             primaryDnsEdit, secondaryDnsEdit })
        connect(edit, &QLineEdit::textChanged, edit, [edit] { clearMark(edit); });
}

// The login dialog lives in the parent's tree; without this every edit would
// leave one behind until the main window closes.
ConnectionDialog::~ConnectionDialog()
{
    delete loginDialog;
}

void ConnectionDialog::setConfiguration(QByteArray datagram)
{
    deviceMacAddr = Datagram::srcMacAddr(datagram);
    infoLabel->setText(tr("<h2>Network Settings</h2> General network parameters for device at "
                          "MAC-Address <b>%1</b>.<p><p>")
                           .arg(deviceMacAddr.toHtmlEscaped()));
    if (Datagram::status(datagram) != Datagram::StatusOk)
        return;

    const Datagram::NetworkSettings settings = Datagram::decodeNetworkConfig(datagram);
    hostnameEdit->setText(settings.hostname);
    const int dhcp = settings.dhcp.toInt(nullptr, 10);
    ipConfComboBox->setCurrentIndex(dhcp);
    staticConfigGroupBox->setEnabled(dhcp == 0);
    ipAddressEdit->setText(settings.ipAddress);
    subnetMaskEdit->setText(settings.subnetMask);
    domainEdit->setText(settings.domain);
    gatewayEdit->setText(settings.gateway);
    primaryDnsEdit->setText(settings.primaryDns);
    secondaryDnsEdit->setText(settings.secondaryDns);
}

void ConnectionDialog::askAccept()
{
    // Checked before the login so nobody types a password for a request that won't go.
    if (!checkSettings())
        return;
    if (askForLogin && loginDialog->exec() != QDialog::Accepted)
        return;
    accept();
}

void ConnectionDialog::onIpConfChanged(int index)
{
    staticConfigGroupBox->setEnabled(index == 0);
    if (index == 1) {
        for (QLineEdit *edit :
            { ipAddressEdit, subnetMaskEdit, gatewayEdit, primaryDnsEdit, secondaryDnsEdit })
            clearMark(edit);
    }
}

Datagram::NetworkSettings ConnectionDialog::settings() const
{
    Datagram::NetworkSettings settings;
    settings.hostname = hostnameEdit->text();
    settings.dhcp = ipConfComboBox->currentIndex() == 1 ? QStringLiteral("1") : QStringLiteral("0");
    // The address fields go out as they stand, also while DHCP has disabled them.
    settings.ipAddress = ipAddressEdit->text();
    settings.subnetMask = subnetMaskEdit->text();
    settings.domain = domainEdit->text();
    settings.gateway = gatewayEdit->text();
    settings.primaryDns = primaryDnsEdit->text();
    settings.secondaryDns = secondaryDnsEdit->text();
    return settings;
}

// Half-typed texts stay in the fields (the validators let them grow); they
// are marked here and never sent.
bool ConnectionDialog::checkSettings()
{
    QLineEdit *const edits[]
        = { ipAddressEdit, subnetMaskEdit, gatewayEdit, primaryDnsEdit, secondaryDnsEdit };
    const QVector<SettingsCheck::AddressField> invalid
        = SettingsCheck::invalidAddresses(settings());
    for (QLineEdit *edit : edits)
        clearMark(edit);
    for (SettingsCheck::AddressField field : invalid)
        markInvalid(edits[field]);
    const bool hostnameValid = SettingsCheck::isHostname(hostnameEdit->text());
    if (hostnameValid)
        clearMark(hostnameEdit);
    else
        markInvalid(hostnameEdit);
    if (!hostnameValid) {
        hostnameEdit->setFocus();
        return false;
    }
    if (invalid.isEmpty())
        return true;
    QLineEdit *firstInvalid = edits[invalid.first()];
    if (firstInvalid->isEnabled())
        firstInvalid->setFocus();
    else
        ipConfComboBox->setFocus();
    return false;
}
