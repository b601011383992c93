#pragma once

#include "deviceclock.h"

namespace TestSupport {

// A clock that moves only when told to. The time of day follows the
// monotonic milliseconds unless a test sets it on its own (a clock change).
class ManualDeviceClock final : public DeviceClock
{
public:
    qint64 monotonicMsecs() const override { return monotonic; }
    QTime timeOfDay() const override { return wall; }

    void advance(int msecs)
    {
        monotonic += msecs;
        wall = wall.addMSecs(msecs);
    }
    void setTimeOfDay(const QTime &time) { wall = time; }

private:
    qint64 monotonic = 1000000;
    QTime wall { 8, 0 };
};

} // namespace TestSupport
