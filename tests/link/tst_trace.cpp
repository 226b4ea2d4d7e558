// The line trace over an in-memory port, on a clock the test sets: every kind
// of event, byte for byte as it lands in the file.
#include "HeardConsole.h"
#include "MemoryCommControl.h"
#include "TraceFile.h"
#include "link/TracingCommControl.h"

#include <QtTest>

class TestTrace : public QObject {
    Q_OBJECT

private slots:
    void everyEventOneLine()
    {
        double now = 0;
        TraceFile written(nullptr, [&now] { return now; },
                          [] { return LineTrace::WallTime{1777623753, 123456, 7200}; });
        LineTrace& trace = *written.get();
        MemoryCommControl memory;
        memory.SetPort(1, MemoryCommControl::PortState::Available,
                       std::make_shared<ScriptedMeter>("V,QZ7,A,1.0\r\nJUNK\t\"\\\x01\xff"));
        memory.SetPort(2, MemoryCommControl::PortState::Held);
        TracingCommControl comm(memory, trace);
        int lostReports = 0;
        comm.setDeviceLostHandler([&lostReports] { ++lostReports; });

        now = 1;
        trace.Started("qz-test 1.0");
        now = 2;
        QVERIFY(comm.setCommPort(2) && !comm.setPortOpen(true));
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
        now = 13;  // ports a search passed by
        trace.Busy(2, "/dev/pts/4", {"picocom", 4242});
        trace.Busy(3, "/dev/pts/5", {});
        trace.Skipped(4, "/dev/ttyUSB0", "another device has this name now");
        QCOMPARE(written.Read(),
                 "1.000000 START qz-test 1.0 wall=2026-05-01T10:22:33.123456+02:00\n"
                 "2.000000 OPEN-FAILED Comm2 /dev/mem2\n"
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
                 "13.000000 BUSY Comm2 /dev/pts/4 held by picocom, pid 4242\n"
                 "13.000000 BUSY Comm3 /dev/pts/5 held by another program\n"
                 "13.000000 SKIPPED Comm4 /dev/ttyUSB0 \"another device has this name now\"\n");
    }

    // Local time east and west of UTC, and the microseconds kept whole.
    void wallTime_data()
    {
        QTest::addColumn<int>("offset");
        QTest::addColumn<QString>("text");
        QTest::newRow("UTC") << 0 << "2026-05-01T08:22:33.000007+00:00";
        QTest::newRow("west, half an hour") << -(3 * 3600 + 1800) << "2026-05-01T04:52:33.000007-03:30";
        QTest::newRow("east, over midnight") << 16 * 3600 << "2026-05-02T00:22:33.000007+16:00";
    }
    void wallTime()
    {
        QFETCH(int, offset);
        QTEST(LineTrace::FormatWall({1777623753, 7, offset}), "text");
    }

    // A trace that cannot be written stops, is said once, and takes nothing
    // else with it.
    void unwritableTraces()
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

QTEST_GUILESS_MAIN(TestTrace)
#include "tst_trace.moc"
