#pragma once
// How the serial control gets hold of a device, in two steps: first it looks
// whether another program holds the device, without opening it (even an open
// raises DTR and RTS on a real serial port, and a terminal program's line
// settings would be changed under it); only a device nobody holds is opened.
// The production gate asks the system; tests put one in its place to see the
// order of the steps.
#include "link/DeviceAccess.h"
#include "link/OpenDescriptors.h"

#include <QSerialPort>
#include <QString>

#include <optional>

class DeviceGate {
public:
    // What came of an open.
    struct Opened {
        bool ok = false;
        // Refused because another program holds the device (its lock file,
        // its exclusive mode, its flock or its POSIX lock), rather than gone
        // or unusable.
        bool busy = false;
        QSerialPort::SerialPortError error = QSerialPort::NoError;
        // Refused although this user may read and write the device and no
        // hold was seen: "refused by the system (Permission denied)".
        QString refusal;
    };

    virtual ~DeviceGate() = default;
    // A new probe, search pass or port list begins: what the gate read of
    // the whole system for the last one is read again when next needed.
    virtual void Refresh() {}
    // Another program that holds `device`, by what the system shows without
    // opening it.
    virtual std::optional<DeviceAccess::Holder> Look(const QString& device) = 0;
    // Why the system would refuse to open `device` though nobody holds it, as
    // far as that shows without opening it (a stale lock file).
    virtual std::optional<QString> Refusal(const QString& device)
    {
        Q_UNUSED(device);
        return std::nullopt;
    }
    // Opens `port`, named after `device` and set up already, and takes its
    // flock and an open-file-description lock.
    virtual Opened Open(QSerialPort& port, const QString& device) = 0;

    // What a refused open means, from QSerialPort's error and its text,
    // whether this user may read and write the device, and whether a lock
    // (or a lock file) on it shows now: QSerialPort says PermissionError for
    // a lock file it could not take, an exclusive open (EBUSY) and the
    // system's own refusal (EACCES, EPERM) alike. Only the last, of a device
    // this user may use and nobody holds, is a refusal of the system's (a
    // security policy, a nodev mount); the rest is another program's hold.
    static Opened Refused(QSerialPort::SerialPortError error, const QString& text, bool mayUse, bool lockSeen);
};

class SystemDeviceGate final : public DeviceGate {
public:
    // Where the system's process folders, lock files and sysfs are.
    explicit SystemDeviceGate(QString proc = QStringLiteral("/proc"),
                              QStringList lockFolders = DeviceAccess::LockFolders(),
                              QString sysfs = QStringLiteral("/sys"))
        : m_proc(std::move(proc)), m_lockFolders(std::move(lockFolders)), m_sysfs(std::move(sysfs))
    {
    }

    void Refresh() override { m_descriptors.reset(); }
    // Its locks and lock files (DeviceAccess::LockHolder); for a terminal
    // other than a pseudo-terminal, also the processes that have it open
    // (OpenDescriptors, read once after each Refresh).
    std::optional<DeviceAccess::Holder> Look(const QString& device) override;
    std::optional<QString> Refusal(const QString& device) override;
    Opened Open(QSerialPort& port, const QString& device) override;

private:
    QString m_proc;
    QStringList m_lockFolders;
    QString m_sysfs;
    std::optional<OpenDescriptors> m_descriptors;
};
