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
        QCOMPARE(Shows(form), QString("Disconnect SWEEP LEFT RIGHT slider CYCLE | Meter Serial Number: QZ4711 "
                                      "Firmware Version: 2.03,B | Comm1:* | OFF TRAD"));
        QVERIFY(sim.WaitFor([&] { return sim.Frames().size() >= 5; }));
        QCOMPARE(sim.Frames(), (QStringList{"", "H", "H", "V", "S"}));
        // A frame is stamped when the simulator has read it: allow 20 ms of jitter.
        const auto rx = sim.Entries("RX");
        VERIFY_TIME(rx[1].first - rx[0].first, Nominal::QuietWait - 0.02, Nominal::QuietWait + Timing::Slack());
        VERIFY_TIME(rx[2].first - rx[1].first, Nominal::HGap - 0.02, Nominal::HGap + Timing::Slack());
    }

    // The identity read window over a real line: Comm1 answers too late
    // (0.9 s), Comm2 inside the window (0.6 s) but never ends its line.
    void readWindowOverARealLine()
    {
        MeterSim late({"--late", "--serial", "QZ0001"});
        MeterSim unended({"--delay", "0.6", "--truncated", "--serial", "QZ0002"});
        E2eRig rig;
        frmMain& form = rig.Make({late.device, unended.device});
        form.cmdConnect->click();
        QCOMPARE(Shows(form).section(" | ", 1, 2), QString("Meter Serial Number: QZ0002 Firmware Version: 1.05 | "
                                                           "Comm1: Comm2:*"));
        // Both ports were read for the whole 0.2 s: from "V" to the close that follows, 0.7 s.
        for (MeterSim* sim : {&late, &unended}) {
            QVERIFY(sim->WaitFor([&] { return sim->Entries("CLOSE").size() >= 4; }));
            const double v = sim->Entries("RX").at(3).first;
            VERIFY_TIME(sim->Entries("CLOSE").at(3).first - v, 0.7 - 0.02, 0.7 + Timing::Slack());
        }
    }
};

QTEST_MAIN(TestE2eConnect)
#include "tst_e2e_connect.moc"
