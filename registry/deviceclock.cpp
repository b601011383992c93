#include "deviceclock.h"

#include <QElapsedTimer>

namespace {

class SystemClock final : public DeviceClock
{
public:
    qint64 monotonicMsecs() const override
    {
        QElapsedTimer timer;
        timer.start();
        return timer.msecsSinceReference();
    }
    QTime timeOfDay() const override { return QTime::currentTime(); }
};

} // namespace

const DeviceClock *DeviceClock::system()
{
    static const SystemClock clock;
    return &clock;
}
