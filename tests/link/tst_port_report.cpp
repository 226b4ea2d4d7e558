// How --list-ports judges and shows a device, for the cases no test can make
// with real files (run as root, the tests cannot be refused a device). The
// report itself runs in the command-line tests.
#include "link/PortReport.h"

#include <QtTest>

using namespace PortReport;
Q_DECLARE_METATYPE(PortReport::Facts)
Q_DECLARE_METATYPE(PortReport::SystemInfo)

class TestPortReport : public QObject {
    Q_OBJECT

private slots:
    void line_data()
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
    void line()
    {
        QFETCH(Facts, facts);
        QFETCH(SystemInfo, info);
        QFETCH(QString, line);
        QCOMPARE(Line(2, "/dev/ttyUSB0", info, Classify(facts)), line);
    }
};

QTEST_GUILESS_MAIN(TestPortReport)
#include "tst_port_report.moc"
