// A meter whose port goes away while connected (adapter pulled, meter off):
// the window goes back to "Connect" without sending anything and says so
// once. During a search a vanishing port is just a port without a meter.
#include "LinkTest.h"
#include "TestRig.h"

#include <QSlider>
#include <QtTest>

using namespace qzGlobals;
using PortState = MemoryCommControl::PortState;
using Ev = MemoryCommControl::Event;

namespace {

// A meter that answers "V" and pulls its own plug once `vanishAt` frames have
// reached it (0: never); `action` then runs from the event loop, as a click would.
struct VanishingMeter : ScriptedMeter {
    qsizetype vanishAt = 0;
    std::function<void()> action;
    void Received(MemoryCommControl& line, const QByteArray& bytes) override
    {
        ScriptedMeter::Received(line, bytes);
        if (vanishAt > 0 && line.Frames().size() == vanishAt) {
            line.Vanish();
            if (action)
                QTimer::singleShot(0, action);
        }
    }
};

const QString LostText =
    "Lost the meter on Comm%1 (/dev/mem%1): it was unplugged or switched off. Plug it back in and press Connect.";

}  // namespace

class TestLostMeter : public QObject {
    Q_OBJECT

    // Window state after a loss: as Disconnect leaves it, tick cleared, the
    // needle buttons off, Connect on, one box, and no frame after the loss.
    static void VerifyLost(TestRig& rig, int port, qsizetype framesBefore)
    {
        frmMain& f = *rig.form;
        VerifyNotConnected(f);
        QVERIFY(!f.cmdLeft->isEnabled() && !f.cmdRight->isEnabled());
        QVERIFY(f.lblHard->text().isEmpty() && f.lblFirm->text().isEmpty());
        QVERIFY(f.lblSerialNum->isHidden() && f.lblFw->isHidden());
        QVERIFY(!f.mnuSourcePortComm[port]->isChecked());
        QVERIFY(!rig.comm.PortOpen());
        QCOMPARE(rig.messages.shown.size(), 1);  // the box expected, named after the port
        QCOMPARE(rig.comm.Frames().size(), framesBefore);
    }

private slots:
    void lossWhileConnected_data()
    {
        QTest::addColumn<QString>("action");  // what the user does once connected
        QTest::addColumn<int>("vanishAt");    // frames after the connection's "S"
        QTest::newRow("idle") << "" << 0;
        QTest::newRow("mid-sweep") << "SWEEP" << 5;
        QTest::newRow("in LEFT's wait") << "LEFT" << 0;
        QTest::newRow("in RIGHT's wait") << "RIGHT" << 0;
    }
    void lossWhileConnected()
    {
        QFETCH(QString, action);
        QFETCH(int, vanishAt);
        TestRig rig;
        auto meter = std::make_shared<VanishingMeter>();
        rig.comm.SetPort(2, PortState::Available, meter);
        frmMain& f = rig.Make();
        f.cmdConnect->click();
        VerifyConnected(f, 2, "QZ1234", "1.05");
        const qsizetype connected = rig.comm.Frames().size();  // up to and with "S"
        // While the box is up the sweep is held and the window dead to clicks.
        rig.messages.Expect({LostText.arg(2), "qz Ruvude Zivo"}, MessageBoxes::Answer::Ok, [&] {
            const qsizetype frames = rig.comm.Frames().size();
            for (QPushButton* b : {f.cmdSweep, f.cmdLeft, f.cmdRight})
                b->click();
            QTest::qWait(150);
            QCOMPARE(rig.comm.Frames().size(), frames);
        });

        if (action.isEmpty()) {
            rig.comm.Vanish();
            QTRY_COMPARE(rig.messages.shown.size(), 1);
        } else if (action == "SWEEP") {
            meter->vanishAt = connected + vanishAt;
            f.cmdSweep->click();  // returns once the loss has ended the sweep
        } else {
            QTimer::singleShot(300, &f, [&] { rig.comm.Vanish(); });
            (action == "LEFT" ? f.cmdLeft : f.cmdRight)->click();  // the stop is never sent
        }
        VerifyLost(rig, 2, connected + vanishAt);
        QTest::qWait(100);  // nothing more comes of it
        QCOMPARE(rig.messages.shown.size(), 1);
        QCOMPARE(rig.comm.DroppedWrites(), 0);

        if (action.isEmpty()) {  // plugged back in: Connect finds it again
            f.cmdConnect->click();
            VerifyConnected(f, 2, "QZ1234", "1.05");
        }
    }

    void vanishingDuringASearchIsAPortWithoutAMeter()
    {
        TestRig rig;
        auto first = std::make_shared<VanishingMeter>();
        first->vanishAt = 2;  // after the empty frame and the first "H"
        rig.comm.SetPort(1, PortState::Available, first);
        rig.comm.SetPort(3, PortState::Available, std::make_shared<ScriptedMeter>("V,QZ0003,A,3.0\r"));
        frmMain& f = rig.Make();
        f.cmdConnect->click();
        VerifyConnected(f, 3, "QZ0003", "3.0");
        QVERIFY(rig.messages.shown.isEmpty());
    }

    void closingFirstMeansNoReport()
    {
        // Disconnect pressed before the loss reached the window: nothing to tell.
        TestRig rig;
        rig.comm.SetPort(1, PortState::Available, std::make_shared<ScriptedMeter>());
        frmMain& f = rig.Make();
        f.cmdConnect->click();
        rig.comm.Vanish();
        f.cmdConnect->click();
        QTest::qWait(50);
        VerifyNotConnected(f);
        QVERIFY(rig.messages.shown.isEmpty());
    }
};

QTEST_MAIN(TestLostMeter)
#include "tst_lost_meter.moc"
