// `--run` end to end: the program as its own process, without a display, on
// a meter-sim pseudo-terminal. What the simulated meter received (and when),
// the events on standard output, the words on standard error, the exit
// status. And a script against the same presses made by hand.
#include "NoDisplayRun.h"
#include "Pty.h"
#include "StalledPipe.h"
#include "Timing.h"
#include "e2e/E2eRig.h"
#include "link/LineTrace.h"

#include <QPushButton>
#include <QRadioButton>
#include <QRegularExpression>
#include <QSlider>
#include <QTemporaryDir>
#include <QToolButton>
#include <QtTest>

#include <csignal>

namespace {

// The program playing `script`, given on its standard input, traced to its
// standard error or to `trace`.
void Start(QProcess& run, const QString& script, const QString& device, const QString& how,
           const StalledPipe* stalled = nullptr, const QString& trace = "-")
{
    run.setProcessEnvironment(NoDisplayEnvironment());
    run.setChildProcessModifier([how, stalled] {
        if (how == "reader gone")
            PipeNobodyReads(STDOUT_FILENO);
        if (how.endsWith(" closed"))
            ::close(how.startsWith("stdin") ? STDIN_FILENO : STDOUT_FILENO);
        if (stalled)
            stalled->Give(STDOUT_FILENO), stalled->Give(STDERR_FILENO);
    });
    run.start(QZ_PROGRAM_PATH, QStringList{"--run", "-", "--ports", device, "--trace", trace} +
                                   (how == "json" ? QStringList{"--json"} : QStringList{}));
    run.write(script.toUtf8());
    run.closeWriteChannel();
    run.waitForBytesWritten(5000);
}

}  // namespace

