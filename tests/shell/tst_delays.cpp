// The waits: their length, and the window staying alive inside them.
#include "shell/Clock.h"
#include "shell/Delays.h"

#include "Timing.h"

#include <QPushButton>
#include <QTest>
#include <QTimer>
#include <cmath>

namespace {

// A clock that reads like the classic "seconds since midnight" timer and
// wraps to 0 after 86400, starting `before` seconds short of midnight.
class MidnightClock final : public Clock {
public:
    explicit MidnightClock(double before) : m_offset(86400.0 - before) {}
    double Timer() override { return std::fmod(m_base.Timer() + m_offset, 86400.0); }

private:
    MonotonicClock m_base;
    double m_offset;
};

// Upper slack for a loaded two-core machine; a tick is 54 ms, so this still
// tells one tick from two.
const double Slack = Timing::Slack();

}  // namespace

class TestDelays : public QObject {
    Q_OBJECT
private slots:
    void sdelayOfOneLasts972Milliseconds()
    {
        MonotonicClock clock;
        Delays d(clock);
        const double t0 = clock.Timer();
        const int16_t one = 1;
        d.SDelay(one);
        const double took = clock.Timer() - t0;
        QVERIFY2(took >= 0.972 && took < 0.972 + Slack, qPrintable(QString::number(took)));
        QCOMPARE(one, int16_t(1));
    }

    void tdelayCountsTicks_data()
    {
        QTest::addColumn<int>("ticks");
        QTest::newRow("1") << 1;
        QTest::newRow("2") << 2;
        QTest::newRow("5") << 5;
        QTest::newRow("10") << 10;
    }
    void tdelayCountsTicks()
    {
        QFETCH(int, ticks);
        MonotonicClock clock;
        Delays d(clock);
        const double t0 = clock.Timer();
        d.TDelay(ticks);
        const double took = clock.Timer() - t0;
        const double want = ticks * 0.054;
        QVERIFY2(took >= want && took < want + Slack, qPrintable(QString::number(took)));
    }

    void zeroTicksStillHandlesPendingEvents()
    {
        MonotonicClock clock;
        Delays d(clock);
        bool ran = false;
        QMetaObject::invokeMethod(this, [&] { ran = true; }, Qt::QueuedConnection);
        const double t0 = clock.Timer();
        d.TDelay(0);
        QVERIFY(ran);
        QVERIFY(clock.Timer() - t0 < 0.02);
    }

    void waitBegunJustBeforeMidnightEndsOnTime()
    {
        MidnightClock clock(0.01);
        MonotonicClock real;
        Delays d(clock);
        const double before = clock.Timer();
        QVERIFY(before > 86399.9);
        const double t0 = real.Timer();
        d.TDelay(1);
        const double took = real.Timer() - t0;
        QVERIFY(clock.Timer() < 1.0);  // the clock did wrap during the wait
        QVERIFY2(took >= 0.054 - 0.002 && took < 0.054 + Slack, qPrintable(QString::number(took)));
    }

    void aClickDuringAWaitIsHandledInsideIt()
    {
        MonotonicClock clock;
        Delays d(clock);
        QPushButton other("other");
        other.show();
        QVERIFY(QTest::qWaitForWindowExposed(&other));
        double handlerStarted = -1, handlerEnded = -1;
        QObject::connect(&other, &QPushButton::clicked, [&] {
            handlerStarted = clock.Timer();
            d.TDelay(2);  // a handler that waits itself runs to its end inside the outer wait
            handlerEnded = clock.Timer();
        });
        QTimer::singleShot(300, &other, [&] { QTest::mouseClick(&other, Qt::LeftButton); });
        const double t0 = clock.Timer();
        const int16_t one = 1;
        d.SDelay(one);
        const double t1 = clock.Timer();
        QVERIFY(handlerStarted > t0 + 0.29);
        QVERIFY(handlerStarted < t0 + 0.972);
        QVERIFY(handlerEnded >= handlerStarted + 0.108);
        QVERIFY(handlerEnded <= t1);
    }

    void waitingDoesNotSpin()
    {
        // A wait sleeps on the event queue: over a whole second the thread
        // wakes a handful of times, not millions. Counted through the
        // clock, which a spinning wait would read continuously.
        class CountingClock final : public Clock {
        public:
            double Timer() override { ++reads; return base.Timer(); }
            MonotonicClock base;
            long reads = 0;
        } clock;
        Delays d(clock);
        const int16_t one = 1;
        d.SDelay(one);
        QVERIFY2(clock.reads < 1000, qPrintable(QString::number(clock.reads)));
    }
};

QTEST_MAIN(TestDelays)
#include "tst_delays.moc"
