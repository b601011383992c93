#include "packettransceiver.h"
#include "simulatorprocess.h"
#include "testsupport.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QThread>
#include <QTimer>

#include <cstdio>

// A scan answered by a plant of 1,000 simulated devices: how many of the 2,000
// replies arrive, and how long the transceiver takes to hand them all on.
namespace {

constexpr int Devices = 1000;
constexpr int Rounds = 5;
constexpr int NotInLab = 77;

struct Round
{
    int delivered = 0;
    double totalMs = 0;
    double drainMs = 0;
};

Round scanOnce(PacketTransceiver &transceiver, int pauseMs)
{
    Round round;
    QElapsedTimer clock;
    qint64 secondBroadcastAt = 0;
    qint64 lastAt = 0;
    QEventLoop loop;
    const auto connection = QObject::connect(&transceiver, &PacketTransceiver::replyReceived, [&] {
        lastAt = clock.nsecsElapsed();
        if (++round.delivered == 2 * Devices)
            loop.quit();
    });
    clock.start();
    transceiver.getDeviceInfo(QStringLiteral("FF:FF:FF:FF:FF:FF"));
    if (pauseMs > 0)
        QThread::msleep(ulong(pauseMs));
    secondBroadcastAt = clock.nsecsElapsed();
    transceiver.getNetworkConfig(QStringLiteral("FF:FF:FF:FF:FF:FF"));
    QTimer::singleShot(10000, &loop, &QEventLoop::quit);
    loop.exec();
    // Stragglers beyond the expected count would show up here.
    QTimer::singleShot(200, &loop, &QEventLoop::quit);
    loop.exec();
    QObject::disconnect(connection);
    round.totalMs = double(lastAt) / 1e6;
    round.drainMs = double(lastAt - secondBroadcastAt) / 1e6;
    return round;
}

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    QString why;
    if (!TestSupport::insideLab(&why)) {
        std::printf("bench_scan_burst: skipped, %s\n", qPrintable(why));
        return NotInLab;
    }
    NetLab::SimulatorProcess sim({ QStringLiteral("--count"), QString::number(Devices) });
    if (!sim.start()) {
        std::printf("bench_scan_burst: %s\n", qPrintable(sim.errorText()));
        return 1;
    }
    PacketTransceiver transceiver;
    if (!transceiver.bindSocket()) {
        std::printf("bench_scan_burst: cannot bind port 28244\n");
        return 1;
    }

    std::printf(
        "bench_scan_burst: %d devices answer GetDeviceInfo and GetNetworkConfig (%d replies)\n",
        Devices, 2 * Devices);
    bool complete = true;
    for (int pauseMs : { 100, 0 }) {
        for (int i = 1; i <= Rounds; ++i) {
            const Round r = scanOnce(transceiver, pauseMs);
            complete = complete && r.delivered == 2 * Devices;
            std::printf("  pause %3d ms, round %d: %4d delivered, last after %7.1f ms, "
                        "%6.1f ms after the second broadcast\n",
                pauseMs, i, r.delivered, r.totalMs, r.drainMs);
        }
    }
    std::fflush(stdout);
    return complete ? 0 : 1;
}
