#pragma once
// Which other processes have a device open, as fuser finds them: the open
// descriptors under /proc/PID/fd of every process this user may see (another
// user's cannot be read, and are not seen), compared by device number. A
// program that holds a serial device without any lock (minicom as Debian
// builds it) shows only here. This process's own descriptors do not count.
//
// One reading serves a whole probe or search pass: the folders of every
// process are read once; a process found then is looked at again (its own
// descriptors only) when asked about, so one that has let go since is not
// named.
#include "link/DeviceAccess.h"

#include <QString>

#include <map>
#include <optional>
#include <vector>

class OpenDescriptors {
public:
    // Reads the descriptors of the processes under `proc`, all but `self`'s
    // (0: this process).
    static OpenDescriptors Read(const QString& proc = QStringLiteral("/proc"), qint64 self = 0);

    // The first process (by pid) that had `device` open at the reading and
    // has it still; none when no other process has.
    std::optional<DeviceAccess::Holder> HolderOf(const QString& device) const;

    // Whether the descriptors open on `device` tell of a hold: a terminal of
    // the machine's (sysfs under `sysfs` puts it in the class tty), other than
    // a pseudo-terminal, whose maker keeps its far end open by design (as the
    // meter simulator does). Everything has /dev/null open, and that holds
    // nothing.
    static bool TellOfHolds(const QString& device, const QString& sysfs = QStringLiteral("/sys"));

private:
    // Device numbers of the character devices open in process `pid`.
    std::vector<quint64> DevicesOf(qint64 pid) const;

    QString m_proc;
    std::map<quint64, std::vector<qint64>> m_holders;  // device number -> pids, in order
};
