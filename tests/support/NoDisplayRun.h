#pragma once
// Runs one of the project's programs as its own process, the way a user
// without a display would: no QT_QPA_PLATFORM, no DISPLAY, no WAYLAND_DISPLAY,
// and no port map but the one the caller gives.
#include <QMap>
#include <QProcess>
#include <QProcessEnvironment>
#include <QStringList>

struct Ran {
    int status = -1;  // -1: crashed or did not finish
    QString out;
    QString err;
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

inline Ran RunWithoutDisplay(const QString& program, const QStringList& args, const QMap<QString, QString>& set = {})
{
    QProcess process;
    process.setProcessEnvironment(NoDisplayEnvironment(set));
    process.start(program, args);
    Ran ran;
    const bool finished = process.waitForFinished(30000);
    ran.out = QString::fromLocal8Bit(process.readAllStandardOutput());
    ran.err = QString::fromLocal8Bit(process.readAllStandardError());
    if (finished && process.exitStatus() == QProcess::NormalExit)
        ran.status = process.exitCode();
    return ran;
}
