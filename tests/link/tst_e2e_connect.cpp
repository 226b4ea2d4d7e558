// Connect and Disconnect end to end: the main window on the real serial
// control, talking over real pseudo-terminals to meter-sim processes. What
// the program sent, and when, is read from the simulators' logs; both sides
// time-stamp with the same monotonic clock.
#include "e2e/E2eRig.h"
#include "e2e/MeterSim.h"

#include "Timing.h"

#include <QAction>
#include <QLabel>
#include <QPushButton>
#include <QTest>
#include <QToolButton>

#include <time.h>

#include <memory>

using namespace qzGlobals;

namespace {

const double Slack = Timing::Slack();
// One tick of the program's waits, and the waits of a port probe.
constexpr double Tick = 0.054;
constexpr double QuietWait = 18 * Tick;   // after the empty frame
constexpr double BetweenH = 2 * Tick;     // between the first two "H"
constexpr double ReplyWait = 0.5;         // from "V" until the answer is read
constexpr double ReplyReadTime = 0.2;     // longest the answer is read for
// A log line is stamped when the simulator has read the frame; that can lag
// the write by a little more for one frame than for the next.
constexpr double LogJitter = 0.020;

double MonotonicNow()
{
    timespec ts{};
    clock_gettime(CLOCK_MONOTONIC, &ts);
    return double(ts.tv_sec) + double(ts.tv_nsec) / 1e9;
}

// Starts a simulator, or fails the test.
#define START_SIM(sim) QVERIFY2((sim).Start(), qPrintable((sim).error()))

// The time gap between two logged events must be the nominal wait: never
// shorter (waits do not end early), and longer by less than one tick.
#define VERIFY_GAP(from, to, expected, what)                                                         \
    do {                                                                                             \
        const double gap_ = (to) - (from);                                                           \
        QVERIFY2(gap_ >= (expected) - LogJitter && gap_ < (expected) + Slack,                        \
                 qPrintable(QString("%1: %2 s, expected %3 s").arg(what).arg(gap_).arg(expected))); \
    } while (0)

double TimeOf(MeterSim& sim, const QByteArray& frame, int nth = 0)
{
    int seen = 0;
    for (const MeterSim::Entry& e : sim.Entries("RX"))
        if (e.text == frame && seen++ == nth)
            return e.time;
    return -1;
}

QList<QByteArray> ProbeFrames() { return {"", "H", "H", "V"}; }
QList<QByteArray> ConnectFrames() { return {"", "H", "H", "V", "S"}; }

}  // namespace

class TestE2eConnect : public QObject {
    Q_OBJECT

private:
    // Clicks Connect (or Disconnect) as a user would; the handler runs to its
    // end, message boxes included, before this returns.
    static void Click(frmMain& form) { form.cmdConnect->click(); }

    static void VerifyConnected(frmMain& form, const QString& serial, const QString& firmware, int port)
    {
        QCOMPARE(form.cmdConnect->text(), QString("Disconnect"));
        QVERIFY(form.cmdConnect->isEnabled());
        QVERIFY(form.cmdSweep->isEnabled());
        QVERIFY(form.cmdLeft->isEnabled());
        QVERIFY(form.cmdRight->isEnabled());
        QVERIFY(form.Connected);
        QCOMPARE(form.lblHard->text(), serial);
        QCOMPARE(form.lblFirm->text(), firmware);
        QVERIFY(form.lblHard->isVisible());
        QVERIFY(form.lblFirm->isVisible());
        QVERIFY(form.lblSerialNum->isVisible());
        QVERIFY(form.lblFw->isVisible());
        QVERIFY(!form.lblInfo->isVisible());
        QVERIFY(!form.lblTitle->isVisible());
        QVERIFY(form.mnuSourcePortComm[port]->isChecked());
        QCOMPARE(int(PortNumber), port);
        QVERIFY(form.Comm1().PortOpen());
    }

    static void VerifyNotConnected(frmMain& form)
    {
        QCOMPARE(form.cmdConnect->text(), QString("Connect"));
        QVERIFY(form.cmdConnect->isEnabled());
        QVERIFY(!form.cmdSweep->isEnabled());
        QVERIFY(!form.cmdLeft->isEnabled());
        QVERIFY(!form.cmdRight->isEnabled());
        QVERIFY(!form.Connected);
        QVERIFY(!form.lblHard->isVisible());
        QVERIFY(!form.lblFirm->isVisible());
    }

