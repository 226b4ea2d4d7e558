#pragma once
// Why a serial device cannot be used, as the system tells it: the group that
// owns a device this user may not open (and whether this user is in it, now
// or only since a later login), and the program that holds a busy device.
#include <QString>

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
    QString name;  // the program's name, as /proc/PID/comm has it
    qint64 pid = 0;
};
// Another process that holds `device`: the one with an flock on it, or else
// one that has it open; none where /proc (under `proc`) does not show one.
std::optional<Holder> HolderOf(const QString& device, const QString& proc = QStringLiteral("/proc"));

}  // namespace DeviceAccess
