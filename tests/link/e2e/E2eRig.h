#pragma once
// The program as it runs, minus the screen, over meter-sim processes: a main window on the real serial control and the
// monotonic clock, with recorded message boxes. The port map comes from QZ_SERIAL_PORTS.
#include "FakeMessageBoxes.h"
#include "link/QtCommControl.h"
#include "shell/Clock.h"
#include "shell/Platform.h"
#include "shell/frmMain.h"
#include "shell/qzGlobals.h"

#include <QElapsedTimer>
#include <QProcess>

#include <functional>
#include <memory>

using LogEntries = QList<std::pair<double, QString>>;  // (time, rest)

// The lines of one kind in a log of lines "<monotonic seconds> <kind> <rest>",
// as meter-sim's log and the line trace are.
inline LogEntries EntriesOf(const QStringList& log, const QString& kind)
{
    LogEntries out;
    for (const QString& line : log)
        if (line.section(' ', 1, 1) == kind)
            out.append({line.section(' ', 0, 0).toDouble(), line.section(' ', 2)});
    return out;
}

// A simulated meter: its device path is the first line of its output, then its log.
struct MeterSim {
    QProcess process;
    QString device;
    QStringList log;

    explicit MeterSim(const QStringList& options)
    {
        process.start(QStringLiteral(METER_SIM_PATH), options);
        while (!process.canReadLine() && process.waitForReadyRead(10000))
            continue;
        device = QString::fromLatin1(process.readLine()).trimmed();
    }
    ~MeterSim()
    {
        process.kill();
        process.waitForFinished(5000);
    }
    // The lines of one kind as (time, rest), after reading what has come.
    LogEntries Entries(const QString& kind)
    {
        while (process.canReadLine())
            log << QString::fromLatin1(process.readLine()).trimmed();
        return EntriesOf(log, kind);
    }
    QStringList Frames()  // the frames received, without their CR
    {
        QStringList out;
        for (const auto& [time, quoted] : Entries("RX"))
            out << quoted.mid(1, quoted.size() - 2);
        return out;
    }
    bool WaitFor(const std::function<bool()>& done, int ms = 5000)
    {
        QElapsedTimer t;
        t.start();
        while (!done() && t.elapsed() < ms)
            process.waitForReadyRead(20);
        return done();
    }
};

struct E2eRig {
    MonotonicClock clock;
    QtCommControl comm;
    FakeMessageBoxes messages;
    Platform platform{.comm = &comm, .clock = &clock, .messages = &messages};
    std::unique_ptr<frmMain> form;

    // Builds and shows the window as start-up does; entry n of ports is the device of Comm n+1.
    frmMain& Make(const QStringList& ports)
    {
        SetPorts(ports);
        qzGlobals::ResetGlobals();
        form = std::make_unique<frmMain>(platform);
        form->Form_Load();
        form->show();
        return *form;
    }
    static void SetPorts(const QStringList& ports) { qputenv("QZ_SERIAL_PORTS", ports.join(',').toLocal8Bit()); }
};
