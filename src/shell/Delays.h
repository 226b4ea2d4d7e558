#pragma once
// TDelay / SDelay: waits in ticks of 0.054 s that keep the window alive. Every
// pending window event is handled inside the wait (so other buttons work while
// a wait runs), but between events the thread sleeps on the event queue until
// the deadline instead of spinning on the clock.
#include <cstdint>

class Clock;

class Delays {
public:
    static constexpr double Tick = 0.054;          // seconds per tick
    static constexpr int16_t TicksPerSecond = 18;  // so SDelay(1) lasts 0.972 s
    static constexpr double SecondsPerDay = 86400.0;

    explicit Delays(Clock& clock) : m_clock(clock) {}

    void TDelay(double ticks);
    void SDelay(const int16_t& Secs);

private:
    Clock& m_clock;
};
