#pragma once

#include <QDialog>

class QCheckBox;
class QDialogButtonBox;
class QLineEdit;

// Asks for the user name and password of a device that takes only
// authenticated requests. It checks, sends and stores nothing itself, and it
// keeps what was typed between two runs.
class LoginDialog : public QDialog
{
    Q_OBJECT

public:
    explicit LoginDialog(QWidget *parent, Qt::WindowFlags flags);

    QLineEdit *usernameEdit;
    QLineEdit *passwordEdit;
    QCheckBox *rememberCheckBox;
    QDialogButtonBox *buttonBox;
};
