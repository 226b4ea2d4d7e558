// SWEEP end to end: the program on its production serial control, talking to
// the meter simulator over a pseudo-terminal, whose log shows which positions
// arrived and when; LEFT ends the sweep with its stop command.
#include "e2e/E2eRig.h"
#include "e2e/MeterSim.h"

#include "Timing.h"

#include <QPushButton>
#include <QTest>
#include <QTimer>

constexpr double Tick = 0.054;
constexpr double Pause = 18 * Tick;  // SDelay(1)

class TestE2eSweep : public QObject {
    Q_OBJECT
private slots:
    void sweepReachesTheMeterAtPaceAndLeftEndsIt()
    {
        MeterSim sim;
        QVERIFY2(sim.Start(), qPrintable(sim.error()));
        E2eRig rig({sim.device()});
        frmMain& f = rig.Make();
        f.cmdConnect->click();
        QVERIFY(f.Connected && sim.WaitFor([&](const auto&) { return sim.Frames().endsWith("S"); }, 5000));
        const qsizetype before = sim.Frames().size();
        // LEFT once some positions have gone out; it runs inside the sweep's wait.
        QTimer::singleShot(int((Pause + 6 * Tick) * 1000), &f, [&] { f.cmdLeft->click(); });
        QTimer::singleShot(int(20000 * Timing::Scale()), &f, [&] { f.StopSweep = true; });
        f.cmdSweep->click();  // returns once LEFT has stopped the sweep

        QVERIFY(sim.WaitFor([&](const auto&) { return sim.Frames().endsWith("N0C6"); }, int(3000 * Timing::Scale())));
        QTest::qWait(200);  // anything still under way arrives
        const QList<MeterSim::Entry> rx = sim.Entries(QStringLiteral("RX")).mid(before);
        const qsizetype steps = rx.size() - 1;
        QVERIFY(steps >= 2);
        for (qsizetype i = 0; i < steps; ++i)
            QCOMPARE(rx[i].text, "N" + QByteArray::number(54 * i, 16).toUpper().rightJustified(3, '0'));
        QCOMPARE(rx.last().text, QByteArray("N0C6"));
        // A tick a step on average, and LEFT's second before its stop.
        const double mean = (rx[steps - 1].time - rx[0].time) / double(steps - 1);
        QVERIFY2(mean >= Tick - 0.005 && mean <= Tick + Timing::Slack(), qPrintable(QString::number(mean)));
        QVERIFY(rx.last().time - rx[steps - 1].time >= Pause - 0.010);
    }
};

QTEST_MAIN(TestE2eSweep)
#include "tst_e2e_sweep.moc"
