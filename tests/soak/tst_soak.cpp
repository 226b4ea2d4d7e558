// A bounded soak of the program on its production serial control against meter
// simulators: each round, two connect / disconnect cycles with new serial
// numbers, a sweep stopped by LEFT and a meter killed while connected. Every
// identity shown must be what its simulator sent, and no file descriptor may
// be left over after the first round. QZ_SOAK_ROUNDS sets the rounds (default 3).
#include "LinkTest.h"
#include "e2e/E2eRig.h"

#include <QDeadlineTimer>
#include <QThreadPool>
#include <QTimer>

#include <filesystem>

static int OpenFds()
{
    QThreadPool::globalInstance()->waitForDone();  // Qt's idle pooled threads hold event fds
    int n = 0;
    for ([[maybe_unused]] const auto& entry : std::filesystem::directory_iterator("/proc/self/fd"))
        ++n;
    return n;
}

class TestSoak : public QObject {
    Q_OBJECT

    E2eRig m_rig;
    int m_connects = 0;
    int m_losses = 0;

    // Connects to a new simulator; the labels must show what it sent.
    void Connect(MeterSim& sim, const QString& serial, const QString& firmware)
    {
        E2eRig::SetPorts({sim.device});
        frmMain& f = *m_rig.form;
        f.cmdConnect->click();
        VerifyConnected(f, 1, serial, firmware);
        QVERIFY(sim.WaitFor([&] { return !sim.Entries("TX").isEmpty(); }));
        QCOMPARE(sim.Entries("TX").last().second, QString("\"V,%1,A,%2\\r\"").arg(serial, firmware));
        ++m_connects;
    }

    void Round(int r)
    {
        frmMain& f = *m_rig.form;
        for (const QString& serial : {QString("QZA%1").arg(r), QString("QZB%1").arg(r)}) {
            MeterSim sim({"--serial", serial, "--firmware", "1." + serial});
            Connect(sim, serial, "1." + serial);
            f.cmdConnect->click();
            VerifyNotConnected(f);
        }

        // A sweep, stopped by LEFT once a few of its frames have gone out.
        MeterSim sweeping({"--serial", QString("QZW%1").arg(r), "--firmware", "2.0"});
        Connect(sweeping, QString("QZW%1").arg(r), "2.0");
        const qsizetype base = sweeping.Frames().size();
        QTimer watch;
        QElapsedTimer limit;
        limit.start();
        connect(&watch, &QTimer::timeout, this, [&] {
            if (limit.elapsed() > 20000)
                f.StopSweep = true;
            else if (!f.cmdSweep->isEnabled() && sweeping.Frames().size() > base + 3)
                f.cmdLeft->click();
        });
        watch.start(10);
        f.cmdSweep->click();  // returns when the sweep ends
        watch.stop();
        QVERIFY(limit.elapsed() < 20000);
        QVERIFY(sweeping.WaitFor([&] { return sweeping.Frames().last() == "N0C6"; }));
        f.cmdConnect->click();

        // A meter unplugged while connected: the window lets it go by itself,
        // with one box naming the port, and is ready to connect again.
        MeterSim killed({"--serial", QString("QZK%1").arg(r), "--firmware", "3.0"});
        Connect(killed, QString("QZK%1").arg(r), "3.0");
        const qsizetype boxes = m_rig.messages.shown.size();
        m_rig.messages.Expect({QString("Lost the meter on Comm1 (%1): it was unplugged or switched off. "
                                       "Plug it back in and press Connect.").arg(killed.device), "qz Ruvude Zivo"});
        killed.process.kill();
        QVERIFY(killed.process.waitForFinished(5000));
        QTRY_COMPARE(m_rig.messages.shown.size(), boxes + 1);
        VerifyNotConnected(f);
        QVERIFY(!f.mnuSourcePortComm[1]->isChecked());
        ++m_losses;
    }

private slots:
    void soak()
    {
        const int rounds = qMax(2, qEnvironmentVariableIsSet("QZ_SOAK_ROUNDS")
                                       ? qEnvironmentVariableIntValue("QZ_SOAK_ROUNDS") : 3);
        QElapsedTimer duration;
        duration.start();
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
        qInfo("soak: %d rounds (each 2 connects, a sweep, a kill), %.1f s, %d connects, %d losses seen; "
              "file descriptors %d before, %d after",
              rounds, double(duration.elapsed()) / 1000, m_connects, m_losses, fdsBefore, fdsAfter);
        QCOMPARE(fdsAfter, fdsBefore);
        QCOMPARE(m_rig.messages.shown.size(), m_losses);  // no other box, and one per loss
    }
};

QTEST_MAIN(TestSoak)
#include "tst_soak.moc"
