// The session ends while the program runs: SIGTERM (logout, shutdown, kill),
// SIGINT (Ctrl+C), SIGHUP (terminal closed), or the session manager's quit.
// The real program, started as main() starts it, on a meter-sim
// pseudo-terminal: the meter gets "R" and "U" last and the program exits with
// status 0, idle, in a sweep, with a box up after the meter was lost, with a
// meter that talks once selected, with its trace's reader gone; a signal
// ignored at start stays ignored. And Exit and Disconnect reach a meter that
// talks, which nobody reads.
#include "e2e/E2eRig.h"
#include "shell/SessionEnd.h"

#include <QApplication>
#include <QSessionManager>
#include <QTemporaryDir>
#include <QtTest>

#include <csignal>
#include <unistd.h>

namespace {

// The program under a script of clicks; its stdout lines tell what happened.
struct Driven {
    QProcess process;
    QStringList said;

    Driven(const QString& device, const QString& clicks, const QStringList& args, int ignored, bool stderrGone)
    {
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert("QZ_SERIAL_PORTS", device);
        env.insert("DRIVEN_CLICKS", clicks);
        env.insert("QT_QPA_PLATFORM", "offscreen");
        process.setProcessEnvironment(env);
        process.setChildProcessModifier([ignored, stderrGone] {
            if (ignored)
                ::signal(ignored, SIG_IGN);  // as nohup, or a shell's background job
            int ends[2];
            if (stderrGone && ::pipe(ends) == 0) {  // a reader that has gone
                ::dup2(ends[1], STDERR_FILENO);
                ::close(ends[0]);
                ::close(ends[1]);
            }
        });
        process.start(QStringLiteral(DRIVEN_PROGRAM_PATH), args);
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
        QTest::addColumn<QStringList>("simOptions");
        QTest::addColumn<QString>("clicks");
        QTest::addColumn<QStringList>("args");
        QTest::addColumn<int>("ignored");       // a signal ignored when the program started
        QTest::addColumn<QList<int>>("sent");  // signals sent one straight after the other
        QTest::addColumn<QString>("state");     // "idle", "sweep", "box" (the lost meter's box up), "exits" (by itself)
        QTest::addColumn<QStringList>("last");  // the last frames the meter got
        const QStringList none, released{"R", "U"};
        const QString connect = "connect", sweep = "connect sweep";
        QTest::newRow("SIGTERM, idle") << none << connect << none << 0 << QList<int>{SIGTERM} << "idle" << released;
        QTest::newRow("SIGINT, idle") << none << connect << none << 0 << QList<int>{SIGINT} << "idle" << released;
        QTest::newRow("SIGHUP, idle") << none << connect << none << 0 << QList<int>{SIGHUP} << "idle" << released;
        QTest::newRow("SIGTERM in a sweep") << none << sweep << none << 0 << QList<int>{SIGTERM} << "sweep" << released;
        QTest::newRow("SIGTERM then SIGINT in a sweep")
            << none << sweep << none << 0 << QList<int>{SIGTERM, SIGINT} << "sweep" << released;
        QTest::newRow("SIGTERM, box up") << none << connect << none << 0 << QList<int>{SIGTERM} << "box" << none;
        QTest::newRow("SIGHUP ignored at start, then SIGTERM")
            << none << connect << none << SIGHUP << QList<int>{SIGHUP, SIGTERM} << "idle" << released;
        QTest::newRow("SIGTERM in a sweep, the trace's reader gone")
            << none << sweep << QStringList{"--trace", "-"} << 0 << QList<int>{SIGTERM} << "sweep" << released;
        // A meter that talks once selected, more than the port's 100-byte
        // buffer before the last frames go: they reach it all the same.
        const QStringList talks{"--talks"};
        QTest::newRow("SIGTERM, a meter that talks")
            << talks << "connect pause" << none << 0 << QList<int>{SIGTERM} << "idle" << released;
        QTest::newRow("Exit, a meter that talks")
            << talks << "connect pause exit" << none << 0 << QList<int>{} << "exits" << QStringList{"S", "R", "U"};
        QTest::newRow("Disconnect, a meter that talks")
            << talks << "connect pause disconnect" << none << 0 << QList<int>{SIGTERM} << "idle"
            << QStringList{"S", "I"};
    }
    void endsThroughExit()
    {
        QFETCH(QStringList, simOptions);
        QFETCH(QString, clicks);
        QFETCH(QStringList, args);
        QFETCH(int, ignored);
        QFETCH(QList<int>, sent);
        QFETCH(QString, state);
        QFETCH(QStringList, last);
        MeterSim sim(simOptions);
        QTemporaryDir dir;
        const bool traceGone = args.contains("--trace");  // traced to standard error, whose reader has gone
        if (!traceGone)
            args << "--trace" << dir.filePath("trace");
        Driven program(sim.device, clicks, args, ignored, traceGone);
        QVERIFY(program.Said("connected"));
        if (state == "box") {  // the meter lost: its box waits for an answer nobody gives
            sim.process.kill();
            QVERIFY(program.Said("modal qz Ruvude Zivo"));
        } else if (state != "exits") {  // connected means "S" sent; in a sweep, wait for a few positions
            QVERIFY(sim.WaitFor([&] { return sim.Frames().size() >= (state == "sweep" ? 8 : 5); }));
            if (clicks.contains("pause"))
                QTest::qWait(1500);  // past the pause and the click after it
        }
        for (int sig : sent) {
            if (sig == ignored) {  // nothing comes of it
                program.Signal(sig);
                QVERIFY(!program.process.waitForFinished(500));
                continue;
            }
            program.Signal(sig);
        }
        QVERIFY(program.process.waitForFinished(10000));
        QCOMPARE(program.process.exitStatus(), QProcess::NormalExit);
        QCOMPARE(program.process.exitCode(), 0);
        if (state == "box")
            return;
        QVERIFY(sim.WaitFor([&] { return !sim.Entries("CLOSE").isEmpty() && sim.Frames().endsWith(last.last()); }));
        const QStringList frames = sim.Frames();
        QCOMPARE(frames.mid(frames.size() - last.size()), last);
        QCOMPARE(frames.count("R"), last.count("R"));
        if (state == "sweep")
            QVERIFY(frames.at(frames.size() - 3).startsWith('N'));
        if (traceGone)
            return;
        // The trace says TX for exactly the frames the meter got.
        QFile trace(dir.filePath("trace"));
        QVERIFY(trace.open(QIODevice::ReadOnly));
        QStringList traced;
        for (const QString& line : QString::fromLatin1(trace.readAll()).split('\n'))
            if (line.section(' ', 1, 1) == "TX")
                traced << line.section(' ', 2).chopped(3).mid(1);  // "N000\r" -> N000
        QCOMPARE(traced, frames);
    }

