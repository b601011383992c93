// The network settings dialog filled from arbitrary bytes, as if they were a
// device's configuration reply, then Apply pressed.

#include "connectiondialog.h"
#include "datagram.h"
#include "fuzzstream.h"

#include <QApplication>
#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRegularExpression>

using Fuzz::check;

namespace {

ConnectionDialog *dialog = nullptr;

QList<QLineEdit *> addressEdits()
{
    return { dialog->ipAddressEdit, dialog->subnetMaskEdit, dialog->gatewayEdit,
        dialog->primaryDnsEdit, dialog->secondaryDnsEdit };
}

// As a fresh dialog shows itself before it is filled.
void reset()
{
    dialog->setResult(0);
    dialog->hostnameEdit->clear();
    dialog->domainEdit->clear();
    for (QLineEdit *edit : addressEdits())
        edit->clear();
    dialog->ipConfComboBox->setCurrentIndex(0);
    dialog->staticConfigGroupBox->setEnabled(true);
}

bool isCompleteAddress(const QString &text)
{
    static const QRegularExpression quad(
        QStringLiteral("^([0-9]{1,3})\\.([0-9]{1,3})\\.([0-9]{1,3})\\.([0-9]{1,3})$"));
    const QRegularExpressionMatch match = quad.match(text);
    if (!match.hasMatch())
        return false;
    for (int octet = 1; octet <= 4; ++octet) {
        if (match.captured(octet).toInt() > 255)
            return false;
    }
    return true;
}

void checkFilled(const QByteArray &datagram)
{
    const QString mac = Datagram::srcMacAddr(datagram);
    check(dialog->deviceMacAddr == mac, QStringLiteral("deviceMacAddr is not the sender's MAC"));
    check(dialog->infoLabel->text().contains(
              QStringLiteral("<b>") + mac.toHtmlEscaped() + QStringLiteral("</b>")),
        QStringLiteral("the header does not name the MAC as text"));

    if (Datagram::status(datagram) != Datagram::StatusOk) {
        check(dialog->hostnameEdit->text().isEmpty() && dialog->domainEdit->text().isEmpty(),
            QStringLiteral("a failed reply filled the fields"));
        for (QLineEdit *edit : addressEdits())
            check(edit->text().isEmpty(), QStringLiteral("a failed reply filled an address"));
        check(dialog->ipConfComboBox->currentIndex() == 0
                && dialog->staticConfigGroupBox->isEnabled(),
            QStringLiteral("a failed reply changed the IP configuration"));
        return;
    }

    const Datagram::NetworkSettings s = Datagram::decodeNetworkConfig(datagram);
    check(dialog->hostnameEdit->text() == s.hostname.left(dialog->hostnameEdit->maxLength()),
        QStringLiteral("host name shown differs from the reply's"));
    const QStringList expected
        = { s.ipAddress, s.subnetMask, s.gateway, s.primaryDns, s.secondaryDns };
    for (int i = 0; i < expected.size(); ++i)
        check(addressEdits().at(i)->text() == expected.at(i),
            QStringLiteral("address field %1 differs from the reply's").arg(i));
    check(
        dialog->domainEdit->text() == s.domain, QStringLiteral("domain differs from the reply's"));

    const int dhcp = s.dhcp.toInt(nullptr, 10);
    check(dialog->ipConfComboBox->currentIndex() == (dhcp == 0 || dhcp == 1 ? dhcp : -1),
        QStringLiteral("IP configuration %1 shown for dhcp text \"%2\"")
            .arg(dialog->ipConfComboBox->currentIndex())
            .arg(s.dhcp));
    check(dialog->staticConfigGroupBox->isEnabled() == (dhcp == 0),
        QStringLiteral("static group enabled does not follow the dhcp text"));
}

void checkApply()
{
    dialog->applyButton->click();
    if (dialog->result() != QDialog::Accepted)
        return;
    // Anything but DHCP goes out as a static configuration, which must be complete.
    if (dialog->ipConfComboBox->currentIndex() == 1)
        return;
    check(isCompleteAddress(dialog->ipAddressEdit->text())
            && isCompleteAddress(dialog->subnetMaskEdit->text()),
        QStringLiteral("Apply accepted an incomplete static address"));
    for (QLineEdit *edit :
        { dialog->gatewayEdit, dialog->primaryDnsEdit, dialog->secondaryDnsEdit })
        check(edit->text().isEmpty() || isCompleteAddress(edit->text()),
            QStringLiteral("Apply accepted an incomplete optional address"));
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int *, char ***argv)
{
    Fuzz::silenceQtMessages();
    Fuzz::startOffscreenApplication<QApplication>((*argv)[0]);
    Fuzz::useTemporarySettings();
    dialog = new ConnectionDialog(false, nullptr);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QByteArray datagram(reinterpret_cast<const char *>(data), int(size));
    reset();
    dialog->setConfiguration(datagram);
    checkFilled(datagram);
    checkApply();
    return 0;
}
