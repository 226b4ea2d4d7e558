// The waits: their length, and the window staying alive inside them.
#include "Timing.h"
#include "shell/Clock.h"
#include "shell/Delays.h"

#include <QPushButton>
#include <QTimer>
#include <cmath>

namespace {

// Reads like a "seconds since midnight" timer that wraps at 86400, starting
// `before` seconds short of midnight; counts how often it is read.
class MidnightClock final : public Clock {
public:
    explicit MidnightClock(double before) : m_offset(86400.0 - before) {}
    double Timer() override { ++reads; return std::fmod(m_base.Timer() + m_offset, 86400.0); }
    long reads = 0;

private:
    MonotonicClock m_base;
    double m_offset;
};

}  // namespace

class TestDelays : public QObject {
    Q_OBJECT
private slots:
    void lasts_data()
    {
        QTest::addColumn<int>("ticks");  // -1: SDelay(1)
        QTest::addColumn<double>("before");
        QTest::addColumn<double>("want");
        QTest::newRow("SDelay(1)") << -1 << 1000.0 << 0.972;
        QTest::newRow("0 ticks") << 0 << 1000.0 << 0.0;
        QTest::newRow("2 ticks") << 2 << 1000.0 << 0.108;
        QTest::newRow("1 tick across midnight") << 1 << 0.01 << 0.054;
    }
    void lasts()
    {
        QFETCH(int, ticks);
        QFETCH(double, before);
        QFETCH(double, want);
        MidnightClock clock(before);
        MonotonicClock real;
        Delays d(clock);
        QPushButton other("other");
        other.show();
        QVERIFY(QTest::qWaitForWindowExposed(&other));
        double handlerEnded = -1;
        QObject::connect(&other, &QPushButton::clicked, [&] {
            d.TDelay(2);  // a handler that waits itself runs to its end inside the outer wait
            handlerEnded = real.Timer();
        });
        if (ticks < 0)
            QTimer::singleShot(300, &other, [&] { QTest::mouseClick(&other, Qt::LeftButton); });
        bool ran = false;
        QMetaObject::invokeMethod(this, [&] { ran = true; }, Qt::QueuedConnection);
        const double t0 = real.Timer();
        if (ticks < 0)
            d.SDelay(1);
        else
            d.TDelay(ticks);
        const double took = real.Timer() - t0;
        VERIFY_WAIT(took, want);  // never a moment short, and not a tick more
        QVERIFY(ran);  // events pending are handled, even in a wait of no ticks
        if (ticks < 0)  // the click at 0.3 s handled inside the wait
            VERIFY_TIME(handlerEnded - t0, 0.3 + 0.108, took);
        // It sleeps on the event queue instead of reading the clock without end.
        QVERIFY2(clock.reads < 1000, qPrintable(QString::number(clock.reads)));
    }
};

QTEST_MAIN(TestDelays)
#include "tst_delays.moc"
