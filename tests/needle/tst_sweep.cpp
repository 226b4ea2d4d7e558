// "SWEEP": the frames of both ramps and their pace, the slider read at every
// step, and the ways a sweep ends (LEFT, Disconnect, Exit), with CYCLE and the
// calibration options nested in between two sweep positions.
#include "NeedleRig.h"

#include <QRadioButton>
#include <QSlider>
#include <QTest>
#include <QToolButton>

namespace {

constexpr double Tick = 0.054;
constexpr double Pause = 18 * Tick;  // SDelay(1)
// Two timers reading the monotonic clock may differ by a rounding of the
// nanosecond count; nothing more is allowed below a bound.
constexpr double Rounding = 1e-6;

int PositionOf(const QByteArray& frame) { return frame.mid(1, 3).toInt(nullptr, 16); }

}  // namespace

class TestSweep : public QObject {
    Q_OBJECT
private slots:
    void rampsAtTheSlidersPaceUntilLeft()
    {
        TestRig rig;
        frmMain& f = rig.Make();
        FrameScript& meter = Connect(rig);
        f.SldSpeed->setValue(20);  // every sweep starts at 54 whatever was set
        bool sweepEnabledInPause = false, statesWhileSweeping = false;
        QTimer::singleShot(int(Pause * 500), &f, [&] { sweepEnabledInPause = f.cmdSweep->isEnabled(); });
        meter.At(1, [&] {
            statesWhileSweeping = !f.cmdSweep->isEnabled() && f.cmdLeft->isEnabled() && f.cmdRight->isEnabled() &&
                                  f.SldSpeed->isEnabled() && f.SldSpeed->value() == 54;
        });
        // The whole up ramp and two steps down at 54, two more at 100.
        meter.At(78, [&] { f.SldSpeed->setValue(100); });
        meter.At(80, [&] { f.cmdLeft->click(); });
        Guard(f);
        const double clicked = rig.comm.Now();
        f.cmdSweep->click();

        const Frames frames = rig.comm.Frames();
        QCOMPARE(frames.size(), 81);
        // Up: 0, 54, ... 4050, 76 positions; down from 4095; LEFT's stop last.
        QCOMPARE(frames.mid(0, 3), (Frames{"N000\r", "N036\r", "N06C\r"}));
        QCOMPARE(frames[75], QByteArray("NFD2\r"));
        for (int i = 1; i < 76; ++i)
            QCOMPARE(PositionOf(frames[i]) - PositionOf(frames[i - 1]), 54);
        QCOMPARE(frames.mid(76), (Frames{"NFFF\r", "NFC9\r", "NF65\r", "NF01\r", "N0C6\r"}));

        // The pause first, then at least a tick a step, a tick on average.
        const QList<double> times = rig.comm.FrameTimes();
        QVERIFY2(times[0] - clicked >= Pause - Rounding, qPrintable(QString::number(times[0] - clicked)));
        for (int i = 1; i < 80; ++i)
            QVERIFY2(times[i] - times[i - 1] >= Tick - Rounding, qPrintable(QString::number(i)));
        QVERIFY2((times[76] - times[0]) / 76 <= Tick + Timing::Slack(), qPrintable(QString::number(times[76])));
        QVERIFY(times[80] - times[79] >= Pause - Rounding);

        QVERIFY(sweepEnabledInPause);
        QVERIFY(statesWhileSweeping);
        QVERIFY(f.cmdSweep->isEnabled() && !f.cmdLeft->isEnabled() && f.cmdRight->isEnabled());
        QVERIFY(!f.SldSpeed->isEnabled());
    }

    void secondClickInThePauseIsIgnored()
    {
        TestRig rig;
        frmMain& f = rig.Make();
        FrameScript& meter = Connect(rig);
        bool enabledAtSecondClick = false;
        QTimer::singleShot(int(Pause * 400), &f, [&] {
            enabledAtSecondClick = f.cmdSweep->isEnabled();
            f.cmdSweep->click();
        });
        meter.At(2, [&] { f.cmdLeft->click(); });
        Guard(f);
        const double clicked = rig.comm.Now();
        f.cmdSweep->click();
        QVERIFY(enabledAtSecondClick);  // the button looks as it always did
        // One sweep, paced from the first click; no second one after LEFT.
        QCOMPARE(rig.comm.Frames(), (Frames{"N000\r", "N036\r", "N0C6\r"}));
        QVERIFY(rig.comm.FrameTimes()[0] - clicked < Pause + Timing::Slack());

        // A later SWEEP starts again; Disconnect during it is the last frame.
        meter.At(5, [&] { f.cmdConnect->click(); });
        f.cmdSweep->click();
        QCOMPARE(rig.comm.Frames().mid(3), (Frames{"N000\r", "N036\r", "I\r"}));
        QCOMPARE(rig.comm.DroppedWrites(), 0);
        QVERIFY(!f.cmdSweep->isEnabled() && !f.cmdLeft->isEnabled() && !f.cmdRight->isEnabled());
    }

    void disconnectDuringThePauseStartsNothing()
    {
        TestRig rig;
        frmMain& f = rig.Make();
        Connect(rig);
        const bool slider = f.SldSpeed->isEnabled();
        QTimer::singleShot(int(Pause * 300), &f, [&] { f.cmdConnect->click(); });
        f.cmdSweep->click();
        QCOMPARE(rig.comm.Frames(), Frames{"I\r"});
        QVERIFY(!f.cmdSweep->isEnabled() && !f.cmdLeft->isEnabled() && !f.cmdRight->isEnabled());
        QCOMPARE(f.SldSpeed->isEnabled(), slider);
    }

    void cycleAndCalibrationBetweenPositionsThenExit()
    {
        TestRig rig;
        frmMain& f = rig.Make();
        FrameScript& meter = Connect(rig);
        f.show();
        f.CycleIndex = 1;
        meter.At(2, [&] { f.cmdCycle->click(); });
        meter.At(4, [&] { f.optLUT->click(); });
        meter.At(7, [&] { f.cmdExit->click(); });
        QTimer::singleShot(0, &f, [&] { f.cmdSweep->click(); });
        Guard(f);
        f.Form_Activate();  // the main loop: returns once the program is to end

        // CYCLE's row 2 after N036, the mode and that point after N06C, the
        // sweep going on each time; after Exit no further position.
        QCOMPARE(rig.comm.Frames(), (Frames{"N000\r", "N036\r", "N238\r", "N06C\r", "L\r", "N238\r", "N0A2\r",
                                            "R\r", "U\r"}));
        const QList<double> times = rig.comm.FrameTimes();
        QVERIFY(times[3] - times[1] >= Tick - Rounding);
        QVERIFY(times[6] - times[3] >= Tick - Rounding);
        QVERIFY(!rig.comm.PortOpen());
    }
};

QTEST_MAIN(TestSweep)
#include "tst_sweep.moc"
