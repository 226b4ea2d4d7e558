// A fault soak: the program on its production serial control, round after
// round, against meter simulators that misbehave in every way they can: a
// device in front of the meter that never falls quiet, says nothing, answers
// too late, in lower case, with an empty line or with garbage; meters whose
// identity line runs on, carries noise, blanks or line feeds; sweeps stopped
// by LEFT, RIGHT and Disconnect; meters unplugged (killed) while connected or
// sweeping, and dropped at a random frame. Afterwards the program must still
// answer, hold no more file descriptors and hardly more memory than after its
// first round, and every identity it ever showed must be one that the
// simulator on that port sent.
//
// QZ_SOAK_ROUNDS sets the number of rounds (default 14, about 75 s);
// QZ_SOAK_SEED replays a run with the seed it printed.
#include "e2e/E2eRig.h"
#include "e2e/MeterSim.h"

#include "Timing.h"

#include <QApplication>
#include <QLabel>
#include <QPushButton>
#include <QRandomGenerator>
#include <QTest>
#include <QThreadPool>
#include <QTimer>

#include <time.h>

#include <filesystem>
#include <fstream>
#include <functional>
#include <memory>
#include <vector>

using namespace qzGlobals;

namespace {

// Devices put on Comm1 in front of the meter: none of them is a meter.
const QStringList FrontDevices = {"--silent", "--chatty", "--late", "--garbage", "--lowercase", "--empty-line-first"};
// Shapes of answer in which a meter is still recognised.
const QStringList MeterShapes = {"--overlong", "--noise", "", "--blanks", "--lf-inside", "--trailing", "--truncated"};
enum Ending { PlainDisconnect, SweepLeft, SweepRight, SweepDisconnect, UnplugConnected, UnplugSweeping, DropAtFrame };
const char* const EndingNames[] = {"disconnect", "sweep+LEFT", "sweep+RIGHT", "sweep+Disconnect",
                                   "unplug connected", "unplug sweeping", "drop at frame"};
constexpr int EndingCount = 7;

int OpenFds()
{
    QThreadPool::globalInstance()->waitForDone();
    int n = 0;
    for ([[maybe_unused]] const auto& entry : std::filesystem::directory_iterator("/proc/self/fd"))
        ++n;
    return n;
}

long RssKiB()
{
    std::ifstream status("/proc/self/status");
    std::string key;
    long value = -1;
    while (status >> key)
        if (key == "VmRSS:" && status >> value)
            break;
    return value;
}

double CpuSeconds()
{
    timespec ts{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &ts);
    return double(ts.tv_sec) + double(ts.tv_nsec) / 1e9;
}

// What a receiver keeps of a meter's answer: up to the first CR, only the
// characters "," to "Z".
QByteArray Received(const QByteArray& sent)
{
    QByteArray kept;
    for (char c : sent.left(sent.contains('\r') ? sent.indexOf('\r') : sent.size()))
        if (c >= ',' && c <= 'Z')
            kept += c;
    return kept;
}

// Calls back whenever the watched widget is shown.
class ShowWatch : public QObject {
public:
    std::function<void()> onShow;
    bool eventFilter(QObject*, QEvent* event) override
    {
        if (event->type() == QEvent::Show && onShow)
            onShow();
        return false;
    }
};

struct Shown {
    int port;
    QString serial, firmware;
};

}  // namespace

class TestSoak : public QObject {
    Q_OBJECT

    quint32 m_seed = 0;
    QRandomGenerator m_random;
    int m_endingOffset = 0, m_shapeOffset = 0;  // pair endings and answer shapes differently per seed
    std::unique_ptr<E2eRig> m_rig;
    ShowWatch m_watch;
    QList<Shown> m_shown;  // identities shown in the current round
    std::vector<std::unique_ptr<MeterSim>> m_sims;  // the current round's, index = port - 1
    QList<int> m_dropFrames;
    int m_connects = 0, m_noMeter = 0, m_identities = 0, m_sweeps = 0, m_unplugs = 0;
    int m_endings[EndingCount] = {};

    frmMain& Form() { return *m_rig->form; }
    MeterSim& Sim(int port) { return *m_sims[size_t(port - 1)]; }

