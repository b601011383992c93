#include "editdriver.h"

#include "connectiondialog.h"
#include "logindialog.h"
#include "modal.h"

#include <QCheckBox>
#include <QDialogButtonBox>
#include <QLineEdit>
#include <QPushButton>
#include <QtTest>

namespace TestSupport {

void applyNextSettingsDialog(
    std::function<void(ConnectionDialog *)> fill, const LoginAnswer &login, bool *loginShown)
{
    whenModalShown([=](QWidget *w) {
        auto *dialog = qobject_cast<ConnectionDialog *>(w);
        if (!dialog) {
            qWarning("expected the network settings dialog, got %s", w->metaObject()->className());
            w->close();
            return;
        }
        if (fill)
            fill(dialog);
        QPointer<QObject> loginWatch = whenModalShown(
            [=](QWidget *shown) {
                if (loginShown)
                    *loginShown = true;
                auto *loginDialog = qobject_cast<LoginDialog *>(shown);
                if (!loginDialog) {
                    shown->close();
                    return;
                }
                loginDialog->usernameEdit->setText(login.user);
                loginDialog->passwordEdit->setText(login.password);
                loginDialog->rememberCheckBox->setChecked(login.remember);
                loginDialog->buttonBox->button(QDialogButtonBox::Ok)->click();
            },
            dialog);
        QTest::mouseClick(dialog->applyButton, Qt::LeftButton);
        delete loginWatch;
        if (dialog->isVisible())
            dialog->reject();
    });
}

} // namespace TestSupport
