// A test station with N meters at once, one utility per meter, each pinned
// to its own meter-sim with --ports and sweeping (N = 1, 4 and 16 by
// default): the pace each meter sees, read from its simulator's log, and the
// CPU share of each utility, beside the spin baseline (bench_sweep --mode
// spin) run at the same time on the same machine. Prints figures only.
//
//   bench_station [N...]
#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QThread>

#include <algorithm>
#include <cstdio>
#include <memory>
#include <vector>

#include <unistd.h>

namespace {

constexpr double SweepSeconds = 8.2;  // one up and one down ramp at speed 54

// CPU seconds a process has had so far, from /proc/PID/stat.
double CpuSeconds(qint64 pid)
{
    QFile stat(QStringLiteral("/proc/%1/stat").arg(pid));
    if (!stat.open(QIODevice::ReadOnly))
        return 0;
    const QList<QByteArray> fields = stat.readAll().split(')').last().split(' ');
    // After the name: state is field 3, utime and stime fields 14 and 15.
    return (fields.value(12).toDouble() + fields.value(13).toDouble()) / static_cast<double>(::sysconf(_SC_CLK_TCK));
}

// The position frames' arrival times in a simulator's log.
std::vector<double> PositionTimes(const QString& log)
{
    std::vector<double> times;
    QFile file(log);
    file.open(QIODevice::ReadOnly);
    for (const QByteArray& line : file.readAll().split('\n'))
        if (line.contains(" RX \"N"))
            times.push_back(line.split(' ').first().toDouble());
    return times;
}

struct Figures {
    double meanOfMeans = 0, lowestMean = 1e9, highestMean = 0, worst = 0, cpu = 0, highestCpu = 0;
};

Figures Station(int n, QMap<QString, QString>& spin)
{
    QTemporaryDir dir;
    std::vector<std::unique_ptr<QProcess>> sims, runs;
    for (int i = 0; i < n; ++i) {
        sims.push_back(std::make_unique<QProcess>());
        sims.back()->start(QStringLiteral(METER_SIM_PATH), {"--log", dir.filePath(QString("sim%1.log").arg(i))});
        sims.back()->waitForReadyRead(10000);
    }
    QProcess baseline;
    baseline.start(QStringLiteral(BENCH_SWEEP_PATH), {"--mode", "spin"});
    for (auto& sim : sims) {
        const QString device = QString::fromLatin1(sim->readLine()).trimmed();
        runs.push_back(std::make_unique<QProcess>());
        runs.back()->start(QStringLiteral(PROGRAM_PATH), {"--run", "-", "--ports", device});
        runs.back()->write("connect\nsweep\nwait 60\n");
        runs.back()->closeWriteChannel();
        runs.back()->waitForBytesWritten(5000);
    }
    // CPU over the whole sweep: from when every meter has its first position.
    QElapsedTimer waited;
    waited.start();
    const auto allSweeping = [&] {
        for (int i = 0; i < n; ++i)
            if (PositionTimes(dir.filePath(QString("sim%1.log").arg(i))).empty())
                return false;
        return true;
    };
    while (!allSweeping() && waited.elapsed() < 60000)
        QThread::msleep(20);
    std::vector<double> cpuAtStart;
    for (auto& run : runs)
        cpuAtStart.push_back(CpuSeconds(run->processId()));
    QThread::msleep(static_cast<unsigned long>(SweepSeconds * 1000));
    Figures f;
    for (int i = 0; i < n; ++i) {
        const double cpu = (CpuSeconds(runs[i]->processId()) - cpuAtStart[i]) / SweepSeconds;
        f.cpu += cpu / n;
        f.highestCpu = std::max(f.highestCpu, cpu);
    }
    for (auto& run : runs) {
        run->terminate();  // SIGTERM: R, U and the end, as a signal gives it
        run->waitForFinished(10000);
    }
    for (int i = 0; i < n; ++i) {
        const std::vector<double> t = PositionTimes(dir.filePath(QString("sim%1.log").arg(i)));
        double sum = 0;
        std::size_t steps = 0;
        for (std::size_t k = 1; k < t.size() && t[k] - t.front() <= SweepSeconds; ++k, ++steps) {
            sum += t[k] - t[k - 1];
            f.worst = std::max(f.worst, t[k] - t[k - 1]);
        }
        const double mean = steps ? sum / static_cast<double>(steps) : 0;
        f.meanOfMeans += mean / n;
        f.lowestMean = std::min(f.lowestMean, mean);
        f.highestMean = std::max(f.highestMean, mean);
    }
    for (auto& sim : sims) {
        sim->terminate();
        sim->waitForFinished(5000);
    }
    baseline.waitForFinished(120000);
    for (const QString& line : QString::fromLatin1(baseline.readAllStandardOutput()).split('\n'))
        spin.insert(line.section(' ', 0, 0), line.section(' ', 1));
    return f;
}

}  // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    QList<int> counts;
    for (const QString& arg : QCoreApplication::arguments().mid(1))
        counts << arg.toInt();
    if (counts.isEmpty())
        counts = {1, 4, 16};
    std::printf("N meters at once, one utility per meter pinned with --ports, sweeping at speed 54 for %.1f s;\n"
                "step = interval between position frames as each simulator read them; ideal 54 ms\n\n",
                SweepSeconds);
    std::printf("%4s %22s %12s %18s %16s %16s\n", "N", "mean step (ms)", "worst (ms)", "CPU per process",
                "spin mean (ms)", "spin worst (ms)");
    for (const int n : counts) {
        QMap<QString, QString> spin;
        const Figures f = Station(n, spin);
        std::printf("%4d %8.3f (%.2f-%.2f) %12.2f %9.4f (max %.4f) %16s %16s\n", n, f.meanOfMeans * 1000,
                    f.lowestMean * 1000, f.highestMean * 1000, f.worst * 1000, f.cpu, f.highestCpu,
                    qPrintable(spin.value("mean_step_ms")), qPrintable(spin.value("worst_step_ms")));
        std::fflush(stdout);
    }
    return 0;
}
