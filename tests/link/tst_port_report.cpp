// --list-ports: how a device is judged and shown, and the report itself run
// as its own process with no display over simulated meters, a pseudo-terminal
// that another program holds, a regular file, a missing path and a folder.
#include "NoDisplayRun.h"
#include "e2e/E2eRig.h"
#include "link/PortReport.h"

#include <QTemporaryDir>
#include <QtTest>

using namespace PortReport;
using Kind = Facts::Kind;
Q_DECLARE_METATYPE(PortReport::Facts)
Q_DECLARE_METATYPE(PortReport::SystemInfo)

class TestPortReport : public QObject {
    Q_OBJECT

    QTemporaryDir m_dir;
    std::unique_ptr<MeterSim> m_meter, m_heldMeter;
    QtCommControl m_holder;  // another program, as far as the report can tell

private slots:
    void initTestCase()
    {
        m_meter = std::make_unique<MeterSim>(QStringList{});
        m_heldMeter = std::make_unique<MeterSim>(QStringList{});
        E2eRig::SetPorts({m_heldMeter->device});
        QVERIFY(m_holder.setCommPort(1) && m_holder.setPortOpen(true));
        QFile file(m_dir.filePath("notes.txt"));
        QVERIFY(file.open(QIODevice::WriteOnly));
    }

    void judgement_data()
    {
        QTest::addColumn<Facts>("facts");
        QTest::addColumn<QString>("text");
        const auto device = [](bool permitted, bool opened, QSerialPort::SerialPortError error) {
            return Facts{Kind::CharacterDevice, permitted, opened, error};
        };
        QTest::newRow("nothing there") << Facts{} << "missing";
        QTest::newRow("file or folder") << Facts{Kind::Other, true, false, {}} << "not a serial device";
        QTest::newRow("no permission") << device(false, false, {})
                                       << "permission denied (add yourself to the dialout group: "
                                          "sudo usermod -aG dialout $USER, then log out and in again)";
        QTest::newRow("opened") << device(true, true, {}) << "ok";
        QTest::newRow("locked") << device(true, false, QSerialPort::PermissionError)
                                << "busy (held by another program)";
        QTest::newRow("gone since") << device(true, false, QSerialPort::DeviceNotFoundError) << "missing";
        QTest::newRow("no terminal") << device(true, false, QSerialPort::UnsupportedOperationError)
                                     << "not a serial device";
        QTest::newRow("refuses 9600,n,8,1") << device(true, false, QSerialPort::NoError) << "not a serial device";
    }
    void judgement()
    {
        QFETCH(Facts, facts);
        QFETCH(QString, text);
        QCOMPARE(Text(Classify(facts)), text);
    }

    void line_data()
    {
        QTest::addColumn<SystemInfo>("info");
        QTest::addColumn<QString>("line");
        QTest::newRow("USB adapter") << SystemInfo{"FT232R USB UART", "FTDI", "A50285BI", 0x0403, 0x6001}
                                     << "Comm2: /dev/ttyUSB0 (FT232R USB UART, FTDI, serial A50285BI, 0403:6001): ok";
        QTest::newRow("description only") << SystemInfo{"ttyS0", {}, {}, {}, {}}
                                          << "Comm2: /dev/ttyUSB0 (ttyS0): ok";
        QTest::newRow("vendor without product") << SystemInfo{{}, "ACME", {}, 0x1234, {}}
                                                << "Comm2: /dev/ttyUSB0 (ACME): ok";
        QTest::newRow("nothing known") << SystemInfo{} << "Comm2: /dev/ttyUSB0: ok";
    }
    void line()
    {
        QFETCH(SystemInfo, info);
        QFETCH(QString, line);
        QCOMPARE(Line(2, "/dev/ttyUSB0", info, Usability::Ok), line);
    }

    void report_data()
    {
        QTest::addColumn<QString>("variable");  // QZ_SERIAL_PORTS; null: unset
        QTest::addColumn<QString>("option");    // --ports; null: not given
        QTest::addColumn<QString>("expected");
        QTest::addColumn<int>("status");
        const QString none;
        QTest::newRow("every kind") << none << "$METER,$FILE,$MISSING,,$DIR,/dev/null"
                                    << "Comm1: $METER: ok\n"
                                       "Comm2: $FILE: not a serial device\n"
                                       "Comm3: $MISSING: missing\n"
                                       "Comm5: $DIR: not a serial device\n"
                                       "Comm6: /dev/null: not a serial device\n"
                                    << 0;
        QTest::newRow("none usable") << none << "$HELD,$FILE"
                                     << "Comm1: $HELD: busy (held by another program)\n"
                                        "Comm2: $FILE: not a serial device\n"
                                     << 1;
        QTest::newRow("the variable") << "$MISSING,$METER" << none
                                      << "Comm1: $MISSING: missing\nComm2: $METER: ok\n" << 0;
        QTest::newRow("the option wins") << "$METER" << ",$MISSING" << "Comm2: $MISSING: missing\n" << 1;
        QTest::newRow("no ports") << none << ""
                                  << "No serial ports: none of Comm1 to Comm16 has a device.\n" << 1;
    }
    void report()
    {
        QFETCH(QString, variable);
        QFETCH(QString, option);
        QFETCH(QString, expected);
        QFETCH(int, status);
        const auto fill = [this](QString text) {
            return text.replace("$METER", m_meter->device)
                .replace("$HELD", m_heldMeter->device)
                .replace("$FILE", m_dir.filePath("notes.txt"))
                .replace("$MISSING", m_dir.filePath("unplugged"))
                .replace("$DIR", m_dir.path());
        };
        QMap<QString, QString> env;
        if (!variable.isNull())
            env.insert("QZ_SERIAL_PORTS", fill(variable));
        QStringList args{"--list-ports"};
        if (!option.isNull())
            args << "--ports" << fill(option);
        const qsizetype opensBefore = m_meter->Entries("OPEN").size();
        const Ran ran = RunWithoutDisplay(QZ_PROGRAM_PATH, args, env);
        QCOMPARE(ran.out, fill(expected));
        QCOMPARE(ran.err, QString());
        QCOMPARE(ran.status, status);
        // A usable device is opened once, closed, and sent nothing.
        const qsizetype opens = expected.contains("$METER: ok") ? 1 : 0;
        QVERIFY(m_meter->WaitFor([&] { return m_meter->Entries("CLOSE").size() == opensBefore + opens; }));
        QCOMPARE(m_meter->Entries("OPEN").size(), opensBefore + opens);
        QCOMPARE(m_meter->Frames(), QStringList());
    }
};

QTEST_GUILESS_MAIN(TestPortReport)
#include "tst_port_report.moc"
