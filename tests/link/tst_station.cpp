// A shared test station: the program beside other instances of itself and
// other serial programs, each a process of its own over meter-sim
// pseudo-terminals. A port another program holds is never opened (seen in
// the system calls themselves), instances that search the same ports at once
// each find a meter of their own, and a port report run over and over by
// another process never fails a search.
#include "LinkTest.h"
#include "NoDisplayRun.h"
#include "e2e/E2eRig.h"

#include <QRegularExpression>
#include <QTemporaryDir>
#include <QtTest>

#include <memory>

#include <fcntl.h>
#include <sys/file.h>

class TestStation : public QObject {
    Q_OBJECT

private slots:
    // Comm1's meter is held by another program's flock: the port report,
    // the start-up probe and every search pass only look at it (a stat and
    // /proc/locks, no open), name its holder, and leave it without a byte.
    void heldPortIsNeverOpened_data()
    {
        QTest::addColumn<QStringList>("args");
        QTest::addColumn<QString>("out");  // {held} {free}: the devices; {pid}: this test's
        QTest::newRow("--list-ports") << QStringList{"--list-ports"}
                                      << "Comm1: {held}: busy (held by tst_station, pid {pid})\nComm2: {free}: ok\n";
        QTest::newRow("--run") << QStringList{"--run", "-"}
                               << "{t} 1 busy Comm1 {held} holder=\"tst_station\" pid={pid}\n{t} 1 found Comm2 {free} "
                                  "serial=QZ0002 firmware=1.05\n{t} 1 connect\n{t} 1 end status=0 serial=QZ0002 "
                                  "firmware=1.05 elapsed={t}\n";
    }
    void heldPortIsNeverOpened()
    {
        QFETCH(QStringList, args);
        QFETCH(QString, out);
        MeterSim held({"--serial", "QZ0001"}), free({"--serial", "QZ0002"});
        const int holder = ::open(held.device.toLocal8Bit().constData(), O_RDWR | O_NOCTTY | O_CLOEXEC);
        QVERIFY(holder >= 0 && ::flock(holder, LOCK_EX | LOCK_NB) == 0);
        QTemporaryDir dir;
        QProcess run;
        QProcessEnvironment env = NoDisplayEnvironment();
        // LeakSanitizer cannot work under ptrace: a sanitized build checks its leaks in the runs without strace.
        const QString asan = env.value("ASAN_OPTIONS");
        env.insert("ASAN_OPTIONS", asan + (asan.isEmpty() ? "" : ":") + "detect_leaks=0");
        run.setProcessEnvironment(env);
        run.start("strace", QStringList{"-f", "-qq", "-e", "trace=%file,%desc", "-o", dir.filePath("calls"),
                                        QZ_PROGRAM_PATH, "--ports", held.device + "," + free.device} + args);
        run.write("connect\n");
        run.closeWriteChannel();
        QVERIFY(run.waitForFinished(60000));
        ::close(holder);
        out.replace("{held}", held.device).replace("{free}", free.device)
            .replace("{pid}", QString::number(QCoreApplication::applicationPid()));
        const QString said = QString::fromLocal8Bit(run.readAllStandardOutput());
        QVERIFY2(QRegularExpression("^" + QRegularExpression::escape(out).replace("\\{t\\}", "[0-9.]+") + "$")
                     .match(said).hasMatch(), qPrintable(said + run.readAllStandardError()));
        QFile calls(dir.filePath("calls"));
        QVERIFY(calls.open(QIODevice::ReadOnly));
        QStringList opened;  // every call that names a device, but for looking at it
        static const QRegularExpression look("^\\d+ +(newfstatat|statx|l?stat|readlink(at)?|access|faccessat2?)\\(");
        for (const QString& call : QString::fromLocal8Bit(calls.readAll()).split('\n'))
            if ((call.contains('"' + held.device + '"') || call.contains('"' + free.device + '"')) &&
                !look.match(call).hasMatch())
                opened << call.section('(', 0, 0).section(' ', -1) + (call.contains(held.device) ? " held" : " free");
        QVERIFY2(!opened.isEmpty() && !opened.join(' ').contains("held"), qPrintable(opened.join('\n')));
        QCOMPARE(held.Frames(), QStringList());
    }

