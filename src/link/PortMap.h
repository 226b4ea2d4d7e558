#pragma once
// Which device is "Comm n". On Windows it is simply COMn. Elsewhere it is the
// n-th serial device the system reports, USB adapters first (ttyUSB*, then
// ttyACM*), then every other port, each group in numerical order. The
// environment variable QZ_SERIAL_PORTS replaces that map: a comma-separated
// list of device paths, entry n being Comm n, an empty entry meaning "no
// device" (e.g. "/dev/pts/4,,/dev/pts/7").
//
// A PortMap is one reading of that: the system's list is walked once (and
// only when the override does not say it all), and every number of a probe or
// a search is mapped from that reading, so the numbers cannot change under a
// search when an adapter comes or goes. The same device reached under two
// names (a /dev/serial/by-id link and its /dev/ttyUSB0) is one device: the
// later number is marked as the same device as the earlier.
#include <QList>
#include <QString>
#include <QStringList>

#include <array>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>

class PortMap {
public:
    static constexpr const char* OverrideVariable = "QZ_SERIAL_PORTS";
    static constexpr int Count = 16;

    // What the system reports of one of its serial ports.
    struct SystemPort {
        QString location;  // "/dev/ttyUSB0", "COM3"
        QString description;
        QString manufacturer;
        QString serialNumber;
        std::optional<uint16_t> vendorId;
        std::optional<uint16_t> productId;
    };
    using Source = std::function<QList<SystemPort>()>;
    // The system's port list, walked afresh (on Linux from sysfs, without
    // opening any device).
    static QList<SystemPort> SystemPorts();

    // One reading: the override when QZ_SERIAL_PORTS is set, the system's
    // list from `source` otherwise.
    static PortMap Read(Source source = SystemPorts);

    // The device for Comm n in this reading, as the map names it ("" when none).
    QString Device(int n) const;
    // The earlier number whose device Comm n also reaches, or 0.
    int SameAs(int n) const;
    // The system's port list, walked at most once per reading (also when the
    // override gave the map), for what the system knows of a device.
    const QList<SystemPort>& System() const;

    // The map's decision on given inputs: the override's text when the
    // variable is set, the system's port locations otherwise.
    static QString Resolve(int n, const std::optional<QString>& overrideList, const QStringList& systemPorts,
                           bool windows);
    // System ports in Comm order: ttyUSB*, ttyACM*, then the rest, numerically
    // within each group (ttyUSB2 before ttyUSB10).
    static QStringList Ordered(const QStringList& systemPorts);
    // What makes two names one device: the device number of a device node
    // (symbolic links followed), the file's identity otherwise; empty when
    // the name reaches nothing.
    static QString DeviceKey(const QString& path);

private:
    std::array<QString, Count + 1> m_devices{};
    std::array<int, Count + 1> m_sameAs{};
    Source m_source;
    // Shared so that a copy of a reading never walks the list again.
    std::shared_ptr<std::optional<QList<SystemPort>>> m_system = std::make_shared<std::optional<QList<SystemPort>>>();
};
