// Connect end to end: the main window on the real serial control, over a
// pseudo-terminal to a meter-sim process. What the program sent, and when, is
// read from the simulator's log.
#include "LinkTest.h"
#include "TraceFile.h"
#include "e2e/E2eRig.h"
#include "link/TracingCommControl.h"

#include <QTemporaryDir>
#include <QtTest>

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

class TestE2eConnect : public QObject {
    Q_OBJECT

private slots:
    // The identity read window over a real line: Comm2 answers too late
    // (0.9 s), Comm3 inside the window (0.6 s) but never ends its line. The
    // meter on Comm1 is another program's (an flock, as picocom takes): left
    // out of the search and the Port menu, not sent a byte.
    void readWindowOverARealLine()
    {
        MeterSim held({}), late({"--late", "--serial", "QZ0001"});
        MeterSim unended({"--delay", "0.6", "--truncated", "--serial", "QZ0002"});
        const int holder = ::open(held.device.toLocal8Bit().constData(), O_RDWR | O_NOCTTY | O_NONBLOCK);
        QVERIFY(holder >= 0 && ::flock(holder, LOCK_EX | LOCK_NB) == 0);
        E2eRig rig;
        frmMain& form = rig.Make({held.device, late.device, unended.device});
        form.cmdConnect->click();
        QCOMPARE(Shows(form).section(" | ", 1, 2), QString("Meter Serial Number: QZ0002 Firmware Version: 1.05 | "
                                                           "Comm2: Comm3:*"));
        QCOMPARE(held.Frames(), QStringList());
        ::close(holder);
        // Both ports were read for the whole 0.2 s: from "V" to the close that follows, 0.7 s.
        for (MeterSim* sim : {&late, &unended}) {
            QVERIFY(sim->WaitFor([&] { return sim->Entries("CLOSE").size() >= 4; }));
            const double v = sim->Entries("RX").at(3).first;
            VERIFY_TIME(sim->Entries("CLOSE").at(3).first - v, 0.7 - 0.02, 0.7 + Timing::Slack());
        }
    }

    // The simulator drops the line in the middle of a sweep: the window lets
    // the meter go and says so once, naming the device. (Killed while idle:
    // the soak, every round.)
    void lineDroppedMidSweep()
    {
        MeterSim sim({"--drop-after", "12"});  // connecting takes five frames: "", "H", "H", "V", "S"
        E2eRig rig;
        frmMain& form = rig.Make({sim.device});
        rig.messages.Expect({QString("Lost the meter on Comm1 (%1): it was unplugged or switched off. "
                                     "Plug it back in and press Connect.").arg(sim.device), "qz Ruvude Zivo"});
        form.cmdConnect->click();
        VerifyConnected(form, 1, "QZ1234", "1.05");
        form.cmdSweep->click();  // returns once the loss has ended it
        QVERIFY(sim.WaitFor([&] { return !sim.Entries("DROP").isEmpty(); }));
        QCOMPARE(sim.Frames().size(), 12);
        VerifyNotConnected(form);
        QVERIFY(!form.mnuSourcePortComm[1]->isChecked());
        QTest::qWait(200);
        QCOMPARE(rig.messages.shown.size(), 1);
    }

    // Connect, LEFT and Disconnect, traced: the window shows the meter, the
    // trace holds what the simulator saw, frame for frame, open for open, on
    // the same clock, and the frames keep their spacing.
    void connectShowsTheMeterAndTheTraceMatchesTheSimulatorsLog()
    {
        MeterSim sim({"--serial", "QZ4711", "--firmware", "2.03,B"});
        TraceFile trace;
        QtCommControl port;  // outlives the window, which lets go of it as it closes
        TracingCommControl traced(port, *trace.get());
        E2eRig rig;
        rig.platform.comm = &traced;
        rig.platform.trace = trace.get();
        frmMain& form = rig.Make({sim.device});
        form.cmdConnect->click();
        QCOMPARE(Shows(form), QString("Disconnect SWEEP LEFT RIGHT slider CYCLE | Meter Serial Number: QZ4711 "
                                      "Firmware Version: 2.03,B | Comm1:* | OFF TRAD"));
        form.cmdLeft->click();
        form.cmdConnect->click();
        VerifyNotConnected(form);

        rig.form.reset();  // nothing more for the trace
        QMap<QString, QList<std::pair<double, QString>>> events;  // kind: (time, rest) as MeterSim::Entries
        for (const QString& line : trace.Read().split('\n', Qt::SkipEmptyParts))
            events[line.section(' ', 1, 1)].append({line.section(' ', 0, 0).toDouble(), line.section(' ', 2)});
        QVERIFY(sim.WaitFor([&] { return sim.Entries("CLOSE").size() == events["CLOSE"].size(); }));

        QStringList sent;
        for (const auto& [time, quoted] : events["TX"])
            sent << quoted.mid(1, quoted.size() - 4);  // without the quotes and the \r
        QCOMPARE(sent, (QStringList{"", "H", "H", "V", "S", "N0C6", "I"}));
        QCOMPARE(sim.Frames(), sent);
        QCOMPARE(events["RX"].size(), 1);
        QCOMPARE(events["RX"][0].second, sim.Entries("TX")[0].second);
        QCOMPARE(events["OPEN"].size(), sim.Entries("OPEN").size());
        QCOMPARE(events["OPEN"][0].second, "Comm1 " + sim.device);
        QCOMPARE(events["IDENTITY"].value(0).second, QString("Comm1 serial=\"QZ4711\" firmware=\"2.03,B\""));
        // Stamped just before it left, each frame reaches the simulator a moment later.
        const auto rx = sim.Entries("RX");
        for (qsizetype i = 0; i < rx.size(); ++i)
            VERIFY_TIME(rx[i].first - events["TX"][i].first, 0.0, Timing::Slack(0.1));
        VERIFY_TIME(rx[1].first - rx[0].first, Nominal::QuietWait - 0.02, Nominal::QuietWait + Timing::Slack());
        VERIFY_TIME(rx[2].first - rx[1].first, Nominal::HGap - 0.02, Nominal::HGap + Timing::Slack());
    }
};

QTEST_MAIN(TestE2eConnect)
#include "tst_e2e_connect.moc"
