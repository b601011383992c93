// A hostile host answers one request with forged replies from distinct MACs:
// 100,000 of 8,000 bytes at once, or 300,000 of a real reply's size over 8 s
// (`bench_flood slow` runs that one only): how many reach the table (at most
// 65,536 rows), how far the program's memory grows and the longest wait of a
// 10 ms timer meanwhile. Runs only inside scripts/netlab (exit 77 elsewhere).
#include "devicemodel.h"
#include "mainwindow.h"
#include "packettransceiver.h"
#include "simulatorprocess.h"
#include "testsupport.h"
#include "tickgap.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFile>
#include <QTimer>

#include <cstdio>

#include <unistd.h>

namespace {

struct Flood
{
    int forged;
    int bytes;
    int spreadMs;
};
constexpr Flood Floods[] = { { 100000, 8000, 0 }, { 300000, 329, 8000 } };
constexpr int TickMs = 10;
// The flood is over once nothing has been handed on for this long.
constexpr int QuietMs = 2000;

qint64 residentBytes()
{
    QFile statm(QStringLiteral("/proc/self/statm"));
    if (!statm.open(QIODevice::ReadOnly))
        return 0;
    return statm.readAll().split(' ').value(1).toLongLong() * sysconf(_SC_PAGESIZE);
}

int runFlood(const Flood &flood)
{
    NetLab::SimulatorProcess simulator({ QStringLiteral("--count"), QStringLiteral("1"),
        QStringLiteral("--flood"), QString::number(flood.forged), QStringLiteral("--flood-bytes"),
        QString::number(flood.bytes), QStringLiteral("--flood-ms"),
        QString::number(flood.spreadMs) });
    if (!simulator.start()) {
        std::fprintf(stderr, "bench_flood: %s\n", qPrintable(simulator.errorText()));
        return 1;
    }
    MainWindow window;
    window.show();
    auto *transceiver = window.findChild<PacketTransceiver *>();
    if (!transceiver->bindSocket()) {
        std::fprintf(stderr, "bench_flood: cannot bind port 28244\n");
        return 1;
    }

    QElapsedTimer clock;
    const qint64 before = residentBytes();
    qint64 peak = before;
    int delivered = 0;
    qint64 lastDelivery = 0;
    TickGap tick(TickMs, [&] { peak = qMax(peak, residentBytes()); });
    QObject::connect(transceiver, &PacketTransceiver::replyReceived, [&] {
        ++delivered;
        lastDelivery = clock.elapsed();
    });
    QEventLoop loop;
    QTimer quiet;
    QObject::connect(&quiet, &QTimer::timeout, [&] {
        if (clock.elapsed() - lastDelivery > QuietMs)
            loop.quit();
    });

    clock.start();
    tick.start();
    quiet.start(100);
    transceiver->getDeviceInfo(QStringLiteral("FF:FF:FF:FF:FF:FF"));
    loop.exec();

    auto *model = window.findChild<DeviceModel *>();
    std::printf("flood of %d forged replies from distinct MACs, %d bytes each, over %d ms\n",
        flood.forged, flood.bytes, flood.spreadMs);
    std::printf("  handed on %d, rows %d%s, in %.1f s\n", delivered, model->rowCount(),
        model->isFull() ? " (table full)" : "", double(lastDelivery) / 1000);
    std::printf("  max RSS growth %.1f MB (from %.1f MB), longest tick gap %lld ms\n",
        double(peak - before) / 1e6, double(before) / 1e6, tick.longestMs());
    std::fflush(stdout);
    return 0;
}

} // namespace

int main(int argc, char **argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);

    QString why;
    if (!TestSupport::insideLab(&why)) {
        std::fprintf(stderr, "bench_flood: %s\n", qPrintable(why));
        return 77;
    }
    TestSupport::TemporarySettings settings;
    const bool slowOnly = argc > 1 && qstrcmp(argv[1], "slow") == 0;
    for (const Flood &flood : Floods) {
        if (slowOnly && !flood.spreadMs)
            continue;
        if (const int code = runFlood(flood))
            return code;
    }
    return 0;
}
