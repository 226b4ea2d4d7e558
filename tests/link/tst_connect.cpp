// The link over in-memory ports. Init_Ports, Com_Open, the search, the identity query and Disconnect: every frame,
// every gap between frames, and what the window shows after each step; a meter lost while connected; and the line
// trace, on a clock the test sets, byte for byte as it lands in the file.
#include "LinkTest.h"
#include "TestRig.h"
#include "TraceFile.h"
#include "link/TracingCommControl.h"

#include <QtTest>

using namespace qzGlobals;
using PortState = MemoryCommControl::PortState;
using Ev = MemoryCommControl::Event;
using Box = FakeMessageBoxes;
using Answer = MessageBoxes::Answer;

namespace {

// Checks the port log against a script of its events, leaving out the open-close pairs of Init_Ports: "open4", "4:V"
// for the frame "V\r" on Comm4 ("4:" the empty frame; a frame without its CR ends in "!"), "close4". Between two
// events, a number is the seconds that must lie between them (up to the slack more) and "~" a gap not checked; with
// nothing, they follow at once.
void VerifyLog(const MemoryCommControl& comm, const QString& script)
{
    QStringList got, want;
    QList<double> times, gaps;
    const auto& ev = comm.Events();
    for (size_t i = 0; i < ev.size(); ++i) {
        const Ev& e = ev[i];
        if (e.kind == Ev::Open && i + 1 < ev.size() && ev[i + 1].kind == Ev::Close) {
            ++i;
        } else if (e.kind == Ev::Open || e.kind == Ev::Close || e.kind == Ev::Write) {
            const QByteArray text = e.bytes.endsWith('\r') ? e.bytes.chopped(1) : e.bytes + "!";
            got << (e.kind == Ev::Write ? QString("%1:%2").arg(e.port).arg(QString::fromLatin1(text))
                                        : QString(e.kind == Ev::Open ? "open%1" : "close%1").arg(e.port));
            times << e.time;
        }
    }
    double gap = 0;
    for (const QString& token : script.split(' ', Qt::SkipEmptyParts)) {
        bool number = token == "~";
        const double seconds = number ? -1 : token.toDouble(&number);
        if (!number) {
            want << token;
            gaps << gap;
        }
        gap = number ? seconds : 0;
    }
    QCOMPARE(got.join(' '), want.join(' '));
    for (qsizetype i = 1; i < times.size(); ++i) {
        const double took = times[i] - times[i - 1];
        QVERIFY2(gaps[i] < 0 || (took >= gaps[i] && took < gaps[i] + Timing::Slack()),
                 qPrintable(QString("%1 s before event %2 (%3), not %4").arg(took).arg(i).arg(want[i]).arg(gaps[i])));
    }
}

// Never falls quiet: a byte every 20 ms for 4 s after each open.
struct ChattyDevice : MemoryDevice {
    void Opened(MemoryCommControl& line) override
    {
        for (double t = 0; t < 4.0; t += 0.02)
            line.ArriveAfter(t, "x");
    }
    void Received(MemoryCommControl&, const QByteArray&) override {}
};

// A meter that says something before it is asked: a stale identity line as soon as its port opens.
struct GreetingMeter : ScriptedMeter {
    using ScriptedMeter::ScriptedMeter;
    void Opened(MemoryCommControl& line) override { line.Send("V,QZ9999,X,9.99\r"); }
};

// A meter that answers "V" and pulls its own plug once `vanishAt` frames have reached the ports (0: never).
struct VanishingMeter : ScriptedMeter {
    using ScriptedMeter::ScriptedMeter;
    qsizetype vanishAt = 0;
    void Received(MemoryCommControl& line, const QByteArray& bytes) override
    {
        ScriptedMeter::Received(line, bytes);
        if (vanishAt > 0 && line.Frames().size() == vanishAt)
            line.Vanish();
    }
};

}  // namespace

