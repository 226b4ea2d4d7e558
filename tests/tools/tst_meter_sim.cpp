// meter-sim as the meter on a terminal that already exists (--device), the
// way the VM stage puts it on the host end of QEMU's adapter: here the far
// end of a pseudo-terminal made by the test stands for the utility's port.
#include <QProcess>
#include <QtTest>

#include <fcntl.h>
#include <poll.h>
#include <pty.h>
#include <unistd.h>

namespace {

long CpuTicks(qint64 pid)
{
    QFile stat(QString("/proc/%1/stat").arg(pid));
    if (!stat.open(QIODevice::ReadOnly))
        return -1;
    const QList<QByteArray> fields = stat.readAll().split(' ');
    return fields.value(13).toLong() + fields.value(14).toLong();
}

}  // namespace

class TestMeterSim : public QObject {
    Q_OBJECT

private slots:
    void answersOnAnExistingDevice()
    {
        int far = -1, device = -1;
        char name[256] = {};
        QVERIFY(openpty(&far, &device, name, nullptr, nullptr) == 0);
        ::fcntl(far, F_SETFD, FD_CLOEXEC);  // or the simulator would hold the far end open too
        ::fcntl(device, F_SETFD, FD_CLOEXEC);
        QProcess sim;
        sim.start(METER_SIM_PATH, {"--device", name});
        QVERIFY(sim.waitForReadyRead(5000));
        QCOMPARE(sim.readLine(), QByteArray(name) + '\n');
        ::close(device);  // the simulator has its own
        QCOMPARE(::write(far, "V\r", 2), 2);
        QByteArray answer;
        char c = 0;
        for (pollfd p{far, POLLIN, 0}; !answer.endsWith('\r') && ::poll(&p, 1, 5000) == 1 && ::read(far, &c, 1) == 1;)
            answer += c;
        QCOMPARE(answer, QByteArray("V,QZ1234,A,1.05\r"));

        ::close(far);  // the far end hangs up: the simulator waits for it without spinning
        const long before = CpuTicks(sim.processId());
        QTest::qWait(500);
        QVERIFY2(CpuTicks(sim.processId()) - before < 10, "meter-sim spins after a hang-up");
        sim.terminate();
        QVERIFY(sim.waitForFinished(5000));
        QCOMPARE(sim.exitCode(), 0);
        const QString log = sim.readAll();
        QVERIFY2(log.contains(QString(" START device=%1 ").arg(name)) && log.contains("(opens not tracked)"), qPrintable(log));
        QVERIFY2(log.contains(" RX \"V\"\n") && log.contains(" STOP signal=15\n"), qPrintable(log));
    }

    void refusesWhatIsNoTerminal_data()
    {
        QTest::addColumn<QStringList>("args");
        QTest::addColumn<int>("status");
        QTest::addColumn<QString>("says");
        QTest::newRow("not a terminal") << QStringList{"--device", "/dev/null"} << 1 << "is not a terminal device";
        QTest::newRow("missing") << QStringList{"--device", "/dev/qz-missing"} << 1 << "cannot open '/dev/qz-missing'";
        QTest::newRow("no path") << QStringList{"--device"} << 2 << "option --device needs a value";
    }
    void refusesWhatIsNoTerminal()
    {
        QFETCH(QStringList, args);
        QFETCH(int, status);
        QFETCH(QString, says);
        QProcess sim;
        sim.start(METER_SIM_PATH, args);
        QVERIFY(sim.waitForFinished(5000));
        QCOMPARE(sim.exitCode(), status);
        QVERIFY(sim.readAllStandardOutput().isEmpty());
        QVERIFY(QString(sim.readAllStandardError()).contains(says));
    }
};

QTEST_GUILESS_MAIN(TestMeterSim)
#include "tst_meter_sim.moc"
