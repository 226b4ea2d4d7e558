// A bounded soak of the program on its production serial control, traced, against meter simulators. Each round: a
// connect, LEFT and disconnect whose trace must match the simulator's log frame for frame on the same clock; then,
// while another process reports the ports over and over (its brief opens never fail a search), a sweep stopped by
// LEFT, a meter that drops the line mid-sweep and one killed while idle. Every identity shown must be what its new
// simulator sent, each loss gets one box, and no file descriptor may be left over after the first round.
// QZ_SOAK_ROUNDS sets the rounds (default 3).
#include "LinkTest.h"
#include "NoDisplayRun.h"
#include "TraceFile.h"
#include "e2e/E2eRig.h"
#include "link/TracingCommControl.h"

#include <QDeadlineTimer>
#include <QDir>
#include <QThreadPool>
#include <QTimer>

static int OpenFds()
{
    QThreadPool::globalInstance()->waitForDone();  // Qt's idle pooled threads hold event fds
    return int(QDir("/proc/self/fd").entryList(QDir::AllEntries | QDir::System | QDir::NoDotAndDotDot).size());
}

class TestSoak : public QObject {
    Q_OBJECT

    TraceFile m_trace;
    QtCommControl m_port;  // outlives the window, which lets go of it as it closes
    TracingCommControl m_traced{m_port, *m_trace.get()};
    E2eRig m_rig;
    int m_losses = 0;

    // Connects to a new simulator; the labels must show what it sent.
    void Connect(MeterSim& sim, const QString& serial, const QString& firmware)
    {
        E2eRig::SetPorts({sim.device});
        m_rig.form->cmdConnect->click();
        VerifyConnected(*m_rig.form, 1, serial, firmware);
    }

    // The meter lost by `loss`: the window lets it go by itself, with one box
    // naming the port, and is ready to connect again.
    void Lose(MeterSim& sim, const std::function<void()>& loss)
    {
        const qsizetype boxes = m_rig.messages.shown.size();
        m_rig.messages.Expect({QString("Lost the meter on Comm1 (%1): it was unplugged or switched off. "
                                       "Plug it back in and press Connect.").arg(sim.device), "qz Ruvude Zivo"});
        loss();
        QTRY_COMPARE(m_rig.messages.shown.size(), boxes + 1);
        VerifyNotConnected(*m_rig.form);
        QVERIFY(!m_rig.form->mnuSourcePortComm[1]->isChecked());
        ++m_losses;
    }

    // Connect, LEFT and Disconnect: the trace holds what the simulator saw,
    // frame for frame, open for open, on the same clock, and the frames keep their spacing.
    void TracedCycle(const QString& serial)
    {
        MeterSim sim({"--serial", serial, "--firmware", "2.03,B"});
        const double since = m_trace.get()->Now();
        Connect(sim, serial, "2.03,B");
        m_rig.form->cmdLeft->click();
        m_rig.form->cmdConnect->click();
        VerifyNotConnected(*m_rig.form);
        m_trace.get()->Started(serial + " done");  // a line of the test's own, written after the cycle's
        QTRY_VERIFY(m_trace.Written().contains("START " + serial + " done"));
        QStringList trace = m_trace.Written().split('\n', Qt::SkipEmptyParts);  // its lines from the click on
        trace.removeIf([&](const QString& line) { return line.section(' ', 0, 0).toDouble() < since; });
        QVERIFY(sim.WaitFor([&] { return sim.Entries("CLOSE").size() == EntriesOf(trace, "CLOSE").size(); }));
        const LogEntries tx = EntriesOf(trace, "TX"), answers = EntriesOf(trace, "RX");
        const LogEntries opens = EntriesOf(trace, "OPEN");
        QStringList sent;
        for (const auto& [time, quoted] : tx)
            sent << quoted.mid(1, quoted.size() - 4);  // without the quotes and the \r
        QCOMPARE(sent, (QStringList{"", "H", "H", "V", "S", "N0C6", "I"}));
        QCOMPARE(sim.Frames(), sent);
        const LogEntries rx = sim.Entries("RX");
        QCOMPARE(answers.size(), 1);  // the program read one answer, the one the meter sent
        QCOMPARE(answers[0].second, sim.Entries("TX").value(0).second);
        QCOMPARE(opens.size(), sim.Entries("OPEN").size());
        QCOMPARE(opens.value(0).second, "Comm1 " + sim.device);
        QCOMPARE(EntriesOf(trace, "IDENTITY").value(0).second, "Comm1 serial=\"" + serial + "\" firmware=\"2.03,B\"");
        // Stamped just before it left, each frame reaches the simulator a moment later.
        for (qsizetype i = 0; i < tx.size(); ++i)
            VERIFY_TIME(rx[i].first - tx[i].first, 0.0, Timing::Slack(0.1));
        VERIFY_TIME(rx[1].first - rx[0].first, Nominal::QuietWait - 0.02, Nominal::QuietWait + Timing::Slack());
        VERIFY_TIME(rx[2].first - rx[1].first, Nominal::HGap - 0.02, Nominal::HGap + Timing::Slack());
    }

