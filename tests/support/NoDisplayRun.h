#pragma once
// Runs one of the project's programs as its own process the way a user
// without a display would: no QT_QPA_PLATFORM, DISPLAY or WAYLAND_DISPLAY, and
// no port map but the one given; in a session of its own, so that it has no
// terminal to ask anything on.
#include <QMap>
#include <QProcess>

#include <csignal>
#include <functional>

#include <unistd.h>

struct Ran {
    int status = -1;  // 128 + n: ended by signal n; -1: did not finish
    QString out, err;
};

inline QProcessEnvironment NoDisplayEnvironment(const QMap<QString, QString>& set = {})
{
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    for (const char* name : {"QT_QPA_PLATFORM", "DISPLAY", "WAYLAND_DISPLAY", "QZ_SERIAL_PORTS"})
        env.remove(QLatin1String(name));
    for (auto it = set.cbegin(); it != set.cend(); ++it)
        env.insert(it.key(), it.value());
    return env;
}

// In a child about to run: `fd` becomes a pipe whose reader has gone.
inline void PipeNobodyReads(int fd)
{
    int ends[2];
    if (::pipe(ends) == 0 && ::dup2(ends[1], fd) >= 0 && ::close(ends[0]) == 0)
        ::close(ends[1]);
}

// Starts `program` in `process` as a user without a display would: `set` added to its environment, `child` run in
// the child before the program; `input`, unless null, written as its whole standard input.
inline void StartWithoutDisplay(QProcess& process, const QString& program, const QStringList& args,
                                const QMap<QString, QString>& set = {}, const QByteArray& input = {},
                                const std::function<void()>& child = {})
{
    process.setProcessEnvironment(NoDisplayEnvironment(set));
    if (child)  // none at all, not an empty one: Qt starts a process faster without
        process.setChildProcessModifier(child);
    process.start(program, args);
    if (input.isNull())
        return;
    process.write(input);
    process.closeWriteChannel();
    process.waitForBytesWritten(5000);
}

// `output`: where standard output goes, "" a pipe the test reads, ">/dev/full", ">closed" (closed at
// start), ">|" (a pipe whose reader has gone), ">|~" (that, with SIGPIPE ignored at start).
inline Ran RunWithoutDisplay(const QString& program, const QStringList& args, const QMap<QString, QString>& set = {},
                             const QString& output = {})
{
    QProcess process;
    const bool full = output == ">/dev/full", closed = output == ">closed", gone = output.startsWith(">|");
    const bool quiet = output == ">|~";
    if (full)
        process.setStandardOutputFile("/dev/full");
    StartWithoutDisplay(process, program, args, set, {}, [closed, gone, quiet] {
        ::setsid();
        ::signal(SIGPIPE, quiet ? SIG_IGN : SIG_DFL);
        if (closed)
            ::close(STDOUT_FILENO);
        else if (gone)
            PipeNobodyReads(STDOUT_FILENO);
    });
    const bool ended = process.waitForFinished(30000);
    return {!ended ? -1 : process.exitCode() + (process.exitStatus() == QProcess::CrashExit ? 128 : 0),
            QString::fromLocal8Bit(process.readAllStandardOutput()),
            QString::fromLocal8Bit(process.readAllStandardError())};
}