class TestConnect : public QObject {
    Q_OBJECT

private slots:
    // Com_Open with no number and with a port open already does nothing. An open that fails: endDuringASearch, and
    // its box ending a run in tst_script_run.
    void comOpen()
    {
        TestRig rig;
        rig.comm.SetPort(2, PortState::Available);
        frmMain& form = rig.Make();
        PortNumber = 0;
        form.Com_Open();
        QVERIFY(!rig.comm.PortOpen());
        QVERIFY(rig.comm.setCommPort(2) && rig.comm.setPortOpen(true));
        PortNumber = 3;
        form.Com_Open();
        QVERIFY(rig.comm.PortOpen() && rig.comm.CommPort() == 2 && !QuitRequested);
        form.Com_Close();
        form.Com_Send("S");  // on a closed port: dropped quietly
        QVERIFY(rig.comm.Frames().isEmpty());
    }

    void searchFindsTheFirstMeterAndDisconnectSendsI()
    {
        // Comm1 never falls quiet, Comm2 has nothing behind it, Comm3 is held, Comm4 has a meter that speaks first,
        // Comm7 another meter.
        TestRig rig;
        rig.comm.SetPort(1, PortState::Available, std::make_shared<ChattyDevice>());
        rig.comm.SetPort(2, PortState::Available);
        rig.comm.SetPort(3, PortState::Held);
        rig.comm.SetPort(4, PortState::Available, std::make_shared<GreetingMeter>("V,QZ0004,A,4.0\r"));
        rig.comm.SetPort(7, PortState::Available, std::make_shared<ScriptedMeter>());
        frmMain& form = rig.Make();
        rig.comm.ClearLog();
        QString searching;  // as the probe of Comm2 begins
        QTimer watch;
        connect(&watch, &QTimer::timeout, this, [&] {
            if (rig.comm.PortOpen() && rig.comm.CommPort() == 2 && searching.isEmpty())
                searching = Shows(form);
        });
        watch.start(5);
        form.cmdConnect->click();
        QCOMPARE(searching, QString("slider CYCLE | Checking Port 2 for Hardware Searching for meter | "
                                    "Comm1: Comm2: Comm4: Comm7: | OFF TRAD"));
        // Comm1: two "H", then one for each of three drain passes, the last ending past 2.0 s. Comm2: straight to "V"
        // after the second "H", then the whole answer window. Comm4: one drain pass takes the stale line.
        VerifyLog(rig.comm, "open1 1: 0.972 1:H 0.108 1:H 1:H 0.81 1:H 0.81 1:H 0.81 close1 "
                            "open2 2: 0.972 2:H 0.108 2:H 2:V 0.7 "
                            "close2 0.1 open4 4: 0.972 4:H 0.108 4:H 4:H 0.81 4:V 0.5 close4 open4 4:S");
        QCOMPARE(rig.comm.OpenCount(7), 2);  // by the two Init_Ports alone
        QCOMPARE(Shows(form), QString("Disconnect SWEEP LEFT RIGHT slider CYCLE | Meter Serial Number: QZ0004 "
                                      "Firmware Version: 4.0 | Comm1: Comm2: Comm4:* Comm7: | OFF TRAD"));
        QCOMPARE(form.focusWidget(), form.cmdSweep);
        QVERIFY(form.Connected && rig.comm.PortOpen());
        QCOMPARE(int(PortNumber) * 100 + SavedPort, 404);

        rig.comm.ClearLog();
        form.cmdConnect->click();
        VerifyLog(rig.comm, "4:I close4");
        VerifyNotConnected(form);
        QCOMPARE(Shows(form).section(" | ", 2), QString("Comm1: Comm2: Comm4:* Comm7: | OFF TRAD"));
    }

