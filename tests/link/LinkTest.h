#pragma once
// Shared pieces of the link tests: timing checks, the nominal waits, a clock
// that passes midnight, and the window's two connection states.
#include "Timing.h"
#include "link/CommControl.h"
#include "shell/Clock.h"
#include "shell/frmMain.h"
#include "shell/qzGlobals.h"

#include <QAction>
#include <QLabel>
#include <QPushButton>
#include <QTest>

#define VERIFY_TIME(value, low, high)                                                                \
    do {                                                                                             \
        const double v_ = (value);                                                                   \
        QVERIFY2(v_ >= (low) && v_ < (high),                                                         \
                 qPrintable(QString("%1 = %2 s, not in [%3, %4)").arg(#value).arg(v_).arg(low).arg(high))); \
    } while (0)
// Waits never end early, so the low bound is exact; the high one allows for
// a loaded machine but stays below one 54 ms tick.
#define VERIFY_WAIT(value, nominal) VERIFY_TIME(value, nominal, (nominal) + Timing::Slack())

namespace Nominal {
constexpr double Tick = 0.054;
constexpr double QuietWait = 18 * Tick;  // SDelay(1) after the empty frame
constexpr double HGap = 2 * Tick;        // between the first two "H"
constexpr double DrainPass = 15 * Tick;  // each drain pass of the quiet-line check
constexpr double ReplyWait = 0.5;        // from "V" until the answer is read
constexpr double ReadLimit = 0.2;        // longest the answer is read for
}  // namespace Nominal

// Seconds since midnight, starting `before` seconds before it.
class MidnightClock final : public Clock {
public:
    explicit MidnightClock(double before) : m_start(86400.0 - before) { m_timer.start(); }
    void Restart() { m_timer.restart(); }
    double Timer() override
    {
        const double t = m_start + double(m_timer.nsecsElapsed()) / 1e9;
        return t >= 86400.0 ? t - 86400.0 : t;
    }

private:
    double m_start;
    QElapsedTimer m_timer;
};

inline void VerifyConnected(frmMain& form, int port, const QString& serial, const QString& firmware)
{
    QVERIFY(form.Connected);
    QCOMPARE(form.cmdConnect->text(), QString("Disconnect"));
    for (QWidget* w : {form.cmdConnect, form.cmdSweep, form.cmdLeft, form.cmdRight})
        QVERIFY(w->isEnabled());
    QCOMPARE(form.focusWidget(), static_cast<QWidget*>(form.cmdSweep));
    QVERIFY(form.lblInfo->isHidden() && form.lblTitle->isHidden());
    for (QLabel* l : {form.lblSerialNum, form.lblFw, form.lblHard, form.lblFirm})
        QVERIFY(!l->isHidden());
    QCOMPARE(form.lblHard->text(), serial);
    QCOMPARE(form.lblFirm->text(), firmware);
    QCOMPARE(int(qzGlobals::PortNumber), port);
    QCOMPARE(int(qzGlobals::SavedPort), port);
    for (int i = 0; i <= 16; ++i)
        QCOMPARE(form.mnuSourcePortComm[i]->isChecked(), i == port);
    QVERIFY(form.Comm1().PortOpen());
}

inline void VerifyNotConnected(frmMain& form)
{
    QVERIFY(!form.Connected);
    QCOMPARE(form.cmdConnect->text(), QString("Connect"));
    QVERIFY(form.cmdConnect->isEnabled());
    for (QWidget* w : {form.cmdSweep, form.cmdLeft, form.cmdRight})
        QVERIFY(!w->isEnabled());
    for (QLabel* l : {form.lblSerialNum, form.lblFw, form.lblHard, form.lblFirm})
        QVERIFY(l->isHidden());
}
