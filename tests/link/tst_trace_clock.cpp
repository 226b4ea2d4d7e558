// The trace's stamps are the system's monotonic clock, the one meter-sim's log
// is stamped on, so that the two read side by side: not a clock of the program's own.
#include "link/LineTrace.h"

#include <QTemporaryDir>
#include <QtTest>

#include <time.h>

class TestTraceClock : public QObject {
    Q_OBJECT
    static double Monotonic() { timespec t{}; ::clock_gettime(CLOCK_MONOTONIC, &t); return t.tv_sec + t.tv_nsec / 1e9; }
private slots:
    void stampedOnTheSystemsMonotonicClock()
    {
        QTemporaryDir dir;
        LineTrace trace(dir.filePath("trace"));
        const double before = Monotonic();
        trace.Opened(1, "/dev/ttyUSB0");
        const double after = Monotonic();
        QFile file(dir.filePath("trace"));
        const double stamp = file.open(QIODevice::ReadOnly) ? file.readLine().split(' ').value(0).toDouble() : 0;
        // Stamped to the microsecond, rounded.
        QVERIFY2(stamp >= before - 1e-6 && stamp <= after + 1e-6, qPrintable(QString::asprintf("%.6f", stamp)));
    }
};

QTEST_GUILESS_MAIN(TestTraceClock)
#include "tst_trace_clock.moc"
