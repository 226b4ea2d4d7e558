// The session ends while the program runs: SIGTERM (logout, shutdown, kill),
// SIGINT (Ctrl+C), SIGHUP (terminal closed), or the session manager's quit.
// The program as main() starts it, on a meter-sim pseudo-terminal, exits with
// status 0 and the meter gets "R" and "U" last, in every state it may be in;
// a signal ignored at start stays ignored. Exit and Disconnect too reach a
// meter that talks, which nobody reads. The trace is written as it comes; a
// reader of it that stalls holds nothing up: the sweep goes on, the signal
// ends it all the same.
#include "NoDisplayRun.h"
#include "StalledPipe.h"
#include "about/frmAbout.h"
#include "e2e/E2eRig.h"
#include "shell/SessionEnd.h"

#include <QApplication>
#include <QSessionManager>
#include <QtTest>

#include <csignal>

namespace {

// A trace begins with the program's version and the wall-clock time, then the start-up probe's look at the
// port; each line is stamped with the monotonic clock's seconds.
bool BeginsAtStartUp(const QByteArray& trace, const QString& device)
{
    const QString stamp = "\\d+\\.\\d{6} ", port = QRegularExpression::escape(" Comm1 " + device) + '\n';
    const QString wall = " wall=\\d{4}-\\d\\d-\\d\\dT\\d\\d:\\d\\d:\\d\\d\\.\\d{6}[+-]\\d\\d:\\d\\d\n";
    const QString version = QRegularExpression::escape("qz-ruvude-zivo (qz Ruvude Zivo) " + frmAbout::VersionText());
    const QRegularExpression start('^' + stamp + "START " + version + wall + stamp + "OPEN" + port + stamp + "CLOSE" +
                                   port);
    return start.match(QString::fromLatin1(trace)).hasMatch();
}

}  // namespace

