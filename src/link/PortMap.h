#pragma once
// Which device is "Comm n". On Windows it is simply COMn. Elsewhere it is the
// n-th serial device the system reports, USB adapters first (ttyUSB*, then
// ttyACM*), then every other port, each group in numerical order. The
// environment variable QZ_SERIAL_PORTS replaces that map: a comma-separated
// list of device paths, entry n being Comm n, an empty entry meaning "no
// device" (e.g. "/dev/pts/4,,/dev/pts/7").
#include <QString>
#include <QStringList>
#include <optional>

class PortMap {
public:
    static constexpr const char* OverrideVariable = "QZ_SERIAL_PORTS";

    // The device for Comm n as the system stands right now ("" when none).
    // Reads the override or the system's port list afresh on every call.
    static QString Device(int n);

    // The same decision on given inputs: the override's text when the
    // variable is set, the system's port locations otherwise.
    static QString Resolve(int n, const std::optional<QString>& overrideList,
                           const QStringList& systemPorts, bool windows);

    // System ports in Comm order: ttyUSB*, ttyACM*, then the rest, numerically
    // within each group (ttyUSB2 before ttyUSB10).
    static QStringList Ordered(const QStringList& systemPorts);

private:
    static QStringList SystemPorts();
};
