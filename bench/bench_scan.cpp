// Scan / Refresh against 1,000, 5,000 and 10,000 simulated devices, answering
// each broadcast in one burst or spread at ten replies a millisecond, once
// with the receive buffer root gets and once with the one an ordinary user
// gets under Linux's default limit: replies delivered, rows complete, the time
// from the key press to the last row and the longest wait of a 5 ms timer after
// the scan's own pause. Runs only inside scripts/netlab (exit 77 elsewhere).
#include "devicemodel.h"
#include "mainwindow.h"
#include "packettransceiver.h"
#include "scancycle.h"
#include "simulatorprocess.h"
#include "testsupport.h"
#include "tickgap.h"

#include <QAction>
#include <QApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFile>
#include <QTimer>

#include <cstdio>

// The window lets this class reach its members; the benchmark needs four.
class MainWindowTester
{
public:
    explicit MainWindowTester(MainWindow &window)
        : window(window)
    { }
    DeviceModel *deviceModel() const { return window.deviceModel; }
    QAction *scanAct() const { return window.scanAct; }
    ScanCycle *scanCycle() const { return window.scanCycle; }
    PacketTransceiver *transceiver() const { return window.transceiver; }

private:
    MainWindow &window;
};

namespace {

// Without CAP_NET_ADMIN the asked-for buffer is cut to net.core.rmem_max,
// 212992 bytes by default (the kernel then doubles it).
constexpr int OrdinaryUserLimit = 212992;
constexpr int RepliesPerMs = 10;
constexpr int TickMs = 5;

struct Round
{
    int delivered = 0;
    int complete = 0;
    qint64 scanCallMs = 0;
    qint64 lastRowMs = 0;
    qint64 longestTickGapMs = 0;
};

Round runRound(MainWindow &window)
{
    MainWindowTester tester(window);
    DeviceModel *model = tester.deviceModel();
    QElapsedTimer clock;
    Round round;
    TickGap tick(TickMs);
    const QMetaObject::Connection inserted = QObject::connect(
        model, &QAbstractItemModel::rowsInserted, [&] { round.lastRowMs = clock.elapsed(); });
    const QMetaObject::Connection delivered = QObject::connect(
        tester.transceiver(), &PacketTransceiver::replyReceived, [&] { ++round.delivered; });

    QEventLoop loop;
    // The check runs 3 s after the scan and marks what is still incomplete.
    QObject::connect(tester.scanCycle(), &ScanCycle::checked, &loop,
        [&loop] { QTimer::singleShot(200, &loop, &QEventLoop::quit); });
    QTimer::singleShot(60000, &loop, &QEventLoop::quit);
    clock.start();
    tester.scanAct()->trigger();
    round.scanCallMs = clock.elapsed();
    tick.start();
    loop.exec();
    round.longestTickGapMs = tick.longestMs();
    QObject::disconnect(inserted);
    QObject::disconnect(delivered);

    for (int row = 0; row < model->rowCount(); ++row) {
        round.complete += model->index(row, DeviceModel::ColumnStatus).data().toString()
            == QLatin1String("Device available");
    }
    return round;
}

} // namespace

int main(int argc, char **argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);

    QString why;
    if (!TestSupport::insideLab(&why)) {
        std::fprintf(stderr, "bench_scan: %s\n", qPrintable(why));
        return 77;
    }
    TestSupport::TemporarySettings settings;

    QFile loadavg(QStringLiteral("/proc/loadavg"));
    loadavg.open(QIODevice::ReadOnly);
    std::printf("scan of simulated devices; load average %s", loadavg.readAll().constData());
    std::printf("%7s %-12s %-14s %10s %9s %12s %17s %19s\n", "devices", "answers", "setting",
        "delivered", "complete", "scan call ms", "F5 to last row ms", "longest tick gap ms");
    for (int devices : { 1000, 5000, 10000 }) {
        for (int spreadMs : { 0, devices / RepliesPerMs }) {
            NetLab::SimulatorProcess simulator({ QStringLiteral("--count"),
                QString::number(devices), QStringLiteral("--spread"), QString::number(spreadMs) });
            if (!simulator.start()) {
                std::fprintf(stderr, "bench_scan: %s\n", qPrintable(simulator.errorText()));
                return 1;
            }
            for (int limit : { 0, OrdinaryUserLimit }) {
                MainWindow window;
                window.show();
                MainWindowTester(window).transceiver()->setReceiveBufferLimitForTesting(limit);
                const Round round = runRound(window);
                std::printf("%7d %-12s %-14s %10d %9d %12lld %17lld %19lld\n", devices,
                    spreadMs ? "10 per ms" : "one burst", limit ? "ordinary user" : "root",
                    round.delivered, round.complete, round.scanCallMs, round.lastRowMs,
                    round.longestTickGapMs);
                std::fflush(stdout);
            }
        }
    }
    return 0;
}
