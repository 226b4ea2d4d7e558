// A meter whose port goes away while connected (adapter pulled, meter off): the window goes back to "Connect" without
// sending anything and says so once. During a search a vanishing port is just a port without a meter.
#include "LinkTest.h"
#include "TestRig.h"

#include <QtTest>

using PortState = MemoryCommControl::PortState;

namespace {

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

class TestLostMeter : public QObject {
    Q_OBJECT

private slots:
    // Losses nobody is told of (any box would fail the test), on the row where Disconnect is pressed before the loss
    // reached the window: a port (Comm1) that vanishes during the search is a port without a meter; and once
    // Disconnect was pressed, there is nothing to tell.
    void lossWhileConnected_data()
    {
        QTest::addColumn<QString>("action");  // what the user does once connected
        QTest::addColumn<int>("vanishAt");    // frames after the connection's "S"
        QTest::newRow("idle") << "" << 0;
        QTest::newRow("mid-sweep") << "SWEEP" << 5;
        QTest::newRow("in LEFT's wait") << "LEFT" << 0;
        QTest::newRow("in RIGHT's wait") << "RIGHT" << 0;
        QTest::newRow("Disconnect before the report") << "Disconnect" << 0;
    }
    void lossWhileConnected()
    {
        QFETCH(QString, action);
        QFETCH(int, vanishAt);
        const bool told = action != "Disconnect";
        TestRig rig;
        auto first = std::make_shared<VanishingMeter>(""), meter = std::make_shared<VanishingMeter>();
        first->vanishAt = 2;  // after the empty frame and the first "H"
        rig.comm.SetPort(1, told ? PortState::Missing : PortState::Available, first);
        rig.comm.SetPort(2, PortState::Available, meter);
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

        if (action.isEmpty() || !told) {
            rig.comm.Vanish();
            if (told)
                QTRY_COMPARE(rig.messages.shown.size(), 1);
            else
                f.cmdConnect->click();
        } else if (action == "SWEEP") {
            meter->vanishAt = vanishAt;
            f.cmdSweep->click();  // returns once the loss has ended the sweep
        } else {
            QTimer::singleShot(300, &f, [&] { rig.comm.Vanish(); });
            (action == "LEFT" ? f.cmdLeft : f.cmdRight)->click();  // the stop is never sent
        }
        // As Disconnect leaves the window, but with the tick cleared and no frame after the loss.
        VerifyNotConnected(f);
        QCOMPARE(f.mnuSourcePortComm[2]->isChecked(), !told);
        QCOMPARE(rig.comm.Frames().size(), vanishAt);
        QTest::qWait(100);  // nothing more comes of it: one box, named after the port
        QCOMPARE(rig.messages.shown.size(), int(told));
        QCOMPARE(rig.comm.DroppedWrites() + rig.comm.FailedWrites().size(), int(!told));  // only Disconnect's "I"

        if (action.isEmpty()) {  // plugged back in: Connect finds it again
            f.cmdConnect->click();
            VerifyConnected(f, 2, "QZ1234", "1.05");
        }
    }
};

QTEST_MAIN(TestLostMeter)
#include "tst_lost_meter.moc"
