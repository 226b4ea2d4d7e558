// The quiet-line check and the reply timing, on a port already open, also
// with a program clock that passes midnight in the middle.
#include "LineDevices.h"
#include "TestRig.h"
#include "Timing.h"

#include <QtTest>

using namespace qzGlobals;
using PortState = MemoryCommControl::PortState;

namespace {

// Seconds since midnight, beginning `before` seconds before midnight.
class MidnightClock final : public Clock {
public:
    explicit MidnightClock(double before) : m_start(86400.0 - before) { m_timer.start(); }
    double Timer() override
    {
        double t = m_start + static_cast<double>(m_timer.nsecsElapsed()) / 1e9;
        while (t >= 86400.0)
            t -= 86400.0;
        return t;
    }

private:
    double m_start;
    QElapsedTimer m_timer;
};

struct OpenPort {
    TestRig rig;
    frmMain* form = nullptr;
    OpenPort(std::shared_ptr<MemoryDevice> device, Clock* clock = nullptr)
    {
        if (clock)
            rig.platform.clock = clock;
        rig.comm.SetPort(1, PortState::Available, std::move(device));
        form = &rig.Make();
        PortNumber = 1;
        form->Com_Open();
        rig.comm.ClearLog();
    }
};

}  // namespace

class TestProtocol : public QObject {
    Q_OBJECT

private slots:
    void quietLinePassesRightAfterTheSecondH()
    {
        OpenPort p(nullptr);
        QElapsedTimer t;
        t.start();
        QVERIFY(p.form->Quiet_Line_Check());
        const double took = static_cast<double>(t.nsecsElapsed()) / 1e9;
        QCOMPARE(p.rig.comm.Frames(), (QList<QByteArray>{"\r", "H\r", "H\r"}));
        const double nominal = (18 + 2) * 0.054;
        QVERIFY2(took >= nominal && took < nominal + Timing::Slack(), qPrintable(QString::number(took)));
    }

    void bytesBeforeTheHAreDrainedOnce()
    {
        // The device says something after the empty frame, then keeps quiet:
        // one drain pass, the bytes are read away, and the line is quiet.
        struct Grumbler : MemoryDevice {
            void Received(MemoryCommControl& line, const QByteArray& bytes) override
            {
                if (bytes == "\r")
                    line.ArriveAfter(1.0, "?\r\n");
            }
        };
        OpenPort p(std::make_shared<Grumbler>());
        QElapsedTimer t;
        t.start();
        QVERIFY(p.form->Quiet_Line_Check());
        const double took = static_cast<double>(t.nsecsElapsed()) / 1e9;
        QCOMPARE(p.rig.comm.Frames(), (QList<QByteArray>{"\r", "H\r", "H\r", "H\r"}));
        QCOMPARE(p.rig.comm.InBufferCount(), 0);
        const double nominal = (18 + 2 + 15) * 0.054;
        QVERIFY2(took >= nominal && took < nominal + Timing::Slack(), qPrintable(QString::number(took)));
    }

    void chattyDeviceFailsAcrossMidnight()
    {
        // Midnight falls 1.1 s into the check, just after the first "H".
        MidnightClock clock(1.0);
        OpenPort p(std::make_shared<ChattyDevice>(), &clock);
        QElapsedTimer t;
        t.start();
        QVERIFY(!p.form->Quiet_Line_Check());
        const double took = static_cast<double>(t.nsecsElapsed()) / 1e9;
        QCOMPARE(p.rig.comm.Frames(), (QList<QByteArray>{"\r", "H\r", "H\r", "H\r", "H\r", "H\r"}));
        const double nominal = (18 + 2 + 45) * 0.054;
        QVERIFY2(took >= nominal && took < nominal + 2 * Timing::Slack(), qPrintable(QString::number(took)));
    }

    void identityReadAcrossMidnight()
    {
        // Midnight falls inside the half-second wait.
        MidnightClock clock(0.25);
        OpenPort p(std::make_shared<LineMeter>("V,QZ1234,A,1.05\r"), &clock);
        QElapsedTimer t;
        t.start();
        QVERIFY(p.form->Com_Input_Vers());
        const double took = static_cast<double>(t.nsecsElapsed()) / 1e9;
        QVERIFY2(took >= 0.5 && took < 0.5 + Timing::Slack(), qPrintable(QString::number(took)));

        // And inside the read: no CR, the read still ends 0.2 s after it began.
        MidnightClock late(0.6);
        OpenPort q(std::make_shared<LineMeter>("V,QZ55,A,1"), &late);
        t.restart();
        QVERIFY(q.form->Com_Input_Vers());
        const double readTook = static_cast<double>(t.nsecsElapsed()) / 1e9;
        QCOMPARE(SerialNumber, QString("QZ55"));
        QVERIFY2(readTook >= 0.7 && readTook < 0.7 + Timing::Slack(), qPrintable(QString::number(readTook)));
    }
};

QTEST_MAIN(TestProtocol)
#include "tst_protocol.moc"
