// SWEEP end to end: the program on its production serial control, connected
// to the meter simulator over a pseudo-terminal. The simulator's log shows
// which positions arrived and when; LEFT ends the sweep with its stop command.
#include "e2e/E2eRig.h"
#include "e2e/MeterSim.h"

#include "Timing.h"

#include <QPushButton>
#include <QTest>
#include <QTimer>

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
        QVERIFY(f.Connected);
        QVERIFY(sim.WaitFor([&](const auto&) { return sim.Frames().value(sim.Frames().size() - 1) == "S"; }, 5000));
        const qsizetype before = sim.Frames().size();

        // Press LEFT from inside the program's event handling once five
        // positions have reached the meter.
        QTimer watch;
        connect(&watch, &QTimer::timeout, [&] {
            if (sim.Frames().size() - before >= 5 && watch.isActive()) {
                watch.stop();
                f.cmdLeft->click();
            }
        });
        watch.start(5);
        QTimer::singleShot(int(20000 * Timing::Scale()), &f, [&] { f.StopSweep = true; });
        f.cmdSweep->click();  // returns once LEFT has stopped the sweep

        QVERIFY(sim.WaitFor([&](const auto&) { return sim.Frames().value(sim.Frames().size() - 1) == "N0C6"; },
                            int(3000 * Timing::Scale())));
        QTest::qWait(200);  // anything still under way arrives
        const QList<MeterSim::Entry> rx = sim.Entries(QStringLiteral("RX")).mid(before);
        QVERIFY(rx.size() >= 6);
        QCOMPARE(rx.last().text, QByteArray("N0C6"));
        for (qsizetype i = 0; i + 1 < rx.size(); ++i)
            QCOMPARE(rx[i].text, "N" + QByteArray::number(54 * i, 16).toUpper().rightJustified(3, '0'));
        // A tick a step on average (a pseudo-terminal and a second process in
        // between), and LEFT's second before its stop.
        const double mean = (rx[rx.size() - 2].time - rx[0].time) / double(rx.size() - 2);
        QVERIFY2(mean >= 0.054 - 0.005 && mean <= 0.054 + Timing::Slack(), qPrintable(QString::number(mean)));
        QVERIFY(rx.last().time - rx[rx.size() - 2].time >= 0.972 - 0.010);
    }
};

QTEST_MAIN(TestE2eSweep)
#include "tst_e2e_sweep.moc"