class TestSessionEnd : public QObject {
    Q_OBJECT

private slots:
    void endsThroughExit_data()
    {
        QTest::addColumn<QString>("clicks");   // DRIVEN_CLICKS; a pause: for a meter that talks once selected
        // "trace stalled": --trace - into a pipe whose reader stalls for good ("read": until the signal)
        QTest::addColumn<QString>("state");    // "idle", "sweep", "box" (the lost meter's box up), "exits" (by itself)
        QTest::addColumn<QString>("sent");     // signals sent one straight after the other; "HUP~": ignored at start;
                                               // "INT+": once "U" is out, as the program writes out its queues
        QTest::addColumn<QString>("last");     // the last frames the meter got
        const auto row = [](const char* name, const char* clicks, const char* state, const char* sent,
                            const char* last) { QTest::newRow(name) << clicks << state << sent << last; };
        row("SIGTERM then SIGINT in a sweep", "connect sweep", "sweep", "TERM INT", "R U");
        row("SIGINT, box up", "connect", "box", "INT", "");
        row("SIGHUP ignored at start, then SIGTERM", "connect", "idle", "HUP~ TERM", "R U");
        row("SIGTERM in a sweep, the trace's reader stalled", "connect sweep", "sweep, trace stalled", "TERM", "R U");
        row("SIGINT in a sweep, the trace read after it", "connect sweep", "sweep, trace stalled, read", "INT", "R U");
        row("SIGTERM, then SIGINT as the stalled trace is written out", "connect sweep", "sweep, trace stalled",
            "TERM INT+", "R U");
        // A meter that talks once selected, more than the port's 100-byte
        // buffer before the last frames go: they reach it all the same.
        row("SIGHUP, a meter that talks", "connect pause", "idle", "HUP", "R U");
        row("Exit, a meter that talks", "connect pause exit", "exits", "", "S R U");
        row("Disconnect, a meter that talks", "connect pause disconnect", "idle", "TERM", "S I");
    }
    void endsThroughExit()
    {
        QFETCH(QString, clicks);
        QFETCH(QString, state);
        QFETCH(QString, sent);
        QFETCH(QString, last);
        MeterSim meter(clicks.contains("pause") ? QStringList{"--talks"} : QStringList{});
        const bool ignoresHup = sent.startsWith("HUP~"), stalls = state.contains("stalled");
        const bool read = state.endsWith("read");
        QProcess program;
        StalledPipe stalled;
        QTemporaryDir dir;
        const auto written = [&dir] {
            QFile trace(dir.filePath("trace"));
            return trace.open(QIODevice::ReadOnly) ? trace.readAll() : QByteArray();
        };
        StartWithoutDisplay(program, DRIVEN_PROGRAM_PATH, {"--trace", stalls ? "-" : dir.filePath("trace")},
                            {{"QZ_SERIAL_PORTS", meter.device}, {"DRIVEN_CLICKS", clicks},
                             {"QT_QPA_PLATFORM", "offscreen"}},
                            {}, [ignoresHup, stalls, &stalled] {
            if (ignoresHup)
                ::signal(SIGHUP, SIG_IGN);  // as nohup, or a shell's background job
            if (stalls)
                stalled.Give(STDERR_FILENO);
        });
        QString said;
        const auto says = [&](const QString& line) {
            while (!said.contains(line + '\n') && program.waitForReadyRead(10000))
                said += QString::fromLatin1(program.readAllStandardOutput());
            return said.contains(line + '\n');
        };
        QVERIFY(says("connected"));
        if (state == "box") {  // the meter lost: its box waits for an answer nobody gives
            meter.process.kill();
            QVERIFY(says("modal qz Ruvude Zivo"));
        } else if (state != "exits") {  // connected means "S" sent; in a sweep, wait for a few positions
            QVERIFY(meter.WaitFor([&] { return meter.Frames().size() >= (state.startsWith("sweep") ? 8 : 5); }));
            if (clicks.contains("pause"))
                QTest::qWait(1500);  // past the pause, the talk and the click after it
        }
        if (!stalls)  // written as it comes: all of it is there should the program be killed now
            QTRY_VERIFY2(BeginsAtStartUp(written(), meter.device), written().constData());
        QElapsedTimer ending;
        for (const QString& name : sent.split(' ', Qt::SkipEmptyParts)) {
            if (name.endsWith('+'))  // and a moment more: the window is gone
                QVERIFY(meter.WaitFor([&] { return meter.Frames().endsWith("U"); }) && !program.waitForFinished(200));
            ending.start();
            const int signal = name.startsWith("HUP") ? SIGHUP : name.startsWith("INT") ? SIGINT : SIGTERM;
            ::kill(pid_t(program.processId()), signal);
            if (name.endsWith('~'))  // nothing comes of it
                QVERIFY(!program.waitForFinished(500));
        }
        QByteArray traced = read ? stalled.Drain() : "";  // the reader back as the program ends
        QVERIFY(program.waitForFinished(stalls ? 5000 - int(ending.elapsed()) : 10000));
        QCOMPARE(program.exitStatus(), QProcess::NormalExit);
        QCOMPARE(program.exitCode(), 0);
        if (state == "box")
            return;
        const QStringList tail = last.split(' ');
        QVERIFY(meter.WaitFor([&] { return meter.Entries("CLOSE").size() && meter.Frames().endsWith(tail.last()); }));
        const QStringList frames = meter.Frames();
        QCOMPARE(frames.mid(frames.size() - tail.size()), tail);
        QCOMPARE(frames.count("R"), tail.count("R"));
        if (state.startsWith("sweep"))
            QVERIFY(frames.at(frames.size() - 3).startsWith('N'));
        if (stalls && !read)
            return;  // a reader stalled for good reads no trace: that the run ended is all
        // The trace says TX for exactly the frames the meter got.
        traced = read ? traced + stalled.Drain() : written();
        QStringList sentAsTraced;
        for (const auto& [time, frame] : EntriesOf(QString::fromLatin1(traced).split('\n'), "TX"))
            sentAsTraced << frame.chopped(3).mid(1);  // "N000\r" -> N000
        QCOMPARE(sentAsTraced, frames);
    }

    // In the program itself, the session manager's messages (its signals are sent above): its quit ends
    // the session; its request to save data comes for checkpoints and before a logout another program may
    // cancel: that is no end. The signals' handlers stay: one that comes later ends nothing.
    void whatEndsTheSession()
    {
        QList<int> ends;
        {
            SessionEnd session([&ends](int signal) { ends << signal; });
            // A session manager cannot be made in a test: its two messages are sent as Qt would send them.
            alignas(QSessionManager) char stand[sizeof(QObject)] = {};
            void* args[] = {nullptr, stand};
            const QMetaObject& app = QGuiApplication::staticMetaObject;
            QMetaObject::activate(qApp, &app,
                                  app.indexOfSignal("commitDataRequest(QSessionManager&)") - app.methodOffset(), args);
            QCOMPARE(ends, QList<int>{});
            QEvent quit(QEvent::Quit);
            QCoreApplication::sendEvent(qApp, &quit);
            QCOMPARE(ends, QList<int>{0});
        }
        ::raise(SIGTERM);
        struct sigaction after {};
        ::sigaction(SIGTERM, nullptr, &after);
        QVERIFY(after.sa_handler != SIG_DFL);
        QCOMPARE(ends, QList<int>{0});
    }
};

QTEST_MAIN(TestSessionEnd)
#include "tst_session_end.moc"
