// meter-sim as the meter on a terminal that already exists (--device), the
// way the VM stage puts it on the host end of QEMU's adapter: here the far
// end of a pseudo-terminal made by the test stands for the utility's port.
#include <QProcess>
#include <QtTest>

#include <fcntl.h>
#include <pty.h>
#include <unistd.h>

class TestMeterSim : public QObject {
    Q_OBJECT

    static long CpuTicks(qint64 pid)  // user and system time so far
    {
        QFile stat(QString("/proc/%1/stat").arg(pid));
        const QList<QByteArray> fields = stat.open(QIODevice::ReadOnly) ? stat.readAll().split(' ') : QList<QByteArray>{};
        return fields.value(13).toLong() + fields.value(14).toLong();
    }

private slots:
    void answersThereAndOutlivesAHangUp()
    {
        int far = -1, device = -1;
        char name[256] = {};
        QVERIFY(openpty(&far, &device, name, nullptr, nullptr) == 0);
        ::fcntl(far, F_SETFD, FD_CLOEXEC);  // or the simulator would hold the far end open too
        ::fcntl(device, F_SETFD, FD_CLOEXEC);
        QProcess sim;
        sim.start(METER_SIM_PATH, {"--device", name});
        QByteArray out;
        const auto said = [&](const QByteArray& what) {
            while (!out.contains(what) && sim.waitForReadyRead(5000))
                out += sim.readAll();
            return out.contains(what);
        };
        QVERIFY(said(" START device=" + QByteArray(name) + " "));
        QVERIFY2(out.startsWith(QByteArray(name) + '\n') && out.contains("(opens not tracked)"), out);
        ::close(device);  // the simulator has its own
        QCOMPARE(::write(far, "V\r", 2), 2);
        QVERIFY2(said(" RX \"V\"\n") && said(" TX \"V,QZ1234,A,1.05\\r\"\n"), out);

        ::close(far);  // the far end hangs up: the simulator waits for it without spinning
        const long before = CpuTicks(sim.processId());
        QTest::qWait(500);
        QVERIFY2(CpuTicks(sim.processId()) - before < 10, "meter-sim spins after a hang-up");
        sim.terminate();
        QVERIFY(sim.waitForFinished(5000));
        QCOMPARE(sim.exitCode(), 0);
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
