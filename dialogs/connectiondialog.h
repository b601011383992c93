#pragma once

#include "datagram.h"

#include <QDialog>
#include <QString>

class LoginDialog;
class QComboBox;
class QGroupBox;
class QLabel;
class QLineEdit;
class QPushButton;

// Shows one device's network configuration for review and change. The edit
// flow fills it from the device's last configuration reply and, once it was
// accepted, reads the fields straight from the members below.
class ConnectionDialog : public QDialog
{
    Q_OBJECT

public:
    explicit ConnectionDialog(bool askForLogin, QWidget *parent);
    ~ConnectionDialog() override;

    void setConfiguration(QByteArray datagram);
    // The request's configuration as the fields stand.
    Datagram::NetworkSettings settings() const;

    QLabel *infoLabel;
    QString deviceMacAddr;
    QLineEdit *hostnameEdit;
    QComboBox *ipConfComboBox;
    QGroupBox *staticConfigGroupBox;
    QLineEdit *ipAddressEdit;
    QLineEdit *subnetMaskEdit;
    QLineEdit *domainEdit;
    QLineEdit *gatewayEdit;
    QLineEdit *primaryDnsEdit;
    QLineEdit *secondaryDnsEdit;
    QPushButton *applyButton;
    QPushButton *cancelButton;
    LoginDialog *loginDialog;
    bool askForLogin;

private slots:
    void askAccept();
    void onIpConfChanged(int index);

private:
    bool checkSettings();
};
