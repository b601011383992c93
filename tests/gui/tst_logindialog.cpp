#include "logindialog.h"
#include "modal.h"

#include <QCheckBox>
#include <QDialogButtonBox>
#include <QLineEdit>
#include <QPushButton>
#include <QtTest>

class LoginDialogTest : public QObject
{
    Q_OBJECT

private slots:
    // closing
    void okWithEmptyFields_accepts();
    void cancelEscapeOrClose_reject_data();
    void cancelEscapeOrClose_reject();
    void cancelAfterTyping_keepsEntriesForNextRun();

    // typing
    void password_isNeverShown();
    void mnemonics_moveFocusToTheirFields();
};

namespace {

void press(QWidget *dialog, QDialogButtonBox::StandardButton which)
{
    auto *box = dialog->findChild<QDialogButtonBox *>();
    QVERIFY(box);
    QTest::mouseClick(box->button(which), Qt::LeftButton);
}

} // namespace

void LoginDialogTest::okWithEmptyFields_accepts()
{
    LoginDialog dialog(nullptr, Qt::Dialog);
    TestSupport::whenModalShown([](QWidget *w) { press(w, QDialogButtonBox::Ok); });
    QCOMPARE(dialog.exec(), int(QDialog::Accepted));
    QCOMPARE(dialog.usernameEdit->text(), QString());
    QCOMPARE(dialog.passwordEdit->text(), QString());
    QVERIFY(!dialog.rememberCheckBox->isChecked());
}

void LoginDialogTest::cancelEscapeOrClose_reject_data()
{
    QTest::addColumn<int>("how");
    QTest::newRow("cancel button") << 0;
    QTest::newRow("escape key") << 1;
    QTest::newRow("window closed") << 2;
}

void LoginDialogTest::cancelEscapeOrClose_reject()
{
    QFETCH(int, how);
    LoginDialog dialog(nullptr, Qt::Dialog);
    TestSupport::whenModalShown([how](QWidget *w) {
        if (how == 0)
            press(w, QDialogButtonBox::Cancel);
        else if (how == 1)
            QTest::keyClick(w, Qt::Key_Escape);
        else
            w->close();
    });
    QCOMPARE(dialog.exec(), int(QDialog::Rejected));
}

void LoginDialogTest::cancelAfterTyping_keepsEntriesForNextRun()
{
    LoginDialog dialog(nullptr, Qt::Dialog);
    TestSupport::whenModalShown([&dialog](QWidget *w) {
        QTest::keyClicks(dialog.usernameEdit, QStringLiteral("admin"));
        QTest::keyClicks(dialog.passwordEdit, QStringLiteral("s3cret"));
        dialog.rememberCheckBox->click();
        press(w, QDialogButtonBox::Cancel);
    });
    QCOMPARE(dialog.exec(), int(QDialog::Rejected));

    QString user;
    QString password;
    bool remember = false;
    TestSupport::whenModalShown([&](QWidget *w) {
        user = dialog.usernameEdit->text();
        password = dialog.passwordEdit->text();
        remember = dialog.rememberCheckBox->isChecked();
        press(w, QDialogButtonBox::Ok);
    });
    QCOMPARE(dialog.exec(), int(QDialog::Accepted));
    QCOMPARE(user, QStringLiteral("admin"));
    QCOMPARE(password, QStringLiteral("s3cret"));
    QVERIFY(remember);
}

void LoginDialogTest::password_isNeverShown()
{
    LoginDialog dialog(nullptr, Qt::Dialog);
    dialog.show();
    QVERIFY(QTest::qWaitForWindowExposed(&dialog));
    QTest::keyClicks(dialog.passwordEdit, QStringLiteral("abc"));
    QCOMPARE(dialog.passwordEdit->text(), QStringLiteral("abc"));
    const QString shown = dialog.passwordEdit->displayText();
    QCOMPARE(shown.size(), 3);
    for (const QChar c : QStringLiteral("abc"))
        QVERIFY(!shown.contains(c));
}

void LoginDialogTest::mnemonics_moveFocusToTheirFields()
{
    LoginDialog dialog(nullptr, Qt::Dialog);
    dialog.show();
    dialog.activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(&dialog));

    QTest::keyClick(&dialog, Qt::Key_P, Qt::AltModifier);
    QCOMPARE(dialog.focusWidget(), static_cast<QWidget *>(dialog.passwordEdit));
    QTest::keyClick(&dialog, Qt::Key_U, Qt::AltModifier);
    QCOMPARE(dialog.focusWidget(), static_cast<QWidget *>(dialog.usernameEdit));
    QTest::keyClick(&dialog, Qt::Key_P, Qt::AltModifier);
    QCOMPARE(dialog.focusWidget(), static_cast<QWidget *>(dialog.passwordEdit));
}

QTEST_MAIN(LoginDialogTest)
#include "tst_logindialog.moc"
