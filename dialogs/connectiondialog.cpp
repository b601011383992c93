#include "connectiondialog.h"

#include "datagram.h"
#include "logindialog.h"

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
        QRegularExpression(
            QStringLiteral("((1{0,1}[0-9]{0,2}|2[0-4]{1,1}[0-9]{1,1}|25[0-5]{1,1})\\.){3,3}"
                           "(1{0,1}[0-9]{0,2}|2[0-4]{1,1}[0-9]{1,1}|25[0-5]{1,1})")),
        this);
    for (QLineEdit *edit :
        { ipAddressEdit, subnetMaskEdit, gatewayEdit, primaryDnsEdit, secondaryDnsEdit })
        edit->setValidator(ipValidator);
    auto *hostnameValidator = new QRegularExpressionValidator(
        QRegularExpression(QStringLiteral("[a-zA-Z][a-zA-Z0-9-]*[a-zA-Z0-9]")), this);
    hostnameEdit->setValidator(hostnameValidator);
    hostnameEdit->setMaxLength(24);

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
    for (QLineEdit *edit :
        { ipAddressEdit, subnetMaskEdit, gatewayEdit, primaryDnsEdit, secondaryDnsEdit })
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
    if (!checkStaticAddresses())
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

// Everything but "DHCP" goes out as a static configuration, so the addresses
// must be complete then: IP address and mask always, the others when filled in.
bool ConnectionDialog::checkStaticAddresses()
{
    if (ipConfComboBox->currentIndex() == 1)
        return true;
    struct Rule
    {
        QLineEdit *edit;
        bool mayBeEmpty;
    };
    const Rule rules[] = { { ipAddressEdit, false }, { subnetMaskEdit, false },
        { gatewayEdit, true }, { primaryDnsEdit, true }, { secondaryDnsEdit, true } };
    QLineEdit *firstInvalid = nullptr;
    for (const Rule &rule : rules) {
        const QString text = rule.edit->text();
        // The validator lets half-typed addresses such as "192.168.1." stay in a
        // field, but a device told to use one is unreachable.
        if ((rule.mayBeEmpty && text.isEmpty()) || !Datagram::canonicalIpv4(text).isNull()) {
            clearMark(rule.edit);
            continue;
        }
        markInvalid(rule.edit);
        if (!firstInvalid)
            firstInvalid = rule.edit;
    }
    if (!firstInvalid)
        return true;
    if (firstInvalid->isEnabled())
        firstInvalid->setFocus();
    else
        ipConfComboBox->setFocus();
    return false;
}
