// "SWEEP": the frames of both ramps and their pace, the slider read at every
// step, and the ways a sweep ends (LEFT, Disconnect, Exit), with CYCLE and the
// calibration options nested in between two sweep positions.
#include "DirectConnection.h"
#include "FrameScript.h"
#include "TestRig.h"
#include "Timing.h"

#include "link/CommControl.h"

#include <QPushButton>
#include <QRadioButton>
#include <QSlider>
#include <QTest>
#include <QTimer>
#include <QToolButton>

namespace {

constexpr double Tick = 0.054;
constexpr double Pause = 18 * Tick;  // SDelay(1)
// Two readings of the monotonic clock through different timers can differ by
// a rounding of the nanosecond count; nothing more is allowed below a bound.
constexpr double Rounding = 1e-6;

int PositionOf(const QByteArray& frame)
{
    // "N" + three hex digits + CR
    bool ok = false;
    const int value = frame.mid(1, frame.size() - 2).toInt(&ok, 16);
    return ok && frame.startsWith('N') && frame.endsWith('\r') ? value : -1;
}

// Stops a sweep that a broken stop path would leave running for ever, and
// says so, so a fault fails the test instead of hanging it.
class Watchdog {
public:
    Watchdog(frmMain& form, double seconds)
    {
        QTimer::singleShot(static_cast<int>(seconds * 1000 * Timing::Scale()), &m_context, [this, &form] {
            fired = true;
            form.StopSweep = true;
            qzGlobals::QuitRequested = true;
        });
    }
    bool fired = false;

private:
    QObject m_context;
};

}  // namespace

class TestSweep : public QObject {
    Q_OBJECT

private slots:
    void bothRampsAt54ThenLeftEndsIt()
    {
        TestRig rig;
        frmMain& f = rig.Make();
        auto meter = std::make_shared<FrameScript>();
        ConnectDirectly(rig, meter);
        f.SldSpeed->setValue(20);  // every sweep starts at 54 whatever was set

        bool sweepEnabledInPause = false;
        QTimer::singleShot(static_cast<int>(Pause * 500), [&] { sweepEnabledInPause = f.cmdSweep->isEnabled(); });
        struct {
            bool sweep = true, left = false, right = false, slider = false;
            int speed = 0;
        } during;
        meter->At(1, [&] {
            during = {f.cmdSweep->isEnabled(), f.cmdLeft->isEnabled(), f.cmdRight->isEnabled(),
                      f.SldSpeed->isEnabled(), f.SldSpeed->value()};
        });
        // One whole up ramp, one whole down ramp, two steps into the next.
        meter->At(154, [&] { f.cmdLeft->click(); });

        Watchdog dog(f, 30);
        const double clicked = rig.comm.Now();
        f.cmdSweep->click();
        QVERIFY(!dog.fired);

        const QList<QByteArray> frames = rig.comm.Frames();
        const QList<double> times = rig.comm.FrameTimes();
        QCOMPARE(frames.size(), 155);

        // Up ramp: 0, 54, ... 4050; 76 positions.
        QCOMPARE(frames[0], QByteArray("N000\r"));
        QCOMPARE(frames[1], QByteArray("N036\r"));
        QCOMPARE(frames[2], QByteArray("N06C\r"));
        QCOMPARE(frames[75], QByteArray("NFD2\r"));
        for (int i = 1; i < 76; ++i)
            QCOMPARE(PositionOf(frames[i]) - PositionOf(frames[i - 1]), 54);
        // Down ramp: 4095, 4041, ... 45; 76 positions.
        QCOMPARE(frames[76], QByteArray("NFFF\r"));
        QCOMPARE(frames[77], QByteArray("NFC9\r"));
        QCOMPARE(frames[151], QByteArray("N02D\r"));
        for (int i = 77; i < 152; ++i)
            QCOMPARE(PositionOf(frames[i - 1]) - PositionOf(frames[i]), 54);
        // Then up again, until LEFT's stop command, which is the last frame.
        QCOMPARE(frames[152], QByteArray("N000\r"));
        QCOMPARE(frames[153], QByteArray("N036\r"));
        QCOMPARE(frames[154], QByteArray("N0C6\r"));

        // Pace: the pause first, then at least one tick per step, never less.
        QVERIFY2(times[0] - clicked >= Pause - Rounding, qPrintable(QString::number(times[0] - clicked)));
        double worst = 0;
        for (int i = 1; i < 154; ++i) {
            const double interval = times[i] - times[i - 1];
            QVERIFY2(interval >= Tick - Rounding, qPrintable(QStringLiteral("step %1: %2 s").arg(i).arg(interval)));
            worst = std::max(worst, interval);
        }
        const double upRamp = times[76] - times[0];
        const double downRamp = times[152] - times[76];
        QVERIFY(upRamp >= 76 * Tick - Rounding);
        QVERIFY(downRamp >= 76 * Tick - Rounding);
        // Mean step within a loaded machine's slack of one tick.
        QVERIFY2(upRamp / 76 <= Tick + Timing::Slack(), qPrintable(QString::number(upRamp)));
        QVERIFY2(downRamp / 76 <= Tick + Timing::Slack(), qPrintable(QString::number(downRamp)));
        QVERIFY2(worst <= Tick + Timing::Slack(0.5), qPrintable(QString::number(worst)));
        // LEFT waits its second before the stop command.
        QVERIFY(times[154] - times[153] >= Pause - Rounding);

        QVERIFY(sweepEnabledInPause);
        QVERIFY(!during.sweep);
        QVERIFY(during.left);
        QVERIFY(during.right);
        QVERIFY(during.slider);
        QCOMPARE(during.speed, 54);
        // As LEFT leaves them.
        QVERIFY(f.cmdSweep->isEnabled());
        QVERIFY(!f.cmdLeft->isEnabled());
        QVERIFY(f.cmdRight->isEnabled());
        QVERIFY(!f.SldSpeed->isEnabled());
    }

