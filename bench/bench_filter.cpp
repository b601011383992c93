// The filter field of the window: the time a keystroke takes with 10,000 rows
// (the table narrowed or widened, the counts and the table repainted), and
// inside scripts/netlab the time from F5 to the last reply of a 10,000-device
// scan with a filter set against the same scan without one. Prints figures;
// asserts nothing.
#include "devicemodel.h"
#include "devicereplies.h"
#include "mainwindow.h"
#include "packettransceiver.h"
#include "scancycle.h"
#include "simulatorprocess.h"
#include "testsupport.h"
#include "windowtester.h"

#include <QAction>
#include <QApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFile>
#include <QLineEdit>
#include <QTableView>
#include <QTest>
#include <QTimer>

#include <algorithm>
#include <cstdio>
#include <sys/resource.h>

namespace {

constexpr int Rows = 10000;
constexpr int ScanRepeats = 5;

// MAC addresses in one run of numbers, so that "3A:07" is one device's alone;
// every 40th device repeats its neighbour's host name and every 60th its IP
// address, so some rows carry a conflict mark.
void fill(DeviceModel *model)
{
    for (int i = 0; i < Rows; ++i) {
        const int n = 0x3A07 - Rows / 2 + i;
        const QString mac = QStringLiteral("02:00:00:00:%1:%2")
                                .arg(n >> 8, 2, 16, QLatin1Char('0'))
                                .arg(n & 0xFF, 2, 16, QLatin1Char('0'))
                                .toUpper();
        const int host = i % 40 == 39 ? i - 1 : i;
        const int ip = i % 60 == 59 ? i - 1 : i;
        model->onDeviceReplyReceived(DeviceReplies::deviceInfo(mac, 0, QStringLiteral("7"),
            QStringLiteral("2.0.%1").arg(i % 9), QStringLiteral("Cinaboard-M%1").arg(i % 5)));
        model->onDeviceReplyReceived(
            DeviceReplies::networkConfig(mac, 0, QStringLiteral("gate-%1").arg(host),
                QStringLiteral("198.18.%1.%2").arg(ip / 250).arg(ip % 250 + 1)));
    }
}

struct Typing
{
    double slowestMs = 0;
    QString slowestKey;
    double totalMs = 0;
    int keys = 0;
    int shownFor3A07 = -1;
    int shownForConflict = -1;
};

// Each key from the press until the window has repainted.
void press(QLineEdit *edit, Qt::Key key, const QString &name, Typing &typing, char text = 0)
{
    QElapsedTimer timer;
    timer.start();
    if (text)
        QTest::keyClick(edit, text);
    else
        QTest::keyClick(edit, key);
    QCoreApplication::processEvents();
    const double ms = timer.nsecsElapsed() / 1e6;
    typing.totalMs += ms;
    ++typing.keys;
    if (ms > typing.slowestMs) {
        typing.slowestMs = ms;
        typing.slowestKey = name;
    }
}

// "3A:07" typed and taken back, then "conflict" typed and Escape.
Typing typeInFilter(MainWindow &window)
{
    QLineEdit *edit = MainWindowTester(window).filterEdit();
    const QAbstractItemModel *shown = window.findChild<QTableView *>()->model();
    // Escape acts only in the focused field.
    edit->setFocus();
    Typing typing;
    for (const QString &word : { QStringLiteral("3A:07"), QStringLiteral("conflict") }) {
        QString typed;
        for (const QChar c : word) {
            typed += c;
            press(edit, Qt::Key_unknown, typed, typing, c.toLatin1());
        }
        (word.startsWith(QLatin1Char('3')) ? typing.shownFor3A07 : typing.shownForConflict)
            = shown->rowCount();
        if (word.startsWith(QLatin1Char('3'))) {
            while (!typed.isEmpty()) {
                typed.chop(1);
                press(edit, Qt::Key_Backspace, QStringLiteral("Backspace to \"%1\"").arg(typed),
                    typing);
            }
        }
    }
    press(edit, Qt::Key_Escape, QStringLiteral("Escape"), typing);
    if (!edit->text().isEmpty() || shown->rowCount() != Rows)
        std::printf(
            "Escape left \"%s\" and %d rows\n", qPrintable(edit->text()), shown->rowCount());
    return typing;
}

void measureTyping()
{
    std::printf("Typing in the filter with %d rows (ms a keystroke, repainted)\n", Rows);
    std::printf("%-34s %8s %8s  %-22s %12s %15s\n", "table", "mean", "slowest", "slowest key",
        "3A:07 shows", "conflict shows");
    MainWindow window;
    window.resize(1100, 700);
    window.show();
    if (!QTest::qWaitForWindowActive(&window))
        std::printf("The window is not active: Escape will not act\n");
    fill(MainWindowTester(window).deviceModel());
    QCoreApplication::processEvents();
    auto *view = window.findChild<QTableView *>();
    struct Setting
    {
        const char *name;
        int sortColumn;
        bool selectAll;
    };
    for (const Setting &s : { Setting { "in arrival order", -1, false },
             Setting { "sorted by host name", DeviceModel::ColumnHostname, false },
             Setting { "sorted by host name, all selected", DeviceModel::ColumnHostname, true } }) {
        if (s.sortColumn >= 0)
            view->sortByColumn(s.sortColumn, Qt::AscendingOrder);
        if (s.selectAll)
            view->selectAll();
        QCoreApplication::processEvents();
        const Typing typing = typeInFilter(window);
        std::printf("%-34s %8.1f %8.1f  %-22s %12d %15d\n", s.name, typing.totalMs / typing.keys,
            typing.slowestMs, qPrintable(typing.slowestKey), typing.shownFor3A07,
            typing.shownForConflict);
        std::fflush(stdout);
    }
}

struct ScanRound
{
    int delivered = 0;
    int complete = 0;
    qint64 lastRowMs = 0;
};

// Presses Scan / Refresh and waits for the check. The last row is the last
// reply handed to the table.
ScanRound runScanRound(MainWindow &window)
{
    MainWindowTester tester(window);
    QElapsedTimer clock;
    ScanRound round;
    const QMetaObject::Connection delivered
        = QObject::connect(tester.transceiver(), &PacketTransceiver::replyReceived, [&] {
              ++round.delivered;
              round.lastRowMs = clock.elapsed();
          });
    QEventLoop loop;
    QObject::connect(tester.scanCycle(), &ScanCycle::checked, &loop,
        [&loop] { QTimer::singleShot(200, &loop, &QEventLoop::quit); });
    QTimer::singleShot(60000, &loop, &QEventLoop::quit);
    clock.start();
    tester.scanAct()->trigger();
    loop.exec();
    QObject::disconnect(delivered);
    DeviceModel *model = tester.deviceModel();
    for (int row = 0; row < model->rowCount(); ++row) {
        round.complete += model->index(row, DeviceModel::ColumnStatus).data().toString()
            == QLatin1String("Device available");
    }
    return round;
}

// Processor time of this process, both threads: steadier than the wall clock
// on a machine that others share.
qint64 cpuMs()
{
    rusage usage {};
    ::getrusage(RUSAGE_SELF, &usage);
    return (usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) * 1000LL
        + (usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1000;
}

qint64 median(QVector<qint64> values)
{
    std::sort(values.begin(), values.end());
    return values.at(values.size() / 2);
}

int measureScans()
{
    QString why;
    if (!TestSupport::insideLab(&why)) {
        std::printf("\nScans skipped: %s\n", qPrintable(why));
        return 0;
    }
    NetLab::SimulatorProcess simulator(
        { QStringLiteral("--count"), QString::number(Rows), QStringLiteral("--spread"), "0" });
    if (!simulator.start()) {
        std::fprintf(stderr, "bench_filter: %s\n", qPrintable(simulator.errorText()));
        return 1;
    }
    QFile loadavg(QStringLiteral("/proc/loadavg"));
    loadavg.open(QIODevice::ReadOnly);
    std::printf("\nScan of %d simulated devices in one burst, F5 to the last reply, median of "
                "%d; load average %s",
        Rows, ScanRepeats, loadavg.readAll().constData());
    std::printf("%-10s %10s %9s %6s %14s %6s %8s %6s\n", "filter", "delivered", "complete", "shown",
        "F5 to last ms", "ratio", "CPU ms", "ratio");
    // "1A:07" shows one device, "sim-1" 1,111; "conflict" none, after every cell was read.
    const QStringList filters { QString(), QStringLiteral("1A:07"), QStringLiteral("sim-1"),
        QStringLiteral("conflict") };
    QVector<QVector<qint64>> times(filters.size());
    QVector<QVector<qint64>> cpu(filters.size());
    QVector<ScanRound> last(filters.size());
    QVector<int> shown(filters.size());
    // Taken in turns, so that a busier moment of the machine does not fall on one filter.
    for (int repeat = 0; repeat < ScanRepeats; ++repeat) {
        for (int f = 0; f < filters.size(); ++f) {
            MainWindow window;
            window.show();
            MainWindowTester(window).filterEdit()->setText(filters.at(f));
            const qint64 cpuBefore = cpuMs();
            last[f] = runScanRound(window);
            cpu[f] << cpuMs() - cpuBefore;
            times[f] << last[f].lastRowMs;
            shown[f] = window.findChild<QTableView *>()->model()->rowCount();
        }
    }
    for (int f = 0; f < filters.size(); ++f) {
        std::printf("%-10s %10d %9d %6d %14lld %6.2f %8lld %6.2f\n",
            filters.at(f).isEmpty() ? "(none)" : qPrintable(filters.at(f)), last[f].delivered,
            last[f].complete, shown[f], median(times.at(f)),
            double(median(times.at(f))) / median(times.at(0)), median(cpu.at(f)),
            double(median(cpu.at(f))) / median(cpu.at(0)));
    }
    return 0;
}

} // namespace

int main(int argc, char **argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    TestSupport::TemporarySettings settings;
    measureTyping();
    return measureScans();
}
