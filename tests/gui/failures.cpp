#include "connectionexport.h"
#include "logindialog.h"
#include "testmain.h"

#include <QtTest>
#include <QtWidgets>

#include <csignal>
#include <sys/resource.h>

// Failures the user must be told about: an export that did not reach the disk,
// a login the device can never receive.
class FailuresTest : public QObject
{
    Q_OBJECT

private slots:
    void failedExport_saysWhyAndKeepsTheOldFile()
    {
        QTemporaryDir dir;
        QCOMPARE(ConnectionExport::save(dir.filePath("old.xml"), {}), QString());
        // Below a file nobody, not even root, can create one.
        QCOMPARE(ConnectionExport::save(dir.filePath("old.xml/new.xml"), {}), "Not a directory");
        // No room for a single byte, as on a full disk.
        const rlimit full { 0, RLIM_INFINITY }, unlimited { RLIM_INFINITY, RLIM_INFINITY };
        std::signal(SIGXFSZ, SIG_IGN);
        setrlimit(RLIMIT_FSIZE, &full);
        const QString why = ConnectionExport::save(dir.filePath("old.xml"), {});
        setrlimit(RLIMIT_FSIZE, &unlimited);
        QCOMPARE(why, "File too large");
        QVERIFY(QFileInfo(dir.filePath("old.xml")).size() > 0);
    }

    void loginDialog_refusesWhatTheDeviceCannotTake_data()
    {
        QTest::addColumn<QString>("password"); // after an empty user name and the colon
        QTest::addColumn<QString>("refused"); // "OK" or "remembering"
        QTest::newRow("93 characters, a bar") << QString(91, 'p') + '|' << "remembering";
        QTest::newRow("94 characters") << QString(93, 'p') << "OK";
        QTest::newRow("euro") << QStringLiteral("5€") << "OK";
    }
    void loginDialog_refusesWhatTheDeviceCannotTake()
    {
        QFETCH(QString, password);
        QFETCH(QString, refused);
        LoginDialog dialog(nullptr, Qt::Dialog);
        dialog.rememberCheckBox->setChecked(true);
        QTest::sendKeyEvent(QTest::Click, dialog.passwordEdit, Qt::Key_unknown, password, {});
        QCOMPARE(dialog.buttonBox->button(QDialogButtonBox::Ok)->isEnabled(), refused != "OK");
        QVERIFY(!dialog.problemLabel->isHidden());
        QCOMPARE(dialog.rememberCheckBox->isChecked() || dialog.rememberCheckBox->isEnabled(),
            refused != "remembering");
    }
};

QDF_TEST(FailuresTest)
#include "failures.moc"
