#pragma once

#include <QDialog>

class QCheckBox;
class QDialogButtonBox;
class QLabel;
class QLineEdit;

// Asks for the user name and password of a device that takes only
// authenticated requests. It checks, sends and stores nothing itself, and it
// keeps what was typed between two runs. It refuses credentials the device
// cannot receive and a password that could not be remembered.
class LoginDialog : public QDialog
{
    Q_OBJECT

public:
    explicit LoginDialog(QWidget *parent, Qt::WindowFlags flags);

    QLineEdit *usernameEdit;
    QLineEdit *passwordEdit;
    QCheckBox *rememberCheckBox;
    QDialogButtonBox *buttonBox;
    QLabel *problemLabel; // under the fields: why OK or remembering is refused

private:
    void checkCredentials();
};
