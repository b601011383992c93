// quorvel-device-cli list against 1,000 simulated devices: devices listed, and
// the time from the program's start to its printed output minus the wait for
// replies, which is all the program itself adds. Runs only inside
// scripts/netlab (exit 77 elsewhere).
#include "simulatorprocess.h"
#include "testsupport.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QJsonArray>
#include <QJsonDocument>
#include <QProcess>

#include <cstdio>

namespace {

constexpr int Devices = 1000;
constexpr int Rounds = 3;
constexpr double WaitSeconds = 1.0;

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    QString why;
    if (!TestSupport::insideLab(&why)) {
        std::fprintf(stderr, "bench_cli: %s\n", qPrintable(why));
        return 77;
    }
    const QString cli = qEnvironmentVariable("QDF_CLI");
    NetLab::SimulatorProcess simulator(
        { QStringLiteral("--count"), QString::number(Devices) });
    if (cli.isEmpty() || !simulator.start()) {
        std::fprintf(stderr, "bench_cli: %s\n",
            cli.isEmpty() ? "QDF_CLI names no program" : qPrintable(simulator.errorText()));
        return 1;
    }

    std::printf(
        "quorvel-device-cli list --json --wait %.1f, %d simulated devices\n", WaitSeconds, Devices);
    std::printf(
        "%-6s %8s %6s %12s %20s\n", "round", "devices", "exit", "total ms", "total - wait ms");
    bool allListed = true;
    for (int i = 1; i <= Rounds; ++i) {
        QProcess process;
        QElapsedTimer clock;
        clock.start();
        process.start(cli,
            { QStringLiteral("list"), QStringLiteral("--json"), QStringLiteral("--wait"),
                QString::number(WaitSeconds) });
        process.waitForFinished(60000);
        const qint64 totalMs = clock.elapsed();
        const int devices = QJsonDocument::fromJson(process.readAllStandardOutput()).array().size();
        std::printf("%-6d %8d %6d %12lld %20lld\n", i, devices, process.exitCode(), totalMs,
            totalMs - qint64(WaitSeconds * 1000));
        allListed = allListed && devices == Devices;
    }
    return allListed ? 0 : 1;
}
