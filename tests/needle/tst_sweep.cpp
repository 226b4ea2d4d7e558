// "SWEEP", "CYCLE" and the "Calibration" options: the frames of both ramps and
// their pace, the slider read at every step, the ways a sweep ends, the walk
// through the scale points of each face, and the mode command with the
// current point; CYCLE and calibration nested between two sweep positions.
#include "NeedleRig.h"

#include <QRadioButton>
#include <QSlider>
#include <QTest>
#include <QToolButton>

constexpr double Tick = 0.054;
constexpr double Pause = 18 * Tick;  // SDelay(1)
// Two timers reading the monotonic clock may differ by a rounding of the
// nanosecond count; nothing more is allowed below a bound.
constexpr double Rounding = 1e-6;

static int PositionOf(const QByteArray& frame) { return frame.mid(1, 3).toInt(nullptr, 16); }

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
        meter.At[1] = [&] {
            statesWhileSweeping = !f.cmdSweep->isEnabled() && f.cmdLeft->isEnabled() && f.cmdRight->isEnabled() &&
                                  f.SldSpeed->isEnabled() && f.SldSpeed->value() == 54;
        };
        // The whole up ramp and two steps down at 54, two more at 100.
        meter.At[78] = [&] { f.SldSpeed->setValue(100); };
        meter.At[80] = [&] { f.cmdLeft->click(); };
        Guard(f);
        const double clicked = rig.comm.Now();
        f.cmdSweep->click();

        // Up: 0, 54, ... 4050, 76 positions; down from 4095; LEFT's stop last.
        const Frames frames = rig.comm.Frames();
        QCOMPARE(frames.size(), 81);
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
        meter.At[2] = [&] { f.cmdLeft->click(); };
        Guard(f);
        const double clicked = rig.comm.Now();
        f.cmdSweep->click();
        QVERIFY(enabledAtSecondClick);  // the button looks as it always did
        // One sweep, paced from the first click; no second one after LEFT.
        QCOMPARE(rig.comm.Frames(), (Frames{"N000\r", "N036\r", "N0C6\r"}));
        QVERIFY(rig.comm.FrameTimes()[0] - clicked < Pause + Timing::Slack());
        // A later click sweeps again; Disconnect ends it, "I" the last frame,
        // and nothing enables the needle buttons again.
        meter.At[6] = [&] { f.cmdConnect->click(); };
        f.cmdSweep->click();
        QCOMPARE(rig.comm.Frames().mid(3), (Frames{"N000\r", "N036\r", "N06C\r", "I\r"}));
        QCOMPARE(rig.comm.DroppedWrites(), 0);
        QVERIFY(!f.cmdSweep->isEnabled() && !f.cmdLeft->isEnabled() && !f.cmdRight->isEnabled());
    }

    void disconnectDuringThePauseStartsNothing()
    {
        TestRig rig;
        frmMain& f = rig.Make();
        Connect(rig);
        QTimer::singleShot(int(Pause * 300), &f, [&] { f.cmdConnect->click(); });
        f.cmdSweep->click();
        QCOMPARE(rig.comm.Frames(), Frames{"I\r"});
        QVERIFY(!f.cmdSweep->isEnabled() && !f.cmdLeft->isEnabled() && !f.cmdRight->isEnabled());
    }

    void cycleAndCalibrationBetweenPositionsThenExit()
    {
        TestRig rig;
        frmMain& f = rig.Make();
        FrameScript& meter = Connect(rig);
        f.show();
        f.CycleIndex = 1;
        meter.At[2] = [&] { f.cmdCycle->click(); };
        meter.At[4] = [&] { f.optLUT->click(); };
        meter.At[7] = [&] { f.cmdExit->click(); };
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

    void formatPosition()
    {
        TestRig rig;
        frmMain& f = rig.Make();
        const std::pair<int16_t, QString> cases[]{{0, "000"}, {10, "00A"}, {255, "0FF"}, {4095, "FFF"}, {4096, "1000"}};
        for (const auto& [position, text] : cases)  // three digits at least, none cut
            QCOMPARE(f.Format_Position(position), text);
    }

    void cycle_data()
    {
        QTest::addColumn<int>("tradRow");  // where CYCLE stands on TRAD before SIMPLE is chosen
        QTest::addColumn<bool>("simple");
        QTest::addColumn<Frames>("walk");  // the rows after that, round to where it started
        const Frames simple{"N0C6\r", "N295\r", "N463\r", "N632\r", "N800\r", "N9CF\r",
                            "NB9D\r", "ND6C\r", "NF3A\r", "NFFF\r", "N000\r"};
        const Frames trad{"N0C6\r", "N238\r", "N3AA\r", "N51C\r", "N68E\r", "N800\r", "N972\r",
                          "NAE4\r", "NC56\r", "NDC8\r", "NF3A\r", "NFFF\r", "N000\r"};
        QTest::newRow("TRAD") << 0 << false << trad;
        QTest::newRow("SIMPLE") << 0 << true << simple;
        // SIMPLE has no rows 11 and 12: the next row wraps round to 1 or 2.
        QTest::newRow("TRAD row 11, then SIMPLE") << 11 << true << simple;
        QTest::newRow("TRAD row 12, then SIMPLE") << 12 << true << simple.mid(1) + simple.mid(0, 1);
    }
    void cycle()
    {
        QFETCH(int, tradRow);
        QFETCH(bool, simple);
        QFETCH(Frames, walk);
        TestRig rig;
        frmMain& f = rig.Make();
        Connect(rig);
        for (int i = 0; i < tradRow; ++i)
            f.cmdCycle->click();
        if (simple)
            f.optSimple->click();  // keeps CycleIndex
        for (int round = 0; round < 2; ++round) {  // and round again
            rig.comm.ClearLog();
            for (int i = 1; i <= walk.size(); ++i) {
                f.cmdCycle->click();
                QCOMPARE(f.CycleIndex, int16_t((tradRow + i) % walk.size()));
            }
            QCOMPARE(rig.comm.Frames(), walk);
        }
    }

    void calibration_data()
    {
        QTest::addColumn<bool>("open");     // port open, meter connected
        QTest::addColumn<bool>("loading");  // as while the window loads
        QTest::addColumn<int>("cycles");
        QTest::addColumn<bool>("left");
        QTest::addColumn<bool>("on");
        QTest::addColumn<Frames>("frames");
        QTest::newRow("ON after connecting") << true << false << 0 << false << true << Frames{"L\r", "N000\r"};
        QTest::newRow("OFF after one CYCLE") << true << false << 1 << false << false << Frames{"S\r", "N0C6\r"};
        QTest::newRow("ON after LEFT at row 5") << true << false << 5 << true << true << Frames{"L\r", "N68E\r"};
        QTest::newRow("ON, port closed") << false << false << 6 << false << true << Frames{};
        QTest::newRow("OFF, port closed") << false << false << 6 << false << false << Frames{};
        QTest::newRow("ON, window loading") << true << true << 0 << false << true << Frames{};
    }
    void calibration()
    {
        QFETCH(bool, open);
        QFETCH(bool, loading);
        QFETCH(int, cycles);
        QFETCH(bool, left);
        QFETCH(bool, on);
        QFETCH(Frames, frames);
        TestRig rig;
        frmMain& f = rig.Make();
        if (open)
            Connect(rig);
        for (int i = 0; i < cycles; ++i)
            f.cmdCycle->click();
        if (left)
            f.cmdLeft->click();
        (on ? f.optLIN : f.optLUT)->click();
        const auto ends = f.NeedleEnds;
        QCOMPARE(ends.Y2 > 0, cycles > 0 || left);  // CYCLE draws the needle, port open or not
        const qsizetype before = rig.comm.Frames().size();
        qzGlobals::FormLoading = loading;
        (on ? f.optLUT : f.optLIN)->click();
        QCOMPARE(rig.comm.Frames().mid(before), frames);
        QCOMPARE(rig.comm.DroppedWrites(), 0);
        // The drawn needle shows positions, not the calibrated deflection.
        QCOMPARE(f.NeedleEnds.X2, ends.X2);
        QCOMPARE(f.NeedleEnds.Y2, ends.Y2);
    }
};

QTEST_MAIN(TestSweep)
#include "tst_sweep.moc"