    // The frames of a successful probe and the "S" after it, spaced as the
    // program's waits say.
    static void VerifyConnectTiming(MeterSim& sim, int round = 0)
    {
        const double empty = TimeOf(sim, "", round);
        const double h1 = TimeOf(sim, "H", 2 * round);
        const double h2 = TimeOf(sim, "H", 2 * round + 1);
        const double v = TimeOf(sim, "V", round);
        const double s = TimeOf(sim, "S", round);
        VERIFY_GAP(empty, h1, QuietWait, "empty frame to first H");
        VERIFY_GAP(h1, h2, BetweenH, "first H to second H");
        VERIFY_GAP(h2, v, 0.0, "second H to V (quiet line: no drain pass)");
        // The answer is complete when the program starts reading, so it
        // reads it at once and reopens the port for "S".
        VERIFY_GAP(v, s, ReplyWait, "V to S");
        // The port was closed and opened again after the answer. (Whether
        // the log puts that before or after "S" depends on how fast the
        // simulator woke; the close, open and write come within a millisecond.)
        double closed = -1, reopened = -1;
        for (const MeterSim::Entry& e : sim.Log()) {
            if (e.kind == "CLOSE" && e.time >= v && closed < 0)
                closed = e.time;
            if (e.kind == "OPEN" && closed >= 0 && reopened < 0)
                reopened = e.time;
        }
        QVERIFY2(closed >= v && reopened >= closed && reopened < s + Slack, qPrintable(sim.LogText()));
    }

private slots:
    void connectShowsIdentityAndSendsExactFrames()
    {
        MeterSim sim({"--serial", "QZ4711", "--firmware", "2.03,B"});
        START_SIM(sim);
        E2eRig rig({sim.device()});
        frmMain& form = rig.Make();
        QVERIFY(PortAvailable[1]);
        QVERIFY(!PortAvailable[2]);

        const double clicked = MonotonicNow();
        Click(form);
        const double done = MonotonicNow();

        VerifyConnected(form, "QZ4711", "2.03,B", 1);
        QVERIFY(rig.messages.shown.isEmpty());
        QVERIFY(sim.WaitForFrames(5, 5000));
        QCOMPARE(sim.Frames(), ConnectFrames());
        VerifyConnectTiming(sim);
        QVERIFY(TimeOf(sim, "") >= clicked);
        // "S" was written before the click returned (the log stamps it as
        // read, a moment later).
        QVERIFY(TimeOf(sim, "S") < done + Slack);
        qInfo("meter on Comm1: click to S %.3f s, empty frame to S %.3f s", TimeOf(sim, "S") - clicked,
              TimeOf(sim, "S") - TimeOf(sim, ""));
    }

    void disconnectThenReconnectFromPort1()
    {
        MeterSim sim;
        START_SIM(sim);
        E2eRig rig({sim.device()});
        frmMain& form = rig.Make();
        Click(form);
        VerifyConnected(form, "QZ1234", "1.05", 1);

        Click(form);
        VerifyNotConnected(form);
        QCOMPARE(form.lblHard->text(), QString());
        QCOMPARE(form.lblFirm->text(), QString());
        QVERIFY(!form.Comm1().PortOpen());
        QVERIFY(sim.WaitForFrames(6, 5000));
        QCOMPARE(sim.Frames().last(), QByteArray("I"));
        // "I" went out before the port was closed.
        QVERIFY2(sim.WaitFor([](const QList<MeterSim::Entry>& log) { return log.last().kind == "CLOSE"; }, 5000),
                 qPrintable(sim.LogText()));

        Click(form);
        VerifyConnected(form, "QZ1234", "1.05", 1);
        QVERIFY(sim.WaitForFrames(11, 5000));
        QCOMPARE(sim.Frames(), ConnectFrames() + (QList<QByteArray>{"I"}) + ConnectFrames());
        VerifyConnectTiming(sim, 1);
    }

