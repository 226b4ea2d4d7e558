// The production serial control over QSerialPort, on pseudo-terminals.
#include "FakeMessageBoxes.h"
#include "Pty.h"
#include "Timing.h"
#include "link/LineSettings.h"
#include "link/PortMap.h"
#include "link/QtCommControl.h"
#include "shell/Clock.h"
#include "shell/Platform.h"
#include "shell/frmMain.h"
#include "shell/qzGlobals.h"

#include <QAction>
#include <QElapsedTimer>
#include <QSocketNotifier>
#include <QtTest>

#include <sys/resource.h>

namespace {

// Points the port map at the given device paths (entry n = Comm n).
void MapPorts(const QStringList& paths)
{
    qputenv(PortMap::OverrideVariable, paths.join(',').toLocal8Bit());
}

// Opens Comm n the way the program does.
bool OpenLikeTheProgram(QtCommControl& c, int n)
{
    return c.setCommPort(n) && c.setSettings("9600,n,8,1") && c.setInBufferSize(100) && c.setHandshaking(0) &&
           c.setInputLen(1) && c.setPortOpen(true) && c.setRTSEnable(true);
}

double CpuSeconds()
{
    rusage u{};
    ::getrusage(RUSAGE_SELF, &u);
    return static_cast<double>(u.ru_utime.tv_sec + u.ru_stime.tv_sec) +
           static_cast<double>(u.ru_utime.tv_usec + u.ru_stime.tv_usec) / 1e6;
}

}  // namespace

class TestQtComm : public QObject {
    Q_OBJECT

private slots:
    void init()
    {
        // No test may reach the machine's own serial ports: the map always
        // comes from the environment, empty unless a test fills it.
        MapPorts({});
        qzGlobals::ResetGlobals();
    }

    void opensWithTheMetersLineSettings()
    {
        Pty pty;
        QVERIFY(pty.Ok());
        MapPorts({pty.Path()});
        QtCommControl comm;
        QVERIFY(!comm.PortOpen());
        QVERIFY(OpenLikeTheProgram(comm, 1));
        QVERIFY(comm.PortOpen());
        QCOMPARE(comm.DevicePath(), pty.Path());

        termios t{};
        QVERIFY(pty.Termios(t));
        QCOMPARE(cfgetospeed(&t), speed_t(B9600));
        QCOMPARE(cfgetispeed(&t), speed_t(B9600));
        QCOMPARE(t.c_cflag & CSIZE, tcflag_t(CS8));
        QCOMPARE(t.c_cflag & PARENB, tcflag_t(0));
        QCOMPARE(t.c_cflag & CSTOPB, tcflag_t(0));
        QCOMPARE(t.c_cflag & CRTSCTS, tcflag_t(0));
        QCOMPARE(t.c_iflag & (IXON | IXOFF), tcflag_t(0));
        // Raw: no echo, no line editing, no CR/LF translation either way.
        QCOMPARE(t.c_lflag & (ECHO | ICANON), tcflag_t(0));
        QCOMPARE(t.c_iflag & (ICRNL | INLCR | IGNCR), tcflag_t(0));
        QCOMPARE(t.c_oflag & OPOST, tcflag_t(0));

        // Settings are kept while closed and applied at the next open (a
        // pseudo-terminal keeps 8 bits without parity whatever it is asked).
        QVERIFY(comm.setPortOpen(false));
        QVERIFY(comm.setSettings("4800,n,8,2"));
        QVERIFY(comm.setPortOpen(true));
        QVERIFY(pty.Termios(t));
        QCOMPARE(cfgetospeed(&t), speed_t(B4800));
        QCOMPARE(t.c_cflag & CSTOPB, tcflag_t(CSTOPB));
    }

