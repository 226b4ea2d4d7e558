#pragma once
// Bounds for timing checks. Waits never end early, so lower bounds are exact;
// upper bounds allow for a loaded machine and grow with QZ_TEST_TIME_SCALE
// (set it above 1 for slow builds, e.g. under sanitizers or valgrind).
#include <QString>
#include <QTest>

namespace Timing {

inline double Scale() { return qMax(1.0, qEnvironmentVariable("QZ_TEST_TIME_SCALE").toDouble()); }

// Extra time a wait may take beyond its nominal length: 40 ms on a normal
// build, less than one 54 ms tick, so a wrong tick count still shows.
inline double Slack(double base = 0.040) { return base * Scale(); }

}  // namespace Timing

// A time in [low, high); VERIFY_WAIT: a wait of `nominal` seconds, never less, at most the slack more.
#define VERIFY_TIME(value, low, high)                                                                 \
    QVERIFY2((value) >= (low) && (value) < (high),                                                    \
             qPrintable(QString("%1 = %2 s, not in [%3, %4)").arg(#value).arg(value).arg(low).arg(high)))
#define VERIFY_WAIT(value, nominal) VERIFY_TIME(value, nominal, (nominal) + Timing::Slack())
