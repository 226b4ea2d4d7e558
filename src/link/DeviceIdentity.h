#pragma once
// Which device a name leads to, told apart from any other device that may
// take the same name later: a USB adapter by its bus and device numbers,
// which the system gives afresh at every plug (so a meter unplugged and
// another adapter plugged in under the same ttyUSB0 read as different), any
// other terminal by its device number, anything else by its file's identity.
// Read from sysfs under `sysfs`; nothing is opened.
#include <QString>

namespace DeviceIdentity {

// Of what `device` leads to now; "" when it leads nowhere.
QString OfPath(const QString& device, const QString& sysfs = QStringLiteral("/sys"));
// Of the device open on the descriptor `fd`.
QString OfDescriptor(int fd, const QString& sysfs = QStringLiteral("/sys"));

}  // namespace DeviceIdentity
