#pragma once

#include <QTime>

// Where the device table takes its time from. Elapsed times come from a clock
// that never jumps; the time of day is only what the table shows in its roles.
// Tests substitute a manual clock to step through time-outs without waiting.
class DeviceClock
{
public:
    virtual ~DeviceClock() = default;
    virtual qint64 monotonicMsecs() const = 0;
    virtual QTime timeOfDay() const = 0;

    static const DeviceClock *system();
};
