// The production serial control over QSerialPort, on pseudo-terminals: the
// test holds the master side and plays the device; the control opens the
// slave by its path through QZ_SERIAL_PORTS. No real serial port is touched.
#include "link/PortMap.h"
#include "link/QtCommControl.h"

#include <QtTest>

#include <ctime>
#include <poll.h>
#include <pty.h>
#include <termios.h>
#include <unistd.h>
#include <utility>

namespace {

class Pty {
public:
    Pty()
    {
        int slave = -1;
        char name[256] = {};
        if (::openpty(&master, &slave, name, nullptr, nullptr) == 0) {
            path = QString::fromLocal8Bit(name);
            ::close(slave);  // free for the control to open
        }
    }
    ~Pty() { ::close(master); }
    bool Write(const QByteArray& b) { return ::write(master, b.constData(), size_t(b.size())) == b.size(); }
    // What the control sent, waiting up to `ms` for `atLeast` bytes; no events are processed.
    QByteArray Read(int atLeast, int ms)
    {
        QByteArray out;
        char buf[256];
        pollfd p{master, POLLIN, 0};
        while (out.size() < atLeast && ::poll(&p, 1, ms) > 0) {
            const ssize_t n = ::read(master, buf, sizeof buf);
            if (n <= 0)
                break;  // EIO: nobody has the slave open
            out.append(buf, n);
        }
        return out;
    }
    int master = -1;
    QString path;
};

void MapPorts(const QStringList& paths) { qputenv(PortMap::OverrideVariable, paths.join(',').toLocal8Bit()); }

// Opens Comm n as Com_Open does, RTS included (a pseudo-terminal has none).
bool OpenLikeTheProgram(QtCommControl& c, int n)
{
    return c.setCommPort(n) && c.setSettings("9600,n,8,1") && c.setInBufferSize(100) && c.setHandshaking(0) &&
           c.setInputLen(1) && c.setPortOpen(true) && c.setRTSEnable(true);
}

double CpuSeconds() { return double(std::clock()) / CLOCKS_PER_SEC; }

}  // namespace

class TestQtComm : public QObject {
    Q_OBJECT

private slots:
    void init() { MapPorts({}); }  // never the machine's own ports

    void opensWritesAndReads()
    {
        Pty pty;
        MapPorts({pty.path});
        QtCommControl comm;
        comm.Output("R\r");  // closed: goes nowhere
        QVERIFY(OpenLikeTheProgram(comm, 1));
        termios t{};
        QCOMPARE(::tcgetattr(pty.master, &t), 0);
        QCOMPARE(cfgetospeed(&t), speed_t(B9600));
        QCOMPARE(cfgetispeed(&t), speed_t(B9600));
        QCOMPARE(t.c_cflag & (CSIZE | PARENB | CSTOPB | CRTSCTS), tcflag_t(CS8));
        // Raw both ways: no flow control, echo, line editing or CR/LF mapping.
        QCOMPARE(t.c_iflag & (IXON | IXOFF | ICRNL | INLCR | IGNCR), tcflag_t(0));
        QCOMPARE(t.c_lflag & (ECHO | ICANON), tcflag_t(0));
        QCOMPARE(t.c_oflag & OPOST, tcflag_t(0));

        // Frames leave whole and in order, bytes come in counted and one at a
        // time; no events are processed from here on.
        QCOMPARE(comm.InBufferCount(), 0);
        comm.Output("\r");
        comm.Output("H\r");
        comm.Output("N0C6\r");
        QCOMPARE(pty.Read(8, 2000), QByteArray("\rH\rN0C6\r"));
        QCOMPARE(pty.Read(1, 50), QByteArray());

        const QByteArray line = "V,QZ1234,A,1.05\r\n";
        QVERIFY(pty.Write(line));
        QElapsedTimer waited;
        waited.start();
        while (comm.InBufferCount() < line.size() && waited.elapsed() < 2000) {
        }
        for (int i = 0; i < line.size(); ++i) {
            QCOMPARE(comm.InBufferCount(), int(line.size()) - i);
            QCOMPARE(comm.Input(), line.mid(i, 1));
        }
        QCOMPARE(comm.Input(), QByteArray());
    }

