// SWEEP end to end: the program on its production serial control, connected
// to the meter simulator over a pseudo-terminal. The simulator's own log shows
// which positions arrived and when; LEFT ends the sweep with its stop command.
#include "e2e/E2eRig.h"
#include "e2e/MeterSim.h"

#include "Timing.h"

#include <QPushButton>
#include <QTest>
#include <QTimer>

namespace {

constexpr double Tick = 0.054;
constexpr double Pause = 18 * Tick;
// Arrival times come through a pseudo-terminal and a second process; one
// frame may be read a little later than the next.
constexpr double Transport = 0.010;

int PositionOf(const QByteArray& text)
{
    bool ok = false;
    const int value = text.mid(1).toInt(&ok, 16);
    return ok && text.size() == 4 && text.startsWith('N') ? value : -1;
}

}  // namespace

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
        QVERIFY(sim.WaitFor(
            [&](const QList<MeterSim::Entry>&) { return !sim.Frames().isEmpty() && sim.Frames().last() == "S"; },
            5000));
        const qsizetype before = sim.Entries(QStringLiteral("RX")).size();

        // Watch the simulator's log from inside the program's event handling
        // and press LEFT once ten positions have arrived.
        bool leftPressed = false;
        QTimer watch;
        watch.setInterval(5);
        connect(&watch, &QTimer::timeout, [&] {
            if (leftPressed || sim.Entries(QStringLiteral("RX")).size() - before < 10)
                return;
            leftPressed = true;
            watch.stop();
            f.cmdLeft->click();
        });
        watch.start();
        QTimer::singleShot(static_cast<int>(20000 * Timing::Scale()), [&] { f.StopSweep = true; });
        f.cmdSweep->click();  // returns once LEFT has stopped the sweep
        QVERIFY(leftPressed);

        // Let anything that might still be under way arrive.
        QVERIFY(sim.WaitFor(
            [&](const QList<MeterSim::Entry>&) { return sim.Frames().size() > before && sim.Frames().last() == "N0C6"; },
            static_cast<int>(3000 * Timing::Scale())));
        QTest::qWait(300);
        const QList<MeterSim::Entry> rx = sim.Entries(QStringLiteral("RX")).mid(before);
        QVERIFY(rx.size() >= 11);
        QCOMPARE(rx.last().text, QByteArray("N0C6"));  // the stop command is the last frame

        const qsizetype steps = rx.size() - 1;
        QCOMPARE(rx[0].text, QByteArray("N000"));
        for (qsizetype i = 1; i < steps; ++i) {
            QCOMPARE(PositionOf(rx[i].text) - PositionOf(rx[i - 1].text), 54);
            const double interval = rx[i].time - rx[i - 1].time;
            QVERIFY2(interval >= Tick - Transport, qPrintable(QString::number(interval)));
        }
        const double mean = (rx[steps - 1].time - rx[0].time) / static_cast<double>(steps - 1);
        QVERIFY2(mean >= Tick - Transport / 2 && mean <= Tick + Timing::Slack(), qPrintable(QString::number(mean)));
        // LEFT waits its second before sending the stop.
        QVERIFY(rx.last().time - rx[steps - 1].time >= Pause - Transport);
    }
};

QTEST_MAIN(TestE2eSweep)
#include "tst_e2e_sweep.moc"
