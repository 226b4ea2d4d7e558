// `--run` end to end: the program as its own process, without a display, on a meter-sim pseudo-terminal. What the
// simulated meter received (and when), the events on standard output, the words on standard error, the exit status.
#include "NoDisplayRun.h"
#include "Pty.h"
#include "StalledPipe.h"
#include "Timing.h"
#include "e2e/E2eRig.h"
#include "link/LineTrace.h"

#include <QJsonDocument>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QtTest>

#include <csignal>
#include <optional>

#include <sys/ioctl.h>

class TestScriptRun : public QObject {
    Q_OBJECT

private slots:
    void runs_data()
    {
        QTest::addColumn<QString>("script");
        QTest::addColumn<QStringList>("meter");  // meter-sim's options
        QTest::addColumn<QString>("how");  // "json", a signal mid-sweep (SIG...), "reader gone", "port vanishes"
                                           // (Comm2, after the search began), "stdin closed", "stdout closed",
                                           // "stalled" (output, error, trace), "2>>" (trace: /dev/stderr), "show"
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
                   "\" serial=QZ1234 firmware=1.05 elapsed={t}\n" << lost + "\n";
        for (const auto& [name, status] : {std::pair{"SIGTERM", 143}, {"SIGHUP", 129}, {"SIGINT", 130}})
            QTest::addRow("%s mid-sweep", name) << "connect\nsweep\nwait 60" << QStringList{} << name << status
                << "^ H H V S( N[0-9A-F]{3})+ R U$"
                << found + "{t} 3 end status=" + QString::number(status) + " line=3 reason=\"ended by " + name +
                       "\" serial=QZ1234 firmware=1.05 elapsed={t}\n" << "";
        // Standard output, error and a trace FIFO stalled, their readers having taken a page of the backlog:
        // nothing waits for them, they end within one second in all, a SIGINT then changes nothing, and what
        // the readers find after the end is whole lines (JSON each), the `end` line last or absent.
        QTest::newRow("SIGTERM mid-sweep, every output stalled")
            << "connect\n" + QString("cycle\n").repeated(200) + "sweep\nwait 60" << QStringList{}
            << "SIGTERM, SIGINT in the end, stalled" << 143 << "^ H H V S( N[0-9A-F]{3})+ R U$" << "" << "";
        QTest::newRow("the trace to /dev/stderr, which 2>> appends to a file") << "connect" << QStringList{} << "2>>"
            << 0 << "^ H H V S R U$" << found.section('\n', 0, 1) + "\n{t} 1 end status=0 serial=QZ1234 firmware=1.05 "
               "elapsed={t}\n" << "earlier run\n";
        // Qt's fatal message comes after the warnings that explain it; a stalled reader of them holds the end
        // up for a second each.
        QTest::newRow("--show without a display") << "connect" << QStringList{} << "show" << 128 + SIGABRT << "^$"
            << "" << "Qt platform plugin \"xcb\" in \"\" even though it was found.\nThis application failed to start";
        QTest::newRow("--show without a display, stalled") << "connect" << QStringList{} << "show, stalled"
            << 128 + SIGABRT << "^$" << "" << "";
        QTest::newRow("port vanishes between the search's look and its open") << "connect" << QStringList{"--silent"}
            << "port vanishes" << 1 << "^ H H V$"
            << "{t} 1 box \"Open Comms Port\" \"Error Opening Comm2:9600,n,8,1\" ok\n{t} 1 end status=1 line=1 "
               "reason=\"Error Opening Comm2:9600,n,8,1\" serial= firmware= elapsed={t}\n"
            << "Error Opening Comm2:9600,n,8,1\n";
        QTest::newRow("standard input closed") << "connect" << QStringList{} << "stdin closed" << 2 << "^$" << ""
            << "qz-ruvude-zivo: cannot read the script '-': Bad file descriptor\n";
        QTest::newRow("standard output closed") << "connect\ncycle" << QStringList{} << "stdout closed" << 0
            << "^ H H V S N0C6 R U$" << "" << "qz-ruvude-zivo: cannot write to standard output: Bad file descriptor\n";
        // Every action, each sending what its button sends (the needle test's), line after line.
        QTest::newRow("every action, the reader of the report gone")
            << "connect within 5\nexpect serial qz12*\nexpect firmware 1.0?\ncalibration on\ncycle 3\nwait 0.3\n"
               "scale simple\ncycle\ncalibration off\nscale simple\nsweep\nwait 0.567\nspeed 100\nwait 0.54\nleft\n"
               "right\ndisconnect\nconnect\nscale trad\nexit\n" << QStringList{} << "reader gone" << 0
            << "^ H H V S L N000 N0C6 N238 N3AA N632 S N632 N000 N036 N06C N0A2 N0D8 N10E N144 N17A N1B0 N1E6 N21C "
               "N280 N2E4( N[0-9A-F]{3})* N0C6 NF3A I  H H V S R U$"
            << "" << "qz-ruvude-zivo: cannot write to standard output: Broken pipe\n";
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
        // Comm2, an adapter (a link to a terminal) unplugged once Comm1 is being searched.
        const Pty second;
        const QTemporaryDir dir;
        const QString adapter = dir.filePath("adapter");
        const bool unplugs = how == "port vanishes" && QFile::link(second.name, adapter);
        const bool stalls = how.endsWith("stalled"), appends = how == "2>>", shows = how.startsWith("show");
        const StalledPipe stalled, stalledError;
        std::optional<StalledPipe> stalledTrace;
        if (stalls && !shows)
            stalledTrace.emplace(qPrintable(dir.filePath("trace")));
        // The script given on standard input; with standard output closed the trace goes to a file,
        // which must not take its place.
        QProcess run;
        QFile log(dir.filePath("err"));
        if (appends && log.open(QIODevice::WriteOnly) && log.write("earlier run\n") > 0) {
            log.close();
            run.setStandardErrorFile(log.fileName(), QIODevice::Append);
        }
        const auto child = [how, stalls, &stalled, &stalledError] {
            if (how == "reader gone")
                PipeNobodyReads(STDOUT_FILENO);
            if (how.endsWith(" closed"))
                ::close(how.startsWith("stdin") ? STDIN_FILENO : STDOUT_FILENO);
            if (stalls)
                stalled.Give(STDOUT_FILENO), stalledError.Give(STDERR_FILENO);
        };
        const QString trace = how == "stdout closed" || stalledTrace ? dir.filePath("trace")
                              : appends                              ? "/dev/stderr"
                                                                     : "-";
        QElapsedTimer took;
        took.start();
        // Qt's warnings about the display said, as the tests' own settings hide them.
        StartWithoutDisplay(run, QZ_PROGRAM_PATH,
                            QStringList{"--run", "-", "--ports", sim.device + (unplugs ? "," + adapter : ""),
                                        "--trace", trace} +
                                (how == "json" || stalls ? QStringList{"--json"} : QStringList{}) +
                                (shows ? QStringList{"--show"} : QStringList{}),
                            shows ? QMap<QString, QString>{{"QT_LOGGING_RULES", ""}} : QMap<QString, QString>{},
                            script.toUtf8(), child);
        if (unplugs) {
            QVERIFY(sim.WaitFor([&] { return !sim.Frames().isEmpty(); }, 10000));
            QVERIFY(QFile::remove(adapter));
        }
        double signalled = 0, ended = 0;
        const qsizetype cycles = script.count("cycle\n");
        if (how.startsWith("SIG")) {  // five frames to connect, the cycles, then positions enough to keep time by
            QVERIFY(sim.WaitFor([&] { return sim.Frames().size() >= 30 + cycles; }, 10000));
            if (stalls) {  // the readers of the events and the trace take a page of their backlog, then pause
                stalled.Take();
                stalledTrace->Take();
            }
            signalled = LineTrace::MonotonicSeconds();
            ::kill(pid_t(run.processId()), how.startsWith("SIGTERM") ? SIGTERM : how == "SIGINT" ? SIGINT : SIGHUP);
            if (how.contains("SIGINT in the end")) {  // "U" sent and a moment more: the program writes out its queues
                QVERIFY(sim.WaitFor([&] { return sim.Frames().endsWith("U"); }) && !run.waitForFinished(200));
                ::kill(pid_t(run.processId()), SIGINT);
            }
            QVERIFY(run.waitForFinished(5000));
            ended = LineTrace::MonotonicSeconds();
        }
        QVERIFY(signalled > 0 || run.waitForFinished(30000));
        if (shows && stalls)  // a second for what was queued, one for the fatal message
            VERIFY_TIME(took.elapsed() / 1000.0, 2.0, 2.0 + Timing::Slack(0.8));
        QCOMPARE(run.exitStatus(), shows ? QProcess::CrashExit : QProcess::NormalExit);
        QTEST(run.exitCode() + (shows ? 128 : 0), "status");
        const QString said = QString::fromUtf8(run.readAllStandardOutput());
        const QByteArray errors = appends && log.open(QIODevice::ReadOnly) ? log.readAll() : run.readAllStandardError();
        const QString complained = QString::fromLocal8Bit(errors);
        if (appends)  // after what was there, the trace's start, then the run's
            QVERIFY2(complained.startsWith(err) && complained.section('\n', 1, 1).contains(" START "), errors.data());
        const QString pattern =
            QRegularExpression::escape(out.replace("{dev}", sim.device)).replace("\\{t\\}", "\\d+\\.\\d{3}");
        QVERIFY2(QRegularExpression("^" + pattern + "$").match(said).hasMatch(), qPrintable(said));
        QVERIFY2(complained.contains(err.replace("{dev}", sim.device)) && complained.count("cannot write") <= 1,
                 qPrintable(complained));
        const QRegularExpression sent(frames);
        QVERIFY2(sim.WaitFor([&] { return sent.match(sim.Frames().join(' ')).hasMatch(); }),
                 qPrintable(sim.Frames().join(' ')));
        QVERIFY(!complained.section(" LOST ", 1).contains(" TX"));  // the trace: nothing written after the loss
        if (stalls)  // the descriptors left as they were given
            QVERIFY(!((::fcntl(stalled.write, F_GETFL) | ::fcntl(stalledError.write, F_GETFL)) & O_NONBLOCK));
        if (signalled == 0)
            return;
        // The sweep kept its pace, every position in turn, and "R" came within a second of the signal.
        const auto rx = sim.Entries("RX");
        const qsizetype first = 5 + cycles;
        for (qsizetype i = first; i < rx.size() - 2; ++i)
            QCOMPARE(rx[i].second.mid(2, 3).toInt(nullptr, 16), int(i - first) * 54);
        VERIFY_TIME((rx[rx.size() - 3].first - rx[first].first) / (rx.size() - first - 3), 0.053,
                    0.054 + Timing::Slack(0.008));
        VERIFY_TIME(rx[rx.size() - 2].first - signalled, 0.0, 1.0);
        if (!stalls)
            return;
        VERIFY_TIME(ended - rx.last().first, 0.95, 1.5);  // what was queued: one second, all three together
        const QByteArray events = stalled.Drain(), traced = stalledTrace->Drain();
        for (const QByteArray& lines : {events, traced, stalledError.Drain()})
            QVERIFY2(lines.isEmpty() || lines.endsWith('\n'), lines.right(80).constData());
        const QList<QByteArray> records = events.split('\n').mid(0, events.count('\n'));
        for (const QByteArray& record : records)
            QVERIFY2(QJsonDocument::fromJson(record).isObject(), record.constData());
        QVERIFY(!events.contains("\"event\":\"end\"") || records.last().contains("\"event\":\"end\""));
        static const QRegularExpression traceLine("^(\\d+\\.\\d{6} [A-Z-]+ [^\n]*\n)*$");
        QVERIFY2(traceLine.match(QString::fromLatin1(traced)).hasMatch(), traced.right(80).constData());
    }

