#include "logindialog.h"

#include "settingscheck.h"

#include <QCheckBox>
#include <QDialogButtonBox>
#include <QFormLayout>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

using SettingsCheck::MaxCredentialsLength;

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
    problemLabel = new QLabel(this);
    problemLabel->setWordWrap(true);
    problemLabel->hide();
    form->addRow(problemLabel);
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
    connect(usernameEdit, &QLineEdit::textChanged, this, &LoginDialog::checkCredentials);
    connect(passwordEdit, &QLineEdit::textChanged, this, &LoginDialog::checkCredentials);
}

void LoginDialog::checkCredentials()
{
    const QString credentials = usernameEdit->text() + QLatin1Char(':') + passwordEdit->text();
    QStringList problems;
    const int at = SettingsCheck::unsendableCharacterAt(credentials);
    if (at >= 0) {
        problems << tr("The device cannot receive the character \"%1\".")
                        .arg(credentials.mid(at, credentials.at(at).isHighSurrogate() ? 2 : 1));
    } else if (credentials.size() > MaxCredentialsLength) {
        problems << tr("User name and password together may have at most %1 characters.")
                        .arg(MaxCredentialsLength - 1);
    }
    buttonBox->button(QDialogButtonBox::Ok)->setEnabled(problems.isEmpty());

    // The stored record is "MAC|user|password" without escaping: one more "|"
    // and it never loads again.
    const bool unstorable = credentials.contains(QLatin1Char('|'));
    const QString why
        = unstorable ? tr("A user name or password with \"|\" cannot be remembered.") : QString();
    if (unstorable) {
        rememberCheckBox->setChecked(false);
        problems << why;
    }
    rememberCheckBox->setEnabled(!unstorable);
    rememberCheckBox->setToolTip(why);

    problemLabel->setText(problems.join(QLatin1Char('\n')));
    problemLabel->setVisible(!problems.isEmpty());
}
