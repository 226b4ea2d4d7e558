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
        QTest::addColumn<QList<int>>("sent");  // signals sent one straight after the other
        QTest::addColumn<QString>("state");     // "idle", "sweep", or "box": the lost meter's box up
        QTest::newRow("SIGTERM, idle") << QList<int>{SIGTERM} << "idle";
        QTest::newRow("SIGINT, idle") << QList<int>{SIGINT} << "idle";
        QTest::newRow("SIGHUP, idle") << QList<int>{SIGHUP} << "idle";
        QTest::newRow("SIGTERM in a sweep") << QList<int>{SIGTERM} << "sweep";
        QTest::newRow("SIGTERM then SIGINT in a sweep") << QList<int>{SIGTERM, SIGINT} << "sweep";
        QTest::newRow("SIGTERM, box up") << QList<int>{SIGTERM} << "box";
    }
    void endsThroughExit()
    {
        QFETCH(QList<int>, sent);
        QFETCH(QString, state);
        MeterSim sim({});
        Driven program(sim.device, state == "sweep" ? QStringList{"connect", "sweep"} : QStringList{"connect"});
        QVERIFY(program.Said("connected"));
        if (state == "box") {  // the meter lost: its box waits for an answer nobody gives
            sim.process.kill();
            QVERIFY(program.Said("modal qz Ruvude Zivo"));
        } else {  // connected means "S" sent; in a sweep, wait for a few positions
            QVERIFY(sim.WaitFor([&] { return sim.Frames().size() >= (state == "sweep" ? 8 : 5); }));
        }
        for (int sig : sent)
            program.Signal(sig);
        QVERIFY(program.process.waitForFinished(10000));
        QCOMPARE(program.process.exitStatus(), QProcess::NormalExit);
        QCOMPARE(program.process.exitCode(), 0);
        if (state == "box")
            return;
        QVERIFY(sim.WaitFor([&] { return !sim.Entries("CLOSE").isEmpty() && sim.Frames().endsWith("U"); }));
        const QStringList frames = sim.Frames();
        QCOMPARE(frames.mid(frames.size() - 2), (QStringList{"R", "U"}));
        QCOMPARE(frames.count("R"), 1);
        if (state == "sweep")
            QVERIFY(frames.at(frames.size() - 3).startsWith('N'));
    }
};

QTEST_MAIN(TestSessionEnd)
#include "tst_session_end.moc"
