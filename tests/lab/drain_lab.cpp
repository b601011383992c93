// The receiving socket inside the lab: a burst several times larger than an
// ordinary user's socket buffer arrives whole and in order while the table is
// slow, and a closed stray datagram box stays closed until the next scan.
#include "datagram.h"
#include "mainwindow.h"
#include "packettransceiver.h"
#include "simulatorprocess.h"
#include "testmain.h"
#include "testsupport.h"

#include <QMessageBox>
#include <QThread>
#include <QtTest>

static QMessageBox *strayBox()
{
    for (QWidget *widget : QApplication::topLevelWidgets())
        if (widget->isVisible() && widget->windowTitle() == QLatin1String("!"))
            return qobject_cast<QMessageBox *>(widget);
    return nullptr;
}

class DrainLabTest : public QObject
{
    Q_OBJECT

private slots:
    void burstWhileTheTableWorksThenStrayDatagrams();
};

void DrainLabTest::burstWhileTheTableWorksThenStrayDatagrams()
{
    QDF_REQUIRE_LAB();
    TestSupport::TemporarySettings settings;
    // 2,000 replies at about five a millisecond, several times what the small
    // buffer holds, while the table takes a millisecond for each.
    const int devices = 1000;
    NetLab::SimulatorProcess simulator({ QStringLiteral("--count"), QString::number(devices),
        QStringLiteral("--spread"), QStringLiteral("400"), QStringLiteral("--control") });
    QVERIFY2(simulator.start(), qPrintable(simulator.errorText()));
    MainWindow window;
    auto *transceiver = window.findChild<PacketTransceiver *>();
    // What the system grants an ordinary user: rmem_max 212992, no SO_RCVBUFFORCE.
    transceiver->setReceiveBufferLimitForTesting(212992);
    const auto junk = [&simulator](const char *count) {
        simulator.write(QByteArray("junk ") + count + '\n');
        while (!simulator.canReadLine() && simulator.waitForReadyRead(5000)) { }
        return simulator.readLine().startsWith("ok");
    };
    QMap<int, QStringList> senders;
    connect(transceiver, &PacketTransceiver::replyReceived, [&](const QByteArray &d) {
        senders[Datagram::messageId(d)] << Datagram::srcMacAddr(d);
        QThread::usleep(1000);
    });
    QMetaObject::invokeMethod(&window, "scan");
    QTRY_COMPARE_WITH_TIMEOUT(senders.value(Datagram::NetworkConfigReply).size(), devices, 30000);
    QStringList expected;
    for (int n = 1; n <= devices; ++n)
        expected << QString::asprintf("02:00:00:00:%02X:%02X", n >> 8, n & 0xff);
    QCOMPARE(senders.value(Datagram::DeviceInfoReply), expected);
    QCOMPARE(senders.value(Datagram::NetworkConfigReply), expected);

    // One box for stray datagrams; once the user has closed it, none until the next scan.
    QVERIFY(junk("1"));
    QTRY_VERIFY(strayBox());
    const QPointer<QMessageBox> closed = strayBox();
    closed->close();
    QTRY_VERIFY(!closed);
    QVERIFY(junk("5"));
    // The device's answer comes after the junk: once it is in, so is the junk.
    transceiver->getNetworkConfig(expected.first());
    QTRY_COMPARE(senders.value(Datagram::NetworkConfigReply).size(), devices + 1);
    QVERIFY(!strayBox());
    QMetaObject::invokeMethod(&window, "scan");
    QVERIFY(junk("1"));
    QTRY_VERIFY(strayBox());
}

QDF_TEST(DrainLabTest)
#include "drain_lab.moc"
