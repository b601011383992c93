#pragma once

#include <QElapsedTimer>
#include <QTimer>

#include <functional>

// How long the event loop keeps a precise timer waiting at most: the longest
// time the window could not answer while it worked.
class TickGap final
{
public:
    explicit TickGap(int intervalMs, std::function<void()> onTick = {})
    {
        tick.setTimerType(Qt::PreciseTimer);
        tick.setInterval(intervalMs);
        QObject::connect(&tick, &QTimer::timeout, [this, onTick] {
            const qint64 now = clock.elapsed();
            if (last >= 0)
                longest = qMax(longest, now - last);
            last = now;
            if (onTick)
                onTick();
        });
    }
    void start()
    {
        clock.start();
        tick.start();
    }
    qint64 longestMs() const { return longest; }

private:
    QTimer tick;
    QElapsedTimer clock;
    qint64 last = -1;
    qint64 longest = 0;
};
