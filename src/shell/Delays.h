#pragma once
// TDelay / SDelay: waits in ticks of 0.054 s that keep the window alive. Every
// pending window event is handled inside the wait (so other buttons work while
// a wait runs), but between events the thread sleeps on the event queue until
// the deadline instead of spinning on the clock.
#include <cstdint>
#include <memory>

class Clock;
class Alarm;

class Delays {
public:
    static constexpr double Tick = 0.054;          // seconds per tick
    static constexpr int16_t TicksPerSecond = 18;  // so SDelay(1) lasts 0.972 s
    static constexpr double SecondsPerDay = 86400.0;

    explicit Delays(Clock& clock);
    ~Delays();

    void TDelay(double ticks);
    void SDelay(const int16_t& Secs);

    // Seconds from `since` to `now` on the program's clock, which may wrap
    // at midnight (a wait begun just before it must not look negative).
    static double Since(double since, double now)
    {
        const double elapsed = now - since;
        return elapsed < 0 ? elapsed + SecondsPerDay : elapsed;
    }

private:
    Clock& m_clock;
    // Wakes the event queue when a wait is due. One for all waits: every wait
    // sets it to its own deadline before each sleep, so a wait nested inside
    // another (a handler that waits, run inside a wait) does the outer one no harm.
    std::unique_ptr<Alarm> m_alarm;
};
