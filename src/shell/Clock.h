#pragma once
// The program's notion of time: seconds as a double. The production clock is
// monotonic, so a wait can never be confused by midnight or by the wall clock
// being set; the waits still cope with a clock that wraps at 86400 s.
#include <QElapsedTimer>

class Clock {
public:
    virtual ~Clock() = default;
    virtual double Timer() = 0;
};

class MonotonicClock final : public Clock {
public:
    MonotonicClock() { m_timer.start(); }
    double Timer() override { return static_cast<double>(m_timer.nsecsElapsed()) / 1e9; }

private:
    QElapsedTimer m_timer;
};
