#pragma once

#include <QDialog>

class QCheckBox;
class QDialogButtonBox;
class QLabel;
class QLineEdit;

// Asks for the user name and password of a device that takes only
// authenticated requests. It sends and stores nothing itself and keeps what
// was typed between two runs, but it refuses credentials the device cannot
// receive and will not remember a password that could not be read back.
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