    MeterSim& StartSim(QStringList options)
    {
        m_sims.push_back(std::make_unique<MeterSim>(options << "--seed" << QString::number(m_random.generate())));
        if (!m_sims.back()->Start())
            qFatal("meter-sim did not start: %s", qPrintable(m_sims.back()->error()));
        return *m_sims.back();
    }

    // Runs a sweep; `stop` is done, nested in the sweep, once `when` holds.
    // True when the sweep ended after that, on its own, in good time.
    bool Sweep(const std::function<bool()>& when, const std::function<void()>& stop)
    {
        ++m_sweeps;
        bool stopped = false, timedOut = false;
        QTimer watch, limit;
        connect(&watch, &QTimer::timeout, this, [&] {
            if (!stopped && when()) {
                stopped = true;
                stop();
            }
        });
        connect(&limit, &QTimer::timeout, this, [&] {
            timedOut = true;
            Form().StopSweep = true;
        });
        watch.start(5);
        limit.start(int(20000 * Timing::Scale()));
        Form().cmdSweep->click();  // returns when the sweep ends
        return stopped && !timedOut;
    }
    int SweepFrames(MeterSim& sim, qsizetype before) { return int(sim.Frames().size() - before); }

    // A short idle spell in the event loop: the share of it spent on the CPU.
    double IdleCpuShare()
    {
        const double cpu = CpuSeconds();
        QElapsedTimer wall;
        wall.start();
        QTest::qWait(300);
        return (CpuSeconds() - cpu) / (double(wall.nsecsElapsed()) / 1e9);
    }

    // Not connected. A search that found no meter may leave the last port it
    // probed open until the next search; a Disconnect closes it.
    void VerifyIdle(bool disconnected)
    {
        frmMain& f = Form();
        QCOMPARE(f.cmdConnect->text(), QString("Connect"));
        QVERIFY(f.cmdConnect->isEnabled());
        QVERIFY(!f.cmdSweep->isEnabled() && !f.cmdLeft->isEnabled() && !f.cmdRight->isEnabled());
        QVERIFY(!f.Connected);
        QVERIFY(!disconnected || !f.Comm1().PortOpen());
        QVERIFY(!f.lblHard->isVisible() && !f.lblFirm->isVisible());
        QVERIFY(!QuitRequested);
    }

    // Every identity shown this round: the serial number of the simulator on
    // that port, and exactly what that simulator's answer leaves to a receiver.
    void VerifyShownIdentities()
    {
        for (const Shown& s : m_shown) {
            QVERIFY2(s.port >= 1 && size_t(s.port) <= m_sims.size(), qPrintable(s.serial));
            MeterSim& sim = Sim(s.port);
            const QByteArray expected = "V," + s.serial.toLatin1() + ",A," + s.firmware.toLatin1();
            bool sent = false;
            for (const MeterSim::Entry& tx : sim.Entries("TX"))
                sent = sent || Received(tx.text) == expected;
            QVERIFY2(sent && sim.LogText().contains("serial=\"" + s.serial + "\""),
                     qPrintable(QString("Comm%1 showed %2 / %3\n%4").arg(s.port).arg(s.serial, s.firmware, sim.LogText())));
            ++m_identities;
        }
    }

