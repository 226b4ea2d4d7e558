// The "Calibration" options: the mode command and then the current scale
// point, only with an open port and never during start-up; the drawn needle
// stays where it is.
#include "DirectConnection.h"
#include "TestRig.h"

#include "link/CommControl.h"

#include <QPushButton>
#include <QRadioButton>
#include <QTest>

using Port = MemoryCommControl::PortState;

class TestCalibration : public QObject {
    Q_OBJECT

private slots:
    void onRightAfterConnectingSendsLAndRow0()
    {
        TestRig rig;
        frmMain& f = rig.Make();
        ConnectDirectly(rig);
        rig.comm.ClearLog();
        f.optLUT->click();
        QCOMPARE(rig.comm.Frames(), (QList<QByteArray>{"L\r", "N000\r"}));
        QVERIFY(f.optLUT->isChecked());
        QVERIFY(!f.optLIN->isChecked());
    }

    void offAfterOneCycleSendsSAndTheLeftStop()
    {
        TestRig rig;
        frmMain& f = rig.Make();
        ConnectDirectly(rig);
        f.cmdCycle->click();
        const auto ends = f.NeedleEnds;
        f.optLUT->click();
        rig.comm.ClearLog();
        f.optLIN->click();
        QCOMPARE(rig.comm.Frames(), (QList<QByteArray>{"S\r", "N0C6\r"}));
        // The options do not move the drawn needle.
        QCOMPARE(f.NeedleEnds.X1, ends.X1);
        QCOMPARE(f.NeedleEnds.Y1, ends.Y1);
        QCOMPARE(f.NeedleEnds.X2, ends.X2);
        QCOMPARE(f.NeedleEnds.Y2, ends.Y2);
    }

    void onAfterLeftWithRow5SendsItsPointWhileTheDrawnNeedleStays()
    {
        TestRig rig;
        frmMain& f = rig.Make();
        ConnectDirectly(rig);
        for (int i = 0; i < 5; ++i)
            f.cmdCycle->click();
        QCOMPARE(f.CycleIndex, int16_t(5));
        f.cmdLeft->click();  // about a second, then N0C6
        QCOMPARE(rig.comm.Frames().last(), QByteArray("N0C6\r"));
        const auto ends = f.NeedleEnds;
        QVERIFY(ends.X2 < -800);  // drawn at the left stop

        rig.comm.ClearLog();
        f.optLUT->click();
        QCOMPARE(rig.comm.Frames(), (QList<QByteArray>{"L\r", "N68E\r"}));
        QCOMPARE(f.NeedleEnds.X2, ends.X2);
        QCOMPARE(f.NeedleEnds.Y2, ends.Y2);
    }

    void simpleFaceWithRow11Or12SendsZero_data()
    {
        QTest::addColumn<int>("row");
        QTest::addColumn<bool>("on");
        QTest::newRow("row 11, ON") << 11 << true;
        QTest::newRow("row 12, ON") << 12 << true;
        QTest::newRow("row 12, OFF") << 12 << false;
    }
    void simpleFaceWithRow11Or12SendsZero()
    {
        QFETCH(int, row);
        QFETCH(bool, on);
        TestRig rig;
        frmMain& f = rig.Make();
        ConnectDirectly(rig);
        for (int i = 0; i < row; ++i)
            f.cmdCycle->click();  // on the TRAD face
        if (!on)
            f.optLUT->click();
        f.optSimple->click();
        QCOMPARE(qzGlobals::ScaleType, 1);
        rig.comm.ClearLog();
        (on ? f.optLUT : f.optLIN)->click();
        QCOMPARE(rig.comm.Frames(), (QList<QByteArray>{on ? "L\r" : "S\r", "N000\r"}));
    }

    void portClosedSendsNothing()
    {
        TestRig rig;
        frmMain& f = rig.Make();
        f.optLUT->click();
        QVERIFY(f.optLUT->isChecked());
        f.optLIN->click();
        QVERIFY(f.optLIN->isChecked());
        QVERIFY(rig.comm.Events().empty());  // nothing written, nothing dropped

        // Nothing was kept for later either: opening the port sends nothing.
        rig.comm.SetPort(1, Port::Available);
        QVERIFY(rig.comm.setCommPort(1));
        QVERIFY(rig.comm.setPortOpen(true));
        QCoreApplication::processEvents();
        QVERIFY(rig.comm.Frames().isEmpty());
    }

    void onBeforeConnectingLeavesTheMeterInOff()
    {
        TestRig rig;
        auto meter = std::make_shared<ScriptedMeter>();
        rig.comm.SetPort(3, Port::Available, meter);
        frmMain& f = rig.Make();
        f.optLUT->click();
        QVERIFY(rig.comm.Frames().isEmpty());

        f.cmdConnect->click();  // finds the meter on port 3
        QVERIFY(f.Connected);
        // The connection ends with "S"; nothing of the option reached the meter.
        QCOMPARE(rig.comm.Frames().last(), QByteArray("S\r"));
        QVERIFY(!rig.comm.Frames().contains("L\r"));
        QVERIFY(f.optLUT->isChecked());

        // Choosing "OFF" now tells the meter what it already does.
        rig.comm.ClearLog();
        f.optLIN->click();
        QCOMPARE(rig.comm.Frames(), (QList<QByteArray>{"S\r", "N000\r"}));
    }

    void silentWhileTheWindowLoads()
    {
        TestRig rig;
        frmMain& f = rig.Make();
        ConnectDirectly(rig);
        rig.comm.ClearLog();
        qzGlobals::FormLoading = true;
        f.optLUT->click();
        f.optLIN->click();
        QVERIFY(rig.comm.Events().empty());
        qzGlobals::FormLoading = false;
        f.optLUT->click();
        QCOMPARE(rig.comm.Frames(), (QList<QByteArray>{"L\r", "N000\r"}));
    }

    void startUpSendsNothing()
    {
        TestRig rig;
        rig.comm.SetPort(1, Port::Available);
        QVERIFY(rig.comm.setCommPort(1));
        QVERIFY(rig.comm.setPortOpen(true));
        frmMain& f = rig.Make();  // Form_Load selects "OFF"
        QVERIFY(f.optLIN->isChecked());
        QVERIFY(rig.comm.Frames().isEmpty());
    }
};

QTEST_MAIN(TestCalibration)
#include "tst_calibration.moc"
