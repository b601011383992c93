// Scan / Refresh against 1,000 simulated devices that answer each broadcast in
// one burst: rows found, rows complete, and the time from the key press to the
// last row. Runs only inside scripts/netlab (exit 77 elsewhere).
#include "devicemodel.h"
#include "mainwindow.h"
#include "packettransceiver.h"
#include "simulatorprocess.h"
#include "testsupport.h"

#include <QAction>
#include <QApplication>
#include <QElapsedTimer>
#include <QTimer>
#include <QtTest>

#include <cstdio>

// The window lets this class reach its members; the benchmark needs three.
class MainWindowTester
{
public:
    explicit MainWindowTester(MainWindow &window)
        : window(window)
    { }
    DeviceModel *deviceModel() const { return window.deviceModel; }
    QAction *scanAct() const { return window.scanAct; }
    QTimer *checkTimer() const { return window.checkTimer; }

private:
    MainWindow &window;
};

namespace {

constexpr int Devices = 1000;
constexpr int Rounds = 3;

struct Round
{
    int rows = 0;
    int complete = 0;
    qint64 scanCallMs = 0;
    qint64 lastRowMs = 0;
};

Round runRound(MainWindow &window)
{
    MainWindowTester tester(window);
    DeviceModel *model = tester.deviceModel();
    QElapsedTimer clock;
    qint64 lastChange = 0;
    const QMetaObject::Connection inserted = QObject::connect(
        model, &QAbstractItemModel::rowsInserted, [&] { lastChange = clock.elapsed(); });

    Round round;
    clock.start();
    tester.scanAct()->trigger();
    round.scanCallMs = clock.elapsed();
    // The check runs 3 s after the scan and marks what is still incomplete.
    if (!QTest::qWaitFor([&] { return !tester.checkTimer()->isActive(); }, 10000))
        std::fprintf(stderr, "bench_scan: the check did not run\n");
    QTest::qWait(200);
    QObject::disconnect(inserted);

    round.lastRowMs = lastChange;
    round.rows = model->rowCount();
    for (int row = 0; row < model->rowCount(); ++row) {
        bool full = model->index(row, DeviceModel::ColumnStatus).data().toString()
            == QLatin1String("Device available");
        for (int column = DeviceModel::ColumnDeviceName; column <= DeviceModel::ColumnMacAddress;
             ++column)
            full = full && !model->index(row, column).data().toString().isEmpty();
        round.complete += full;
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
    NetLab::SimulatorProcess simulator({ QStringLiteral("--count"), QString::number(Devices) });
    if (!simulator.start()) {
        std::fprintf(stderr, "bench_scan: %s\n", qPrintable(simulator.errorText()));
        return 1;
    }

    MainWindow window;
    window.show();
    std::printf("scan of %d simulated devices answering in bursts\n", Devices);
    std::printf("%-6s %8s %10s %14s %18s\n", "round", "rows", "complete", "scan call ms",
        "F5 to last row ms");
    bool allComplete = true;
    for (int i = 1; i <= Rounds; ++i) {
        const Round round = runRound(window);
        std::printf("%-6d %8d %10d %14lld %18lld\n", i, round.rows, round.complete,
            round.scanCallMs, round.lastRowMs);
        allComplete = allComplete && round.complete == Devices;
    }
    return allComplete ? 0 : 1;
}