    // The answer to "V": through the receive filter (only "," to "Z"), up to the first CR, read from 0.5 s after the
    // "V" for at most 0.2 s. An answer after the read, and one without its CR: tst_e2e_connect.
    void identity_data()
    {
        QTest::addColumn<QByteArray>("reply");  // parts split at "|"
        QTest::addColumn<QList<double>>("at");  // seconds after "V" each part arrives
        QTest::addColumn<QString>("serial");    // "": not recognised, the earlier meter's identity kept
        QTest::addColumn<QString>("firmware");
        QTest::addColumn<double>("takes");      // seconds from "V" to the end of reading
        QTest::addColumn<int>("left");          // bytes left unread in the port
        using T = QList<double>;
        const QByteArray whole = "V,QZ1234,A,1.05\r";
        QTest::newRow("whole") << whole << T{0} << "QZ1234" << "1.05" << 0.5 << 0;
        QTest::newRow("blanks, lower case, LF before CR") << QByteArray("V,QZ 12ab34,A,1.0 5\n\r") << T{0.1}
                                                          << "QZ1234" << "1.05" << 0.5 << 0;
        QTest::newRow("firmware with commas, junk after CR") << QByteArray("V,QZ7,A,1.05,B\r\nJUNK") << T{0}
                                                             << "QZ7" << "1.05,B" << 0.5 << 5;
        QTest::newRow("empty line first") << "\r" + whole << T{0} << "" << "0.00" << 0.5 << 16;
        QTest::newRow("before the read begins") << whole << T{0.45} << "QZ1234" << "1.05" << 0.5 << 0;
        QTest::newRow("inside the read") << whole << T{0.65} << "QZ1234" << "1.05" << 0.65 << 0;
        QTest::newRow("cut by the end of the read") << QByteArray("V,QZ12|,A,1.05\r") << T{0.55, 0.75} << "QZ12" << ""
                                                    << 0.7 << 0;
        QTest::newRow("serial only") << QByteArray("V,QZ1234\r") << T{0} << "QZ1234" << "" << 0.5 << 0;
        QTest::newRow("third field empty") << QByteArray("V,QZ1234,,2.0\r") << T{0} << "QZ1234" << "2.0" << 0.5 << 0;
        QTest::newRow("short") << QByteArray("V,Q\r") << T{0} << "" << "0.00" << 0.5 << 0;
        QTest::newRow("prefix not at start") << QByteArray("XV,QZ1234,A,1\r") << T{0} << "" << "0.00" << 0.5 << 0;
    }
    void identity()
    {
        QFETCH(QByteArray, reply);
        QFETCH(QList<double>, at);
        QFETCH(QString, serial);
        TestRig rig;
        rig.comm.SetPort(1, PortState::Available);
        const QList<QByteArray> parts = reply.split('|');
        rig.comm.onEvent = [&](const Ev& e) {  // the meter: each part in its time after the "V" has arrived
            for (qsizetype i = 0; e.bytes == "V\r" && i < parts.size(); ++i)
                rig.comm.ArriveAfter(at[i], parts[i]);
        };
        frmMain& form = rig.Make();
        PortNumber = 1;
        form.Com_Open();
        QCOMPARE(rig.comm.Line(), QString("9600,n,8,1 in 100 handshaking 0 input 1 RTS 1"));
        SerialNumber = "QZ0000";  // an earlier meter's
        FwVersion = "0.00";
        QCOMPARE(form.Com_Input_Vers(), !serial.isEmpty());
        const double took = rig.comm.Now() - rig.comm.FrameTimes().last();
        QCOMPARE(rig.comm.Frames(), QList<QByteArray>{"V\r"});
        QCOMPARE(SerialNumber, serial.isEmpty() ? QString("QZ0000") : serial);
        QTEST(FwVersion, "firmware");
        QFETCH(double, takes);
        VERIFY_WAIT(took, takes);
        QTEST(rig.comm.InBufferCount(), "left");
    }