class TestScriptRun : public QObject {
    Q_OBJECT

private slots:
    void runs_data()
    {
        QTest::addColumn<QString>("script");
        QTest::addColumn<QStringList>("meter");  // meter-sim's options
        QTest::addColumn<QString>("how");  // "json", a signal mid-sweep (SIG...), "reader gone", "port vanishes"
                                           // (Comm2, after the search began), "stdin closed", "stdout closed"
        QTest::addColumn<int>("status");
        QTest::addColumn<QString>("frames");  // pattern of the frames the meter got, each after a space
        QTest::addColumn<QString>("out");     // {t} any time, {dev} the meter's device
        QTest::addColumn<QString>("err");     // found in standard error
        const QString found = "{t} 1 found Comm1 {dev} serial=QZ1234 firmware=1.05\n{t} 1 connect\n{t} 2 sweep\n";
        const QString lost = "Lost the meter on Comm1 ({dev}): it was unplugged or switched off. Plug it back in "
                             "and press Connect.";
        QTest::newRow("no meter: after the search only R and U") << "connect\nleft" << QStringList{"--silent"} << "json"
            << 1 << "^ H H V R U$"
            << "{\"t\":{t},\"line\":1,\"event\":\"box\",\"title\":\"qz Firmware Upgrade \",\"text\":\"No meter "
               "detected\\r\\nRetry - First check meter is connected and turned on.\\r\\nOtherwise - Cancel\","
               "\"answer\":\"cancel\"}\n{\"t\":{t},\"line\":1,\"event\":\"end\",\"status\":1,\"reason\":\"no meter "
               "found\",\"serial\":\"\",\"firmware\":\"\",\"elapsed\":{t}}\n"
            << "No meter detected\nRetry - First check meter is connected and turned on.\nOtherwise - Cancel\n";
        QTest::newRow("meter pulled mid-sweep") << "connect\nsweep\nwait 30" << QStringList{"--drop-after", "12"} << ""
            << 1 << "^ H H V S( N[0-9A-F]{3}){7}$"
            << found + "{t} 3 box \"qz Ruvude Zivo\" \"" + lost + "\" ok\n{t} 3 end status=1 line=3 reason=\"" + lost +
                   "\" serial=QZ1234 firmware=1.05 elapsed={t}\n"
            << lost + "\n";
        for (const auto& [name, status] : {std::pair{"SIGTERM", 143}, {"SIGHUP", 129}, {"SIGINT", 130}})
            QTest::addRow("%s mid-sweep", name) << "connect\nsweep\nwait 60" << QStringList{} << name << status
                << "^ H H V S( N[0-9A-F]{3})+ R U$"
                << found + "{t} 3 end status=" + QString::number(status) + " line=3 reason=\"ended by " + name +
                       "\" serial=QZ1234 firmware=1.05 elapsed={t}\n"
                << "";
        // Nothing gets through to standard output or error, and nothing waits for them.
        QTest::newRow("SIGTERM mid-sweep, every output stalled") << "connect\nsweep\nwait 60" << QStringList{}
            << "SIGTERM stalled" << 143 << "^ H H V S( N[0-9A-F]{3})+ R U$" << "" << "";
        QTest::newRow("port vanishes between the search's look and its open") << "connect" << QStringList{"--silent"}
            << "port vanishes" << 1 << "^ H H V$"
            << "{t} 1 box \"Open Comms Port\" \"Error Opening Comm2:9600,n,8,1\" ok\n{t} 1 end status=1 line=1 "
               "reason=\"Error Opening Comm2:9600,n,8,1\" serial= firmware= elapsed={t}\n"
            << "Error Opening Comm2:9600,n,8,1\n";
        QTest::newRow("standard input closed") << "connect" << QStringList{} << "stdin closed" << 2 << "^$" << ""
            << "qz-ruvude-zivo: cannot read the script '-': Bad file descriptor\n";
        QTest::newRow("standard output closed") << "connect\ncycle" << QStringList{} << "stdout closed" << 0
            << "^ H H V S N0C6 R U$" << "" << "qz-ruvude-zivo: cannot write to standard output: Bad file descriptor\n";
        QTest::newRow("reader of the report gone") << "connect\ncycle" << QStringList{} << "reader gone" << 0
            << "^ H H V S N0C6 R U$" << ""
            << "qz-ruvude-zivo: cannot write to standard output: Broken pipe\n";
    }
    void runs()
    {
        QFETCH(QString, script);
        QFETCH(QStringList, meter);
        QFETCH(QString, how);
        QFETCH(QString, frames);
        QFETCH(QString, out);
        QFETCH(QString, err);
        MeterSim sim(meter);
        QProcess run;
        // Comm2, an adapter (a link to a terminal) unplugged once Comm1 is being searched.
        const Pty second;
        const QTemporaryDir dir;
        const QString adapter = dir.filePath("adapter");
        const bool unplugs = how == "port vanishes" && QFile::link(second.name, adapter);
        const StalledPipe stalled;
        // With standard output closed the trace goes to a file, which must not take its place.
        Start(run, script, sim.device + (unplugs ? "," + adapter : ""), how, how.endsWith("stalled") ? &stalled : nullptr,
              how == "stdout closed" ? dir.filePath("trace") : "-");
        if (unplugs) {
            QVERIFY(sim.WaitFor([&] { return !sim.Frames().isEmpty(); }, 10000));
            QVERIFY(QFile::remove(adapter));
        }
        double signalled = 0;
        if (how.startsWith("SIG")) {  // five frames to connect, then positions enough to keep time by
            QVERIFY(sim.WaitFor([&] { return sim.Frames().size() >= 30; }, 10000));
            signalled = LineTrace::MonotonicSeconds();
            ::kill(pid_t(run.processId()), how.startsWith("SIGTERM") ? SIGTERM : how == "SIGINT" ? SIGINT : SIGHUP);
            QVERIFY(run.waitForFinished(5000));
        }
        QVERIFY(signalled > 0 || run.waitForFinished(30000));
        QCOMPARE(run.exitStatus(), QProcess::NormalExit);
        QTEST(run.exitCode(), "status");
        const QString said = QString::fromUtf8(run.readAllStandardOutput()),
                      complained = QString::fromLocal8Bit(run.readAllStandardError());
        const QString pattern =
            QRegularExpression::escape(out.replace("{dev}", sim.device)).replace("\\{t\\}", "\\d+\\.\\d{3}");
        QVERIFY2(QRegularExpression("^" + pattern + "$").match(said).hasMatch(), qPrintable(said));
        QVERIFY2(complained.contains(err.replace("{dev}", sim.device)) && complained.count("cannot write") <= 1,
                 qPrintable(complained));
        const QRegularExpression sent(frames);
        QVERIFY2(sim.WaitFor([&] { return sent.match(sim.Frames().join(' ')).hasMatch(); }),
                 qPrintable(sim.Frames().join(' ')));
        QVERIFY(!complained.section(" LOST ", 1).contains(" TX"));  // the trace: nothing written after the loss
        if (signalled == 0)
            return;
        // The sweep kept its pace, every position in turn, and "R" came within a second of the signal.
        const auto rx = sim.Entries("RX");
        for (qsizetype i = 5; i < rx.size() - 2; ++i)
            QCOMPARE(rx[i].second.mid(2, 3).toInt(nullptr, 16), int(i - 5) * 54);
        VERIFY_TIME((rx[rx.size() - 3].first - rx[5].first) / (rx.size() - 8), 0.053, 0.054 + Timing::Slack(0.008));
        VERIFY_TIME(rx[rx.size() - 2].first - signalled, 0.0, 1.0);
    }

