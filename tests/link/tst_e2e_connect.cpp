// Connect and Disconnect end to end: the main window on the real serial
// control, over real pseudo-terminals to meter-sim processes. What the
// program sent, and when, is read from the simulators' logs, stamped on the
// same clock as MonotonicNow().
#include "LinkTest.h"
#include "e2e/E2eRig.h"
#include "e2e/MeterSim.h"

#include <QtTest>

#include <chrono>
#include <fcntl.h>
#include <unistd.h>

using namespace Nominal;

namespace {

const double Slack = Timing::Slack();
// A frame is stamped when the simulator has read it, which may lag the write
// a little more for one frame than for the next.
constexpr double Jitter = 0.020;

double MonotonicNow()  // the simulator's clock, CLOCK_MONOTONIC
{
    return std::chrono::duration<double>(std::chrono::steady_clock::now().time_since_epoch()).count();
}

#define START_SIM(sim) QVERIFY2((sim).Start(), qPrintable((sim).error()))
// A logged gap is the nominal wait, give or take the log's jitter.
#define VERIFY_GAP(gap, nominal) VERIFY_TIME(gap, (nominal) - Jitter, (nominal) + Slack)

const QList<QByteArray> ProbeFrames{"", "H", "H", "V"};
const QList<QByteArray> ConnectFrames{"", "H", "H", "V", "S"};

}  // namespace

class TestE2eConnect : public QObject {
    Q_OBJECT

private slots:
    // What the tests below rely on: the simulator logs each frame exactly, at
    // the time it comes.
    void simulatorLogsFramesAsTheyCome()
    {
        MeterSim sim;
        START_SIM(sim);
        const int fd = ::open(qPrintable(sim.device()), O_RDWR | O_NOCTTY);
        QVERIFY(fd >= 0);
        QVERIFY(::write(fd, "\rH\r", 3) == 3);
        QElapsedTimer gap;
        gap.start();
        QTest::qSleep(108);
        QVERIFY(::write(fd, "H\rV\r", 4) == 4);
        const double sent = double(gap.nsecsElapsed()) / 1e9;
        QVERIFY(sim.WaitForFrames(4, 5000));
        ::close(fd);
        QCOMPARE(sim.Frames(), ProbeFrames);
        VERIFY_TIME(sim.Entries("RX")[2].time - sim.Entries("RX")[1].time, 0.108 - 0.010, sent + Slack);
    }

    void connectShowsTheMeterAndSpacesTheFrames()
    {
        MeterSim sim({"--serial", "QZ4711", "--firmware", "2.03,B"});
        START_SIM(sim);
        E2eRig rig({sim.device()});
        frmMain& form = rig.Make();
        form.cmdConnect->click();
        VerifyConnected(form, 1, "QZ4711", "2.03,B");
        QVERIFY(rig.messages.shown.isEmpty());
        QVERIFY(sim.WaitForFrames(5, 5000));
        QCOMPARE(sim.Frames(), ConnectFrames);
        const QList<MeterSim::Entry> rx = sim.Entries("RX");
        VERIFY_GAP(rx[1].time - rx[0].time, QuietWait);
        VERIFY_GAP(rx[2].time - rx[1].time, HGap);
        VERIFY_GAP(rx[3].time - rx[2].time, 0.0);
        // The answer was there when reading began: "S" follows at once.
        VERIFY_GAP(rx[4].time - rx[3].time, ReplyWait);
        qInfo("meter on Comm1: %.3f s from the empty frame to S", rx[4].time - rx[0].time);
    }

    void silentDeviceBringsRetryCancel()
    {
        MeterSim sim({"--silent"});
        START_SIM(sim);
        E2eRig rig({sim.device()});
        frmMain& form = rig.Make();
        double shownAt = -1;
        rig.messages.onShow = [&](const FakeMessageBoxes::Shown&) { shownAt = MonotonicNow(); };
        form.cmdConnect->click();  // the box is answered Cancel
        QCOMPARE(rig.messages.shown.size(), 1);
        QCOMPARE(rig.messages.shown[0].buttons, MessageBoxes::Buttons::RetryCancel);
        VerifyNotConnected(form);
        QVERIFY(sim.WaitForFrames(4, 5000));
        QCOMPARE(sim.Frames(), ProbeFrames);
        QVERIFY(sim.Entries("TX").isEmpty());
        // Nothing came: the program read for the whole 0.2 s.
        VERIFY_GAP(shownAt - sim.Entries("RX")[3].time, ReplyWait + ReadLimit);
    }

    void deviceDroppedWhileConnected()
    {
        MeterSim dropping({"--drop-after", "5", "--serial", "QZ0001"});  // gone right after "S"
        MeterSim fresh({"--serial", "QZ0002", "--firmware", "2.00"});
        START_SIM(dropping);
        START_SIM(fresh);
        E2eRig rig({dropping.device()});
        frmMain& form = rig.Make();
        form.cmdConnect->click();
        VerifyConnected(form, 1, "QZ0001", "1.05");
        QVERIFY(dropping.process().waitForFinished(5000));
        QCOMPARE(dropping.Entries("DROP").size(), 1);
        QTest::qWait(200);  // the window lives on, and sees the device go
        QVERIFY(form.Connected);

        // Disconnect writes "I" to the vanished device and closes the port.
        QElapsedTimer t;
        t.start();
        form.cmdConnect->click();
        QVERIFY(t.elapsed() < 2000);
        VerifyNotConnected(form);
        QVERIFY(!form.Comm1().PortOpen());

        // Another meter on Comm1: a new Connect finds it.
        E2eRig::SetPorts({fresh.device()});
        form.cmdConnect->click();
        VerifyConnected(form, 1, "QZ0002", "2.00");
        QVERIFY(fresh.WaitForFrames(5, 5000));
        QCOMPARE(fresh.Frames(), ConnectFrames);
    }
};

QTEST_MAIN(TestE2eConnect)
#include "tst_e2e_connect.moc"