    void deviceThatNeverAnswersBringsRetryCancel()
    {
        MeterSim sim({"--silent"});
        START_SIM(sim);
        E2eRig rig({sim.device()});
        frmMain& form = rig.Make();
        QList<double> shownAt;
        rig.messages.onShow = [&](const FakeMessageBoxes::Shown&) {
            shownAt << MonotonicNow();
            // While the box is up the search is over and the labels hidden.
            QVERIFY(!form.lblInfo->isVisible());
            QVERIFY(!form.cmdConnect->isEnabled());
        };
        rig.messages.answers = {MessageBoxes::Answer::Retry, MessageBoxes::Answer::Cancel};

        Click(form);

        QCOMPARE(rig.messages.shown.size(), 2);
        const FakeMessageBoxes::Shown& box = rig.messages.shown.first();
        QCOMPARE(box.title, QString("qz Firmware Upgrade "));
        QCOMPARE(box.text, QString("No meter detected\r\nRetry - First check meter is connected and turned on.\r\n"
                                   "Otherwise - Cancel"));
        QCOMPARE(box.icon, MessageBoxes::Icon::Critical);
        QCOMPARE(box.buttons, MessageBoxes::Buttons::RetryCancel);
        VerifyNotConnected(form);
        QCOMPARE(int(PortNumber), 0);
        QCOMPARE(int(SavedPort), 0);

        // Two passes, each a whole probe and no "S".
        QVERIFY(sim.WaitForFrames(8, 5000));
        QCOMPARE(sim.Frames(), ProbeFrames() + ProbeFrames());
        for (int pass = 0; pass < 2; ++pass) {
            const double empty = TimeOf(sim, "", pass);
            VERIFY_GAP(empty, TimeOf(sim, "H", 2 * pass), QuietWait, "empty frame to first H");
            VERIFY_GAP(TimeOf(sim, "H", 2 * pass), TimeOf(sim, "H", 2 * pass + 1), BetweenH, "between the H");
            // Nothing came, so the program read for the whole 0.2 s.
            VERIFY_GAP(TimeOf(sim, "V", pass), shownAt[pass], ReplyWait + ReplyReadTime, "V to the box");
            qInfo("port without a meter: %.3f s from its empty frame to the box", shownAt[pass] - empty);
        }
        QVERIFY(sim.Entries("TX").isEmpty());
    }

    void answerTooLateIsNoMeter()
    {
        MeterSim sim({"--late"});
        START_SIM(sim);
        E2eRig rig({sim.device()});
        frmMain& form = rig.Make();
        double shownAt = -1;
        rig.messages.onShow = [&](const FakeMessageBoxes::Shown&) { shownAt = MonotonicNow(); };

        Click(form);

        QCOMPARE(rig.messages.shown.size(), 1);
        VerifyNotConnected(form);
        QVERIFY(sim.WaitForKind("TX", 1, 5000));
        QCOMPARE(sim.Frames(), ProbeFrames());
        // The program had stopped listening before the answer came.
        QVERIFY2(shownAt < sim.Entries("TX").first().time, qPrintable(sim.LogText()));
    }

    void answerWithinTheReadingTimeIsTaken()
    {
        // Reading starts 0.5 s after "V" and goes on for 0.2 s: an answer
        // 0.6 s after "V" is still caught, and read as soon as it comes.
        MeterSim sim({"--delay", "0.6", "--serial", "QZ0600"});
        START_SIM(sim);
        E2eRig rig({sim.device()});
        frmMain& form = rig.Make();
        Click(form);
        VerifyConnected(form, "QZ0600", "1.05", 1);
        QVERIFY(sim.WaitForFrames(5, 5000));
        QCOMPARE(sim.Frames(), ConnectFrames());
        VERIFY_GAP(TimeOf(sim, "V"), TimeOf(sim, "S"), 0.6, "V to S");
    }