    void sliderAt100MidSweepChangesThePaceAtOnce()
    {
        TestRig rig;
        frmMain& f = rig.Make();
        auto meter = std::make_shared<FrameScript>();
        ConnectDirectly(rig, meter);
        meter->At(4, [&] { f.SldSpeed->setValue(100); });
        meter->At(7, [&] { f.cmdRight->click(); });

        Watchdog dog(f, 20);
        f.cmdSweep->click();
        QVERIFY(!dog.fired);

        // 0, 54, 108, 162, then 100 apart: 262, 362, 462; RIGHT's stop last.
        QCOMPARE(rig.comm.Frames(), (QList<QByteArray>{"N000\r", "N036\r", "N06C\r", "N0A2\r", "N106\r", "N16A\r",
                                                        "N1CE\r", "NF3A\r"}));
        const QList<double> times = rig.comm.FrameTimes();
        for (int i = 1; i < 7; ++i)
            QVERIFY(times[i] - times[i - 1] >= Tick - Rounding);
        QCOMPARE(f.SldSpeed->value(), 100);
        QVERIFY(f.cmdSweep->isEnabled());
        QVERIFY(f.cmdLeft->isEnabled());
        QVERIFY(!f.cmdRight->isEnabled());
    }

    void secondSweepClickDuringThePauseIsIgnored()
    {
        TestRig rig;
        frmMain& f = rig.Make();
        auto meter = std::make_shared<FrameScript>();
        ConnectDirectly(rig, meter);

        bool enabledAtSecondClick = false;
        double secondClick = 0;
        QTimer::singleShot(static_cast<int>(Pause * 400), [&] {
            enabledAtSecondClick = f.cmdSweep->isEnabled();
            secondClick = rig.comm.Now();
            f.cmdSweep->click();
        });
        meter->At(2, [&] { f.cmdLeft->click(); });

        Watchdog dog(f, 20);
        const double firstClick = rig.comm.Now();
        f.cmdSweep->click();
        QVERIFY(!dog.fired);
        QVERIFY(enabledAtSecondClick);  // the button looks as it always did

        // Give a second sweep, had one been started, time to show itself.
        QTest::qWait(static_cast<int>(Pause * 500));
        QCOMPARE(rig.comm.Frames(), (QList<QByteArray>{"N000\r", "N036\r", "N0C6\r"}));
        const QList<double> times = rig.comm.FrameTimes();
        // The one sweep is paced from the first click, not from the second.
        QVERIFY(times[0] - firstClick >= Pause - Rounding);
        QVERIFY2(times[0] < secondClick + Pause, qPrintable(QString::number(times[0] - secondClick)));
        QVERIFY(f.cmdSweep->isEnabled());
        QVERIFY(!f.cmdLeft->isEnabled());

        // And a later SWEEP click starts a sweep again.
        meter->At(4, [&] { f.cmdLeft->click(); });
        f.cmdSweep->click();
        QCOMPARE(rig.comm.Frames().mid(3), (QList<QByteArray>{"N000\r", "N0C6\r"}));
    }

