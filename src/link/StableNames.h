#pragma once
// The names a serial device keeps when it is plugged in again or the machine
// restarts, and which can pin it to a Comm number (--ports): the links udev
// makes under /dev/serial/by-id (after the adapter's maker, model and serial
// number) and /dev/serial/by-path (after the socket it is plugged into). And
// the kernel driver that serves it (ftdi_sio, cp210x, cdc_acm, ...).
#include <QString>
#include <QStringList>

namespace StableNames {

// The links under `root`/by-id and `root`/by-path that lead to `device`
// (whichever of its names it is given by), by-id first, each folder in name
// order; `device` itself is left out.
QStringList Of(const QString& device, const QString& root = QStringLiteral("/dev/serial"));

// The kernel driver of the terminal `device` leads to, as sysfs under
// `sysfs` names it ("" for a pseudo-terminal or where nothing tells).
QString DriverOf(const QString& device, const QString& sysfs = QStringLiteral("/sys"));

}  // namespace StableNames
