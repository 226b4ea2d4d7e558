#pragma once
// How the serial control gets hold of a device, in two steps: first it looks
// whether another program holds the device, without opening it (even an open
// raises DTR and RTS on a real serial port, and a terminal program's line
// settings would be changed under it); only a device nobody holds is opened.
// The production gate asks the system; tests put one in its place to see the
// order of the steps.
#include "link/DeviceAccess.h"

#include <QSerialPort>
#include <QString>

#include <optional>

class DeviceGate {
public:
    // What came of an open.
    struct Opened {
        bool ok = false;
        // Refused because another program holds the device (its lock file,
        // its exclusive mode, its flock), rather than gone or unusable.
        bool busy = false;
        QSerialPort::SerialPortError error = QSerialPort::NoError;
    };

    virtual ~DeviceGate() = default;
    // Another program that holds `device`, by what the system shows without
    // opening it (DeviceAccess::LockHolder).
    virtual std::optional<DeviceAccess::Holder> Look(const QString& device) = 0;
    // Opens `port`, named after `device` and set up already, and takes its flock.
    virtual Opened Open(QSerialPort& port, const QString& device) = 0;
};

class SystemDeviceGate final : public DeviceGate {
public:
    std::optional<DeviceAccess::Holder> Look(const QString& device) override;
    Opened Open(QSerialPort& port, const QString& device) override;
};
