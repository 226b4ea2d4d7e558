#pragma once
// The machine's serial ports as Linux's sysfs lists them, read without
// opening any device. (Qt's own list opens every built-in 8250 port to see
// whether a UART is behind it; opened, a port raises its modem lines under
// whatever program uses it.) A terminal counts when a device of the machine
// stands behind it: a USB adapter, a CDC-ACM device, a built-in or add-in
// port; virtual consoles and pseudo-terminals do not. A serial-core slot
// (ttyS*) counts only when sysfs gives it a UART type (0: none is fitted),
// whichever driver registered it. A
// USB device's description, maker, serial number and ids come from the USB
// device above the terminal.
#include "link/PortMap.h"

#include <QList>
#include <QString>

namespace SysfsPorts {

QList<PortMap::SystemPort> Read(const QString& sysfs = QStringLiteral("/sys"),
                                const QString& dev = QStringLiteral("/dev"));

}  // namespace SysfsPorts
