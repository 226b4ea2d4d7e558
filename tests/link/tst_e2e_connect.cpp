// Connect end to end over meter-sim pseudo-terminals: the main window on the real serial control, and the program as
// processes of their own beside other instances and other serial programs. What the program sent, and when, is read
// from the simulators' logs; what it opened, from its system calls.
#include "LinkTest.h"
#include "NoDisplayRun.h"
#include "e2e/E2eRig.h"

#include <QRegularExpression>
#include <QTemporaryDir>
#include <QtTest>

#include <deque>

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

class TestE2eConnect : public QObject {
    Q_OBJECT

private slots:
    // The identity read window over a real line: Comm2 answers too late (0.9 s), Comm3 inside the window (0.6 s) but
    // never ends its line. The meter on Comm1 is another program's (an flock, as picocom takes): left out of the search
    // and the Port menu, not sent a byte.
    void readWindowOverARealLine()
    {
        MeterSim held({}), late({"--late", "--serial", "QZ0001"});
        MeterSim unended({"--delay", "0.6", "--truncated", "--serial", "QZ0002"});
        const int holder = ::open(held.device.toLocal8Bit().constData(), O_RDWR | O_NOCTTY | O_NONBLOCK);
        QVERIFY(holder >= 0 && ::flock(holder, LOCK_EX | LOCK_NB) == 0);
        E2eRig rig;
        frmMain& form = rig.Make({held.device, late.device, unended.device});
        form.cmdConnect->click();
        QCOMPARE(Shows(form).section(" | ", 1, 2), QString("Meter Serial Number: QZ0002 Firmware Version: 1.05 | "
                                                           "Comm2: Comm3:*"));
        QCOMPARE(held.Frames(), QStringList());
        ::close(holder);
        // Both ports were read for the whole 0.2 s: from "V" to the close that follows, 0.7 s.
        for (MeterSim* sim : {&late, &unended}) {
            QVERIFY(sim->WaitFor([&] { return sim->Entries("CLOSE").size() >= 4; }));
            const double v = sim->Entries("RX").value(3).first;
            VERIFY_TIME(sim->Entries("CLOSE").value(3).first - v, 0.7 - 0.02, 0.7 + Timing::Slack());
        }
    }

    // Comm1's meter is held by another program's flock: the port report, the start-up probe and every search pass only
    // look at it (a stat and /proc/locks, no open), name its holder, and leave it without a byte.
    void heldPortIsNeverOpened_data()
    {
        QTest::addColumn<QStringList>("args");
        QTest::addColumn<QString>("out");  // {held} {free}: the devices; {pid}: this test's
        QTest::newRow("--list-ports") << QStringList{"--list-ports"}
                                      << "Comm1: {held}: busy (held by tst_e2e_connect, pid {pid})\n"
                                         "Comm2: {free}: ok\n";
        QTest::newRow("--run") << QStringList{"--run", "-"}
                               << "{t} 1 busy Comm1 {held} holder=\"tst_e2e_connect\" pid={pid}\n{t} 1 found Comm2 "
                                  "{free} serial=QZ0002 firmware=1.05\n{t} 1 connect\n{t} 1 end status=0 "
                                  "serial=QZ0002 firmware=1.05 elapsed={t}\n";
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
        // LeakSanitizer cannot work under ptrace: a sanitized build checks its leaks in the runs without strace.
        StartWithoutDisplay(run, "strace",
                            QStringList{"-f", "-qq", "-e", "trace=%file,%desc", "-o", dir.filePath("calls"),
                                        QZ_PROGRAM_PATH, "--ports", held.device + "," + free.device} + args,
                            {{"ASAN_OPTIONS", qEnvironmentVariable("ASAN_OPTIONS") + ":detect_leaks=0"}}, "connect\n");
        QVERIFY(run.waitForFinished(60000));
        ::close(holder);
        out.replace("{held}", held.device).replace("{free}", free.device)
            .replace("{pid}", QString::number(QCoreApplication::applicationPid()));
        const QString said = QString::fromLocal8Bit(run.readAllStandardOutput());
        QVERIFY2(QRegularExpression("^" + QRegularExpression::escape(out).replace("\\{t\\}", "[0-9.]+") + "$")
                     .match(said).hasMatch(), qPrintable(said + run.readAllStandardError()));
        QFile file(dir.filePath("calls"));
        QVERIFY(file.open(QIODevice::ReadOnly));
        const QString calls = QString::fromLocal8Bit(file.readAll());
        const auto opened = [&calls](const QString& device) {  // a call naming it, but for looking at it
            return calls.contains(QRegularExpression(
                "^\\d+ +(?!(newfstatat|statx|l?stat|readlink(at)?|access|faccessat2?)\\()\\w+\\(.*\"" +
                    QRegularExpression::escape(device) + '"', QRegularExpression::MultilineOption));
        };
        QVERIFY2(opened(free.device) && !opened(held.device), qPrintable(calls));
        QCOMPARE(held.Frames(), QStringList());
    }

    // Eight instances at once, each given the same eight meters, three rounds: each finds a meter of its own (a port
    // another instance holds is passed by, not an error), every meter is selected once a round and let go.
    void eightInstancesShareEightMeters()
    {
        std::deque<MeterSim> sims;
        QStringList devices, serials;
        for (int i = 1; i <= 8; ++i) {
            serials << QString("QZ000%1").arg(i);
            devices << sims.emplace_back(QStringList{"--serial", serials.last()}).device;
        }
        for (int round = 1; round <= 3; ++round) {
            QProcess runs[8];
            for (QProcess& run : runs)  // all at once, not each as its end is awaited
                StartWithoutDisplay(run, QZ_PROGRAM_PATH, {"--run", "-", "--ports", devices.join(',')}, {},
                                    "connect\nexpect serial QZ*\nleft\n");
            QStringList found;
            for (QProcess& run : runs) {
                QVERIFY(run.waitForFinished(60000));
                const QString out = QString::fromLocal8Bit(run.readAllStandardOutput() + run.readAllStandardError());
                QVERIFY2(run.exitCode() == 0 && !out.contains("Error Opening"), qPrintable(out));
                found << out.section(" end status=0 serial=", 1).section(' ', 0, 0);
            }
            found.sort();
            QCOMPARE(found, serials);
            for (MeterSim& sim : sims) {
                QVERIFY(sim.WaitFor([&] { return sim.Frames().count("S") >= round && sim.Frames().endsWith("U"); }));
                const QStringList frames = sim.Frames();
                QVERIFY2(frames.count("S") == round && frames.mid(frames.size() - 3) == (QStringList{"N0C6", "R", "U"}),
                         qPrintable(QString("round %1, %2: %3").arg(round).arg(sim.device, frames.join(' '))));
            }
        }
    }
};

QTEST_MAIN(TestE2eConnect)
#include "tst_e2e_connect.moc"
