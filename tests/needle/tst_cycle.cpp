// "CYCLE", Format_Position and the "Calibration" options: the walk through the
// scale points of each face, its wrap, a face change in between, the mode
// command with the current point, and silence with no port open or at start-up.
#include "NeedleRig.h"

#include <QRadioButton>
#include <QTest>

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
        QTest::newRow("top") << 4095 << "FFF";
        QTest::newRow("past the top, not cut") << 4096 << "1000";
    }
    void formatPosition()
    {
        QFETCH(int, position);
        QFETCH(QString, text);
        TestRig rig;
        QCOMPARE(rig.Make().Format_Position(int16_t(position)), text);
    }

    void walk_data()
    {
        QTest::addColumn<int>("style");
        QTest::addColumn<Frames>("walk");  // from row 1 round to row 0
        QTest::newRow("TRAD") << 0 << Frames{"N0C6\r", "N238\r", "N3AA\r", "N51C\r", "N68E\r", "N800\r", "N972\r",
                                             "NAE4\r", "NC56\r", "NDC8\r", "NF3A\r", "NFFF\r", "N000\r"};
        QTest::newRow("SIMPLE") << 1 << Frames{"N0C6\r", "N295\r", "N463\r", "N632\r", "N800\r", "N9CF\r",
                                               "NB9D\r", "ND6C\r", "NF3A\r", "NFFF\r", "N000\r"};
    }
    void walk()
    {
        QFETCH(int, style);
        QFETCH(Frames, walk);
        TestRig rig;
        frmMain& f = rig.Make();
        Connect(rig);
        if (style == 1)
            f.optSimple->click();
        for (int round = 0; round < 2; ++round) {
            rig.comm.ClearLog();
            for (int i = 1; i <= walk.size(); ++i) {
                f.cmdCycle->click();
                QCOMPARE(f.CycleIndex, int16_t(i % walk.size()));
            }
            QCOMPARE(rig.comm.Frames(), walk);
        }
    }

    void tradToSimpleFromRow11Or12_data()
    {
        QTest::addColumn<int>("row");
        QTest::addColumn<QByteArray>("next");
        QTest::newRow("row 11") << 11 << QByteArray("N0C6\r");
        QTest::newRow("row 12") << 12 << QByteArray("N295\r");
    }
    void tradToSimpleFromRow11Or12()
    {
        QFETCH(int, row);
        QFETCH(QByteArray, next);
        TestRig rig;
        frmMain& f = rig.Make();
        Connect(rig);
        for (int i = 0; i < row; ++i)
            f.cmdCycle->click();
        f.optSimple->click();  // keeps CycleIndex: SIMPLE has no such row, and its column holds 0 there
        rig.comm.ClearLog();
        f.optLUT->click();
        f.cmdCycle->click();
        QCOMPARE(rig.comm.Frames(), (Frames{"L\r", "N000\r", next}));
        QCOMPARE(f.CycleIndex, int16_t(row - 10));
    }

    void calibration_data()
    {
        QTest::addColumn<int>("cycles");
        QTest::addColumn<bool>("left");
        QTest::addColumn<bool>("on");
        QTest::addColumn<Frames>("frames");
        QTest::newRow("ON after connecting") << 0 << false << true << Frames{"L\r", "N000\r"};
        QTest::newRow("OFF after one CYCLE") << 1 << false << false << Frames{"S\r", "N0C6\r"};
        QTest::newRow("ON after LEFT at row 5") << 5 << true << true << Frames{"L\r", "N68E\r"};
    }
    void calibration()
    {
        QFETCH(int, cycles);
        QFETCH(bool, left);
        QFETCH(bool, on);
        QFETCH(Frames, frames);
        TestRig rig;
        frmMain& f = rig.Make();
        Connect(rig);
        for (int i = 0; i < cycles; ++i)
            f.cmdCycle->click();
        if (left)
            f.cmdLeft->click();
        (on ? f.optLIN : f.optLUT)->click();
        const auto ends = f.NeedleEnds;
        rig.comm.ClearLog();
        (on ? f.optLUT : f.optLIN)->click();
        QCOMPARE(rig.comm.Frames(), frames);
        // The drawn needle shows positions, not the calibrated deflection.
        QCOMPARE(f.NeedleEnds.X2, ends.X2);
        QCOMPARE(f.NeedleEnds.Y2, ends.Y2);
    }

    void nothingSentWithThePortClosedOrAtStartUp()
    {
        {
            TestRig rig;
            rig.comm.SetPort(1, MemoryCommControl::PortState::Available);
            rig.comm.setPortOpen(true);
            rig.Make();  // selects OFF and TRAD itself
            QVERIFY(rig.comm.Frames().isEmpty());
        }
        TestRig rig;
        frmMain& f = rig.Make();
        f.CycleIndex = 5;
        f.cmdCycle->click();  // row 6: the centre, drawn all the same
        QCOMPARE(f.CycleIndex, int16_t(6));
        QCOMPARE(f.NeedleEnds.X2, 0.0f);
        QCOMPARE(f.NeedleEnds.Y2, 1000.0f);
        f.optLUT->click();
        f.optLIN->click();
        QVERIFY(rig.comm.Events().empty());  // nothing written, nothing dropped
    }
};

QTEST_MAIN(TestCycle)
#include "tst_cycle.moc"
