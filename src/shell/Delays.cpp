#include "shell/Delays.h"

#include "shell/Clock.h"

#include <QCoreApplication>
#include <QEventLoop>
#include <QTimer>
#include <algorithm>
#include <cmath>
#include <memory>

#ifdef Q_OS_LINUX
#include <QSocketNotifier>

#include <sys/timerfd.h>
#include <unistd.h>

#include <cstdint>
#endif

// Wakes the sleeping event queue when a wait is due. Qt's timers count whole
// milliseconds and the queue wakes up late on top of that, which made every
// sweep step some 0.4 ms long. On Linux a timer descriptor armed to the
// nanosecond wakes it within microseconds instead, at no CPU cost; elsewhere
// a precise Qt timer rounds the moment up to the next millisecond.
class Alarm {
public:
    Alarm()
    {
#ifdef Q_OS_LINUX
        m_fd = ::timerfd_create(CLOCK_MONOTONIC, TFD_NONBLOCK | TFD_CLOEXEC);
        if (m_fd >= 0) {
            m_notifier = std::make_unique<QSocketNotifier>(m_fd, QSocketNotifier::Read);
            // Reading takes the expiry away, so the descriptor stops waking the queue.
            QObject::connect(m_notifier.get(), &QSocketNotifier::activated, [fd = m_fd] {
                std::uint64_t expiries = 0;
                [[maybe_unused]] const ssize_t n = ::read(fd, &expiries, sizeof expiries);
            });
            return;
        }
#endif
        m_timer.setSingleShot(true);
        m_timer.setTimerType(Qt::PreciseTimer);
    }
    ~Alarm()
    {
#ifdef Q_OS_LINUX
        m_notifier.reset();
        if (m_fd >= 0)
            ::close(m_fd);
#endif
    }
    Alarm(const Alarm&) = delete;
    Alarm& operator=(const Alarm&) = delete;

    void RingIn(double seconds)
    {
#ifdef Q_OS_LINUX
        if (m_fd >= 0) {
            // An all-zero time would disarm the timer: ring at once instead.
            const long long ns = std::max(1LL, std::llround(seconds * 1e9));
            itimerspec when{};
            when.it_value.tv_sec = static_cast<time_t>(ns / 1000000000LL);
            when.it_value.tv_nsec = static_cast<long>(ns % 1000000000LL);
            ::timerfd_settime(m_fd, 0, &when, nullptr);
            return;
        }
#endif
        m_timer.start(std::max(0, static_cast<int>(std::ceil(seconds * 1000.0))));
    }

private:
    QTimer m_timer;
#ifdef Q_OS_LINUX
    int m_fd = -1;
    std::unique_ptr<QSocketNotifier> m_notifier;
#endif
};

namespace {

// Even so the queue wakes up some tenths of a millisecond after the moment
// it was asked for. A wait therefore sleeps until this long before its end
// and watches the clock for the rest: about 1 % of a core for a sweep.
constexpr double FinishLead = 0.0005;  // seconds

}  // namespace

Delays::Delays(Clock& clock) : m_clock(clock), m_alarm(std::make_unique<Alarm>()) {}

Delays::~Delays() = default;

void Delays::TDelay(double ticks)
{
    double start = m_clock.Timer();
    double end = ticks * Tick + start;

    // Even a wait of no ticks lets pending events run once.
    QCoreApplication::processEvents(QEventLoop::AllEvents);

    for (;;) {
        double now = m_clock.Timer();
        if (now < start) {
            // The clock went past midnight since the wait began.
            end -= SecondsPerDay;
            start = 0;
        }
        if (now >= end)
            break;
        const double left = end - now;
        if (left > FinishLead) {
            // Sleep on the event queue until an event arrives or shortly
            // before the deadline; whatever arrives is handled to its end here.
            m_alarm->RingIn(left - FinishLead);
            QCoreApplication::processEvents(QEventLoop::AllEvents | QEventLoop::WaitForMoreEvents);
        } else {
            // The last fraction of a millisecond: watch the clock, still
            // handling whatever arrives.
            QCoreApplication::processEvents(QEventLoop::AllEvents);
        }
    }
}

void Delays::SDelay(const int16_t& Secs)
{
    const int16_t ticks = static_cast<int16_t>(Secs * TicksPerSecond);
    TDelay(ticks);
}
