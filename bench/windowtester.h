#pragma once

#include "mainwindow.h"

class DeviceModel;
class PacketTransceiver;
class QAction;
class QLineEdit;
class ScanCycle;

// The window lets this class reach its members; the benchmarks that drive the
// window need these.
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
    QLineEdit *filterEdit() const { return window.filterEdit; }

private:
    MainWindow &window;
};
