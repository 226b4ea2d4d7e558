// How fast and how cheaply SWEEP runs: one whole up ramp and one whole down
// ramp at the start speed 54 against an in-memory port, with the program's
// own SWEEP clicked, with the same SWEEP played by a script (--run), with it
// clicked while --trace writes every frame to a file, the same into a FIFO
// whose reader has stalled, and with a spin-wait baseline, each in a process
// of its own so that CPU time and peak memory are its own. Prints figures
// only.
//
//   bench_sweep                  all five runs and the comparison
//   bench_sweep --mode program   one run, figures as "key value" lines
//   bench_sweep --mode scripted
//   bench_sweep --mode traced
//   bench_sweep --mode stalled
//   bench_sweep --mode spin
#include "ProcessUsage.h"
#include "RecordingComm.h"
#include "SpinSweep.h"

#include "link/LineTrace.h"
#include "link/TracingCommControl.h"
#include "script/BoxAnswerer.h"
#include "script/FrameWatch.h"
#include "script/ScriptPlayer.h"
#include "script/ScriptReader.h"
#include "script/TerminalAsker.h"
#include "script/TextOutput.h"
#include "shell/Console.h"
#include "shell/Clock.h"
#include "shell/MessageBoxes.h"
#include "shell/OutputQueue.h"
#include "shell/Platform.h"
#include "shell/Terminal.h"
#include "shell/frmMain.h"
#include "shell/qzGlobals.h"

#include <QApplication>
#include <QMap>
#include <QProcess>
#include <QPushButton>
#include <QSlider>
#include <QTemporaryDir>
#include <QTimer>
#include <algorithm>
#include <cstdio>
#include <optional>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

constexpr int StepsPerRamp = 76;  // 0, 54, ... 4050 and 4095, 4041, ... 45
constexpr double IdealRamp = StepsPerRamp * 0.054;

// The scripted run's report goes nowhere.
struct NoOutput final : TextOutput, Console {
    void Write(const QByteArray&, const Stamp&) override {}
    void Say(const QString&) override {}
};

// A FIFO at `path` with a reader that never reads: shrunk to one page and
// full, so that every trace line waits from the first. Returns the reader.
int StalledFifo(const QString& path)
{
    const QByteArray name = QFile::encodeName(path);
    ::mkfifo(name.constData(), 0600);
    const int reader = ::open(name.constData(), O_RDONLY | O_NONBLOCK);
    const int writer = ::open(name.constData(), O_WRONLY | O_NONBLOCK);
    ::fcntl(writer, F_SETPIPE_SZ, 4096);
    const QByteArray filler(4096, '#');
    while (::write(writer, filler.constData(), filler.size()) > 0) {
    }
    ::close(writer);
    return reader;
}

double Seconds(RecordingComm::Clock::duration d)
{
    return std::chrono::duration<double>(d).count();
}