    void Round(int r)
    {
        m_sims.clear();
        m_shown.clear();
        const Ending ending = Ending((r + m_endingOffset) % EndingCount);
        ++m_endings[ending];
        const bool front = r % 2 == 1;
        const QString frontDevice = FrontDevices[(r / 2) % FrontDevices.size()];
        if (front)
            StartSim({frontDevice, "--serial", QString("QZF%1").arg(r)});
        QStringList options = {"--serial", QString("QZ%1-%2").arg(m_seed % 10000).arg(r), "--firmware",
                               QString("%1.%2").arg(1 + r / 10).arg(r % 10)};
        const QString shape = MeterShapes[(r + m_shapeOffset) % MeterShapes.size()];
        if (!shape.isEmpty())
            options << shape;
        const int dropAfter = 1 + int(m_random.bounded(30));  // frames: "", H, H, V, S, then the sweep's
        if (ending == DropAtFrame) {
            options << "--drop-after" << QString::number(dropAfter);
            m_dropFrames << dropAfter;
        }
        MeterSim& meter = StartSim(options);
        const int meterPort = int(m_sims.size());
        QStringList ports;
        for (const auto& sim : m_sims)
            ports << sim->device();
        E2eRig::SetPorts(ports);
        const bool found = ending != DropAtFrame || dropAfter >= 5;
        const qsizetype boxes = m_rig->messages.shown.size();
        qInfo("round %d: %s%s, %s", r, front ? qPrintable(frontDevice + " then ") : "",
              qPrintable(options.join(' ')), EndingNames[ending]);

        frmMain& f = Form();
        f.cmdConnect->click();
        QCOMPARE(f.Connected, found);
        QCOMPARE(m_rig->messages.shown.size(), boxes + (found ? 0 : 1));
        if (found) {
            ++m_connects;
            QCOMPARE(int(PortNumber), meterPort);
            QCOMPARE(m_shown.size(), 1);
        } else {
            ++m_noMeter;
            QVERIFY(m_shown.isEmpty());
        }
        // The connect's frames ("", H, H, V, S) are in; the sweep's follow.
        QVERIFY(found ? meter.WaitForFrames(5, 5000) : meter.WaitForKind("DROP", 1, 5000));
        const qsizetype base = meter.Frames().size();
        const int steps = 1 + int(m_random.bounded(20));
        const auto after = [&](int n) { return [&, n] { return SweepFrames(meter, base) >= n; }; };

        if (found && (ending == SweepLeft || ending == SweepRight)) {
            QPushButton* button = ending == SweepLeft ? f.cmdLeft : f.cmdRight;
            QVERIFY(Sweep(after(steps), [&] { button->click(); }));
            const QByteArray stop = ending == SweepLeft ? "N0C6" : "NF3A";
            QVERIFY2(meter.WaitFor([&](const QList<MeterSim::Entry>&) { return meter.Frames().last() == stop; }, 3000),
                     qPrintable(meter.LogText()));
        } else if (found && ending == SweepDisconnect) {
            QVERIFY(Sweep(after(steps), [&] { f.cmdConnect->click(); }));
            QVERIFY(meter.WaitForKind("CLOSE", meter.Entries("OPEN").size(), 3000));
            QCOMPARE(meter.Frames().last(), QByteArray("I"));  // nothing after the disconnect
        } else if (found && (ending == UnplugConnected || ending == UnplugSweeping || ending == DropAtFrame)) {
            QElapsedTimer sinceGone;
            float needleAtLoss = 0;
            const auto unplug = [&] {
                if (ending != DropAtFrame) {
                    ++m_unplugs;
                    meter.process().kill();
                }
                sinceGone.start();
                needleAtLoss = f.NeedleEnds.X2;
                QVERIFY(meter.process().state() == QProcess::NotRunning || meter.process().waitForFinished(5000));
            };
            if (ending == UnplugConnected) {
                unplug();
            } else {
                // The sweep goes on over the vanished port until a stop button.
                QPushButton* button = m_random.bounded(2) ? f.cmdLeft : f.cmdRight;
                const auto gone = [&] {
                    if (!sinceGone.isValid() && (ending == DropAtFrame ? meter.process().state() == QProcess::NotRunning
                                                                       : SweepFrames(meter, base) >= steps))
                        unplug();
                    return sinceGone.isValid() && sinceGone.elapsed() > 300;
                };
                QVERIFY(Sweep(gone, [&] { button->click(); }));
                QVERIFY2(f.NeedleEnds.X2 != needleAtLoss, "the sweep stopped moving the needle when the meter went");
            }
            const double cpu = IdleCpuShare();
            QVERIFY2(cpu < 0.5, qPrintable(QString("%1 of a CPU while idle on a vanished port").arg(cpu)));
            // The stop buttons still work, in their own time, on the dead port.
            QElapsedTimer left;
            left.start();
            f.cmdLeft->click();
            QVERIFY(left.elapsed() < 972 + 1000 * Timing::Scale());
            QVERIFY(f.Connected);
        }
        if (f.Connected) {
            QElapsedTimer disconnect;
            disconnect.start();
            f.cmdConnect->click();
            QVERIFY(disconnect.elapsed() < 1000 * Timing::Scale());
        }
        VerifyIdle(found);
        VerifyShownIdentities();
        m_sims.clear();
    }

private slots:
    void initTestCase()
    {
        bool ok = false;
        m_seed = qEnvironmentVariable("QZ_SOAK_SEED").toUInt(&ok);
        if (!ok)
            m_seed = QRandomGenerator::system()->generate();
        m_random.seed(m_seed);
        m_endingOffset = int(m_random.bounded(EndingCount));
        m_shapeOffset = int(m_random.bounded(int(MeterShapes.size())));
        qInfo("soak seed %u (QZ_SOAK_SEED=%u replays this run)", m_seed, m_seed);
        m_rig = std::make_unique<E2eRig>(QStringList{});
        m_rig->Make();
        m_watch.onShow = [this] {
            // Both captions are set before either label is shown: the two
            // labels appearing one after the other show one identity.
            const Shown now{PortNumber, Form().lblHard->text(), Form().lblFirm->text()};
            if (m_shown.isEmpty() || m_shown.last().port != now.port || m_shown.last().serial != now.serial ||
                m_shown.last().firmware != now.firmware)
                m_shown << now;
        };
        Form().lblHard->installEventFilter(&m_watch);
        Form().lblFirm->installEventFilter(&m_watch);
    }

