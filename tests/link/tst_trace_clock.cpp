// The trace's stamps are the system's monotonic clock, the one meter-sim's
// log is stamped on, so that the two read side by side: not a clock that
// starts with the program.
#include "link/LineTrace.h"

#include <QTemporaryDir>
#include <QtTest>

#include <time.h>

class TestTraceClock : public QObject {
    Q_OBJECT
private slots:
    void stampedOnTheSystemsMonotonicClock()
    {
        QTemporaryDir dir;
        LineTrace trace(dir.filePath("trace"));
        timespec before{}, after{};
        ::clock_gettime(CLOCK_MONOTONIC, &before);
        trace.Opened(1, "/dev/ttyUSB0");
        ::clock_gettime(CLOCK_MONOTONIC, &after);
        QFile file(dir.filePath("trace"));
        QVERIFY(file.open(QIODevice::ReadOnly));
        const double stamp = file.readLine().split(' ').value(0).toDouble();
        // Rounded to the microsecond: it may lie that much outside the two readings.
        const double low = double(before.tv_sec) + double(before.tv_nsec) / 1e9 - 1e-6;
        const double high = double(after.tv_sec) + double(after.tv_nsec) / 1e9 + 1e-6;
        QVERIFY2(stamp >= low && stamp <= high, qPrintable(QString::asprintf("%.6f not in [%.6f, %.6f]", stamp, low, high)));
    }
};

QTEST_GUILESS_MAIN(TestTraceClock)
#include "tst_trace_clock.moc"