    // Every action, scripted and by hand at the same time, each over its own
    // simulated meter: the same frames, with the same waits between them
    // (what each line reports is the player test's). The simulator stamps a
    // frame when it reads it, well under a millisecond after it was written on
    // an idle machine, but up to some 8 ms late on two busy cores; a gap has
    // two stamps, and a wait of the program's may wake a few ms late.
    // Differences of up to 15 ms were seen with the suite running beside;
    // 25 ms still catches a tick more or less (54 ms) and any wait of the
    // script cut by a tenth (30 ms and more).
    void aScriptSendsWhatTheSameClicksSend()
    {
        MeterSim scripted({}), clicked({});
        QProcess run;
        Start(run, "connect within 5\nexpect serial qz12*\nexpect firmware 1.0?\ncalibration on\ncycle 3\nwait 0.3\n"
                   "scale simple\ncycle\ncalibration off\nscale simple\nsweep\nwait 0.567\nspeed 100\nwait 0.54\n"
                   "left\nright\ndisconnect\nconnect\nscale trad\nexit\n",
              scripted.device, "");
        // By hand, each press so many ms after the one before has returned; SWEEP's press returns only once
        // the sweep stops, so the press after it is timed from its start. The waits after SWEEP count from
        // its first position, 0.972 s after the click, and land half a step between two positions (10.5 and
        // 20.5 steps), so the two runs cut alike.
        E2eRig rig;
        frmMain& form = rig.Make({clicked.device});
        const auto click = [](QAbstractButton* b) { return [b] { b->click(); }; };
        const qsizetype sweep = 8;
        const QList<std::pair<int, std::function<void()>>> presses = {
            {0, click(form.cmdConnect)}, {0, click(form.optLUT)}, {0, click(form.cmdCycle)}, {0, click(form.cmdCycle)},
            {0, click(form.cmdCycle)}, {300, click(form.optSimple)}, {0, click(form.cmdCycle)}, {0, click(form.optLIN)},
            {0, click(form.cmdSweep)}, {972 + 567, [&] { form.SldSpeed->setValue(100); }}, {540, click(form.cmdLeft)},
            {0, click(form.cmdRight)}, {0, click(form.cmdConnect)}, {0, click(form.cmdConnect)},
            {0, click(form.optTrad)}, {0, click(form.cmdExit)}};
        qsizetype next = 0;
        bool done = false;
        std::function<void()> press = [&] {
            const qsizetype i = next++;
            QTimer::singleShot(presses[i].first, Qt::PreciseTimer, [&, i] {
                if (i == sweep)
                    press();
                presses[i].second();
                done = done || i + 1 == presses.size();
                if (i != sweep && !done)
                    press();
            });
        };
        press();
        QTRY_VERIFY_WITH_TIMEOUT(done, 30000);
        QVERIFY(run.state() == QProcess::NotRunning || run.waitForFinished(30000));
        QCOMPARE(run.exitCode(), 0);
        QVERIFY(scripted.WaitFor([&] { return scripted.Frames().endsWith("U"); }));
        QVERIFY(clicked.WaitFor([&] { return clicked.Frames().endsWith("U"); }));
        QCOMPARE(scripted.Frames(), clicked.Frames());
        const auto a = scripted.Entries("RX"), b = clicked.Entries("RX");
        for (qsizetype i = 1; i < a.size(); ++i) {
            const double gap = a[i].first - a[i - 1].first, byHand = b[i].first - b[i - 1].first;
            QVERIFY2(qAbs(gap - byHand) < 0.025 * Timing::Scale(),
                     qPrintable(QString("before %1 (frame %2): %3 s scripted, %4 s by hand")
                                    .arg(a[i].second).arg(i).arg(gap).arg(byHand)));
        }
    }
};

QTEST_MAIN(TestScriptRun)
#include "tst_script_run.moc"