    void settingsStrings_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<bool>("valid");
        QTest::addColumn<int>("baud");
        QTest::addColumn<int>("parity");
        QTest::addColumn<int>("data");
        QTest::addColumn<int>("stop");
        QTest::newRow("meter") << "9600,n,8,1" << true << 9600 << int(QSerialPort::NoParity) << 8
                               << int(QSerialPort::OneStop);
        QTest::newRow("upper case") << "19200,E,7,2" << true << 19200 << int(QSerialPort::EvenParity) << 7
                                    << int(QSerialPort::TwoStop);
        QTest::newRow("odd, 1.5") << "1200,o,5,1.5" << true << 1200 << int(QSerialPort::OddParity) << 5
                                  << int(QSerialPort::OneAndHalfStop);
        QTest::newRow("mark") << "300,m,6,1" << true << 300 << int(QSerialPort::MarkParity) << 6
                              << int(QSerialPort::OneStop);
        QTest::newRow("space") << "300,s,8,1" << true << 300 << int(QSerialPort::SpaceParity) << 8
                               << int(QSerialPort::OneStop);
        QTest::newRow("too few") << "9600,n,8" << false << 0 << 0 << 0 << 0;
        QTest::newRow("too many") << "9600,n,8,1,1" << false << 0 << 0 << 0 << 0;
        QTest::newRow("bad parity") << "9600,x,8,1" << false << 0 << 0 << 0 << 0;
        QTest::newRow("bad bits") << "9600,n,9,1" << false << 0 << 0 << 0 << 0;
        QTest::newRow("bad stop") << "9600,n,8,3" << false << 0 << 0 << 0 << 0;
        QTest::newRow("bad baud") << "fast,n,8,1" << false << 0 << 0 << 0 << 0;
        QTest::newRow("zero baud") << "0,n,8,1" << false << 0 << 0 << 0 << 0;
        QTest::newRow("empty") << "" << false << 0 << 0 << 0 << 0;
    }

    void settingsStrings()
    {
        QFETCH(QString, text);
        QFETCH(bool, valid);
        const auto s = LineSettings::Parse(text);
        QCOMPARE(s.has_value(), valid);
        QtCommControl comm;
        QCOMPARE(comm.setSettings(text), valid);
        if (!valid)
            return;
        QFETCH(int, baud);
        QFETCH(int, parity);
        QFETCH(int, data);
        QFETCH(int, stop);
        QCOMPARE(s->baudRate, baud);
        QCOMPARE(int(s->parity), parity);
        QCOMPARE(int(s->dataBits), data);
        QCOMPARE(int(s->stopBits), stop);
    }

    void framesLeaveWholeAndInOrderWithoutEvents()
    {
        Pty pty;
        MapPorts({pty.Path()});
        QtCommControl comm;
        QVERIFY(OpenLikeTheProgram(comm, 1));

        // No event is processed between the writes and the reading: the bytes
        // must have been handed to the device by Output itself.
        comm.Output("\r");
        comm.Output("H\r");
        comm.Output("H\r");
        comm.Output("N0C6\r");
        const QByteArray expected = "\rH\rH\rN0C6\r";
        QCOMPARE(pty.Read(expected.size(), 2000), expected);
        // Nothing more than that was sent.
        QCOMPARE(pty.Read(1, 50), QByteArray());
    }

    void bytesArrivedMeanwhileAreCountedAndReadOneAtATime()
    {
        Pty pty;
        MapPorts({pty.Path()});
        QtCommControl comm;
        QVERIFY(OpenLikeTheProgram(comm, 1));
        QCOMPARE(comm.InBufferCount(), 0);
        QCOMPARE(comm.Input(), QByteArray());

        const QByteArray line = "V,QZ1234,A,1.05\r\n";
        QVERIFY(pty.Write(line));
        // Polled without any window event being processed.
        QElapsedTimer t;
        t.start();
        while (comm.InBufferCount() < line.size() && t.elapsed() < 2000) {
        }
        QCOMPARE(comm.InBufferCount(), int(line.size()));

        for (int i = 0; i < line.size(); ++i) {
            const QByteArray c = comm.Input();
            QCOMPARE(c.size(), 1);
            QCOMPARE(c.at(0), line.at(i));
            QCOMPARE(comm.InBufferCount(), int(line.size()) - i - 1);
        }
        QCOMPARE(comm.Input(), QByteArray());
    }

    void inputLenZeroTakesAllWaiting()
    {
        Pty pty;
        MapPorts({pty.Path()});
        QtCommControl comm;
        QVERIFY(OpenLikeTheProgram(comm, 1));
        QVERIFY(comm.setInputLen(0));
        QVERIFY(pty.Write("abc"));
        QTRY_COMPARE_WITH_TIMEOUT(comm.InBufferCount(), 3, 2000);
        QCOMPARE(comm.Input(), QByteArray("abc"));
        QVERIFY(comm.setInputLen(2));
        QVERIFY(pty.Write("wxyz"));
        QTRY_COMPARE_WITH_TIMEOUT(comm.InBufferCount(), 4, 2000);
        QCOMPARE(comm.Input(), QByteArray("wx"));
        QCOMPARE(comm.Input(), QByteArray("yz"));
        QVERIFY(!comm.setInputLen(-1));
    }

    void receiveBufferHoldsInBufferSizeAndNoMore()
    {
        Pty pty;
        MapPorts({pty.Path()});
        QtCommControl comm;
        QVERIFY(OpenLikeTheProgram(comm, 1));
        // The size is fixed while the port is open.
        QVERIFY(!comm.setInBufferSize(200));
        QVERIFY(pty.Write(QByteArray(150, 'x')));
        QTRY_COMPARE_WITH_TIMEOUT(comm.InBufferCount(), 100, 2000);
        // Reading makes room for the rest, which the device still holds.
        int drained = 0;
        QElapsedTimer t;
        t.start();
        while (comm.InBufferCount() > 0 && t.elapsed() < 2000)
            drained += int(comm.Input().size());
        QCOMPARE(drained, 150);
    }

    void portMapFromTheEnvironment()
    {
        Pty a;
        Pty b;
        MapPorts({a.Path(), "", b.Path()});
        QtCommControl comm;
        QVERIFY(comm.setCommPort(1));
        QCOMPARE(comm.DevicePath(), a.Path());
        // An empty entry: that number has no device and cannot be opened.
        QVERIFY(!comm.setCommPort(2));
        QCOMPARE(comm.CommPort(), 2);
        QVERIFY(!comm.setPortOpen(true));
        QVERIFY(!comm.PortOpen());
        QVERIFY(comm.setCommPort(3));
        QCOMPARE(comm.DevicePath(), b.Path());
        QVERIFY(comm.setPortOpen(true));
        comm.Output("V\r");
        QCOMPARE(b.Read(2, 2000), QByteArray("V\r"));
        QCOMPARE(a.Read(1, 20), QByteArray());
        // The number cannot change while the port is open.
        QVERIFY(!comm.setCommPort(1));
        QCOMPARE(comm.CommPort(), 3);
        QVERIFY(comm.setPortOpen(false));
        // Beyond the list, and outside 1..16.
        QVERIFY(!comm.setCommPort(4));
        QVERIFY(!comm.setCommPort(0));
        QVERIFY(!comm.setCommPort(17));

        // The map is read again whenever a number is chosen.
        MapPorts({b.Path()});
        QVERIFY(comm.setCommPort(1));
        QCOMPARE(comm.DevicePath(), b.Path());
    }

    void portMapResolve()
    {
        // The override, with blanks around entries and empty entries.
        const std::optional<QString> list = QString(" /dev/pts/4 ,,/dev/pts/7");
        QCOMPARE(PortMap::Resolve(1, list, {"/dev/ttyUSB0"}, false), QString("/dev/pts/4"));
        QCOMPARE(PortMap::Resolve(2, list, {}, false), QString());
        QCOMPARE(PortMap::Resolve(3, list, {}, false), QString("/dev/pts/7"));
        QCOMPARE(PortMap::Resolve(4, list, {}, false), QString());
        QCOMPARE(PortMap::Resolve(1, QString(), {"/dev/ttyUSB0"}, false), QString());
        // The override wins on Windows too; without it Comm n is COMn.
        QCOMPARE(PortMap::Resolve(2, list, {}, true), QString());
        QCOMPARE(PortMap::Resolve(7, std::nullopt, {}, true), QString("COM7"));
        QCOMPARE(PortMap::Resolve(16, std::nullopt, {}, true), QString("COM16"));
        QCOMPARE(PortMap::Resolve(0, std::nullopt, {}, true), QString());

        // Elsewhere: USB adapters first, then ACM, then the rest, numerically.
        const QStringList system{"/dev/ttyS10", "/dev/ttyACM1", "/dev/ttyUSB10", "/dev/ttyS2",
                                 "/dev/ttyUSB2", "/dev/ttyACM0", "/dev/ttyAMA0", "/dev/ttyS0"};
        const QStringList ordered{"/dev/ttyUSB2", "/dev/ttyUSB10", "/dev/ttyACM0", "/dev/ttyACM1",
                                  "/dev/ttyAMA0", "/dev/ttyS0", "/dev/ttyS2", "/dev/ttyS10"};
        QCOMPARE(PortMap::Ordered(system), ordered);
        for (int n = 1; n <= ordered.size(); ++n)
            QCOMPARE(PortMap::Resolve(n, std::nullopt, system, false), ordered.at(n - 1));
        QCOMPARE(PortMap::Resolve(int(ordered.size()) + 1, std::nullopt, system, false), QString());
    }

    void portHeldElsewhereFailsToOpen()
    {
        Pty pty;
        MapPorts({pty.Path()});
        QtCommControl first;
        QVERIFY(OpenLikeTheProgram(first, 1));
        QtCommControl second;
        QVERIFY(second.setCommPort(1));
        QVERIFY(!second.setPortOpen(true));
        QVERIFY(!second.PortOpen());
        // Output on the port that failed to open goes nowhere.
        second.Output("X\r");
        QCOMPARE(second.InBufferCount(), 0);
        first.Output("H\r");
        QCOMPARE(pty.Read(2, 2000), QByteArray("H\r"));
        QCOMPARE(pty.Read(1, 50), QByteArray());
        // Once let go, it opens.
        QVERIFY(first.setPortOpen(false));
        QVERIFY(second.setPortOpen(true));
        // Opening an open port is an error; closing a closed one is not.
        QVERIFY(!second.setPortOpen(true));
        QVERIFY(second.setPortOpen(false));
        QVERIFY(second.setPortOpen(false));
    }

    void ptyWithoutRtsStillOpens()
    {
        Pty pty;
        MapPorts({pty.Path()});
        QtCommControl comm;
        QVERIFY(comm.setCommPort(1));
        QVERIFY(comm.setPortOpen(true));
        // A pseudo-terminal has no RTS line; asserting it must not fail.
        QVERIFY(comm.setRTSEnable(true));
        QVERIFY(comm.setRTSEnable(false));
        QVERIFY(comm.PortOpen());
        comm.Output("S\r");
        QCOMPARE(pty.Read(2, 2000), QByteArray("S\r"));
        // RTS asked for while closed is asserted at the next open, which still succeeds.
        QVERIFY(comm.setPortOpen(false));
        QVERIFY(comm.setRTSEnable(true));
        QVERIFY(comm.setPortOpen(true));
    }

    void outputOnAClosedPortIsDropped()
    {
        Pty pty;
        MapPorts({pty.Path()});
        QtCommControl comm;
        QVERIFY(comm.setCommPort(1));
        comm.Output("R\r");
        QVERIFY(comm.setPortOpen(true));
        QCOMPARE(pty.Read(1, 50), QByteArray());
        QVERIFY(comm.setPortOpen(false));
        comm.Output("U\r");
        QCOMPARE(comm.Input(), QByteArray());
        QCOMPARE(comm.InBufferCount(), 0);
    }

    void vanishedDeviceFailsQuietly()
    {
        auto pty = std::make_unique<Pty>();
        MapPorts({pty->Path()});
        QtCommControl comm;
        QVERIFY(OpenLikeTheProgram(comm, 1));
        QVERIFY(pty->Write("xy"));
        QTRY_COMPARE_WITH_TIMEOUT(comm.InBufferCount(), 2, 2000);
        QCOMPARE(comm.Input(), QByteArray("x"));

        pty->CloseMaster();
        // Writes, counts and reads neither crash nor block.
        QElapsedTimer t;
        t.start();
        for (int i = 0; i < 20; ++i) {
            comm.Output("H\r");
            comm.InBufferCount();
            comm.Input();
        }
        QVERIFY2(t.elapsed() < 1000, qPrintable(QString::number(t.elapsed())));
        QTRY_VERIFY_WITH_TIMEOUT(comm.DeviceLost(), 2000);
        QCOMPARE(comm.InBufferCount(), 0);
        QCOMPARE(comm.Input(), QByteArray());
        // The port still reads as open until the program closes it.
        QVERIFY(comm.PortOpen());

        // The window stays idle: no notifier spinning on the dead device.
        const double cpu0 = CpuSeconds();
        QEventLoop idle;
        QTimer::singleShot(300, &idle, &QEventLoop::quit);
        idle.exec();
        const double cpu = CpuSeconds() - cpu0;
        QVERIFY2(cpu < 0.15, qPrintable(QString("cpu %1 s in 0.3 s").arg(cpu)));

        QVERIFY(comm.setPortOpen(false));
        QVERIFY(!comm.PortOpen());
        QVERIFY(!comm.DeviceLost());

        // A new device on the same number works as before.
        pty = std::make_unique<Pty>();
        MapPorts({pty->Path()});
        QVERIFY(OpenLikeTheProgram(comm, 1));
        comm.Output("V\r");
        QCOMPARE(pty->Read(2, 2000), QByteArray("V\r"));
    }

    void initPortsOverPseudoTerminals()
    {
        Pty one;
        Pty three;
        Pty five;
        MapPorts({one.Path(), "", three.Path(), "/nonexistent/tty", five.Path()});
        // Comm5 is held by another program.
        QtCommControl other;
        QVERIFY(OpenLikeTheProgram(other, 5));

        MonotonicClock clock;
        QtCommControl comm;
        FakeMessageBoxes messages;
        Platform platform;
        platform.comm = &comm;
        platform.clock = &clock;
        platform.messages = &messages;
        frmMain form(platform);
        form.Init_Ports();

        for (int i = 0; i <= 16; ++i)
            QCOMPARE(qzGlobals::PortAvailable[i], i == 1 || i == 3);
        QVERIFY(!form.mnuSourcePortComm[0]->isVisible());
        QVERIFY(form.mnuSourcePortComm[1]->isVisible());
        QVERIFY(form.mnuSourcePortComm[3]->isVisible());
        QVERIFY(!form.mnuSourcePortComm[2]->isVisible());
        QVERIFY(!form.mnuSourcePortComm[5]->isVisible());
        QVERIFY(!comm.PortOpen());
        QVERIFY(messages.shown.isEmpty());
        // The probe sends nothing.
        QCOMPARE(one.Read(1, 30), QByteArray());
    }

    void identityQueryOverAPseudoTerminal()
    {
        Pty pty;
        MapPorts({pty.Path()});
        MonotonicClock clock;
        QtCommControl comm;
        FakeMessageBoxes messages;
        Platform platform;
        platform.comm = &comm;
        platform.clock = &clock;
        platform.messages = &messages;
        frmMain form(platform);
        qzGlobals::PortNumber = 1;
        form.Com_Open();
        QVERIFY(comm.PortOpen());

        // The device answers the "V" at once; a line feed and more follow the CR.
        QSocketNotifier notifier(pty.Master(), QSocketNotifier::Read);
        QByteArray heard;
        double heardAt = -1;
        connect(&notifier, &QSocketNotifier::activated, this, [&] {
            heard += pty.Read(1, 0);
            if (heard.endsWith("V\r") && heardAt < 0) {
                heardAt = clock.Timer();
                pty.Write("V,QZ 77a,A,2.10\r\nJUNK");
            }
        });

        const double start = clock.Timer();
        QVERIFY(form.Com_Input_Vers());
        const double took = clock.Timer() - start;
        QCOMPARE(heard, QByteArray("V\r"));
        QCOMPARE(qzGlobals::SerialNumber, QString("QZ77"));
        QCOMPARE(qzGlobals::FwVersion, QString("2.10"));
        // Reading starts 0.5 s after the "V" and stops at the CR.
        QVERIFY2(took >= 0.5 && took < 0.5 + Timing::Slack(0.1), qPrintable(QString::number(took)));
        // What followed the CR is still waiting.
        QTRY_COMPARE_WITH_TIMEOUT(comm.InBufferCount(), 5, 1000);
        QCOMPARE(comm.Input(), QByteArray("\n"));
    }
};

QTEST_MAIN(TestQtComm)
#include "tst_qtcomm.moc"