    // Exit, or the end of the session, while a search runs: the search runs to its end, and the meter it finds gets
    // "S" and then "R", "U" as at Exit. Once the session has ended no box may hold the program up: a port that fails
    // to open is said on standard error and in the trace.
    void endDuringASearch_data()
    {
        QTest::addColumn<bool>("sessionEnd");
        QTest::addColumn<bool>("meter");  // on Comm3; without, no box either
        QTest::newRow("Exit") << false << true;
        QTest::newRow("Exit, no meter") << false << false;
        QTest::newRow("session end, a port failing") << true << true;
    }
    void endDuringASearch()
    {
        QFETCH(bool, sessionEnd);
        QFETCH(bool, meter);
        TestRig rig;
        TraceFile trace(&rig.console);
        rig.platform.trace = trace.get();
        rig.comm.SetPort(1, PortState::Available, std::make_shared<ScriptedMeter>(""));  // no answer
        rig.comm.SetPort(2, PortState::Available);
        rig.comm.SetPort(3, PortState::Available, std::make_shared<ScriptedMeter>(meter ? "V,QZ1234,A,1.05\r" : ""));
        frmMain& form = rig.Make();
        rig.comm.ClearLog();
        QTimer::singleShot(300, &form, [&] {
            if (!sessionEnd)
                return form.cmdExit->click();
            rig.comm.SetPort(2, PortState::Missing);  // gone after the pass's probe
            form.Session_End();
        });
        form.cmdConnect->click();
        VerifyLog(rig.comm, QString("open1 1: ~ 1:R 1:U ~ 1:H 0.108 1:H 1:V ~ close1 %1 open3 3: ~ 3:H ~ 3:H 3:V %2")
                                .arg(sessionEnd ? "~" : "open2 2: ~ 2:H ~ 2:H 2:V ~ close2",
                                     meter ? "~ close3 open3 3:S 3:R 3:U" : ""));
        const QString error = "Error Opening Comm2:9600,n,8,1";
        const QString said = "qz-ruvude-zivo: Open Comms Port: " + error;
        QCOMPARE(rig.console.lines, sessionEnd ? QStringList{said} : QStringList{});
        QCOMPARE(trace.Read().contains("MESSAGE \"Open Comms Port\" \"" + error + "\""), sessionEnd);
        form.Form_Activate();  // returns at once: the program ends
        QVERIFY(QuitRequested && !rig.comm.PortOpen());
        QCOMPARE(rig.comm.rescans, 3);  // start-up, and the two probes of one Connect
    }

