// Connect and Disconnect over in-memory ports, byte for byte and tick for tick.
#include "LinkTest.h"
#include "TestRig.h"

#include <QRadioButton>
#include <QToolButton>
#include <QtTest>

using namespace qzGlobals;
using namespace Nominal;
using PortState = MemoryCommControl::PortState;
using Ev = MemoryCommControl::Event;

namespace {

// The port log as text ("open4", "4:560d" for a write of "V\r", "close4"),
// leaving out the open-close pairs of Init_Ports.
QString Log(const MemoryCommControl& comm)
{
    QStringList out;
    const auto& ev = comm.Events();
    for (size_t i = 0; i < ev.size(); ++i) {
        const Ev& e = ev[i];
        if (e.kind == Ev::Open && i + 1 < ev.size() && ev[i + 1].kind == Ev::Close)
            ++i;
        else
            out << (e.kind == Ev::Open    ? QString("open%1").arg(e.port)
                    : e.kind == Ev::Close ? QString("close%1").arg(e.port)
                                          : QString("%1:%2").arg(e.kind == Ev::Write ? e.port : 0).arg(e.bytes.toHex()));
    }
    return out.join(' ');
}

// Never falls quiet: a byte every 20 ms for 4 s after each open, events or not.
struct ChattyDevice : MemoryDevice {
    void Opened(MemoryCommControl& line) override
    {
        for (double t = 0; t < 4.0; t += 0.02)
            line.ArriveAfter(t, "x");
    }
    void Received(MemoryCommControl&, const QByteArray&) override {}
};

// A port with nothing behind it: quiet, and no answer to "V".
constexpr auto Empty = PortState::Available;

}  // namespace

class TestConnect : public QObject {
    Q_OBJECT

private slots:
    void searchDisconnectAndSearchAgain()
    {
        // Comm1 never falls quiet (and midnight passes during its drain
        // passes), Comm2 is quiet but no meter, Comm3 is held, Comm4 and
        // Comm7 have meters.
        MidnightClock midnight(2.0);
        TestRig rig;
        rig.platform.clock = &midnight;
        auto seven = std::make_shared<ScriptedMeter>("V,QZ0007,A,7.0\r");
        rig.comm.SetPort(1, PortState::Available, std::make_shared<ChattyDevice>());
        rig.comm.SetPort(2, Empty);
        rig.comm.SetPort(3, PortState::Held);
        rig.comm.SetPort(4, PortState::Available, std::make_shared<ScriptedMeter>("V,QZ0004,A,4.0\r"));
        rig.comm.SetPort(7, PortState::Available, seven);
        frmMain& form = rig.Make();
        rig.comm.ClearLog();

        form.cmdConnect->click();

        // Comm1: the empty frame, two "H" and one more for each of three drain
        // passes, then closed; Comm2: the whole probe, left open until the
        // next; Comm4: the probe, then "S" after the reopen. Comm7 was only
        // opened and closed by the two Init_Ports.
        QCOMPARE(Log(rig.comm), QString("open1 1:0d 1:480d 1:480d 1:480d 1:480d 1:480d close1 "
                                        "open2 2:0d 2:480d 2:480d 2:560d close2 "
                                        "open4 4:0d 4:480d 4:480d 4:560d close4 open4 4:530d"));
        QVERIFY(seven->received.isEmpty());
        QCOMPARE(rig.comm.OpenCount(7), 2);
        const QList<double> t = rig.comm.FrameTimes();
        for (int i = 3; i <= 5; ++i)  // the drain passes; the third ends with Comm2's probe
            VERIFY_WAIT(t[i + 1] - t[i], DrainPass);
        constexpr double EmptyProbe = QuietWait + HGap + ReplyWait + ReadLimit;
        VERIFY_TIME(t[10] - t[6], EmptyProbe, EmptyProbe + 2 * Timing::Slack());
        qInfo("chatty port %.3f s, empty port %.3f s", t[6] - t[0], t[10] - t[6]);
        VerifyConnected(form, 4, "QZ0004", "4.0");
        QCOMPARE(form.lblInfo->text(), QString("Checking Port 4 for Hardware"));
        QVERIFY(rig.messages.shown.isEmpty());

        // Disconnect: "I", the port closed, the identity labels blanked.
        rig.comm.ClearLog();
        form.cmdConnect->click();
        QCOMPARE(Log(rig.comm), QString("4:490d close4"));
        VerifyNotConnected(form);
        QCOMPARE(form.lblHard->text(), QString());
        QCOMPARE(form.lblFirm->text(), QString());
        QCOMPARE(SerialNumber, QString("QZ0004"));  // kept; only its label is blanked

        // A meter is plugged into Comm1: the next search starts there.
        rig.comm.SetPort(1, PortState::Available, std::make_shared<ScriptedMeter>("V,QZ0001,A,1.0\r"));
        rig.comm.ClearLog();
        form.cmdConnect->click();
        QCOMPARE(Log(rig.comm), QString("open1 1:0d 1:480d 1:480d 1:560d close1 open1 1:530d"));
        const QList<double> u = rig.comm.FrameTimes();
        VERIFY_WAIT(u[1] - u[0], QuietWait);
        VERIFY_WAIT(u[2] - u[1], HGap);
        VERIFY_TIME(u[3] - u[2], 0.0, Timing::Slack(0.02));
        VERIFY_WAIT(u[4] - u[3], ReplyWait);  // the answer was waiting: read at once, reopen, "S"
        VerifyConnected(form, 1, "QZ0001", "1.0");
    }

