#pragma once
// Shared pieces of the link tests: a timing check and the nominal waits.
#include "Shows.h"
#include "Timing.h"
#include "shell/qzGlobals.h"

#include <QTest>

#define VERIFY_TIME(value, low, high)                                                                 \
    QVERIFY2((value) >= (low) && (value) < (high),                                                    \
             qPrintable(QString("%1 = %2 s, not in [%3, %4)").arg(#value).arg(value).arg(low).arg(high)))

namespace Nominal {
constexpr double QuietWait = 18 * 0.054;  // 18 ticks of 54 ms after the empty frame
constexpr double HGap = 2 * 0.054;        // between the first two "H"
constexpr double DrainPass = 15 * 0.054;  // each drain pass of the quiet-line check
constexpr double ReplyWait = 0.5;         // from "V" to reading its answer
constexpr double ReplyRead = 0.2;         // the longest the answer is read
}  // namespace Nominal