int RunOne(const QString& mode)
{
    MonotonicClock clock;
    RecordingComm comm;
    QtMessageBoxes messages;
    Platform platform;
    platform.comm = &comm;
    platform.clock = &clock;
    platform.messages = &messages;
    // Traced: the frames pass through the trace on their way to the port,
    // and the trace goes to a real file, as with --trace FILE, or to a FIFO
    // whose reader has stalled.
    QTemporaryDir traceDir;
    std::optional<LineTrace> trace;
    std::optional<TracingCommControl> traced;
    const bool stalled = mode == QLatin1String("stalled");
    const int stalledReader = stalled ? StalledFifo(traceDir.filePath(QStringLiteral("trace"))) : -1;
    if (mode == QLatin1String("traced") || stalled) {
        trace.emplace(traceDir.filePath(QStringLiteral("trace")));
        traced.emplace(comm, *trace);
        platform.comm = &*traced;
        platform.trace = &*trace;
    }
    // Scripted: the player watches the port and answers the boxes, as with --run.
    NoOutput nowhere;
    FrameWatch watched(comm);
    EventReport report(clock, nowhere, nowhere, EventReport::Format::Text);
    BoxAnswerer answerer(clock, report);
    const bool scripted = mode == QLatin1String("scripted");
    if (scripted) {
        platform.comm = &watched;
        platform.messages = &answerer;
    }

    qzGlobals::ResetGlobals();
    frmMain form(platform);
    form.Form_Load();
    form.show();
    QCoreApplication::processEvents();

    // Connected to a meter on port 1, as after "Connect".
    platform.comm->setPortOpen(false);
    platform.comm->setCommPort(1);
    platform.comm->setPortOpen(true);
    form.Connected = true;
    form.cmdSweep->setEnabled(true);
    form.cmdLeft->setEnabled(true);
    form.cmdRight->setEnabled(true);
    comm.frames.clear();
    comm.times.clear();

    // Measure from the first position of the up ramp to the first position
    // after the down ramp, then stop the sweep the way LEFT does, by its flag.
    const std::size_t last = 2 * StepsPerRamp;
    ProcessUsage atStart, atEnd;
    comm.onFrame = [&](std::size_t index, const QByteArray&) {
        if (index == 0)
            atStart = ProcessUsage::Now();
        if (index == last) {
            atEnd = ProcessUsage::Now();
            form.StopSweep = true;
        }
    };
    bool timedOut = false;
    QTimer::singleShot(60000, [&] {
        timedOut = true;
        form.StopSweep = true;
    });

    if (scripted) {
        // The sweep is stopped below at the last frame measured; the script
        // then waits on and ends the run by its implicit Exit.
        ControllingTerminal terminal;  // the script asks nothing
        TerminalAsker asker(terminal);
        ScriptPlayer player(form, watched, answerer, asker, report,
                            ScriptReader::Read("sweep\nwait 9\n", "-").actions);
        player.Start();
        form.Form_Activate();
    } else if (mode != QLatin1String("spin")) {
        form.cmdSweep->click();
    } else {
        form.SldSpeed->setValue(54);
        form.StopSweep = false;
        SpinSweep::Run(form, clock);
    }
    if (timedOut || comm.frames.size() <= last) {
        std::fprintf(stderr, "sweep did not complete (%zu frames)\n", comm.frames.size());
        return 1;
    }

    double mean = 0, worst = 0;
    for (std::size_t i = 1; i <= last; ++i) {
        const double interval = Seconds(comm.times[i] - comm.times[i - 1]);
        mean += interval;
        worst = std::max(worst, interval);
    }
    mean /= static_cast<double>(last);
    const double wall = Seconds(comm.times[last] - comm.times[0]);

    std::printf("up_ramp_s %.4f\n", Seconds(comm.times[StepsPerRamp] - comm.times[0]));
    std::printf("down_ramp_s %.4f\n", Seconds(comm.times[last] - comm.times[StepsPerRamp]));
    std::printf("mean_step_ms %.3f\n", mean * 1000);
    std::printf("worst_step_ms %.3f\n", worst * 1000);
    std::printf("cpu_per_wall %.4f\n", (atEnd.cpuSeconds - atStart.cpuSeconds) / wall);
    std::printf("peak_rss_mib %.1f\n", static_cast<double>(ProcessUsage::Now().peakResidentKiB) / 1024.0);
    std::printf("first %s last %s\n", comm.frames[0].trimmed().constData(),
                comm.frames[last - 1].trimmed().constData());
    // What the trace still has queued gets its second, as at the program's end.
    OutputQueue::FinishAll();
    if (trace && !stalled) {
        QFile written(traceDir.filePath(QStringLiteral("trace")));
        written.open(QIODevice::ReadOnly);
        std::printf("trace_lines %lld\n", static_cast<long long>(written.readAll().count('\n')));
    }
    if (stalledReader >= 0)
        ::close(stalledReader);
    return 0;
}

QMap<QString, QString> RunChild(const QString& mode)
{
    QProcess child;
    child.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    child.start(QCoreApplication::applicationFilePath(), {QStringLiteral("--mode"), mode});
    QMap<QString, QString> figures;
    if (!child.waitForFinished(120000) || child.exitCode() != 0) {
        std::fprintf(stderr, "the %s run failed\n", qPrintable(mode));
        return figures;
    }
    const QStringList lines = QString::fromLatin1(child.readAllStandardOutput()).split('\n', Qt::SkipEmptyParts);
    for (const QString& line : lines) {
        const qsizetype space = line.indexOf(' ');
        if (space > 0)
            figures.insert(line.left(space), line.mid(space + 1));
    }
    return figures;
}

