// The receive filter, the identity line, the identity query and the quiet-line
// check, on an in-memory port already open (Comm1).
#include "LinkTest.h"
#include "TestRig.h"
#include "link/Identity.h"

#include <QtTest>

using namespace qzGlobals;

namespace {

// Answers the frame `to` with `reply`, whose bytes reach the receive buffer
// `delay` seconds after it, each `perByte` after the one before, whether or
// not events are processed (as on a real line).
struct LineMeter : MemoryDevice {
    LineMeter(QByteArray reply, double delay, double perByte, QByteArray to = "V\r")
        : reply(std::move(reply)), to(std::move(to)), delay(delay), perByte(perByte) {}
    QByteArray reply, to;
    double delay, perByte;
    void Received(MemoryCommControl& line, const QByteArray& bytes) override
    {
        if (bytes == to)
            for (int i = 0; i < reply.size(); ++i)
                line.ArriveAfter(delay + perByte * i, reply.mid(i, 1));
    }
};

// A window whose Comm1 is open on `device`, as a probe leaves it.
struct OpenPort {
    TestRig rig;
    frmMain* form;
    explicit OpenPort(std::shared_ptr<MemoryDevice> device, Clock* clock = nullptr)
    {
        if (clock)
            rig.platform.clock = clock;
        rig.comm.SetPort(1, MemoryCommControl::PortState::Available, std::move(device));
        form = &rig.Make();
        PortNumber = 1;
        form->Com_Open();
        rig.comm.ClearLog();
        SerialNumber = "QZ0000";  // an earlier meter's
        FwVersion = "0.00";
    }
};

}  // namespace

class TestProtocol : public QObject {
    Q_OBJECT

private slots:
    void filterKeepsCommaToZ()
    {
        for (int c = 0; c < 256; ++c)
            QCOMPARE(Identity::PassesFilter(char(c)), c >= ',' && c <= 'Z');
        QCOMPARE(Identity::Filter("v,QZ 1a2\r\n-/:@[~"), QByteArray(",QZ12-/:@"));
    }

    // Identity lines as they stand after the receive filter; a serial field
    // with no comma behind it is taken whole.
    void parse_data()
    {
        QTest::addColumn<QString>("reply");
        QTest::addColumn<bool>("recognised");
        QTest::addColumn<QString>("serial");
        QTest::addColumn<QString>("firmware");
        QTest::newRow("whole") << "V,QZ1234,A,1.05" << true << "QZ1234" << "1.05";
        QTest::newRow("firmware with comma") << "V,QZ1234,A,1.05,B" << true << "QZ1234" << "1.05,B";
        QTest::newRow("no firmware") << "V,QZ1234,A" << true << "QZ1234" << "";
        QTest::newRow("serial only") << "V,QZ1234" << true << "QZ1234" << "";
        QTest::newRow("third field empty") << "V,QZ1234,,2.0" << true << "QZ1234" << "2.0";
        QTest::newRow("short") << "V,Q" << false << "" << "";
        QTest::newRow("empty") << "" << false << "" << "";
        QTest::newRow("prefix not at start") << "XV,QZ1234,A,1" << false << "" << "";
    }
    void parse()
    {
        QFETCH(QString, reply);
        const Identity::Line line = Identity::Parse(reply);
        QTEST(line.recognised, "recognised");
        QTEST(line.serialNumber, "serial");
        QTEST(line.fwVersion, "firmware");
    }