    void soak()
    {
        const int rounds = qMax(2, qEnvironmentVariableIsSet("QZ_SOAK_ROUNDS")
                                       ? qEnvironmentVariableIntValue("QZ_SOAK_ROUNDS") : 14);
        QElapsedTimer duration;
        duration.start();
        Round(0);  // warm-up: whatever Qt sets up once is in place from here on
        if (QTest::currentTestFailed())
            return;
        const int fdsBefore = OpenFds();
        const long rssBefore = RssKiB();
        for (int r = 1; r < rounds && !QTest::currentTestFailed(); ++r)
            Round(r);
        if (QTest::currentTestFailed())
            return;

        // Still answering: a fresh meter connects, CYCLE goes out, Disconnect.
        frmMain& f = Form();
        m_shown.clear();
        MeterSim& last = StartSim({"--serial", "QZLAST"});
        E2eRig::SetPorts({last.device()});
        f.cmdConnect->click();
        QVERIFY(f.Connected);
        QCOMPARE(f.lblHard->text(), QString("QZLAST"));
        const int16_t index = f.CycleIndex;
        f.cmdCycle->click();
        QCOMPARE(int(f.CycleIndex), (index + 1) % 13);
        const QByteArray cycled = QByteArray("N") + QByteArray::number(f.ScalePoints[f.CycleIndex][0], 16).toUpper().rightJustified(3, '0');
        QVERIFY2(last.WaitFor([&](const QList<MeterSim::Entry>&) { return last.Frames().last() == cycled; }, 3000),
                 qPrintable(last.LogText()));
        f.cmdConnect->click();
        VerifyIdle(true);
        VerifyShownIdentities();
        m_sims.clear();
        QTest::qWait(50);  // let the closed port's last notifications go

        const int fdsAfter = OpenFds();
        const long rssAfter = RssKiB();
        qInfo("soak: %d rounds (+1 final), seed %u, %.1f s", rounds, m_seed, double(duration.elapsed()) / 1000);
        qInfo("  connects %d, searches without a meter %d, identities shown and checked %d", m_connects + 1, m_noMeter,
              m_identities);
        QString endings;
        for (int e = 0; e < EndingCount; ++e)
            endings += QString(" %1 %2,").arg(EndingNames[e]).arg(m_endings[e]);
        qInfo("  endings:%s sweeps %d, unplugs %d", qPrintable(endings), m_sweeps, m_unplugs);
        QStringList drops;
        for (int n : m_dropFrames)
            drops << QString::number(n);
        qInfo("  drops %lld, at frames %s", qlonglong(m_dropFrames.size()), qPrintable(drops.join(' ')));
        qInfo("  file descriptors %d before, %d after; RSS %ld KiB before, %ld KiB after", fdsBefore, fdsAfter,
              rssBefore, rssAfter);
        QCOMPARE(fdsAfter, fdsBefore);
        QVERIFY2(rssAfter - rssBefore < 4096, "memory grew by more than 4 MiB");
    }

    void cleanupTestCase() { m_rig.reset(); }
};

int main(int argc, char** argv)
{
    // A long soak may outlast Qt Test's five minutes per test function.
    if (!qEnvironmentVariableIsSet("QTEST_FUNCTION_TIMEOUT"))
        qputenv("QTEST_FUNCTION_TIMEOUT", "86400000");
    QApplication app(argc, argv);
    TestSoak test;
    return QTest::qExec(&test, argc, argv);
}

#include "tst_soak.moc"
