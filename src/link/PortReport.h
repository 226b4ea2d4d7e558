#pragma once
// --list-ports: Comm1 to Comm16 as Connect would see them now, one line for
// each number that has a device:
//
//   Comm1: /dev/ttyUSB0 (FT232R USB UART, FTDI, serial A50285BI, 0403:6001, driver ftdi_sio): ok
//       also /dev/serial/by-id/usb-FTDI_FT232R_USB_UART_A50285BI-if00-port0
//       also /dev/serial/by-path/pci-0000:00:14.0-usb-0:2:1.0-port0
//   Comm2: /dev/pts/4: busy (held by picocom, pid 4242)
//   Comm6: /dev/ttyUSB2: stale lock file /var/lock/LCK..ttyUSB2 (pid 4242 has ended): sudo rm /var/lock/LCK..ttyUSB2
//   Comm7: /dev/ttyS0 (driver serial): refused by the system (Permission denied)
//   Comm3: /tmp/notes.txt: not a serial device
//   Comm4: /dev/serial/by-id/usb-FTDI_FT232R_USB_UART_A50285BI-if00-port0: same device as Comm1
//   Comm5: /dev/ttyUSB1 (...): permission denied (it belongs to the group uucp: sudo usermod -aG uucp $USER, ...)
//
// Below a device come its stable names, the ones to give --ports so that the
// adapter keeps its number whatever order things are plugged in.
//
// The devices come from the serial control itself, so the port map is the
// one Connect uses (QZ_SERIAL_PORTS included), read once for the whole
// report. A second name for a device an earlier number reaches is said so and
// not opened again, as the search does not probe it. What can be told without
// opening a device (missing, not a device, no permission) is told so; any
// other device is opened once, the way the start-up probe opens it, closed
// again, and sent nothing.
#include "link/DeviceAccess.h"
#include "link/PortMap.h"

#include <QSerialPort>
#include <QString>
#include <QStringList>
#include <cstdint>
#include <functional>
#include <optional>

class QtCommControl;

namespace PortReport {

enum class Usability { Ok, Busy, Refused, PermissionDenied, NotSerial, Missing };

// What is known of one device.
struct Facts {
    enum class Kind { Missing, CharacterDevice, Other };
    Kind kind = Kind::Missing;
    bool permitted = false;  // this user may read and write it
    // Only a character device this user may use is opened.
    bool opened = false;
    QSerialPort::SerialPortError openError = QSerialPort::NoError;
    // A device this user may not use: its group, for the remedy that fits.
    std::optional<DeviceAccess::Group> group;
    // A busy device: who holds it, where the system shows that.
    std::optional<DeviceAccess::Holder> holder;
    // A device refused though nobody holds it: why ("refused by the system (...)").
    std::optional<QString> refusal;
};

// What the system knows of a device (all empty for a pseudo-terminal).
struct SystemInfo {
    QString description;
    QString manufacturer;
    QString serialNumber;
    std::optional<uint16_t> vendorId;
    std::optional<uint16_t> productId;
    QString driver;           // the kernel driver ("ftdi_sio")
    QStringList stableNames;  // its /dev/serial/by-id and by-path names
};

Usability Classify(const Facts& facts);
// "ok", "busy (held by picocom, pid 4242)", "stale lock file ...", "permission denied (the remedy)", ...
QString Text(const Facts& facts);
// The report's lines for one device, without the last line end.
QString Line(int comm, const QString& device, const SystemInfo& info, const Facts& facts);

// The file-system facts of a device, from its path alone (nothing is opened).
Facts Examine(const QString& device);
// What the system's list (walked at most once per map reading) knows of it.
SystemInfo InfoFor(const QString& device, const PortMap& map);

// Hands the report over line by line (without line ends) as each device is
// looked at; stops when `write` says the line could not be written. Returns
// the exit status: 0 when a port is usable, 1 when none is.
using LineWriter = std::function<bool(const QString& line)>;
int Print(QtCommControl& comm, const LineWriter& write);

}  // namespace PortReport
