// Replies per second the device table takes at different table sizes, with a
// sorting table view attached as in the program, against what searching the
// rows on every reply would cost. Prints figures; asserts nothing.
#include "datagram.h"
#include "devicefiltermodel.h"
#include "devicemodel.h"
#include "devicereplies.h"
#include "devicetableview.h"
#include "testsupport.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QVector>

#include <cstdio>
#include <malloc.h>
#include <memory>

namespace {

struct Device
{
    QString mac;
    QByteArray info[2]; // per round
    QByteArray config[2]; // per round
};

// Every 40th device repeats its neighbour's host name and every 60th its IP
// address, so conflict marks come and go as in a badly kept network.
QVector<Device> makeDevices(int count)
{
    QVector<Device> devices(count);
    for (int i = 0; i < count; ++i) {
        Device &d = devices[i];
        d.mac = QStringLiteral("02:00:00:%1:%2:%3")
                    .arg(i >> 16 & 0xFF, 2, 16, QLatin1Char('0'))
                    .arg(i >> 8 & 0xFF, 2, 16, QLatin1Char('0'))
                    .arg(i & 0xFF, 2, 16, QLatin1Char('0'))
                    .toUpper();
        const int hostOf = i % 40 == 39 ? i - 1 : i;
        const int ipOf = i % 60 == 59 ? i - 1 : i;
        const QString ip = QStringLiteral("198.18.%1.%2").arg(ipOf / 250).arg(ipOf % 250 + 1);
        for (int round = 0; round < 2; ++round) {
            d.info[round] = DeviceReplies::deviceInfo(d.mac, 0, QStringLiteral("7"),
                QStringLiteral("2.%1.0").arg(round), QStringLiteral("Quorvel Gate %1").arg(i));
            d.config[round] = DeviceReplies::networkConfig(
                d.mac, 0, QStringLiteral("gate-%1").arg(hostOf + round * (i % 7 == 0)), ip);
        }
    }
    return devices;
}

size_t heapInUse()
{
    return mallinfo2().uordblks;
}

template<typename Model> double ingestRound(Model &model, const QVector<Device> &devices, int round)
{
    QElapsedTimer timer;
    timer.start();
    for (const Device &d : devices) {
        model.onDeviceReplyReceived(d.info[round]);
        model.onDeviceReplyReceived(d.config[round]);
    }
    return timer.nsecsElapsed() / 1000.0 / (2.0 * devices.size());
}

struct FastFigures
{
    double round1 = 0;
    double round2 = 0;
    double perReply = 0;
    double bytesPerDevice = 0;
    double paintMs = 0;
    double sortMs = 0;
    double afterSort = 0;
};

FastFigures measureFast(const QVector<Device> &devices, bool withView)
{
    FastFigures f;
    const size_t before = heapInUse();
    auto model = std::make_unique<DeviceModel>();
    std::unique_ptr<DeviceTableView> view;
    DeviceFilterModel shown;
    if (withView) {
        view = std::make_unique<DeviceTableView>();
        shown.setSourceModel(model.get());
        view->setModel(&shown);
        view->resize(1000, 600);
        view->show();
        QCoreApplication::processEvents();
    }
    f.round1 = ingestRound(*model, devices, 0);
    f.round2 = ingestRound(*model, devices, 1);
    f.perReply = (f.round1 + f.round2) / 2;
    f.bytesPerDevice = double(heapInUse() - before) / devices.size();
    QElapsedTimer timer;
    if (view) {
        timer.start();
        QCoreApplication::processEvents();
        f.paintMs = timer.nsecsElapsed() / 1e6;
        timer.start();
        view->sortByColumn(DeviceModel::ColumnHostname, Qt::DescendingOrder);
        f.sortMs = timer.nsecsElapsed() / 1e6;
        f.afterSort = ingestRound(*model, devices, 0);
    }
    return f;
}

// The plain way to show a reply: find the device's row by searching the MAC
// column, then re-mark conflicts over the whole table, each row searching the
// Hostname and IP Address columns for its own texts. Timed on the items of a
// full table for a sample of replies; DeviceModel keeps indexes instead.
double measurePlainSearch(const QVector<Device> &devices, int samples)
{
    DeviceModel model;
    ingestRound(model, devices, 0);
    QElapsedTimer timer;
    timer.start();
    const int step = devices.size() / samples;
    for (int i = 0; i < samples; ++i) {
        model.findItems(
            devices.at(i * step).mac, Qt::MatchFixedString, DeviceModel::ColumnMacAddress);
        for (int row = 0; row < model.rowCount(); ++row) {
            model.findItems(model.item(row, DeviceModel::ColumnIpAddress)->text(), Qt::MatchExactly,
                DeviceModel::ColumnIpAddress);
            model.findItems(model.item(row, DeviceModel::ColumnHostname)->text(),
                Qt::MatchFixedString, DeviceModel::ColumnHostname);
        }
    }
    return timer.nsecsElapsed() / 1000.0 / samples;
}

} // namespace

int main(int argc, char **argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    TestSupport::TemporarySettings settings;

    std::printf("DeviceModel, one DeviceInfoReply and one NetworkConfigReply per device,\n"
                "then a second round refreshing every device (microseconds per reply)\n\n");
    std::printf("%8s  %10s %10s %10s  %12s  %10s  %10s %10s %14s\n", "devices", "round 1",
        "round 2", "per reply", "model only", "bytes/dev", "paint ms", "sort ms", "after sort");
    QVector<double> perReply;
    QVector<double> modelOnly;
    QVector<double> secondRound;
    for (int count : { 500, 2000, 8000 }) {
        const QVector<Device> devices = makeDevices(count);
        const FastFigures alone = measureFast(devices, false);
        const FastFigures f = measureFast(devices, true);
        std::printf("%8d  %10.2f %10.2f %10.2f  %12.2f  %10.0f  %10.1f %10.1f %14.2f\n", count,
            f.round1, f.round2, f.perReply, alone.perReply, f.bytesPerDevice, f.paintMs, f.sortMs,
            f.afterSort);
        std::fflush(stdout);
        perReply << f.perReply;
        modelOnly << alone.perReply;
        secondRound << f.round2;
    }
    std::printf("\nper-reply cost at 8000 / at 500: %.2f with the view, %.2f model only\n\n",
        perReply.at(2) / perReply.at(0), modelOnly.at(2) / modelOnly.at(0));

    std::printf("Searching the rows instead, on a full table (microseconds per reply)\n");
    const int sizes[] = { 500, 2000 };
    const int samples[] = { 40, 8 };
    for (int i = 0; i < 2; ++i) {
        const QVector<Device> devices = makeDevices(sizes[i]);
        const double plain = measurePlainSearch(devices, samples[i]);
        std::printf("%8d  searching %12.1f  DeviceModel round 2 %8.2f  speed-up %8.0fx\n", sizes[i],
            plain, secondRound.at(i), plain / secondRound.at(i));
        std::fflush(stdout);
    }
    return 0;
}
