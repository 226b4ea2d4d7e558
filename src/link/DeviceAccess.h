#pragma once
// Why a serial device cannot be used, as the system tells it: the group that
// owns a device this user may not open (and whether this user is in it, now
// or only since a later login), and the program that holds a busy device.
#include <QString>
#include <QStringList>

#include <optional>

namespace DeviceAccess {

struct Group {
    QString name;            // the group the device belongs to ("dialout", "uucp", "root")
    bool mayUse = true;      // that group may read and write it, and it is not root's
    bool member = false;     // this user is in it, by the account database
    bool memberNow = false;  // this login has it already
};
// The group facts of `device`, from the device itself; none when it cannot be looked at.
std::optional<Group> GroupOf(const QString& device);

struct Holder {
    QString name;  // the program's name, as /proc/PID/comm has it; "" when the system does not say
    qint64 pid = 0;  // 0 when the system does not say
};

// "held by picocom, pid 4242", or "held by another program" where the system
// does not say who.
QString HeldByText(const std::optional<Holder>& holder);
// The name of process `pid`, as `proc`/PID/comm has it; "" where it cannot be read.
QString NameOf(qint64 pid, const QString& proc = QStringLiteral("/proc"));

// The folders serial programs put their lock files in ("LCK..ttyUSB0").
QStringList LockFolders();

// A lock file left by a process that has ended, which this user may not
// remove (root's, left by a killed sudo run): the open would be refused,
// though no program holds the device.
struct StaleLock {
    QString file;  // "/var/lock/LCK..ttyUSB0"
    qint64 pid = 0;
    // "stale lock file /var/lock/LCK..ttyUSB0 (pid 4242 has ended): sudo rm /var/lock/LCK..ttyUSB0"
    QString Text() const;
};
std::optional<StaleLock> StaleLockOf(const QString& device, const QStringList& lockFolders = LockFolders());

// Whether another program holds `device`, learnt without opening it: a lock
// on the device itself (flock as picocom and tio take, a POSIX or
// open-file-description lock), as /proc/locks under `proc` shows it, or a
// lock file of a live process in one of `lockFolders`. A lock whose owner the
// system does not show (pid 0 or -1) is held all the same, by an unknown
// holder. An exclusive open without any lock cannot be seen from outside,
// and an open without any lock is found among the open descriptors
// (OpenDescriptors), by the gate.
std::optional<Holder> LockHolder(const QString& device, const QString& proc = QStringLiteral("/proc"),
                                 const QStringList& lockFolders = LockFolders());

}  // namespace DeviceAccess