    void portHeldElsewhereFailsToOpen()
    {
        Pty pty;
        MapPorts({pty.path});
        QtCommControl first, second;
        QVERIFY(OpenLikeTheProgram(first, 1));
        QVERIFY(second.setCommPort(1));
        QVERIFY(!second.setPortOpen(true));
        QVERIFY(!second.PortOpen());
        QVERIFY(first.setPortOpen(false));
        QVERIFY(second.setPortOpen(true));
    }

    void portMapWithEmptyEntries()
    {
        Pty a, b;
        MapPorts({a.path, "", b.path});
        QtCommControl comm;
        QVERIFY(comm.setCommPort(1));
        QCOMPARE(comm.DevicePath(), a.path);
        QVERIFY(!comm.setCommPort(2));  // an empty entry: no device
        QVERIFY(!comm.setPortOpen(true));
        QVERIFY(!comm.setCommPort(4));  // beyond the list
        QVERIFY(comm.setCommPort(3));
        QVERIFY(comm.setPortOpen(true));
        comm.Output("V\r");
        QCOMPARE(b.Read(2, 2000), QByteArray("V\r"));
        QCOMPARE(a.Read(1, 20), QByteArray());
        QVERIFY(comm.setPortOpen(false));
        MapPorts({b.path});  // read afresh whenever a number is chosen
        QVERIFY(comm.setCommPort(1));
        QCOMPARE(comm.DevicePath(), b.path);

        // The variable wins everywhere (blanks trimmed). Without it: COMn on
        // Windows; elsewhere USB adapters, ACM, then the rest, numerically.
        QCOMPARE(PortMap::Resolve(1, QString(" /dev/pts/4 ,"), {"/dev/ttyUSB0"}, true), QString("/dev/pts/4"));
        QCOMPARE(PortMap::Resolve(7, std::nullopt, {}, true), QString("COM7"));
        QCOMPARE(PortMap::Ordered({"/dev/ttyS10", "/dev/ttyACM1", "/dev/ttyUSB10", "/dev/ttyS2", "/dev/ttyUSB2"}),
                 (QStringList{"/dev/ttyUSB2", "/dev/ttyUSB10", "/dev/ttyACM1", "/dev/ttyS2", "/dev/ttyS10"}));
        QCOMPARE(PortMap::Resolve(2, std::nullopt, {"/dev/ttyS0", "/dev/ttyACM0"}, false), QString("/dev/ttyS0"));
    }

    void vanishedDeviceNeitherCrashesNorHangs()
    {
        Pty pty;
        MapPorts({pty.path});
        QtCommControl comm;
        QVERIFY(OpenLikeTheProgram(comm, 1));
        ::close(std::exchange(pty.master, -1));  // the device vanishes while the window idles
        const double cpu0 = CpuSeconds();
        QTest::qWait(300);
        // No notifier spinning on the dead device; the port reads as open until closed.
        QVERIFY2(CpuSeconds() - cpu0 < 0.15, qPrintable(QString::number(CpuSeconds() - cpu0)));
        QTRY_VERIFY_WITH_TIMEOUT(comm.DeviceLost(), 2000);
        QVERIFY(comm.PortOpen());
        QElapsedTimer t;
        t.start();
        for (int i = 0; i < 20; ++i) {  // a blocking call would show here
            comm.Output("H\r");
            QCOMPARE(comm.InBufferCount(), 0);
            QCOMPARE(comm.Input(), QByteArray());
        }
        QVERIFY2(t.elapsed() < 1000, qPrintable(QString::number(t.elapsed())));
        QVERIFY(comm.setPortOpen(false));
        QVERIFY(!comm.DeviceLost());
    }
};

QTEST_MAIN(TestQtComm)
#include "tst_qtcomm.moc"
