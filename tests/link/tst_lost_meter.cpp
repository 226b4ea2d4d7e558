// A meter whose port goes away while connected (adapter pulled, meter off):
// the window goes back to "Connect" without sending anything and says so
// once. During a search a vanishing port is just a port without a meter.
#include "LinkTest.h"
#include "TestRig.h"

#include <QtTest>

using PortState = MemoryCommControl::PortState;

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
        // As Disconnect leaves the window, but with the tick cleared and no frame after the loss.
        VerifyNotConnected(f);
        QVERIFY(!f.mnuSourcePortComm[2]->isChecked());
        QCOMPARE(rig.comm.Frames().size(), connected + vanishAt);
        QTest::qWait(100);  // nothing more comes of it: one box, named after the port
        QCOMPARE(rig.messages.shown.size(), 1);
        QCOMPARE(rig.comm.DroppedWrites() + rig.comm.FailedWrites().size(), 0);  // nothing written after the loss

        if (action.isEmpty()) {  // plugged back in: Connect finds it again
            f.cmdConnect->click();
            VerifyConnected(f, 2, "QZ1234", "1.05");
        }
    }

    // Losses nobody is told of (any box would fail the test): a port that
    // vanishes during a search is a port without a meter; and once Disconnect
    // was pressed before the loss reached the window, there is nothing to tell.
    void noReport()
    {
        TestRig rig;
        auto first = std::make_shared<VanishingMeter>();
        first->vanishAt = 2;  // after the empty frame and the first "H"
        rig.comm.SetPort(1, PortState::Available, first);
        rig.comm.SetPort(3, PortState::Available, std::make_shared<ScriptedMeter>("V,QZ0003,A,3.0\r"));
        frmMain& f = rig.Make();
        f.cmdConnect->click();
        VerifyConnected(f, 3, "QZ0003", "3.0");
        rig.comm.Vanish();
        f.cmdConnect->click();
        QTest::qWait(50);
        VerifyNotConnected(f);
    }
};

QTEST_MAIN(TestLostMeter)
#include "tst_lost_meter.moc"