    void retryRunsANewPassAndCancelGivesUp()
    {
        TestRig rig;
        rig.comm.SetPort(1, Empty);
        frmMain& form = rig.Make();
        rig.comm.ClearLog();
        QList<bool> asking;  // the state while the box is up
        rig.messages.onShow = [&](const FakeMessageBoxes::Shown&) {
            asking << (form.lblInfo->isHidden() && form.lblTitle->isHidden() && !form.cmdConnect->isEnabled() &&
                       form.cmdConnect->text() == "Connect");
            rig.comm.SetPort(1, PortState::Missing);  // unplugged before Retry
        };
        rig.messages.answers = {MessageBoxes::Answer::Retry, MessageBoxes::Answer::Cancel};

        form.cmdConnect->click();

        QCOMPARE(rig.messages.shown.size(), 2);
        const auto& box = rig.messages.shown.front();
        QCOMPARE(box.title, QString("qz Firmware Upgrade "));
        QCOMPARE(box.text, QString("No meter detected\r\nRetry - First check meter is connected and turned on.\r\n"
                                   "Otherwise - Cancel"));
        QCOMPARE(box.icon, MessageBoxes::Icon::Critical);
        QCOMPARE(box.buttons, MessageBoxes::Buttons::RetryCancel);
        QCOMPARE(asking, QList<bool>(2, true));
        // One probe of Comm1; Retry's pass probed the ports afresh and found none.
        QCOMPARE(Log(rig.comm), QString("open1 1:0d 1:480d 1:480d 1:560d close1"));
        QVERIFY(!PortAvailable[1]);
        VerifyNotConnected(form);
        QCOMPARE(int(PortNumber), 0);
        QCOMPARE(int(SavedPort), 0);
        for (QAction* entry : form.mnuSourcePortComm)
            QVERIFY(!entry->isChecked());
    }

    void handlersRunDuringASearchAndExitWaitsForItsEnd()
    {
        TestRig rig;
        rig.comm.SetPort(1, Empty);
        frmMain& form = rig.Make();
        rig.comm.ClearLog();
        QStringList disabled;
        // During the quiet wait: CYCLE, the calibration option and Exit work;
        // Connect and the needle buttons are disabled.
        QTimer::singleShot(300, &form, [&] {
            for (QPushButton* b : {form.cmdConnect, form.cmdSweep, form.cmdLeft, form.cmdRight})
                if (!b->isEnabled())
                    disabled << b->objectName();
            form.cmdCycle->click();
            form.optLUT->click();
            form.cmdExit->click();
        });

        form.cmdConnect->click();

        QCOMPARE(disabled, (QStringList{"cmdConnect", "cmdSweep", "cmdLeft", "cmdRight"}));
        // Their frames went to the port being probed; the check ran on at full length.
        QCOMPARE(rig.comm.Frames(), (QList<QByteArray>{"\r", "N0C6\r", "L\r", "N0C6\r", "R\r", "U\r", "H\r", "H\r",
                                                       "V\r"}));
        VERIFY_WAIT(rig.comm.FrameTimes()[6] - rig.comm.FrameTimes()[0], QuietWait);
        // A program on its way out is offered no Retry.
        QVERIFY(QuitRequested);
        QVERIFY(rig.messages.shown.isEmpty());
        VerifyNotConnected(form);
        QCOMPARE(int(PortNumber), 0);
        // Back in the main loop it ends, closing the port.
        QVERIFY(rig.comm.PortOpen());
        form.Form_Activate();
        QVERIFY(!rig.comm.PortOpen());
    }
};

QTEST_MAIN(TestConnect)
#include "tst_connect.moc"
