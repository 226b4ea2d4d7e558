// "CYCLE" and Format_Position: the walk through the scale points of each face,
// its wrap, a face change in between, and CYCLE with no port open.
#include "DirectConnection.h"
#include "FrameScript.h"
#include "TestRig.h"

#include "link/CommControl.h"

#include <QPushButton>
#include <QRadioButton>
#include <QSlider>
#include <QTest>

namespace {

// The frames of one whole walk, from row 1 round to row 0, for each face.
const QList<QByteArray> TradWalk{"N0C6\r", "N238\r", "N3AA\r", "N51C\r", "N68E\r", "N800\r", "N972\r",
                                 "NAE4\r", "NC56\r", "NDC8\r", "NF3A\r", "NFFF\r", "N000\r"};
const QList<QByteArray> SimpleWalk{"N0C6\r", "N295\r", "N463\r", "N632\r", "N800\r", "N9CF\r",
                                   "NB9D\r", "ND6C\r", "NF3A\r", "NFFF\r", "N000\r"};

struct ButtonStates {
    bool sweep, left, right, slider, connect, cycle;
    bool operator==(const ButtonStates&) const = default;
};

ButtonStates StatesOf(const frmMain& f)
{
    return {f.cmdSweep->isEnabled(),  f.cmdLeft->isEnabled(),    f.cmdRight->isEnabled(),
            f.SldSpeed->isEnabled(),  f.cmdConnect->isEnabled(), f.cmdCycle->isEnabled()};
}

}  // namespace

class TestCycle : public QObject {
    Q_OBJECT

private slots:
    void formatPosition_data()
    {
        QTest::addColumn<int>("position");
        QTest::addColumn<QString>("text");
        QTest::newRow("zero") << 0 << "000";
        QTest::newRow("one digit") << 10 << "00A";
        QTest::newRow("two digits") << 255 << "0FF";
        QTest::newRow("left stop") << 198 << "0C6";
        QTest::newRow("centre") << 2048 << "800";
        QTest::newRow("right stop") << 3898 << "F3A";
        QTest::newRow("top") << 4095 << "FFF";
        QTest::newRow("past the top is not cut") << 4096 << "1000";
        QTest::newRow("largest") << 32767 << "7FFF";
    }
    void formatPosition()
    {
        QFETCH(int, position);
        QFETCH(QString, text);
        TestRig rig;
        frmMain& f = rig.Make();
        const int16_t p = static_cast<int16_t>(position);
        QCOMPARE(f.Format_Position(p), text);
        QCOMPARE(p, static_cast<int16_t>(position));
    }

    void tradWalkAndWrap()
    {
        TestRig rig;
        frmMain& f = rig.Make();
        ConnectDirectly(rig);
        QCOMPARE(f.CycleIndex, int16_t(0));
        for (int round = 0; round < 2; ++round) {
            rig.comm.ClearLog();
            for (int i = 1; i <= 13; ++i) {
                f.cmdCycle->click();
                QCOMPARE(f.CycleIndex, int16_t(i % 13));
            }
            QCOMPARE(rig.comm.Frames(), TradWalk);
        }
    }

    void simpleWalkAndWrap()
    {
        TestRig rig;
        frmMain& f = rig.Make();
        ConnectDirectly(rig);
        f.optSimple->click();
        QCOMPARE(qzGlobals::ScaleType, 1);
        for (int round = 0; round < 2; ++round) {
            rig.comm.ClearLog();
            for (int i = 1; i <= 11; ++i) {
                f.cmdCycle->click();
                QCOMPARE(f.CycleIndex, int16_t(i % 11));
            }
            QCOMPARE(rig.comm.Frames(), SimpleWalk);
        }
    }

    void tradToSimpleFromRow11Or12_data()
    {
        QTest::addColumn<int>("tradClicks");
        QTest::addColumn<int>("simpleRow");
        QTest::addColumn<QByteArray>("frame");
        QTest::newRow("row 11") << 11 << 1 << QByteArray("N0C6\r");
        QTest::newRow("row 12") << 12 << 2 << QByteArray("N295\r");
    }
    void tradToSimpleFromRow11Or12()
    {
        QFETCH(int, tradClicks);
        QFETCH(int, simpleRow);
        QFETCH(QByteArray, frame);
        TestRig rig;
        frmMain& f = rig.Make();
        ConnectDirectly(rig);
        for (int i = 0; i < tradClicks; ++i)
            f.cmdCycle->click();
        QCOMPARE(f.CycleIndex, int16_t(tradClicks));

        f.optSimple->click();  // the face change keeps CycleIndex
        QCOMPARE(qzGlobals::ScaleType, 1);
        QCOMPARE(f.CycleIndex, int16_t(tradClicks));
        rig.comm.ClearLog();
        f.cmdCycle->click();
        QCOMPARE(f.CycleIndex, int16_t(simpleRow));
        QCOMPARE(rig.comm.Frames(), (QList<QByteArray>{frame}));
    }

    void portClosedOnlyMovesTheDrawnNeedle()
    {
        TestRig rig;
        frmMain& f = rig.Make();
        f.CycleIndex = 5;  // next is row 6, the upright centre
        f.cmdCycle->click();
        QCOMPARE(f.CycleIndex, int16_t(6));
        QVERIFY(rig.comm.Events().empty());  // not even a write to the closed port
        QCOMPARE(f.NeedleEnds.X1, 0.0f);
        QCOMPARE(f.NeedleEnds.Y1, 500.0f);
        QCOMPARE(f.NeedleEnds.X2, 0.0f);
        QCOMPARE(f.NeedleEnds.Y2, 1000.0f);

        f.cmdCycle->click();  // row 7, right of centre
        QVERIFY(rig.comm.Events().empty());
        QVERIFY(f.NeedleEnds.X2 > 0);
    }

    void drawnNeedleFollowsWithThePortOpen()
    {
        TestRig rig;
        frmMain& f = rig.Make();
        ConnectDirectly(rig);
        f.cmdCycle->click();  // row 1, the left stop
        QCOMPARE(rig.comm.Frames(), (QList<QByteArray>{"N0C6\r"}));
        QVERIFY(qAbs(f.NeedleEnds.X2 - (-819.13f)) < 0.01f);
        QVERIFY(qAbs(f.NeedleEnds.Y2 - 573.61f) < 0.01f);
    }

    void unknownFaceDoesNothing()
    {
        TestRig rig;
        frmMain& f = rig.Make();
        ConnectDirectly(rig);
        f.CycleIndex = 3;
        qzGlobals::ScaleType = 2;
        const auto ends = f.NeedleEnds;
        rig.comm.ClearLog();
        f.cmdCycle->click();
        QCOMPARE(f.CycleIndex, int16_t(3));
        QVERIFY(rig.comm.Events().empty());
        QCOMPARE(f.NeedleEnds.X2, ends.X2);
        QCOMPARE(f.NeedleEnds.Y2, ends.Y2);
    }

    void cycleChangesNoButtonAndLeavesStopSweep()
    {
        TestRig rig;
        frmMain& f = rig.Make();
        ConnectDirectly(rig);
        f.cmdLeft->setEnabled(false);
        for (bool stop : {true, false}) {
            f.StopSweep = stop;
            const ButtonStates before = StatesOf(f);
            f.cmdCycle->click();
            QVERIFY(StatesOf(f) == before);
            QCOMPARE(f.StopSweep, stop);
        }
        QCOMPARE(f.CycleIndex, int16_t(2));
    }
};

QTEST_MAIN(TestCycle)
#include "tst_cycle.moc"
