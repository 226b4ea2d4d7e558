#include "shell/Delays.h"

#include "shell/Clock.h"

#include <QCoreApplication>
#include <QEventLoop>
#include <QTimer>
#include <algorithm>
#include <cmath>

void Delays::TDelay(double ticks)
{
    double start = m_clock.Timer();
    double end = ticks * Tick + start;

    // Even a wait of no ticks lets pending events run once.
    QCoreApplication::processEvents(QEventLoop::AllEvents);

    QTimer wake;
    wake.setSingleShot(true);
    wake.setTimerType(Qt::PreciseTimer);
    for (;;) {
        double now = m_clock.Timer();
        if (now < start) {
            // The clock went past midnight since the wait began.
            end -= SecondsPerDay;
            start = 0;
        }
        if (now >= end)
            break;
        // Sleep on the event queue until an event arrives or the deadline
        // passes; whatever arrives is handled to its end here.
        const double remainingMs = (end - now) * 1000.0;
        wake.start(std::max(0, static_cast<int>(std::ceil(remainingMs))));
        QCoreApplication::processEvents(QEventLoop::AllEvents | QEventLoop::WaitForMoreEvents);
    }
}

void Delays::SDelay(const int16_t& Secs)
{
    const int16_t ticks = static_cast<int16_t>(Secs * TicksPerSecond);
    TDelay(ticks);
}