    // `ask` on the controlling terminal, a pseudo-terminal given to the program in a session of its own: a line
    // typed a second after each question shows ("<y": before the first, and so discarded), "SIGTERM" or "hang up"
    // instead; standard input carries the script all the while. A sweep goes on while the question is open.
    void asksOnTheTerminal_data()
    {
        QTest::addColumn<QString>("script");
        QTest::addColumn<QStringList>("typed");
        QTest::addColumn<int>("status");
        QTest::addColumn<QString>("answer");
        QTest::addColumn<QString>("frames");
        const QString ask = "connect\nask Needle on the left stop?\nleft\n";
        QTest::newRow("y") << ask << QStringList{"y"} << 0 << "yes" << "^ H H V S N0C6 R U$";
        QTest::newRow("No, a y typed ahead") << ask << QStringList{"<y", "No"} << 1 << "no" << "^ H H V S R U$";
        QTest::newRow("a stray line asked again") << ask << QStringList{"maybe", "Yes"} << 0 << "yes"
                                                  << "^ H H V S N0C6 R U$";
        QTest::newRow("SIGTERM") << ask << QStringList{"SIGTERM"} << 143 << "none" << "^ H H V S R U$";
        QTest::newRow("hung up") << ask << QStringList{"hang up"} << 1 << "none" << "^ H H V S R U$";
        QTest::newRow("during a sweep") << "connect\nsweep\nask Needle on the left stop?\nleft\n" << QStringList{"Y"}
                                        << 0 << "yes" << "^ H H V S( N[0-9A-F]{3}){12,} N0C6 R U$";
    }
    void asksOnTheTerminal()
    {
        QFETCH(QString, script);
        QFETCH(QStringList, typed);
        QFETCH(QString, answer);
        QFETCH(QString, frames);
        MeterSim sim({});
        Pty terminal;
        QProcess run;
        run.setProcessEnvironment(NoDisplayEnvironment());
        run.setChildProcessModifier([&terminal] {
            ::setsid();
            ::ioctl(terminal.slave, TIOCSCTTY, 0);
        });
        run.start(QZ_PROGRAM_PATH, {"--run", "-", "--ports", sim.device});
        run.write(script.toUtf8());
        run.closeWriteChannel();
        const QByteArray question = "Needle on the left stop? [y/n] ";
        for (const QString& line : typed) {
            if (line.startsWith('<')) {
                QVERIFY(::write(terminal.master, "y\n", 2) == 2);
                continue;
            }
            QByteArray shown;
            QTRY_COMPARE_WITH_TIMEOUT(shown += terminal.Read(question.size() - shown.size(), 100), question, 10000);
            QTest::qWait(1000);
            if (line == "SIGTERM")
                ::kill(pid_t(run.processId()), SIGTERM);
            else if (line == "hang up")
                terminal.HangUp();
            else
                QVERIFY(::write(terminal.master, qPrintable(line + '\n'), size_t(line.size() + 1)) == line.size() + 1);
        }
        QVERIFY(run.waitForFinished(10000));
        QTEST(run.exitCode(), "status");
        const QString said = QString::fromUtf8(run.readAllStandardOutput());
        const QRegularExpression asked(" ask question=\"Needle on the left stop\\?\" answer=" + answer +
                                       " seconds=\\d\\.\\d{3}\n(.*\n)?\\d+\\.\\d{3} \\d end ");
        QVERIFY2(asked.match(said).hasMatch(), qPrintable(said));
        QVERIFY(answer != "no" || said.contains("reason=\"operator answered no: \\\"Needle on the left stop?\\\"\""));
        const QRegularExpression sent(frames);
        QVERIFY2(sim.WaitFor([&] { return sent.match(sim.Frames().join(' ')).hasMatch(); }),
                 qPrintable(sim.Frames().join(' ')));
    }
};

QTEST_MAIN(TestScriptRun)
#include "tst_script_run.moc"