    void answerShapes_data()
    {
        QTest::addColumn<QString>("fault");
        QTest::addColumn<bool>("found");
        QTest::addColumn<QString>("serial");
        QTest::addColumn<QString>("firmware");
        QTest::addColumn<double>("vToS");
        QTest::newRow("line feed inside") << "--lf-inside" << true << "QZ1234" << "1.05" << ReplyWait;
        QTest::newRow("blanks inside") << "--blanks" << true << "QZ1234" << "1.05" << ReplyWait;
        QTest::newRow("characters after CR") << "--trailing" << true << "QZ1234" << "1.05" << ReplyWait;
        // No CR: the program reads until its 0.2 s are up.
        QTest::newRow("no CR") << "--truncated" << true << "QZ1234" << "1.05" << ReplyWait + ReplyReadTime;
        QTest::newRow("lower case") << "--lowercase" << false << "" << "" << 0.0;
        QTest::newRow("empty line first") << "--empty-line-first" << false << "" << "" << 0.0;
    }
    void answerShapes()
    {
        QFETCH(QString, fault);
        QFETCH(bool, found);
        QFETCH(QString, serial);
        QFETCH(QString, firmware);
        QFETCH(double, vToS);
        MeterSim sim({fault});
        START_SIM(sim);
        E2eRig rig({sim.device()});
        frmMain& form = rig.Make();
        Click(form);
        if (found) {
            QVERIFY(rig.messages.shown.isEmpty());
            VerifyConnected(form, serial, firmware, 1);
            QVERIFY(sim.WaitForFrames(5, 5000));
            QCOMPARE(sim.Frames(), ConnectFrames());
            VERIFY_GAP(TimeOf(sim, "V"), TimeOf(sim, "S"), vToS, "V to S");
        } else {
            QCOMPARE(rig.messages.shown.size(), 1);
            VerifyNotConnected(form);
            QVERIFY(sim.WaitForFrames(4, 5000));
            QCOMPARE(sim.Frames(), ProbeFrames());
        }
    }

    void searchGoesOnToTheFirstMeter()
    {
        // Comm1: quiet but no meter; Comm2: no device; Comm3 and Comm4:
        // meters. The program settles on Comm3 and never talks to Comm4.
        MeterSim quiet({"--silent"});
        MeterSim first({"--serial", "QZ0003"});
        MeterSim second({"--serial", "QZ0004"});
        START_SIM(quiet);
        START_SIM(first);
        START_SIM(second);
        E2eRig rig({quiet.device(), "", first.device(), second.device()});
        frmMain& form = rig.Make();
        QVERIFY(PortAvailable[1] && !PortAvailable[2] && PortAvailable[3] && PortAvailable[4]);

        Click(form);

        VerifyConnected(form, "QZ0003", "1.05", 3);
        QVERIFY(!form.mnuSourcePortComm[1]->isChecked());
        QVERIFY(!form.mnuSourcePortComm[4]->isChecked());
        QVERIFY(rig.messages.shown.isEmpty());
        QVERIFY(quiet.WaitForFrames(4, 5000));
        QVERIFY(first.WaitForFrames(5, 5000));
        QCOMPARE(quiet.Frames(), ProbeFrames());
        QCOMPARE(first.Frames(), ConnectFrames());
        VerifyConnectTiming(first);
        // Comm4 was only opened and closed by the port probes.
        QVERIFY(second.Entries("RX").isEmpty());
        QVERIFY(second.Entries("OPEN").size() >= 2);
        QCOMPARE(second.Entries("OPEN").size(), second.Entries("CLOSE").size());

        // The port without a meter costs its probe: 0.972 + 0.108 + 0.5 +
        // 0.2 s, and the next port's probe starts right after.
        const double perPort = TimeOf(first, "") - TimeOf(quiet, "");
        VERIFY_GAP(TimeOf(quiet, ""), TimeOf(first, ""), QuietWait + BetweenH + ReplyWait + ReplyReadTime,
                   "probe of a port without a meter");
        qInfo("search: %.3f s per port without a meter, %.3f s from the meter's empty frame to S", perPort,
              TimeOf(first, "S") - TimeOf(first, ""));
    }

