#pragma once
// --list-ports: Comm1 to Comm16 as Connect would see them now, one line for
// each number that has a device:
//
//   Comm1: /dev/ttyUSB0 (FT232R USB UART, FTDI, serial A50285BI, 0403:6001): ok
//   Comm2: /dev/pts/4: busy (held by another program)
//   Comm3: /tmp/notes.txt: not a serial device
//
// The devices come from the serial control itself, so the port map is the
// one Connect uses (QZ_SERIAL_PORTS included). What can be told without
// opening a device (missing, not a device, no permission) is told so; any
// other device is opened once, the way the start-up probe opens it, closed
// again, and sent nothing.
#include <QSerialPort>
#include <QString>
#include <cstdint>
#include <optional>

class QtCommControl;
class QTextStream;

namespace PortReport {

enum class Usability { Ok, Busy, PermissionDenied, NotSerial, Missing };

// What is known of one device.
struct Facts {
    enum class Kind { Missing, CharacterDevice, Other };
    Kind kind = Kind::Missing;
    bool permitted = false;  // this user may read and write it
    // Only a character device this user may use is opened.
    bool opened = false;
    QSerialPort::SerialPortError openError = QSerialPort::NoError;
};

// What the system knows of a device (all empty for a pseudo-terminal).
struct SystemInfo {
    QString description;
    QString manufacturer;
    QString serialNumber;
    std::optional<uint16_t> vendorId;
    std::optional<uint16_t> productId;
};

Usability Classify(const Facts& facts);
// "ok", "busy (held by another program)", "permission denied (...)", ...
QString Text(Usability usability);
// One line of the report, without its line end.
QString Line(int comm, const QString& device, const SystemInfo& info, Usability usability);

// The file-system facts of a device, from its path alone (nothing is opened).
Facts Examine(const QString& device);
SystemInfo InfoFor(const QString& device);

// Writes the report; returns the exit status: 0 when a port is usable, 1 when none is.
int Print(QtCommControl& comm, QTextStream& out);

}  // namespace PortReport