    void disconnectDuringSweepIsTheLastFrame()
    {
        TestRig rig;
        frmMain& f = rig.Make();
        auto meter = std::make_shared<FrameScript>();
        ConnectDirectly(rig, meter);
        meter->At(3, [&] { f.cmdConnect->click(); });

        Watchdog dog(f, 20);
        f.cmdSweep->click();
        QVERIFY(!dog.fired);
        QTest::qWait(static_cast<int>(Tick * 3000));

        QCOMPARE(rig.comm.Frames(), (QList<QByteArray>{"N000\r", "N036\r", "N06C\r", "I\r"}));
        QCOMPARE(rig.comm.DroppedWrites(), 0);
        QVERIFY(!rig.comm.PortOpen());
        QCOMPARE(f.cmdConnect->text(), QStringLiteral("Connect"));
        // The buttons stay as the Disconnect left them.
        QVERIFY(!f.cmdSweep->isEnabled());
        QVERIFY(!f.cmdLeft->isEnabled());
        QVERIFY(!f.cmdRight->isEnabled());
    }

    void disconnectDuringThePauseStartsNothing()
    {
        TestRig rig;
        frmMain& f = rig.Make();
        auto meter = std::make_shared<FrameScript>();
        ConnectDirectly(rig, meter);
        const bool sliderBefore = f.SldSpeed->isEnabled();
        QTimer::singleShot(static_cast<int>(Pause * 300), [&] { f.cmdConnect->click(); });

        f.cmdSweep->click();

        QCOMPARE(rig.comm.Frames(), (QList<QByteArray>{"I\r"}));
        QCOMPARE(rig.comm.DroppedWrites(), 0);
        // Not re-enabled behind the Disconnect's back.
        QVERIFY(!f.cmdSweep->isEnabled());
        QVERIFY(!f.cmdLeft->isEnabled());
        QVERIFY(!f.cmdRight->isEnabled());
        QCOMPARE(f.SldSpeed->isEnabled(), sliderBefore);
    }

    void exitDuringSweepStopsItAndTheProgramEnds()
    {
        TestRig rig;
        frmMain& f = rig.Make();
        auto meter = std::make_shared<FrameScript>();
        ConnectDirectly(rig, meter);
        f.show();
        meter->At(3, [&] { f.cmdExit->click(); });
        QTimer::singleShot(0, [&] { f.cmdSweep->click(); });

        Watchdog dog(f, 20);
        f.Form_Activate();  // the main loop: returns once the program is to end
        QVERIFY(!dog.fired);

        // No position after N06C: the sweep stopped before its next step.
        QCOMPARE(rig.comm.Frames(), (QList<QByteArray>{"N000\r", "N036\r", "N06C\r", "R\r", "U\r"}));
        QVERIFY(qzGlobals::QuitRequested);
        QVERIFY(!rig.comm.PortOpen());
    }

    void cycleAndCalibrationLandBetweenTwoSweepPositions()
    {
        TestRig rig;
        frmMain& f = rig.Make();
        auto meter = std::make_shared<FrameScript>();
        ConnectDirectly(rig, meter);
        f.CycleIndex = 1;
        meter->At(2, [&] { f.cmdCycle->click(); });
        meter->At(4, [&] { f.optLUT->click(); });
        meter->At(7, [&] { f.cmdLeft->click(); });

        Watchdog dog(f, 20);
        f.cmdSweep->click();
        QVERIFY(!dog.fired);

        // CYCLE's row 2 (568) after N036, the mode and that point after N06C,
        // and the sweep going on from where it was each time.
        QCOMPARE(rig.comm.Frames(), (QList<QByteArray>{"N000\r", "N036\r", "N238\r", "N06C\r", "L\r", "N238\r",
                                                        "N0A2\r", "N0C6\r"}));
        QCOMPARE(f.CycleIndex, int16_t(2));
        QVERIFY(f.optLUT->isChecked());
        const QList<double> times = rig.comm.FrameTimes();
        QVERIFY(times[3] - times[1] >= Tick - Rounding);
        QVERIFY(times[6] - times[3] >= Tick - Rounding);
    }
};

QTEST_MAIN(TestSweep)
#include "tst_sweep.moc"
