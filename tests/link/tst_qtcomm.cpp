// The production serial control over QSerialPort, on a pseudo-terminal: the
// test holds the master side and plays the device; the control opens the
// slave by its path through QZ_SERIAL_PORTS. No real serial port is touched.
// And which device each Comm number stands for. And how --list-ports judges
// and shows a device, for the cases no test can make with real files (run as
// root, the tests cannot be refused a device); the report itself runs in the
// command-line tests.
#include "link/PortMap.h"
#include "link/PortReport.h"
#include "link/QtCommControl.h"

#include <QtTest>

#include <poll.h>
#include <pty.h>
#include <termios.h>
#include <unistd.h>

using namespace PortReport;
Q_DECLARE_METATYPE(PortReport::Facts)
Q_DECLARE_METATYPE(PortReport::SystemInfo)

class TestQtComm : public QObject {
    Q_OBJECT

private slots:
    void framesBytesAndASecondOpen()
    {
        int master = -1, slave = -1;
        char name[256] = {};
        QCOMPARE(::openpty(&master, &slave, name, nullptr, nullptr), 0);
        qputenv(PortMap::OverrideVariable, name);
        QtCommControl comm, second;
        QVERIFY(!comm.setCommPort(0) && !comm.setCommPort(17) && !comm.setCommPort(2));  // 2: no device
        // What the device said before the port was opened is not read.
        termios line{};  // the line as the device sees it (a pseudo-terminal keeps 8 bits, no parity)
        ::cfmakeraw(&line);
        QVERIFY(::tcsetattr(slave, TCSANOW, &line) == 0 && ::write(master, "STALE\r", 6) == 6);
        QVERIFY(comm.setCommPort(1) && comm.setSettings("4800,n,8,2") && comm.setHandshaking(0) &&
                comm.setInputLen(1) && comm.setPortOpen(true) && comm.setRTSEnable(true));
        QVERIFY(!comm.setCommPort(1));  // not while open
        QCOMPARE(::tcgetattr(slave, &line), 0);
        QCOMPARE(::cfgetospeed(&line), speed_t(B4800));
        QCOMPARE(line.c_cflag & (CSTOPB | CRTSCTS), tcflag_t(CSTOPB));
        QTest::qWait(50);
        QCOMPARE(comm.InBufferCount(), 0);

        // A frame leaves whole.
        comm.Output("N0C6\r");
        QByteArray sent;
        char buf[64];
        pollfd p{master, POLLIN, 0};
        while (sent.size() < 5 && ::poll(&p, 1, 2000) > 0)
            sent.append(buf, ::read(master, buf, sizeof buf));
        QCOMPARE(sent, QByteArray("N0C6\r"));

        // Bytes are counted without event processing and read one at a time.
        const QByteArray reply = "V,QZ1234,A,1.05\r\n";
        QVERIFY(::write(master, reply.constData(), size_t(reply.size())) == reply.size());
        QElapsedTimer waited;
        waited.start();
        while (comm.InBufferCount() < reply.size() && waited.elapsed() < 2000) {
        }
        for (int i = 0; i < reply.size(); ++i) {
            QCOMPARE(comm.InBufferCount(), int(reply.size()) - i);
            QCOMPARE(comm.Input(), reply.mid(i, 1));
        }

        // The port is held: a second open fails until the first closes.
        QVERIFY(second.setCommPort(1));
        QVERIFY(!second.setPortOpen(true));
        QVERIFY(comm.setPortOpen(false));
        QVERIFY(second.setPortOpen(true));
        ::close(slave);
        ::close(master);
    }

    void portMap_data()
    {
        QTest::addColumn<int>("n");
        QTest::addColumn<QString>("override");  // "<unset>": the variable is not set
        QTest::addColumn<bool>("windows");
        QTest::addColumn<QString>("device");
        const QString none = "<unset>";
        QTest::newRow("USB first") << 1 << none << false << "/dev/ttyUSB2";
        QTest::newRow("then ACM") << 3 << none << false << "/dev/ttyACM0";
        QTest::newRow("then the rest") << 6 << none << false << "/dev/ttyS2";
        QTest::newRow("beyond the list") << 8 << none << false << "";
        QTest::newRow("Windows") << 3 << none << true << "COM3";
        QTest::newRow("override") << 3 << " /dev/pts/4,,/dev/pts/7 " << false << "/dev/pts/7";
        QTest::newRow("override, empty entry") << 2 << "/dev/pts/4,,/dev/pts/7" << true << "";
        QTest::newRow("override, beyond") << 4 << "/dev/pts/4,,/dev/pts/7" << false << "";
        QTest::newRow("override set but empty") << 1 << "" << false << "";
        QTest::newRow("number 0") << 0 << none << true << "";
    }
    void portMap()
    {
        QFETCH(int, n);
        QFETCH(QString, override);
        QFETCH(bool, windows);
        const QStringList system{"/dev/ttyS10", "/dev/ttyACM1", "/dev/ttyUSB10", "/dev/ttyS2", "/dev/rfcomm0",
                                 "/dev/ttyACM0", "/dev/ttyUSB2"};
        QCOMPARE(PortMap::Ordered(system), (QStringList{"/dev/ttyUSB2", "/dev/ttyUSB10", "/dev/ttyACM0", "/dev/ttyACM1",
                                                        "/dev/rfcomm0", "/dev/ttyS2", "/dev/ttyS10"}));
        QTEST(PortMap::Resolve(n, override == "<unset>" ? std::nullopt : std::optional<QString>(override), system, windows),
              "device");
    }

    void portReportLine_data()
    {
        QTest::addColumn<Facts>("facts");
        QTest::addColumn<SystemInfo>("info");
        QTest::addColumn<QString>("line");
        const auto device = [](bool permitted, bool opened, QSerialPort::SerialPortError error = {}) {
            return Facts{Facts::Kind::CharacterDevice, permitted, opened, error};
        };
        const QString at = "Comm2: /dev/ttyUSB0: ";
        QTest::newRow("USB adapter") << device(true, true)
                                     << SystemInfo{"FT232R USB UART", "FTDI", "A50285BI", 0x0403, 0x6001}
                                     << "Comm2: /dev/ttyUSB0 (FT232R USB UART, FTDI, serial A50285BI, 0403:6001): ok";
        QTest::newRow("half an id") << device(true, true) << SystemInfo{{}, "ACME", {}, 0x1234, {}}
                                    << "Comm2: /dev/ttyUSB0 (ACME): ok";
        QTest::newRow("no permission") << device(false, false) << SystemInfo{}
                                       << at + "permission denied (add yourself to the dialout group: "
                                               "sudo usermod -aG dialout $USER, then log out and in again)";
        QTest::newRow("gone since") << device(true, false, QSerialPort::DeviceNotFoundError) << SystemInfo{}
                                    << at + "missing";
        QTest::newRow("refuses 9600,n,8,1") << device(true, false) << SystemInfo{} << at + "not a serial device";
    }
    void portReportLine()
    {
        QFETCH(Facts, facts);
        QFETCH(SystemInfo, info);
        QFETCH(QString, line);
        QCOMPARE(Line(2, "/dev/ttyUSB0", info, Classify(facts)), line);
    }
};

QTEST_MAIN(TestQtComm)
#include "tst_qtcomm.moc"