    // Eight instances at once, each given the same eight meters, three
    // rounds: each finds a meter of its own (a port another instance holds
    // is passed by, not an error), every meter is selected once and let go.
    void eightInstancesShareEightMeters()
    {
        std::vector<std::unique_ptr<MeterSim>> sims;
        QStringList devices;
        for (int i = 1; i <= 8; ++i) {
            sims.push_back(std::make_unique<MeterSim>(QStringList{"--serial", QString("QZ000%1").arg(i)}));
            devices << sims.back()->device;
        }
        for (int round = 1; round <= 3; ++round) {
            QList<qsizetype> before;
            for (auto& sim : sims)
                before << sim->Frames().size();
            std::vector<std::unique_ptr<QProcess>> runs;
            for (int i = 0; i < 8; ++i) {
                runs.push_back(std::make_unique<QProcess>());
                runs.back()->setProcessEnvironment(NoDisplayEnvironment());
                runs.back()->start(QZ_PROGRAM_PATH, {"--run", "-", "--ports", devices.join(',')});
                runs.back()->write("connect\nexpect serial QZ*\nleft\n");
                runs.back()->closeWriteChannel();
                runs.back()->waitForBytesWritten(5000);  // all at once, not each as its end is awaited
            }
            QStringList serials;
            for (auto& run : runs) {
                QVERIFY(run->waitForFinished(60000));
                const QString out = QString::fromLocal8Bit(run->readAllStandardOutput()),
                              err = QString::fromLocal8Bit(run->readAllStandardError());
                QVERIFY2(run->exitCode() == 0 && !(out + err).contains("Error Opening"), qPrintable(out + err));
                serials << out.section(" end status=0 serial=", 1).section(' ', 0, 0);
            }
            serials.sort();
            QCOMPARE(serials, (QStringList{"QZ0001", "QZ0002", "QZ0003", "QZ0004", "QZ0005", "QZ0006", "QZ0007",
                                           "QZ0008"}));
            for (qsizetype i = 0; i < 8; ++i) {
                MeterSim& sim = *sims[i];
                QVERIFY(sim.WaitFor([&] { return sim.Frames().size() > before[i] + 2 && sim.Frames().endsWith("U"); }));
                const QStringList frames = sim.Frames().mid(before[i]);
                QVERIFY2(frames.count("S") == 1 && frames.mid(frames.size() - 3) == (QStringList{"N0C6", "R", "U"}),
                         qPrintable(QString("round %1, meter %2: %3").arg(round).arg(i + 1).arg(frames.join(' '))));
            }
        }
    }

    // Another process reporting the ports over and over while the window
    // connects and disconnects: its brief opens never fail a search.
    void portReportsDuringSearches()
    {
        MeterSim sim({});
        QProcess loop;
        loop.setProcessEnvironment(NoDisplayEnvironment());
        loop.start("sh", {"-c", QString("while :; do '%1' --list-ports --ports '%2' >/dev/null; done")
                                    .arg(QZ_PROGRAM_PATH, sim.device)});
        E2eRig rig;
        frmMain& form = rig.Make({sim.device});
        for (int i = 0; i < 4; ++i) {
            form.cmdConnect->click();
            VerifyConnected(form, 1, "QZ1234", "1.05");
            form.cmdConnect->click();
        }
        loop.kill();
        loop.waitForFinished();
        QVERIFY(sim.WaitFor([&] { return sim.Frames().count("S") == 4; }));
    }
};

QTEST_MAIN(TestStation)
#include "tst_station.moc"