    void chattyDeviceFailsTheQuietCheck()
    {
        MeterSim chatty({"--chatty"});
        MeterSim meter({"--serial", "QZ0002"});
        START_SIM(chatty);
        START_SIM(meter);
        E2eRig rig({chatty.device(), meter.device()});
        frmMain& form = rig.Make();

        Click(form);

        VerifyConnected(form, "QZ0002", "1.05", 2);
        QVERIFY(meter.WaitForFrames(5, 5000));
        QCOMPARE(meter.Frames(), ConnectFrames());
        // The chatty device: empty frame, the two "H", then one "H" at the
        // start of each of three drain passes, and the port closed at the end
        // of the third, 2.5 s after the first "H". Never asked "V".
        QCOMPARE(chatty.Frames(), (QList<QByteArray>{"", "H", "H", "H", "H", "H"}));
        const double t0 = TimeOf(chatty, "H", 0);
        VERIFY_GAP(TimeOf(chatty, ""), t0, QuietWait, "empty frame to first H");
        VERIFY_GAP(t0, TimeOf(chatty, "H", 1), BetweenH, "first H to second H");
        VERIFY_GAP(TimeOf(chatty, "H", 1), TimeOf(chatty, "H", 2), 0.0, "second H to first drain pass");
        VERIFY_GAP(TimeOf(chatty, "H", 2), TimeOf(chatty, "H", 3), 15 * Tick, "drain pass 1");
        VERIFY_GAP(TimeOf(chatty, "H", 3), TimeOf(chatty, "H", 4), 15 * Tick, "drain pass 2");
        double closed = -1;
        for (const MeterSim::Entry& e : chatty.Entries("CLOSE"))
            if (e.time > TimeOf(chatty, "H", 4) && closed < 0)
                closed = e.time;
        VERIFY_GAP(TimeOf(chatty, "H", 4), closed, 15 * Tick, "drain pass 3 to the close");
        // The meter's probe follows straight on.
        VERIFY_GAP(closed, TimeOf(meter, ""), 0.0, "close of the chatty port to the next probe");
        qInfo("chatty port: %.3f s from its empty frame to the next port's", TimeOf(meter, "") - TimeOf(chatty, ""));
    }

    void deviceDroppedWhileConnected()
    {
        // The meter goes away right after "S"; a second meter is on Comm2.
        MeterSim dropping({"--drop-after", "5", "--serial", "QZ0001"});
        MeterSim fresh({"--serial", "QZ0002", "--firmware", "2.00"});
        START_SIM(dropping);
        START_SIM(fresh);
        E2eRig rig({dropping.device(), fresh.device()});
        frmMain& form = rig.Make();

        Click(form);
        VerifyConnected(form, "QZ0001", "1.05", 1);
        QVERIFY(dropping.process().waitForFinished(5000));
        QCOMPARE(dropping.process().exitCode(), 0);
        QCOMPARE(dropping.Frames(), ConnectFrames());
        QCOMPARE(dropping.Entries("DROP").size(), 1);

        // The program lives on: events are handled, a needle button still
        // works (its wait and its write to the vanished device included) and
        // returns in its own time.
        QTest::qWait(200);
        QElapsedTimer left;
        left.start();
        form.cmdLeft->click();
        const double took = left.nsecsElapsed() / 1e9;
        QVERIFY2(took >= QuietWait - 0.005 && took < QuietWait + 1.0, qPrintable(QString::number(took)));
        QTest::qWait(100);
        QVERIFY(form.Connected);

        // Disconnect works on the dead port.
        QElapsedTimer disconnect;
        disconnect.start();
        Click(form);
        QVERIFY(disconnect.elapsed() < 2000);
        VerifyNotConnected(form);
        QVERIFY(!form.Comm1().PortOpen());

        // The unplugged meter's entry is gone from the map (its pseudo-terminal
        // number may be handed to something else); a new Connect finds the
        // other meter, which so far was only probed, never spoken to.
        QVERIFY(fresh.Entries("RX").isEmpty());
        E2eRig::SetPorts({"", fresh.device()});
        Click(form);
        VerifyConnected(form, "QZ0002", "2.00", 2);
        QVERIFY(fresh.WaitForFrames(5, 5000));
        QCOMPARE(fresh.Frames(), ConnectFrames());
        VerifyConnectTiming(fresh);
    }

    void exitWhileConnectedTellsTheMeter()
    {
        MeterSim sim;
        START_SIM(sim);
        E2eRig rig({sim.device()});
        frmMain& form = rig.Make();
        Click(form);
        VerifyConnected(form, "QZ1234", "1.05", 1);

        form.cmdExit->click();
        QVERIFY(QuitRequested);
        // The main loop sees the request at once, closes the port and returns.
        QElapsedTimer loop;
        loop.start();
        form.Form_Activate();
        QVERIFY(loop.elapsed() < 2000);
        QVERIFY(!form.Comm1().PortOpen());
        QVERIFY(sim.WaitForFrames(7, 5000));
        QCOMPARE(sim.Frames(), ConnectFrames() + (QList<QByteArray>{"R", "U"}));
        QVERIFY2(sim.WaitFor([](const QList<MeterSim::Entry>& log) { return log.last().kind == "CLOSE"; }, 5000),
                 qPrintable(sim.LogText()));
    }
};

QTEST_MAIN(TestE2eConnect)
#include "tst_e2e_connect.moc"
