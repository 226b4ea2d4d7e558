// Connect and Disconnect: whole searches over in-memory ports, byte for byte
// and tick for tick.
#include "LineDevices.h"
#include "TestRig.h"
#include "Timing.h"

#include <QAction>
#include <QLabel>
#include <QPushButton>
#include <QRadioButton>
#include <QToolButton>
#include <QtTest>
#include <functional>

using namespace qzGlobals;
using PortState = MemoryCommControl::PortState;
using Ev = MemoryCommControl::Event;

namespace {

// The nominal waits of one probe, seconds.
constexpr double QuietWait = 18 * 0.054;  // SDelay(1)
constexpr double HGap = 2 * 0.054;        // between the two "H"
constexpr double ReplyWait = 0.5;
constexpr double ReadLimit = 0.2;
constexpr double EmptyPortProbe = QuietWait + HGap + ReplyWait + ReadLimit;  // 1.78 s
// First "H" to the end of the third drain pass: 2 ticks + 3 x (5 + 10) ticks.
constexpr double ChattyFailAfter = (2 + 3 * 15) * 0.054;  // 2.538 s

// Wraps a device and tells the test each time its port is opened.
class Spy : public MemoryDevice {
public:
    Spy(std::shared_ptr<MemoryDevice> inner, std::function<void()> onOpen)
        : inner(std::move(inner)), onOpen(std::move(onOpen))
    {
    }
    std::shared_ptr<MemoryDevice> inner;
    std::function<void()> onOpen;
    void Opened(MemoryCommControl& line) override
    {
        if (onOpen)
            onOpen();
        if (inner)
            inner->Opened(line);
    }
    void Closed(MemoryCommControl& line) override
    {
        if (inner)
            inner->Closed(line);
    }
    void Received(MemoryCommControl& line, const QByteArray& bytes) override
    {
        if (inner)
            inner->Received(line, bytes);
    }
};

// Records the order in which widgets are shown.
class ShowOrder : public QObject {
public:
    QStringList shown;
    bool eventFilter(QObject* o, QEvent* e) override
    {
        if (e->type() == QEvent::ShowToParent)
            shown << o->objectName();
        return false;
    }
};

// The log from index `from` on.
std::vector<Ev> EventsFrom(const MemoryCommControl& comm, size_t from)
{
    const auto& all = comm.Events();
    return std::vector<Ev>(all.begin() + static_cast<long>(std::min(from, all.size())), all.end());
}

// Where the first probe of a single port begins: the first Open followed by a
// write (the probes of all ports only open and close).
size_t FirstProbeOpen(const MemoryCommControl& comm)
{
    const auto& ev = comm.Events();
    for (size_t i = 0; i + 1 < ev.size(); ++i)
        if (ev[i].kind == Ev::Open && (ev[i + 1].kind == Ev::Write || ev[i + 1].kind == Ev::DroppedWrite))
            return i;
    return ev.size();
}

QString Describe(const std::vector<Ev>& ev)
{
    QStringList out;
    for (const Ev& e : ev) {
        switch (e.kind) {
        case Ev::Open:
            out << QString("open%1").arg(e.port);
            break;
        case Ev::Close:
            out << QString("close%1").arg(e.port);
            break;
        case Ev::Write:
            out << QString("%1:%2").arg(e.port).arg(QString::fromLatin1(e.bytes.toHex()));
            break;
        case Ev::DroppedWrite:
            out << QString("dropped:%1").arg(QString::fromLatin1(e.bytes.toHex()));
            break;
        }
    }
    return out.join(' ');
}

bool Between(double value, double low, double high)
{
    return value >= low && value < high;
}

#define VERIFY_TIME(value, low, high)                                                                       \
    QVERIFY2(Between((value), (low), (high)),                                                             \
             qPrintable(QString("%1 = %2, expected [%3, %4)").arg(#value).arg(value).arg(low).arg(high)))

}  // namespace

class TestConnect : public QObject {
    Q_OBJECT

private slots:
    void successfulSearchByteForByte()
    {
        TestRig rig;
        auto meter = std::make_shared<LineMeter>("V,QZ1234,A,1.05\r");
        rig.comm.SetPort(1, PortState::Available, meter);
        frmMain& form = rig.Make();
        ShowOrder order;
        for (QLabel* l : {form.lblSerialNum, form.lblFw, form.lblHard, form.lblFirm})
            l->installEventFilter(&order);
        rig.comm.ClearLog();

        const double start = rig.clock.Timer();
        form.cmdConnect->click();
        const double took = rig.clock.Timer() - start;
        qInfo("search with a meter on Comm1: %.3f s", took);

        // Two probes of the ports, then the probe of Comm1, then the reopen and "S".
        const std::vector<Ev> ev = rig.comm.Events();
        QCOMPARE(Describe(ev), QString("open1 close1 open1 close1 open1 1:0d 1:480d 1:480d 1:560d close1 open1 1:530d"));
        QCOMPARE(rig.comm.Written(), QByteArray("\rH\rH\rV\rS\r"));

        // The spacing of the frames.
        const double cr = ev[5].time, h1 = ev[6].time, h2 = ev[7].time, v = ev[8].time, s = ev[11].time;
        VERIFY_TIME(h1 - cr, QuietWait, QuietWait + Timing::Slack());
        VERIFY_TIME(h2 - h1, HGap, HGap + Timing::Slack());
        VERIFY_TIME(v - h2, 0.0, Timing::Slack(0.02));
        // The answer was there at once: reading starts at 0.5 s and ends at its CR.
        VERIFY_TIME(s - v, ReplyWait, ReplyWait + Timing::Slack());
        VERIFY_TIME(took, QuietWait + HGap + ReplyWait, QuietWait + HGap + ReplyWait + 2 * Timing::Slack());

        // The window as connected.
        QVERIFY(form.Connected);
        QCOMPARE(form.cmdConnect->text(), QString("Disconnect"));
        QVERIFY(form.cmdConnect->isEnabled());
        QVERIFY(form.cmdSweep->isEnabled());
        QVERIFY(form.cmdLeft->isEnabled());
        QVERIFY(form.cmdRight->isEnabled());
        QCOMPARE(form.focusWidget(), static_cast<QWidget*>(form.cmdSweep));
        QVERIFY(form.lblInfo->isHidden());
        QVERIFY(form.lblTitle->isHidden());
        QCOMPARE(form.lblHard->text(), QString("QZ1234"));
        QCOMPARE(form.lblFirm->text(), QString("1.05"));
        QCOMPARE(order.shown, (QStringList{"lblSerialNum", "lblFw", "lblHard", "lblFirm"}));
        QCOMPARE(SerialNumber, QString("QZ1234"));
        QCOMPARE(FwVersion, QString("1.05"));
        QCOMPARE(PortNumber, int16_t(1));
        QCOMPARE(SavedPort, int16_t(1));
        QVERIFY(form.mnuSourcePortComm[1]->isChecked());
        QVERIFY(rig.comm.PortOpen());
        QCOMPARE(rig.comm.CommPort(), 1);
        QVERIFY(rig.messages.shown.isEmpty());
        QCOMPARE(meter->received, (QList<QByteArray>{"\r", "H\r", "H\r", "V\r", "S\r"}));
    }

    void searchStopsAtTheFirstMeter()
    {
        TestRig rig;
        frmMain* formPtr = nullptr;
        QMap<int, QStringList> infoAtOpen;
        auto spy = [&](int port, std::shared_ptr<MemoryDevice> inner) {
            return std::make_shared<Spy>(std::move(inner), [&, port] {
                if (formPtr)
                    infoAtOpen[port] << formPtr->lblInfo->text();
            });
        };
        auto four = std::make_shared<LineMeter>("V,QZ0004,A,4.0\r");
        auto seven = std::make_shared<LineMeter>("V,QZ0007,A,7.0\r");
        rig.comm.SetPort(2, PortState::Available, spy(2, {}));
        rig.comm.SetPort(3, PortState::Held);
        rig.comm.SetPort(4, PortState::Available, spy(4, four));
        rig.comm.SetPort(7, PortState::Available, spy(7, seven));
        frmMain& form = rig.Make();
        formPtr = &form;
        rig.comm.ClearLog();
        infoAtOpen.clear();

        form.cmdConnect->click();

        QVERIFY(form.Connected);
        QCOMPARE(PortNumber, int16_t(4));
        QCOMPARE(form.lblHard->text(), QString("QZ0004"));
        QCOMPARE(form.lblFirm->text(), QString("4.0"));
        // Comm7 was only opened and closed by the two probes of the ports.
        QVERIFY(rig.comm.FramesTo(7).isEmpty());
        QVERIFY(seven->received.isEmpty());
        QCOMPARE(rig.comm.OpenCount(7), 2);
        // The empty port got the whole probe and was left open until the next one.
        QCOMPARE(rig.comm.FramesTo(2), (QList<QByteArray>{"\r", "H\r", "H\r", "V\r"}));
        QCOMPARE(rig.comm.FramesTo(4), (QList<QByteArray>{"\r", "H\r", "H\r", "V\r", "S\r"}));
        QCOMPARE(rig.comm.FramesTo(3), QList<QByteArray>{});
        const std::vector<Ev> ev = EventsFrom(rig.comm, FirstProbeOpen(rig.comm));
        QCOMPARE(Describe(ev), QString("open2 2:0d 2:480d 2:480d 2:560d close2 open4 4:0d 4:480d 4:480d 4:560d "
                                       "close4 open4 4:530d"));
        // Each probe names its port while it runs.
        QCOMPARE(infoAtOpen[2].last(), QString("Checking Port 2 for Hardware"));
        QCOMPARE(infoAtOpen[4].at(infoAtOpen[4].size() - 2), QString("Checking Port 4 for Hardware"));
        // Only the meter's port is ticked.
        for (int i = 0; i <= 16; ++i)
            QCOMPARE(form.mnuSourcePortComm[i]->isChecked(), i == 4);

        // An empty port costs the whole wait and the whole read.
        const double emptyProbe = ev[6].time - ev[0].time;
        qInfo("empty port probe: %.3f s", emptyProbe);
        VERIFY_TIME(emptyProbe, EmptyPortProbe, EmptyPortProbe + 2 * Timing::Slack());
    }

    void chattyDeviceFailsTheQuietCheckAndTheSearchGoesOn()
    {
        TestRig rig;
        auto chatty = std::make_shared<ChattyDevice>();
        auto meter = std::make_shared<LineMeter>("V,QZ0002,A,2.0\r");
        rig.comm.SetPort(1, PortState::Available, chatty);
        rig.comm.SetPort(2, PortState::Available, meter);
        frmMain& form = rig.Make();
        rig.comm.ClearLog();

        form.cmdConnect->click();

        // The empty frame, two "H", then one "H" for each of three drain passes;
        // no "V": the port is closed and the next one probed.
        QCOMPARE(rig.comm.FramesTo(1), (QList<QByteArray>{"\r", "H\r", "H\r", "H\r", "H\r", "H\r"}));
        const std::vector<Ev> ev = EventsFrom(rig.comm, FirstProbeOpen(rig.comm));
        QCOMPARE(Describe(ev), QString("open1 1:0d 1:480d 1:480d 1:480d 1:480d 1:480d close1 open2 2:0d 2:480d "
                                       "2:480d 2:560d close2 open2 2:530d"));
        const double t0 = ev[2].time;  // the first "H"
        const double failedAt = ev[7].time - t0;
        qInfo("chatty device given up %.3f s after the first H", failedAt);
        VERIFY_TIME(failedAt, ChattyFailAfter, ChattyFailAfter + 3 * Timing::Slack());
        // The drain passes are 15 ticks apart.
        VERIFY_TIME(ev[5].time - ev[4].time, 15 * 0.054, 15 * 0.054 + Timing::Slack());
        VERIFY_TIME(ev[6].time - ev[5].time, 15 * 0.054, 15 * 0.054 + Timing::Slack());
        QVERIFY(form.Connected);
        QCOMPARE(PortNumber, int16_t(2));
        QCOMPARE(form.lblHard->text(), QString("QZ0002"));
    }

    void noMeterThenRetryFindsOne()
    {
        TestRig rig;
        rig.comm.SetPort(1, PortState::Available);
        frmMain& form = rig.Make();
        auto meter = std::make_shared<LineMeter>("V,QZ4242,A,9.9\r");
        struct Seen {
            bool infoHidden, titleHidden, connectEnabled, sweepEnabled;
            QString caption;
        };
        QList<Seen> seen;
        rig.messages.answers << MessageBoxes::Answer::Retry;
        rig.messages.onShow = [&](const FakeMessageBoxes::Shown&) {
            seen << Seen{form.lblInfo->isHidden(), form.lblTitle->isHidden(), form.cmdConnect->isEnabled(),
                         form.cmdSweep->isEnabled(), form.cmdConnect->text()};
            // The technician plugs the meter in and presses Retry.
            rig.comm.SetPort(1, PortState::Available, meter);
        };
        rig.comm.ClearLog();

        form.cmdConnect->click();

        QCOMPARE(rig.messages.shown.size(), 1);
        const auto& box = rig.messages.shown.front();
        QCOMPARE(box.title, QString("qz Firmware Upgrade "));
        QCOMPARE(box.text, QString("No meter detected\r\nRetry - First check meter is connected and turned on.\r\n"
                                   "Otherwise - Cancel"));
        QCOMPARE(box.icon, MessageBoxes::Icon::Critical);
        QCOMPARE(box.buttons, MessageBoxes::Buttons::RetryCancel);
        QCOMPARE(seen.size(), 1);
        QVERIFY(seen[0].infoHidden);
        QVERIFY(seen[0].titleHidden);
        QVERIFY(!seen[0].connectEnabled);
        QVERIFY(!seen[0].sweepEnabled);
        QCOMPARE(seen[0].caption, QString("Connect"));

        // The second pass probed the ports again, then found the meter.
        QCOMPARE(rig.comm.OpenCount(1), 2 + 1 + 1 + 1 + 1);
        QVERIFY(form.Connected);
        QCOMPARE(form.cmdConnect->text(), QString("Disconnect"));
        QCOMPARE(form.lblHard->text(), QString("QZ4242"));
        QCOMPARE(meter->received, (QList<QByteArray>{"\r", "H\r", "H\r", "V\r", "S\r"}));
    }

    void cancelLeavesItUnconnected()
    {
        TestRig rig;
        rig.comm.SetPort(3, PortState::Available);
        frmMain& form = rig.Make();
        rig.messages.answers << MessageBoxes::Answer::Cancel;
        form.cmdConnect->click();

        QCOMPARE(rig.messages.shown.size(), 1);
        QVERIFY(!form.Connected);
        QCOMPARE(form.cmdConnect->text(), QString("Connect"));
        QVERIFY(form.cmdConnect->isEnabled());
        QVERIFY(!form.cmdSweep->isEnabled());
        QVERIFY(!form.cmdLeft->isEnabled());
        QVERIFY(!form.cmdRight->isEnabled());
        QCOMPARE(PortNumber, int16_t(0));
        QCOMPARE(SavedPort, int16_t(0));
        QVERIFY(form.lblInfo->isHidden());
        QVERIFY(form.lblTitle->isHidden());
        QVERIFY(form.lblHard->isHidden());
        // The quiet but silent port stays open from its probe.
        QVERIFY(rig.comm.PortOpen());
        QCOMPARE(rig.comm.CommPort(), 3);
        for (int i = 0; i <= 16; ++i)
            QVERIFY(!form.mnuSourcePortComm[i]->isChecked());
    }

    void noPortAtAllAsksAtOnce()
    {
        TestRig rig;
        frmMain& form = rig.Make();
        rig.comm.ClearLog();
        double askedAfter = -1;
        const double start = rig.clock.Timer();
        rig.messages.onShow = [&](const FakeMessageBoxes::Shown&) { askedAfter = rig.clock.Timer() - start; };
        form.cmdConnect->click();
        QCOMPARE(rig.messages.shown.size(), 1);
        QVERIFY(askedAfter >= 0 && askedAfter < 0.1);
        QVERIFY(rig.comm.Events().empty());
        QCOMPARE(form.cmdConnect->text(), QString("Connect"));
    }

    void disconnectTellsTheMeterAndBlanksTheIdentity()
    {
        TestRig rig;
        auto meter = std::make_shared<LineMeter>("V,QZ1234,A,1.05\r");
        rig.comm.SetPort(1, PortState::Available, meter);
        frmMain& form = rig.Make();
        form.cmdConnect->click();
        QVERIFY(form.Connected);
        rig.comm.ClearLog();

        form.cmdConnect->click();

        QCOMPARE(Describe(rig.comm.Events()), QString("1:490d close1"));
        QVERIFY(!form.Connected);
        QVERIFY(!rig.comm.PortOpen());
        QCOMPARE(form.cmdConnect->text(), QString("Connect"));
        QVERIFY(form.cmdConnect->isEnabled());
        QVERIFY(!form.cmdSweep->isEnabled());
        QVERIFY(!form.cmdLeft->isEnabled());
        QVERIFY(!form.cmdRight->isEnabled());
        QCOMPARE(form.lblFirm->text(), QString());
        QCOMPARE(form.lblHard->text(), QString());
        for (QLabel* l : {form.lblSerialNum, form.lblFw, form.lblHard, form.lblFirm})
            QVERIFY(l->isHidden());
        QCOMPARE(form.lblTitle->text(), QString("Searching for meter"));
        // The identity itself is kept; only its labels are blanked.
        QCOMPARE(SerialNumber, QString("QZ1234"));
        QVERIFY(rig.messages.shown.isEmpty());
    }

    void reconnectSearchesFromPortOneAgain()
    {
        TestRig rig;
        auto meter = std::make_shared<LineMeter>("V,QZ0002,A,2.0\r");
        rig.comm.SetPort(1, PortState::Available);
        rig.comm.SetPort(2, PortState::Available, meter);
        frmMain& form = rig.Make();
        form.cmdConnect->click();
        QCOMPARE(PortNumber, int16_t(2));
        form.cmdConnect->click();
        QVERIFY(!form.Connected);
        rig.comm.ClearLog();

        // The next search clears the tick and starts again at Comm1.
        form.cmdConnect->click();
        const std::vector<Ev> ev = EventsFrom(rig.comm, FirstProbeOpen(rig.comm));
        QCOMPARE(Describe(ev), QString("open1 1:0d 1:480d 1:480d 1:560d close1 open2 2:0d 2:480d 2:480d 2:560d "
                                       "close2 open2 2:530d"));
        QVERIFY(form.Connected);
        QVERIFY(!form.mnuSourcePortComm[1]->isChecked());
        QVERIFY(form.mnuSourcePortComm[2]->isChecked());
    }

    void searchTicksOnlyTheNewMeter()
    {
        TestRig rig;
        auto first = std::make_shared<LineMeter>("V,QZ0005,A,5\r");
        rig.comm.SetPort(5, PortState::Available, first);
        frmMain& form = rig.Make();
        form.cmdConnect->click();
        QVERIFY(form.mnuSourcePortComm[5]->isChecked());
        form.cmdConnect->click();

        // The meter moves to Comm3.
        rig.comm.SetPort(3, PortState::Available, std::make_shared<LineMeter>("V,QZ0003,A,3\r"));
        rig.comm.SetPort(5, PortState::Available);
        form.cmdConnect->click();
        QCOMPARE(PortNumber, int16_t(3));
        for (int i = 0; i <= 16; ++i)
            QCOMPARE(form.mnuSourcePortComm[i]->isChecked(), i == 3);
        QCOMPARE(form.lblHard->text(), QString("QZ0003"));
    }

    void otherHandlersRunBetweenTheFrames()
    {
        TestRig rig;
        auto meter = std::make_shared<LineMeter>("V,QZ1234,A,1.05\r");
        rig.comm.SetPort(1, PortState::Available, meter);
        frmMain& form = rig.Make();
        rig.comm.ClearLog();

        QStringList blocked;
        // During the quiet wait: the needle buttons are disabled and do
        // nothing; CYCLE and the calibration option are live.
        QTimer::singleShot(300, &form, [&] {
            for (QPushButton* b : {form.cmdSweep, form.cmdLeft, form.cmdRight, form.cmdConnect})
                if (!b->isEnabled())
                    blocked << b->objectName();
            form.cmdSweep->click();
            form.cmdLeft->click();
            form.cmdConnect->click();
            form.cmdCycle->click();
            form.optLUT->click();
        });
        form.cmdConnect->click();

        QCOMPARE(blocked, (QStringList{"cmdSweep", "cmdLeft", "cmdRight", "cmdConnect"}));
        // CYCLE moved to the first stop (198 = "0C6"); "ON" sent "L" and that point again.
        QCOMPARE(rig.comm.Frames(),
                 (QList<QByteArray>{"\r", "N0C6\r", "L\r", "N0C6\r", "H\r", "H\r", "V\r", "S\r"}));
        // The quiet wait still ran its full length from the empty frame.
        const std::vector<Ev> ev = EventsFrom(rig.comm, FirstProbeOpen(rig.comm));
        VERIFY_TIME(ev[5].time - ev[1].time, QuietWait, QuietWait + Timing::Slack());
        QVERIFY(form.Connected);
    }

    void exitDuringASearchWaitsForItsEnd()
    {
        TestRig rig;
        auto meter = std::make_shared<LineMeter>("V,QZ0002,A,2.0\r");
        rig.comm.SetPort(1, PortState::Available);
        rig.comm.SetPort(2, PortState::Available, meter);
        frmMain& form = rig.Make();
        rig.comm.ClearLog();
        QTimer::singleShot(300, &form, [&] { form.cmdExit->click(); });

        form.cmdConnect->click();

        // Exit's commands went to the port being probed, between its frames,
        // and the search ran on to the meter.
        QCOMPARE(rig.comm.FramesTo(1), (QList<QByteArray>{"\r", "R\r", "U\r", "H\r", "H\r", "V\r"}));
        QCOMPARE(rig.comm.FramesTo(2), (QList<QByteArray>{"\r", "H\r", "H\r", "V\r", "S\r"}));
        QVERIFY(QuitRequested);
        QVERIFY(form.Connected);
        QVERIFY(rig.messages.shown.isEmpty());
        // Back in the main loop the program ends, closing the port.
        form.Form_Activate();
        QVERIFY(!rig.comm.PortOpen());
    }

    void exitDuringAFruitlessSearchAsksNothing()
    {
        TestRig rig;
        rig.comm.SetPort(1, PortState::Available);
        frmMain& form = rig.Make();
        QTimer::singleShot(300, &form, [&] { form.mnuExit->trigger(); });
        rig.messages.answers << MessageBoxes::Answer::Retry;

        form.cmdConnect->click();

        // No Retry offered to a program on its way out.
        QVERIFY(rig.messages.shown.isEmpty());
        QVERIFY(QuitRequested);
        QCOMPARE(form.cmdConnect->text(), QString("Connect"));
        QCOMPARE(PortNumber, int16_t(0));
        QCOMPARE(rig.comm.OpenCount(1), 2 + 1 + 1);
    }

    void portVanishingBeforeItsProbeEndsTheProgram()
    {
        TestRig rig;
        // Comm3 answers the two probes of the ports, then is unplugged.
        int opens = 0;
        auto device = std::make_shared<Spy>(nullptr, nullptr);
        rig.comm.SetPort(3, PortState::Available, device);
        frmMain& form = rig.Make(false);
        // Unplugged between the probe of the ports and the probe of Comm3.
        device->onOpen = [&] {
            if (++opens == 2)
                rig.comm.SetPort(3, PortState::Missing, device);
        };
        rig.messages.answers << MessageBoxes::Answer::Ok << MessageBoxes::Answer::Retry;
        form.cmdConnect->click();

        QCOMPARE(rig.messages.shown.size(), 1);
        QCOMPARE(rig.messages.shown.front().text, QString("Error Opening Comm3:9600,n,8,1"));
        QCOMPARE(rig.messages.shown.front().title, QString("Open Comms Port"));
        QVERIFY(QuitRequested);
        QVERIFY(!form.Connected);
        QVERIFY(rig.comm.Frames().isEmpty());
        QCOMPARE(form.cmdConnect->text(), QString("Connect"));
        QVERIFY(form.cmdConnect->isEnabled());
    }
};

QTEST_MAIN(TestConnect)
#include "tst_connect.moc"