    // The query on the wire: the filter, what is left unread, and the timing:
    // reading starts 0.5 s after "V" (the window live meanwhile) and ends at
    // the CR or 0.2 s later, also with a clock passing midnight.
    void query_data()
    {
        QTest::addColumn<QByteArray>("reply");
        QTest::addColumn<double>("delay");           // from "V" to the reply's first byte
        QTest::addColumn<double>("perByte");         // between its bytes
        QTest::addColumn<double>("beforeMidnight");  // at "V"; 0: the plain clock
        QTest::addColumn<bool>("result");
        QTest::addColumn<QString>("serial");
        QTest::addColumn<QString>("firmware");
        QTest::addColumn<int>("leftOver");
        QTest::addColumn<double>("took");
        QTest::newRow("blanks, lower case, LF before CR")
            << QByteArray("V,QZ 12ab34,A,1.0 5\n\r") << 0.45 << 0.0 << 0.0 << true << "QZ1234" << "1.05" << 0 << 0.5;
        QTest::newRow("LF after CR stays")
            << QByteArray("V,QZ1234,A,1.05\r\n") << 0.0 << 0.0 << 0.0 << true << "QZ1234" << "1.05" << 1 << 0.5;
        QTest::newRow("serial only")
            << QByteArray("V,QZ4321\r") << 0.0 << 0.0 << 0.0 << true << "QZ4321" << "" << 0 << 0.5;
        QTest::newRow("lower-case line")
            << QByteArray("v,qz1234,a,1.05\r") << 0.0 << 0.0 << 0.0 << false << "QZ0000" << "0.00" << 0 << 0.5;
        QTest::newRow("empty line first")
            << QByteArray("\rV,QZ1234,A,1.05\r") << 0.0 << 0.0 << 0.0 << false << "QZ0000" << "0.00" << 16 << 0.5;
        // No events are processed during the read, yet every byte is seen.
        QTest::newRow("trickling in from 0.52 s")
            << QByteArray("V,QZ777,A,3.1\r") << 0.52 << 0.001 << 0.0 << true << "QZ777" << "3.1" << 0 << 0.533;
        QTest::newRow("no CR, midnight in the wait")
            << QByteArray("V,QZ99,A,7.7") << 0.1 << 0.0 << 0.25 << true << "QZ99" << "7.7" << 0 << 0.7;
        QTest::newRow("no CR, midnight in the read")
            << QByteArray("V,QZ55,A,1") << 0.0 << 0.0 << 0.6 << true << "QZ55" << "1" << 0 << 0.7;
        QTest::newRow("complete at 0.9 s: too late")
            << QByteArray("V,QZ1234,A,1.05\r") << 0.9 << 0.0 << 0.0 << false << "QZ0000" << "0.00" << 0 << 0.7;
    }
    void query()
    {
        QFETCH(QByteArray, reply);
        QFETCH(double, delay);
        QFETCH(double, perByte);
        QFETCH(double, beforeMidnight);
        QFETCH(double, took);
        MidnightClock midnight(beforeMidnight);
        OpenPort p(std::make_shared<LineMeter>(reply, delay, perByte), beforeMidnight > 0 ? &midnight : nullptr);
        bool handled = false;
        QTimer::singleShot(200, &p.rig.comm, [&] { handled = true; });
        QTimer::singleShot(3000, &p.rig.comm, [] { qFatal("Com_Input_Vers does not end"); });
        midnight.Restart();
        QElapsedTimer t;
        t.start();
        QTEST(p.form->Com_Input_Vers(), "result");
        VERIFY_WAIT(t.nsecsElapsed() / 1e9, took);
        QVERIFY(handled);
        QTEST(SerialNumber, "serial");
        QTEST(FwVersion, "firmware");
        QCOMPARE(p.rig.comm.Frames(), QList<QByteArray>{"V\r"});
        QTEST(p.rig.comm.InBufferCount(), "leftOver");
    }

    void quietLineCheckDrainsWhatCameAfterTheEmptyFrame()
    {
        // The device answers the empty frame late, then keeps quiet: one drain
        // pass reads the bytes away and the line is quiet.
        OpenPort p(std::make_shared<LineMeter>("?\r\n", 1.0, 0.0, "\r"));
        QElapsedTimer t;
        t.start();
        QVERIFY(p.form->Quiet_Line_Check());
        using namespace Nominal;
        VERIFY_WAIT(t.nsecsElapsed() / 1e9, QuietWait + HGap + DrainPass);
        QCOMPARE(p.rig.comm.Frames(), (QList<QByteArray>{"\r", "H\r", "H\r", "H\r"}));
        QCOMPARE(p.rig.comm.InBufferCount(), 0);
    }
};

QTEST_MAIN(TestProtocol)
#include "tst_protocol.moc"