    // In the program itself: which signals end it, and which of the session
    // manager's messages do. Its request to save data comes for checkpoints
    // and before a logout another program may cancel: that is no end.
    void whatEndsTheSession()
    {
        struct sigaction before {};
        ::signal(SIGHUP, SIG_IGN);
        ::sigaction(SIGTERM, nullptr, &before);
        QList<int> ends;
        {
            SessionEnd session([&ends](int signal) { ends << signal; });
            QVERIFY(!session.Watches(SIGHUP) && session.Watches(SIGTERM) && session.Watches(SIGINT));
            ::raise(SIGHUP);  // ignored it was, ignored it stays
            QTest::qWait(50);
            QCOMPARE(ends, QList<int>{});
            ::raise(SIGINT);
            QTRY_COMPARE(ends, QList<int>{SIGINT});

            // A session manager cannot be made in a test: its two messages are
            // sent as Qt would send them.
            alignas(QSessionManager) char stand[sizeof(QObject)] = {};
            void* args[] = {nullptr, stand};
            QMetaObject::activate(qApp, &QGuiApplication::staticMetaObject,
                                  QGuiApplication::staticMetaObject.indexOfSignal("commitDataRequest(QSessionManager&)") -
                                      QGuiApplication::staticMetaObject.methodOffset(),
                                  args);
            QEvent quit(QEvent::Quit);
            QCOMPARE(ends, QList<int>{SIGINT});
            QCoreApplication::sendEvent(qApp, &quit);
            QCOMPARE(ends, (QList<int>{SIGINT, 0}));
        }
        struct sigaction after {};
        ::sigaction(SIGTERM, nullptr, &after);
        QVERIFY(after.sa_handler == before.sa_handler);  // put back as it was
        ::sigaction(SIGHUP, nullptr, &after);
        QVERIFY(after.sa_handler == SIG_IGN);
        ::signal(SIGHUP, SIG_DFL);
    }
};

QTEST_MAIN(TestSessionEnd)
#include "tst_session_end.moc"