    // Ports another program holds, met by a search. Comm2 and Comm3 have meters; as Comm2 closes for the `close`-th
    // time in Connect (0: at the click; 2: after the pass's probe; 3: as the search reopens it) another program holds
    // it for `holdFor` s, by a lock or (unseen) in a way only an open shows; or another device is plugged in under its
    // name, then or as it is opened. A hold that ends within the 100 ms grace (looked at, and opened while no lock
    // shows, every 10 ms) lets the search go on there; otherwise Comm2 is passed by without a byte or a box, said once
    // in the trace (and never as OPEN-FAILED), and Comm3 connected.
    void neighbours_data()
    {
        QTest::addColumn<int>("close");
        QTest::addColumn<QString>("hold");
        QTest::addColumn<double>("holdFor");
        QTest::addColumn<double>("takes");  // from then to Comm2's next open (up to 10 ms more), or to the note
        QTest::addColumn<int>("connected");
        QTest::addColumn<QString>("note");
        const QString busy = "BUSY Comm2 /dev/mem2 held by picocom, pid 4242";
        const QString skipped = "SKIPPED Comm2 /dev/mem2 \"another device has this name now\"";
        QTest::newRow("held at the probe, let go in its grace") << 0 << "lock" << 0.085 << 0.085 << 2 << "";
        const double past = 0.1 + Timing::Slack(0.02);
        QTest::newRow("held at the probe past its grace") << 0 << "lock" << past << 0.1 << 3 << busy;
        QTest::newRow("taken after the probe, let go") << 2 << "lock" << 0.05 << 0.05 << 2 << "";
        QTest::newRow("taken after the probe") << 2 << "lock" << 1000.0 << 0.1 << 3 << busy;
        QTest::newRow("taken as it is reopened, let go") << 3 << "lock" << 0.05 << 0.05 << 2 << "";
        QTest::newRow("taken as it is reopened") << 3 << "lock" << 1000.0 << 0.1 << 3 << busy;
        QTest::newRow("unseen, let go in its grace") << 2 << "unseen" << 0.055 << 0.055 << 2 << "";
        QTest::newRow("unseen past its grace")
            << 2 << "unseen" << 1000.0 << 0.1 << 3 << "BUSY Comm2 /dev/mem2 held by another program";
        QTest::newRow("another device under its name") << 3 << "replug" << 0.0 << 0.0 << 3 << skipped;
        QTest::newRow("another device reached by the open") << 3 << "replug at open" << 0.0 << 0.0 << 3 << skipped;
    }
    void neighbours()
    {
        QFETCH(int, close);
        QFETCH(QString, hold);
        QFETCH(double, holdFor);
        QFETCH(double, takes);
        QFETCH(int, connected);
        TestRig rig;
        TraceFile trace(nullptr, [&rig] { return rig.comm.Now(); });
        rig.platform.trace = trace.get();
        rig.comm.SetPort(2, PortState::Available, std::make_shared<ScriptedMeter>("V,QZ0002,A,2.0\r"));
        rig.comm.SetPort(3, PortState::Available, std::make_shared<ScriptedMeter>("V,QZ0003,A,3.0\r"));
        frmMain& form = rig.Make();
        double t0 = -1;
        double took = -1;  // to Comm2's next open, else to the trace's note
        int closes = 0;
        const auto happen = [&] {
            t0 = rig.comm.Now();
            if (hold.startsWith("replug"))
                rig.comm.Replug(2, hold == "replug at open");
            else
                rig.comm.HoldFor(2, holdFor, hold == "lock");
        };
        rig.comm.onEvent = [&](const Ev& e) {
            if (e.kind == Ev::Close && e.port == 2 && ++closes == close)
                happen();
            if (e.kind == Ev::Open && e.port == 2 && t0 >= 0 && took < 0)
                took = e.time - t0;
        };
        int ticks = 0;  // the window's own events go on meanwhile
        QTimer timer;
        connect(&timer, &QTimer::timeout, this, [&] { ticks += t0 >= 0 && rig.comm.Now() < t0 + 0.1; });
        timer.start(5);
        if (close == 0)
            happen();
        form.cmdConnect->click();
        VerifyConnected(form, connected, QString("QZ000%1").arg(connected), QString("%1.0").arg(connected));
        QVERIFY(form.mnuSourcePortComm[connected]->isVisible() && !form.mnuSourcePortComm[5 - connected]->isChecked());
        QCOMPARE(rig.comm.Frames().count("S\r"), 1);
        QCOMPARE(rig.comm.Frames().last(), QByteArray("S\r"));

        // Another device under its name is not even opened.
        QVERIFY(hold != "replug" || took < 0);
        QStringList notes;
        for (const QString& line : trace.Read().split('\n', Qt::SkipEmptyParts))
            if (line.contains(" BUSY ") || line.contains(" SKIPPED ") || line.contains(" OPEN-FAILED ")) {
                notes << line.section(' ', 1);
                took = line.section(' ', 0, 0).toDouble() - t0;
            }
        QTEST(notes.join(""), "note");
        VERIFY_TIME(took, takes, takes + (connected == 2 ? 0.01 : 0) + Timing::Slack(0.02));
        if (holdFor >= 0.1)
            QVERIFY2(ticks >= 5, qPrintable(QString("%1 timer events during the grace").arg(ticks)));
    }

    // A meter gone after answering (unplugged as the search closes its port): its name leads nowhere, so the reopen
    // for the connection fails as any port that cannot be opened does (the box, the end of the program); no SKIPPED.
    void goneAfterAnswering()
    {
        TestRig rig;
        TraceFile trace(&rig.console);
        rig.platform.trace = trace.get();
        rig.comm.SetPort(2, PortState::Available, std::make_shared<ScriptedMeter>());
        frmMain& form = rig.Make();
        int closes = 0;
        rig.comm.onEvent = [&](const Ev& e) {
            if (e.kind == Ev::Close && ++closes == 3)
                rig.comm.SetPort(2, PortState::Missing);
        };
        rig.messages.Expect(Box::OpenFailed(2));
        rig.comm.ClearLog();
        form.cmdConnect->click();
        VerifyLog(rig.comm, "open2 2: ~ 2:H ~ 2:H 2:V ~ close2");
        QVERIFY(QuitRequested && !trace.Read().contains("SKIPPED"));
    }

