#pragma once
// Shared pieces of the link tests: the nominal waits and the window's two connection states.
#include "Shows.h"
#include "Timing.h"
#include "link/CommControl.h"
#include "shell/qzGlobals.h"

namespace Nominal {
constexpr double QuietWait = 18 * 0.054;  // 18 ticks of 54 ms after the empty frame
constexpr double HGap = 2 * 0.054;        // between the first two "H"
}  // namespace Nominal

// The meter's buttons on, its identity shown, its port open and ticked (the slider left aside).
inline void VerifyConnected(frmMain& form, int port, const QString& serial, const QString& firmware)
{
    QVERIFY(form.Connected && form.Comm1().PortOpen() && form.mnuSourcePortComm[port]->isChecked());
    QCOMPARE(Shows(form).section(" | ", 0, 1).remove(" slider"),
             "Disconnect SWEEP LEFT RIGHT CYCLE | Meter Serial Number: " + serial + " Firmware Version: " + firmware);
    QCOMPARE(int(qzGlobals::PortNumber), port);
}

// As Disconnect leaves the window: of the meter's buttons only Connect on, no identity shown or kept, port closed.
inline void VerifyNotConnected(frmMain& form)
{
    QVERIFY(!form.Connected && !form.Comm1().PortOpen());
    QCOMPARE(Shows(form).section(" | ", 0, 1).remove(" slider"), QString("Connect CYCLE | "));
    QVERIFY(form.lblHard->text().isEmpty() && form.lblFirm->text().isEmpty());
}
