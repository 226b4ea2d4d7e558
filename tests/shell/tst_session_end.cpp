// The session ends while the program runs: SIGTERM (logout, shutdown, kill),
// SIGINT (Ctrl+C), SIGHUP (terminal closed). The real program, started as
// main() starts it, on a meter-sim pseudo-terminal: the meter gets "R" and "U"
// last and the program exits with status 0, idle, in a sweep, or with a box
// up after the meter was lost.
#include "e2e/E2eRig.h"

#include <QtTest>

#include <csignal>

namespace {

// The program under a script of clicks; its stdout lines tell what happened.
struct Driven {
    QProcess process;
    QStringList said;

    Driven(const QString& device, const QStringList& clicks)
    {
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert("QZ_SERIAL_PORTS", device);
        process.setProcessEnvironment(env);
        process.start(QStringLiteral(DRIVEN_PROGRAM_PATH), clicks);
    }
    ~Driven()
    {
        if (process.state() != QProcess::NotRunning) {
            process.kill();
            process.waitForFinished(5000);
        }
    }
    bool Said(const QString& line, int ms = 10000)
    {
        QElapsedTimer t;
        t.start();
        for (;;) {
            while (process.canReadLine())
                said << QString::fromLatin1(process.readLine()).trimmed();
            if (said.contains(line))
                return true;
            if (t.elapsed() > ms || !process.waitForReadyRead(int(ms - t.elapsed())))
                return false;
        }
    }
    void Signal(int sig) { ::kill(pid_t(process.processId()), sig); }
};

}  // namespace

class TestSessionEnd : public QObject {
    Q_OBJECT

private slots:
    void endsThroughExit_data()
    {
        QTest::addColumn<QStringList>("sent");  // sent one straight after the other
        QTest::addColumn<bool>("sweep");
        QTest::newRow("SIGTERM, idle") << QStringList{"TERM"} << false;
        QTest::newRow("SIGINT, idle") << QStringList{"INT"} << false;
        QTest::newRow("SIGHUP, idle") << QStringList{"HUP"} << false;
        QTest::newRow("SIGTERM in a sweep") << QStringList{"TERM"} << true;
        QTest::newRow("SIGTERM then SIGINT in a sweep") << QStringList{"TERM", "INT"} << true;
    }
    void endsThroughExit()
    {
        QFETCH(QStringList, sent);
        QFETCH(bool, sweep);
        const QHash<QString, int> number{{"TERM", SIGTERM}, {"INT", SIGINT}, {"HUP", SIGHUP}};
        MeterSim sim({});
        Driven program(sim.device, sweep ? QStringList{"connect", "sweep"} : QStringList{"connect"});
        QVERIFY(program.Said("connected"));
        // Connected means "S" sent; in a sweep, wait for a few positions.
        const qsizetype wanted = sweep ? 8 : 5;
        QVERIFY(sim.WaitFor([&] { return sim.Frames().size() >= wanted; }));
        for (const QString& s : sent)
            program.Signal(number[s]);
        QVERIFY(program.process.waitForFinished(10000));
        QCOMPARE(program.process.exitStatus(), QProcess::NormalExit);
        QCOMPARE(program.process.exitCode(), 0);
        QVERIFY(sim.WaitFor([&] { return !sim.Entries("CLOSE").isEmpty() && sim.Frames().endsWith("U"); }));
        const QStringList frames = sim.Frames();
        QCOMPARE(frames.mid(frames.size() - 2), (QStringList{"R", "U"}));
        QCOMPARE(frames.count("R"), 1);
        if (sweep)
            QVERIFY(frames.at(frames.size() - 3).startsWith('N'));
    }

    void endsWithTheLostMeterBoxUp()
    {
        MeterSim sim({});
        Driven program(sim.device, {"connect"});
        QVERIFY(program.Said("connected"));
        sim.process.kill();
        QVERIFY(program.Said("modal qz Ruvude Zivo"));
        program.Signal(SIGTERM);
        QVERIFY(program.process.waitForFinished(10000));
        QCOMPARE(program.process.exitStatus(), QProcess::NormalExit);
        QCOMPARE(program.process.exitCode(), 0);
    }
};

QTEST_MAIN(TestSessionEnd)
#include "tst_session_end.moc"
