#include "logindialog.h"

#include <QCheckBox>
#include <QDialogButtonBox>
#include <QFormLayout>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QVBoxLayout>

LoginDialog::LoginDialog(QWidget *parent, Qt::WindowFlags flags)
    : QDialog(parent, flags)
{
    setWindowTitle(QStringLiteral("Device login"));

    usernameEdit = new QLineEdit(this);
    passwordEdit = new QLineEdit(this);
    passwordEdit->setEchoMode(QLineEdit::Password);

    rememberCheckBox = new QCheckBox(QStringLiteral("Remember password"), this);

    auto *form = new QFormLayout;
    auto *explanation = new QLabel(
        QStringLiteral("This device accepts only authenticated requests. Please insert a valid "
                       "username and password (the same as in the web interface)"));
    explanation->setWordWrap(true);
    form->addRow(explanation);
    form->addRow(tr("&Username:"), usernameEdit);
    form->addRow(tr("&Password:"), passwordEdit);
    form->addRow(rememberCheckBox);

    auto *group = new QGroupBox(QStringLiteral("Authentication parameters"), this);
    group->setLayout(form);

    buttonBox = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);

    auto *layout = new QVBoxLayout;
    layout->addWidget(group);
    layout->addWidget(buttonBox);
    setLayout(layout);

    connect(buttonBox, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttonBox, &QDialogButtonBox::rejected, this, &QDialog::reject);
}