    // A sweep, with LEFT pressed once a few frames beyond the connect's five
    // have gone out if `left`: whether it ended, as no sweep runs over 20 s.
    bool Sweep(MeterSim& sim, bool left)
    {
        frmMain& f = *m_rig.form;
        const QDeadlineTimer limit(20000);
        QTimer watch;
        connect(&watch, &QTimer::timeout, this, [&] {
            if (limit.hasExpired())
                f.StopSweep = true;
            else if (left && !f.cmdSweep->isEnabled() && sim.Frames().size() > 8)
                f.cmdLeft->click();
        });
        watch.start(10);
        f.cmdSweep->click();  // returns when the sweep ends
        return !limit.hasExpired();
    }

    void Round(int r)
    {
        frmMain& f = *m_rig.form;
        TracedCycle(QString("QZA%1").arg(r));
        MeterSim sweeping({"--serial", QString("QZW%1").arg(r), "--firmware", "2.0"});
        MeterSim dropping({"--serial", QString("QZD%1").arg(r), "--firmware", "4.0", "--drop-after", "12"});
        MeterSim killed({"--serial", QString("QZK%1").arg(r), "--firmware", "3.0"});
        QProcess reports;  // another process reporting the ports over and over
        reports.setStandardOutputFile(QProcess::nullDevice());
        // Restarted from the event loop, by a call that goes with the process when it goes.
        const auto again = connect(&reports, &QProcess::finished, &reports, [&reports] { reports.start(); },
                                   Qt::QueuedConnection);
        StartWithoutDisplay(reports, QZ_PROGRAM_PATH,
                            {"--list-ports", "--ports", sweeping.device + ',' + dropping.device + ',' + killed.device});

        // A sweep, stopped by LEFT once a few of its frames have gone out.
        Connect(sweeping, QString("QZW%1").arg(r), "2.0");
        QVERIFY(Sweep(sweeping, true));
        QVERIFY(sweeping.WaitFor([&] { return sweeping.Frames().endsWith("N0C6"); }));
        f.cmdConnect->click();

        // The line dropped in the middle of a sweep (connecting takes five
        // frames: "", "H", "H", "V", "S"), and a meter unplugged while idle.
        Connect(dropping, QString("QZD%1").arg(r), "4.0");
        Lose(dropping, [&] { QVERIFY(Sweep(dropping, false)); });  // the loss ends it
        QVERIFY(dropping.WaitFor([&] { return !dropping.Entries("DROP").isEmpty(); }));
        QCOMPARE(dropping.Frames().size(), 12);
        Connect(killed, QString("QZK%1").arg(r), "3.0");
        Lose(killed, [&] {
            killed.process.kill();
            QVERIFY(killed.process.waitForFinished(5000));
        });
        disconnect(again);
        reports.waitForFinished();
    }

private slots:
    void soak()
    {
        const int rounds = qMax(2, qEnvironmentVariableIsSet("QZ_SOAK_ROUNDS")
                                       ? qEnvironmentVariableIntValue("QZ_SOAK_ROUNDS") : 3);
        QElapsedTimer duration;
        duration.start();
        m_rig.platform.comm = &m_traced;
        m_rig.platform.trace = m_trace.get();
        m_rig.Make({});
        Round(0);  // warm-up: whatever Qt sets up once is in place from here on
        const int fdsBefore = OpenFds();
        for (int r = 1; r < rounds && !QTest::currentTestFailed(); ++r)
            Round(r);
        if (QTest::currentTestFailed())
            return;
        // A process or port just gone may take a moment to hand back its descriptors; a leak stays.
        int fdsAfter = OpenFds();
        for (QDeadlineTimer settle(2000); fdsAfter > fdsBefore && !settle.hasExpired(); fdsAfter = OpenFds())
            QTest::qWait(20);
        qInfo("soak: %d rounds (each 4 connects, 2 sweeps, 2 losses), %.1f s; file descriptors %d before, %d after",
              rounds, double(duration.elapsed()) / 1000, fdsBefore, fdsAfter);
        QCOMPARE(fdsAfter, fdsBefore);
        QCOMPARE(m_rig.messages.shown.size(), m_losses);  // no other box, and one per loss
    }
};

QTEST_MAIN(TestSoak)
#include "tst_soak.moc"
