// The production serial control over QSerialPort, on a pseudo-terminal: the
// test holds the master side and plays the device; the control opens the
// slave by its path through QZ_SERIAL_PORTS. No real serial port is touched.
#include "link/PortMap.h"
#include "link/QtCommControl.h"

#include <QtTest>

#include <poll.h>
#include <pty.h>
#include <unistd.h>

class TestQtComm : public QObject {
    Q_OBJECT

private slots:
    void framesBytesAndASecondOpen()
    {
        int master = -1, slave = -1;
        char name[256] = {};
        QCOMPARE(::openpty(&master, &slave, name, nullptr, nullptr), 0);
        ::close(slave);  // free for the control to open
        qputenv(PortMap::OverrideVariable, name);
        QtCommControl comm, second;
        QVERIFY(comm.setCommPort(1) && comm.setInputLen(1) && comm.setPortOpen(true));

        // A frame leaves whole.
        comm.Output("N0C6\r");
        QByteArray sent;
        char buf[64];
        pollfd p{master, POLLIN, 0};
        while (sent.size() < 5 && ::poll(&p, 1, 2000) > 0)
            sent.append(buf, ::read(master, buf, sizeof buf));
        QCOMPARE(sent, QByteArray("N0C6\r"));

        // Bytes are counted without event processing and read one at a time.
        const QByteArray line = "V,QZ1234,A,1.05\r\n";
        QVERIFY(::write(master, line.constData(), size_t(line.size())) == line.size());
        QElapsedTimer waited;
        waited.start();
        while (comm.InBufferCount() < line.size() && waited.elapsed() < 2000) {
        }
        for (int i = 0; i < line.size(); ++i) {
            QCOMPARE(comm.InBufferCount(), int(line.size()) - i);
            QCOMPARE(comm.Input(), line.mid(i, 1));
        }

        // The port is held: a second open fails until the first closes.
        QVERIFY(second.setCommPort(1));
        QVERIFY(!second.setPortOpen(true));
        QVERIFY(comm.setPortOpen(false));
        QVERIFY(second.setPortOpen(true));
        ::close(master);
    }
};

QTEST_MAIN(TestQtComm)
#include "tst_qtcomm.moc"
