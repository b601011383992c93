#include "devicemodel.h"
#include "devicereplies.h"
#include "devicetableview.h"
#include "logindata.h"
#include "mainwindow.h"
#include "packettransceiver.h"
#include "testmain.h"
#include "testsupport.h"

#include <QtTest>

#include <unistd.h>

// Two things a user meets: remembered passwords are only encoded, so their
// file must be its owner's alone; and whatever the platform's font, every
// header, MAC and IP address and long host name (with its conflict mark)
// shows whole.
class LoginsAndColumnsTest : public QObject
{
    Q_OBJECT

private slots:
    void rememberedLogins_ownersAlone_tableShowsThemWhole()
    {
        TestSupport::TemporarySettings store;
        const QString file = store.path() + "/Korvex/Quorvel Device Finder.conf";
        auto *transceiver = new PacketTransceiver(QStringList { "02:00:00:00:00:01|192.168.7.1|x" });
        transceiver->setSendHookForTesting([](const QByteArray &) {}); // the restart goes nowhere
        MainWindow window(transceiver, nullptr);
        // Qt's permission flags have one hex digit each for owner, user, group, others.
        for (const QString mac : { "DD:DD:DD:DD:DD:D0", "DD:DD:DD:DD:DD:D1" }) {
            window.findChild<DeviceModel *>()->onDeviceReplyReceived(DeviceReplies::networkConfig(
                mac, 0, "quorvel-gate-hall-b-0042", "255.255.255.255")); // both conflict
            QVERIFY(LoginData::save({ mac, "admin", "secret" }));
            QCOMPARE(int(QFile::permissions(file) & 0x7077), 0x6000);
            QFile::setPermissions(file, QFileDevice::Permissions(0x6044)); // as versions before
        }
        QCOMPARE(int(QFile::permissions(QFileInfo(file).path()) & 0x7077), 0x7000);
        QCOMPARE(LoginData::load("DD:DD:DD:DD:DD:D0").size(), 3); // survives the narrowing
        for (int column = 0; column < 7; ++column) {
            const int width = window.findChild<DeviceTableView *>()->columnWidth(column);
            // As wide as its header and cells ask.
            window.findChild<DeviceTableView *>()->resizeColumnToContents(column);
            QVERIFY(window.findChild<DeviceTableView *>()->columnWidth(column) <= width);
        }
        // A file that is not the user's own: the new login is not stored there, and the
        // user is told. Only root can hand it to another user.
        if (::geteuid() == 0 && ::chown(QFile::encodeName(file).constData(), 65534, 65534) == 0) {
            auto *model = window.findChild<DeviceModel *>();
            QSignalSpy warned(model, &DeviceModel::warningMessage);
            model->onDeviceRequestSent(13, "DD:DD:DD:DD:DD:D0");
            model->setPendingLoginData({ "DD:DD:DD:DD:DD:D0", "admin", "new" }, true);
            model->onDeviceReplyReceived(DeviceReplies::header(14, "DD:DD:DD:DD:DD:D0"));
            QCOMPARE(warned.size(), 1);
            QCOMPARE(LoginData::load("DD:DD:DD:DD:DD:D0").value(2), "secret");
        }
    }
};

QDF_TEST(LoginsAndColumnsTest)
#include "loginsandcolumns.moc"
