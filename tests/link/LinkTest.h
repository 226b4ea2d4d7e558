#pragma once
// Shared pieces of the link tests: a timing check, the nominal waits and the
// window's two connection states.
#include "Shows.h"
#include "Timing.h"
#include "shell/frmMain.h"
#include "shell/qzGlobals.h"

#include <QAction>
#include <QLabel>
#include <QPushButton>
#include <QTest>

#define VERIFY_TIME(value, low, high)                                                                 \
    QVERIFY2((value) >= (low) && (value) < (high),                                                    \
             qPrintable(QString("%1 = %2 s, not in [%3, %4)").arg(#value).arg(value).arg(low).arg(high)))

namespace Nominal {
constexpr double QuietWait = 18 * 0.054;  // 18 ticks of 54 ms after the empty frame
constexpr double HGap = 2 * 0.054;        // between the first two "H"
}  // namespace Nominal

inline void VerifyConnected(frmMain& form, int port, const QString& serial, const QString& firmware)
{
    QVERIFY(form.Connected && form.cmdSweep->isEnabled() && form.lblInfo->isHidden());
    QCOMPARE(form.cmdConnect->text(), QString("Disconnect"));
    QCOMPARE(form.lblHard->text(), serial);
    QCOMPARE(form.lblFirm->text(), firmware);
    QVERIFY(!form.lblHard->isHidden() && !form.lblFirm->isHidden());
    QCOMPARE(int(qzGlobals::PortNumber), port);
    QVERIFY(form.mnuSourcePortComm[port]->isChecked());
}

inline void VerifyNotConnected(frmMain& form)
{
    QVERIFY(!form.Connected && form.cmdConnect->isEnabled() && !form.cmdSweep->isEnabled());
    QCOMPARE(form.cmdConnect->text(), QString("Connect"));
    QVERIFY(form.lblHard->isHidden() && form.lblFirm->isHidden());
}