int Compare()
{
    const QMap<QString, QString> program = RunChild(QStringLiteral("program"));
    const QMap<QString, QString> scripted = RunChild(QStringLiteral("scripted"));
    const QMap<QString, QString> traced = RunChild(QStringLiteral("traced"));
    const QMap<QString, QString> stalled = RunChild(QStringLiteral("stalled"));
    const QMap<QString, QString> spin = RunChild(QStringLiteral("spin"));
    if (program.isEmpty() || scripted.isEmpty() || traced.isEmpty() || stalled.isEmpty() || spin.isEmpty())
        return 1;

    std::printf("SWEEP at 54: one up and one down ramp, %d steps each, in-memory port\n", StepsPerRamp);
    std::printf("ideal ramp: %d x 0.054 s = %.3f s\n\n", StepsPerRamp, IdealRamp);
    std::printf("%-22s %14s %14s %14s %14s %14s\n", "", "program", "scripted", "with --trace", "trace stalled",
                "spin baseline");
    const struct {
        const char* key;
        const char* label;
    } rows[] = {{"up_ramp_s", "up ramp (s)"},         {"down_ramp_s", "down ramp (s)"},
                {"mean_step_ms", "mean step (ms)"},   {"worst_step_ms", "worst step (ms)"},
                {"cpu_per_wall", "CPU s per wall s"}, {"peak_rss_mib", "peak RSS (MiB)"}};
    for (const auto& row : rows)
        std::printf("%-22s %14s %14s %14s %14s %14s\n", row.label, qPrintable(program.value(row.key)),
                    qPrintable(scripted.value(row.key)), qPrintable(traced.value(row.key)),
                    qPrintable(stalled.value(row.key)), qPrintable(spin.value(row.key)));
    const std::pair<const char*, const QMap<QString, QString>*> runs[] = {{"program vs ideal", &program},
                                                                          {"scripted vs ideal", &scripted},
                                                                          {"traced vs ideal", &traced},
                                                                          {"stalled vs ideal", &stalled},
                                                                          {"spin vs ideal", &spin}};
    for (const auto& [label, figures] : runs) {
        const double ramps = figures->value("up_ramp_s").toDouble() + figures->value("down_ramp_s").toDouble();
        std::printf("%-22s %+13.2f%%\n", label, (ramps / (2 * IdealRamp) - 1) * 100);
    }
    // How far the program's pace is from the busy wait's, step by step.
    for (const auto& [key, label] : {std::pair{"mean_step_ms", "program - spin, mean"},
                                     std::pair{"worst_step_ms", "program - spin, worst"}})
        std::printf("%-22s %+12.3f ms\n", label, program.value(key).toDouble() - spin.value(key).toDouble());
    // The script plays the same clicks: it should cost no pace and no CPU.
    for (const auto& [key, label] : {std::pair{"mean_step_ms", "scripted - program, mean"},
                                     std::pair{"worst_step_ms", "scripted - program, worst"}})
        std::printf("%-22s %+10.3f ms\n", label, scripted.value(key).toDouble() - program.value(key).toDouble());
    std::printf("%-22s %+13.4f\n", "scripted - program, CPU",
                scripted.value("cpu_per_wall").toDouble() - program.value("cpu_per_wall").toDouble());
    // A reader that never reads the trace: the sweep's pace should not notice.
    for (const auto& [key, label] : {std::pair{"mean_step_ms", "stalled - traced, mean"},
                                     std::pair{"worst_step_ms", "stalled - traced, worst"}})
        std::printf("%-22s %+10.3f ms\n", label, stalled.value(key).toDouble() - traced.value(key).toDouble());
    const double spinCpu = spin.value("cpu_per_wall").toDouble();
    if (spinCpu > 0)
        std::printf("%-22s %13.1f%%\n", "program CPU / spin CPU",
                    program.value("cpu_per_wall").toDouble() / spinCpu * 100);
    return 0;
}

}  // namespace

int main(int argc, char** argv)
{
    // The window is drawn but never needs a screen.
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    QApplication::setQuitOnLastWindowClosed(false);

    const QStringList args = QCoreApplication::arguments();
    const qsizetype modeAt = args.indexOf(QStringLiteral("--mode"));
    if (modeAt > 0 && modeAt + 1 < args.size()) {
        const QString mode = args.at(modeAt + 1);
        if (!QStringList{"program", "scripted", "traced", "stalled", "spin"}.contains(mode)) {
            std::fprintf(stderr, "usage: bench_sweep [--mode program|scripted|traced|stalled|spin]\n");
            return 2;
        }
        return RunOne(mode);
    }
    return Compare();
}
