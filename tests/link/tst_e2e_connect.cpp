// Connect end to end: the main window on the real serial control, over a
// pseudo-terminal to a meter-sim process. What the program sent, and when, is
// read from the simulator's log.
#include "LinkTest.h"
#include "e2e/E2eRig.h"

#include <QtTest>

class TestE2eConnect : public QObject {
    Q_OBJECT

private slots:
    void connectShowsTheMeterAndSpacesTheFrames()
    {
        MeterSim sim({"--serial", "QZ4711", "--firmware", "2.03,B"});
        E2eRig rig;
        frmMain& form = rig.Make({sim.device});
        form.cmdConnect->click();
        VerifyConnected(form, 1, "QZ4711", "2.03,B");
        QVERIFY(sim.WaitFor([&] { return sim.Frames().size() >= 5; }));
        QCOMPARE(sim.Frames(), (QStringList{"", "H", "H", "V", "S"}));
        // A frame is stamped when the simulator has read it: allow 20 ms of jitter.
        const auto rx = sim.Entries("RX");
        VERIFY_TIME(rx[1].first - rx[0].first, Nominal::QuietWait - 0.02, Nominal::QuietWait + Timing::Slack());
        VERIFY_TIME(rx[2].first - rx[1].first, Nominal::HGap - 0.02, Nominal::HGap + Timing::Slack());
    }
};

QTEST_MAIN(TestE2eConnect)
#include "tst_e2e_connect.moc"
