#pragma once

// One Scan / Refresh of the window against whatever answers, as the scan
// benchmarks time it.
#include "devicemodel.h"
#include "mainwindow.h"
#include "packettransceiver.h"
#include "tickgap.h"

#include <QAction>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QLineEdit>
#include <QTimer>

// The window lets this class reach its members; the benchmarks need five.
class MainWindowTester
{
public:
    explicit MainWindowTester(MainWindow &window)
        : window(window)
    { }
    DeviceModel *deviceModel() const { return window.deviceModel; }
    QAction *scanAct() const { return window.scanAct; }
    QTimer *checkTimer() const { return window.checkTimer; }
    PacketTransceiver *transceiver() const { return window.transceiver; }
    QLineEdit *filterEdit() const { return window.filterEdit; }

private:
    MainWindow &window;
};

struct ScanRound
{
    int delivered = 0;
    int complete = 0;
    qint64 scanCallMs = 0;
    qint64 lastRowMs = 0;
    qint64 longestTickGapMs = 0;
};

// Presses Scan / Refresh and waits for the check 3 s later. The last row is
// the last reply handed to the table; the tick gap is the longest wait of a
// timer of `tickMs` after the scan's own pause.
inline ScanRound runScanRound(MainWindow &window, int tickMs)
{
    MainWindowTester tester(window);
    DeviceModel *model = tester.deviceModel();
    QElapsedTimer clock;
    ScanRound round;
    TickGap tick(tickMs);
    // After the model's own connection: the reply is in the table. A known
    // device's row changes in place, so row insertions alone miss the last replies.
    const QMetaObject::Connection delivered
        = QObject::connect(tester.transceiver(), &PacketTransceiver::replyReceived, [&] {
              ++round.delivered;
              round.lastRowMs = clock.elapsed();
          });

    QEventLoop loop;
    // The check runs 3 s after the scan and marks what is still incomplete.
    QObject::connect(tester.checkTimer(), &QTimer::timeout, &loop,
        [&loop] { QTimer::singleShot(200, &loop, &QEventLoop::quit); });
    QTimer::singleShot(60000, &loop, &QEventLoop::quit);
    clock.start();
    tester.scanAct()->trigger();
    round.scanCallMs = clock.elapsed();
    tick.start();
    loop.exec();
    round.longestTickGapMs = tick.longestMs();
    QObject::disconnect(delivered);

    for (int row = 0; row < model->rowCount(); ++row) {
        round.complete += model->index(row, DeviceModel::ColumnStatus).data().toString()
            == QLatin1String("Device available");
    }
    return round;
}