    // Comm5 the system refuses: every pass passes it by, saying so.
    void retryCancelAndSearchingAgain()
    {
        TestRig rig;
        TraceFile trace(&rig.console);
        rig.platform.trace = trace.get();
        auto comm1 = std::make_shared<ScriptedMeter>("");  // a meter still switched off
        rig.comm.SetPort(1, PortState::Available, comm1);
        rig.comm.SetPort(5, PortState::Refused);
        frmMain& form = rig.Make();
        form.optLUT->click();  // no port open: nothing sent
        QVERIFY(rig.comm.Frames().isEmpty());

        // No meter: the box, with the search's labels hidden. A meter is plugged into Comm16 meanwhile, and Retry
        // searches afresh from Comm1.
        QString asking;
        rig.messages.Expect(Box::NoMeter(), Answer::Retry, [&] {
            asking = Shows(form);
            rig.comm.SetPort(16, PortState::Available, std::make_shared<ScriptedMeter>("V,QZ0016,A,2.0\r"));
        });
        rig.comm.ClearLog();
        form.cmdConnect->click();
        QCOMPARE(asking, QString("slider CYCLE |  | Comm1: | ON TRAD"));
        const QString refused = "UNAVAILABLE Comm5 /dev/mem5 \"refused by the system (Permission denied)\"";
        QTRY_COMPARE(trace.Written().count(refused), 2);
        VerifyLog(rig.comm, "open1 1: 0.972 1:H 0.108 1:H 1:V 0.7 close1 open1 1: 0.972 1:H 0.108 1:H 1:V 0.7 "
                            "close1 open16 16: 0.972 16:H 0.108 16:H 16:V 0.5 close16 open16 16:S");
        // "ON" is still shown, but the meter was put on its linear response.
        QCOMPARE(Shows(form), QString("Disconnect SWEEP LEFT RIGHT slider CYCLE | Meter Serial Number: QZ0016 "
                                      "Firmware Version: 2.0 | Comm1: Comm16:* | ON TRAD"));
        form.cmdConnect->click();

        // Connecting again searches from Comm1, where a meter now answers; the old tick goes.
        comm1->identity = "V,QZ0001,A,1.0\r";
        rig.comm.ClearLog();
        form.cmdConnect->click();
        VerifyLog(rig.comm, "open1 1: 0.972 1:H 0.108 1:H 1:V 0.5 close1 open1 1:S");
        QCOMPARE(Shows(form).section(" | ", 1), QString("Meter Serial Number: QZ0001 Firmware Version: 1.0 | "
                                                         "Comm1:* Comm16: | ON TRAD"));
        form.cmdConnect->click();

        // No port at all: the box at once; Cancel gives up.
        rig.comm.SetPort(1, PortState::Missing);
        rig.comm.SetPort(16, PortState::Missing);
        double boxAfter = -1;
        const double clicked = rig.comm.Now();
        rig.messages.Expect(Box::NoMeter(), Answer::Cancel, [&] { boxAfter = rig.comm.Now() - clicked; });
        rig.comm.ClearLog();
        form.cmdConnect->click();
        VERIFY_WAIT(boxAfter, 0.0);
        VerifyLog(rig.comm, "");
        QCOMPARE(Shows(form), QString("Connect slider CYCLE |  | None | ON TRAD"));
        QCOMPARE(int(PortNumber) * 100 + SavedPort, 0);
    }

