// Scan / Refresh against 1,000, 5,000 and 10,000 simulated devices answering
// each broadcast in one burst, with no reply lost and with 2 % lost at random
// (a lossy switch), on an idle machine and with one core kept busy by a loop
// of its own, once with the receive buffer root gets and once with the one an
// ordinary user gets under Linux's default limit: replies delivered, rows,
// rows still incomplete at the check, the time from the key press to the last
// row and the longest wait of a 5 ms timer after the scan's own pause.
// `bench_scan 1000` runs one size only. Runs only inside scripts/netlab (exit
// 77 elsewhere).
#include "devicemodel.h"
#include "mainwindow.h"
#include "packettransceiver.h"
#include "scancycle.h"
#include "simulatorprocess.h"
#include "testsupport.h"
#include "windowtester.h"
#include "tickgap.h"

#include <QAction>
#include <QApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFile>
#include <QProcess>
#include <QTimer>

#include <cstdio>

namespace {

// Without CAP_NET_ADMIN the asked-for buffer is cut to net.core.rmem_max,
// 212992 bytes by default (the kernel then doubles it).
constexpr int OrdinaryUserLimit = 212992;
constexpr int TickMs = 5;

struct Round
{
    int delivered = 0;
    int rows = 0;
    int incomplete = 0;
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
    // After the model's own connection: the reply is in the table. A known
    // device's row changes in place, so row insertions alone miss the last replies.
    const QMetaObject::Connection delivered
        = QObject::connect(tester.transceiver(), &PacketTransceiver::replyReceived, [&] {
              ++round.delivered;
              round.lastRowMs = clock.elapsed();
          });

    QEventLoop loop;
    // The check runs 3 s after the scan and marks what is still incomplete.
    QObject::connect(tester.scanCycle(), &ScanCycle::checked, &loop,
        [&loop] { QTimer::singleShot(200, &loop, &QEventLoop::quit); });
    QTimer::singleShot(60000, &loop, &QEventLoop::quit);
    clock.start();
    tester.scanAct()->trigger();
    tick.start();
    loop.exec();
    round.longestTickGapMs = tick.longestMs();
    QObject::disconnect(delivered);

    round.rows = model->rowCount();
    for (int row = 0; row < model->rowCount(); ++row) {
        round.incomplete += model->index(row, DeviceModel::ColumnStatus).data().toString()
            == QLatin1String("Device information incomplete. Please scan network again!");
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

    QList<int> sizes { 1000, 5000, 10000 };
    if (argc > 1)
        sizes = { QString::fromLocal8Bit(argv[1]).toInt() };
    QFile loadavg(QStringLiteral("/proc/loadavg"));
    loadavg.open(QIODevice::ReadOnly);
    std::printf("scan of simulated devices answering in one burst; load average %s",
        loadavg.readAll().constData());
    std::printf("%7s %5s %-9s %-14s %10s %6s %11s %18s %20s\n", "devices", "loss", "machine",
        "setting", "delivered", "rows", "incomplete", "F5 to last row ms", "longest tick gap ms");
    for (int devices : qAsConst(sizes)) {
        for (const char *loss : { "0", "0.02" }) {
            NetLab::SimulatorProcess simulator({ QStringLiteral("--count"),
                QString::number(devices), QStringLiteral("--loss"), QLatin1String(loss) });
            if (!simulator.start()) {
                std::fprintf(stderr, "bench_scan: %s\n", qPrintable(simulator.errorText()));
                return 1;
            }
            for (bool busy : { false, true }) {
                // One of the two cores kept busy, as by `yes > /dev/null`.
                QProcess loop;
                if (busy) {
                    loop.setStandardOutputFile(QProcess::nullDevice());
                    loop.start(QStringLiteral("yes"), QStringList());
                    loop.waitForStarted();
                }
                for (int limit : { 0, OrdinaryUserLimit }) {
                    MainWindow window;
                    window.show();
                    MainWindowTester(window).transceiver()->setReceiveBufferLimitForTesting(limit);
                    const Round round = runRound(window);
                    std::printf("%7d %4.0f%% %-9s %-14s %10d %6d %11d %18lld %20lld\n", devices,
                        QByteArray(loss).toDouble() * 100, busy ? "one busy" : "idle",
                        limit ? "ordinary user" : "root", round.delivered, round.rows,
                        round.incomplete, round.lastRowMs, round.longestTickGapMs);
                    std::fflush(stdout);
                }
                loop.kill();
                loop.waitForFinished();
            }
        }
    }
    return 0;
}
