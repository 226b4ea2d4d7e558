#pragma once
// Runs one of the project's programs as its own process the way a user
// without a display would: no QT_QPA_PLATFORM, DISPLAY or WAYLAND_DISPLAY, and
// no port map but the one given.
#include <QMap>
#include <QProcess>

#include <unistd.h>

struct Ran {
    int status = -1;  // -1: crashed or did not finish
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

inline Ran RunWithoutDisplay(const QString& program, const QStringList& args, const QMap<QString, QString>& set = {})
{
    QProcess process;
    process.setProcessEnvironment(NoDisplayEnvironment(set));
    process.start(program, args);
    const bool ended = process.waitForFinished(30000) && process.exitStatus() == QProcess::NormalExit;
    return {ended ? process.exitCode() : -1, QString::fromLocal8Bit(process.readAllStandardOutput()),
            QString::fromLocal8Bit(process.readAllStandardError())};
}