    // A meter whose port goes away while connected (adapter pulled, meter off): the window goes back to "Connect"
    // without sending anything and says so once. Losses nobody is told of (any box would fail the test), on the row
    // where Disconnect is pressed before the loss reached the window: a port (Comm1) that vanishes during the search
    // is a port without a meter; and once Disconnect was pressed, there is nothing to tell. A loss while idle or in a
    // sweep, and connecting again after it: tst_soak, tst_script_run.
    void lossWhileConnected_data()
    {
        QTest::addColumn<QString>("action");  // what the user does once connected
        QTest::newRow("in LEFT's wait") << "LEFT";
        QTest::newRow("in RIGHT's wait") << "RIGHT";
        QTest::newRow("Disconnect before the report") << "Disconnect";
    }
    void lossWhileConnected()
    {
        QFETCH(QString, action);
        const bool told = action != "Disconnect";
        TestRig rig;
        auto first = std::make_shared<VanishingMeter>("");
        first->vanishAt = 2;  // after the empty frame and the first "H"
        rig.comm.SetPort(1, told ? PortState::Missing : PortState::Available, first);
        rig.comm.SetPort(2, PortState::Available, std::make_shared<ScriptedMeter>());
        frmMain& f = rig.Make();
        f.cmdConnect->click();
        VerifyConnected(f, 2, "QZ1234", "1.05");
        rig.comm.ClearLog();  // the search, up to and with "S"
        // While the box is up the sweep is held and the window dead to clicks.
        if (told)
            rig.messages.Expect({"Lost the meter on Comm2 (/dev/mem2): it was unplugged or switched off. "
                                 "Plug it back in and press Connect.", "qz Ruvude Zivo"},
                                MessageBoxes::Answer::Ok, [&] {
                const qsizetype frames = rig.comm.Frames().size();
                for (QPushButton* b : {f.cmdSweep, f.cmdLeft, f.cmdRight})
                    b->click();
                QTest::qWait(150);
                QCOMPARE(rig.comm.Frames().size(), frames);
            });

        if (!told) {
            rig.comm.Vanish();
            f.cmdConnect->click();
        } else {
            QTimer::singleShot(300, &f, [&] { rig.comm.Vanish(); });
            (action == "LEFT" ? f.cmdLeft : f.cmdRight)->click();  // the stop is never sent
        }
        // As Disconnect leaves the window, but with the tick cleared and no frame after the loss.
        VerifyNotConnected(f);
        QCOMPARE(f.mnuSourcePortComm[2]->isChecked(), !told);
        QVERIFY(rig.comm.Frames().isEmpty());
        QTest::qWait(100);  // nothing more comes of it: one box, named after the port
        QCOMPARE(rig.messages.shown.size(), int(told));
        QCOMPARE(rig.comm.DroppedWrites() + rig.comm.FailedWrites().size(), int(!told));  // only Disconnect's "I"
    }

    // The line trace over an in-memory port: every kind of event, byte for byte.
    void traceEveryEvent()
    {
        double now = 0;
        TraceFile written(nullptr, [&] { return now; }, [] { return LineTrace::WallTime{1777623753, 123456, 7200}; });
        LineTrace& trace = *written.get();
        MemoryCommControl memory;
        memory.SetPort(1, PortState::Available, std::make_shared<ScriptedMeter>("V,QZ7,A,1.0\r\nJUNK\t\"\\\x01\xff"));
        memory.SetPort(2, PortState::Held);
        TracingCommControl comm(memory, trace);
        int lostReports = 0;
        comm.setDeviceLostHandler([&lostReports] { ++lostReports; });

        now = 1;
        trace.Started("qz-test 1.0");
        now = 2;
        QVERIFY(comm.setCommPort(2) && !comm.setPortOpen(true));  // held: only looked at, no event
        QVERIFY(comm.setCommPort(3) && !comm.setPortOpen(true));
        QVERIFY(comm.setPortOpen(false));  // closing what never opened is no event
        now = 3;
        QVERIFY(comm.setCommPort(1) && comm.setPortOpen(true) && comm.setInputLen(0));
        now = 4;
        comm.Output("V\r");
        now = 5;
        QCOMPARE(comm.Input(), QByteArray("V,QZ7,A,1.0\r\nJUNK\t\"\\\x01\xff"));  // one read: the line ends at its CR
        now = 6;
        QCOMPARE(comm.InBufferCount(), 0);  // nothing more waiting: the rest is a line of its own
        trace.Identity(1, "QZ7", "1.0,B");
        now = 7;
        memory.Send("late\r");
        QVERIFY(comm.setPortOpen(false));
        QCOMPARE(memory.Frames(), QList<QByteArray>{"V\r"});  // the unread bytes were only read
        now = 8;
        comm.Output("R\r");
        now = 9;
        QVERIFY(comm.setPortOpen(true));
        memory.Vanish();
        QTRY_COMPARE(lostReports, 1);
        now = 10;
        comm.Output("S\r");  // the port still reads as open, but nothing reaches the line
        QVERIFY(comm.setPortOpen(false));
        now = 11;  // lost, and closed before anyone heard of it: LOST all the same, once
        QVERIFY(comm.setPortOpen(true));
        memory.Vanish();
        QVERIFY(comm.setPortOpen(false));
        now = 12;  // a line that takes nothing
        QVERIFY(comm.setPortOpen(true));
        memory.Stall();
        comm.Output("U\r");
        QTest::qWait(20);
        QCOMPARE(lostReports, 1);
        now = 13;  // a port a search passed by, its holder unknown (a known one and SKIPPED: neighbours)
        trace.Busy(3, "/dev/pts/5", {});
        trace.Unavailable(4, "/dev/ttyUSB0", "refused by the system (Permission denied)");
        QCOMPARE(written.Read(),
                 "1.000000 START qz-test 1.0 wall=2026-05-01T10:22:33.123456+02:00\n"
                 "2.000000 OPEN-FAILED Comm3 /dev/mem3\n"
                 "3.000000 OPEN Comm1 /dev/mem1\n"
                 "4.000000 TX \"V\\r\"\n"
                 "5.000000 RX \"V,QZ7,A,1.0\\r\"\n"
                 "5.000000 RX \"\\nJUNK\\t\\\"\\\\\\x01\\xFF\"\n"
                 "6.000000 IDENTITY Comm1 serial=\"QZ7\" firmware=\"1.0,B\"\n"
                 "7.000000 UNREAD \"late\\r\"\n"
                 "7.000000 CLOSE Comm1 /dev/mem1\n"
                 "8.000000 TX-DROPPED \"R\\r\"\n"
                 "9.000000 OPEN Comm1 /dev/mem1\n"
                 "9.000000 LOST Comm1 /dev/mem1\n"
                 "10.000000 TX-FAILED \"S\\r\" device lost\n"
                 "10.000000 CLOSE Comm1 /dev/mem1\n"
                 "11.000000 OPEN Comm1 /dev/mem1\n"
                 "11.000000 LOST Comm1 /dev/mem1\n"
                 "11.000000 CLOSE Comm1 /dev/mem1\n"
                 "12.000000 OPEN Comm1 /dev/mem1\n"
                 "12.000000 TX-FAILED \"U\\r\" no room in the output queue within 100 ms (0 of 2 bytes written)\n"
                 "13.000000 BUSY Comm3 /dev/pts/5 held by another program\n"
                 "13.000000 UNAVAILABLE Comm4 /dev/ttyUSB0 \"refused by the system (Permission denied)\"\n");
    }

    // Local time east and west of UTC, and the microseconds kept whole.
    void traceWallTime()
    {
        QCOMPARE(LineTrace::FormatWall({1777623753, 7, 0}), "2026-05-01T08:22:33.000007+00:00");
        QCOMPARE(LineTrace::FormatWall({1777623753, 7, -(3 * 3600 + 1800)}), "2026-05-01T04:52:33.000007-03:30");
        QCOMPARE(LineTrace::FormatWall({1777623753, 7, 16 * 3600}), "2026-05-02T00:22:33.000007+16:00");
    }

    // A trace that cannot be written stops, is said once, and takes nothing else with it.
    void traceUnwritable()
    {
        HeardConsole console;
        {
            LineTrace full("/dev/full", &console);
            QVERIFY(full.IsOpen());
            full.Started("qz-test 1.0");
            full.Lost(1, "/dev/mem1");
        }
        QCOMPARE(console.lines,
                 QStringList{"qz-ruvude-zivo: the trace to '/dev/full' stopped: No space left on device"});
    }
};

QTEST_MAIN(TestConnect)
#include "tst_connect.moc"
