#include "link/DeviceGate.h"

#include "link/WithoutAdminPrivilege.h"

#include <QFile>

#ifdef Q_OS_UNIX
#include <sys/file.h>
#include <unistd.h>

#include <cerrno>
#endif

std::optional<DeviceAccess::Holder> SystemDeviceGate::Look(const QString& device)
{
    return DeviceAccess::LockHolder(device);
}

DeviceGate::Opened SystemDeviceGate::Open(QSerialPort& port, const QString& device)
{
    bool opened = false;
    {
        // Another program's exclusive mode does not keep root out; without
        // that privilege for the open it does, as it keeps every user out.
        // cppcheck-suppress unusedVariable ; it does its work by living for this block
        const WithoutAdminPrivilege asAnyUser;
        opened = port.open(QIODevice::ReadWrite);
    }
    if (!opened) {
        const QSerialPort::SerialPortError error = port.error();
        // QSerialPort says PermissionError for a lock file, an exclusive
        // open (EBUSY) and a device this user may not open alike: a device
        // this user may read and write is busy.
#ifdef Q_OS_UNIX
        const bool busy = error == QSerialPort::PermissionError &&
                          ::access(QFile::encodeName(device).constData(), R_OK | W_OK) == 0;
#else
        Q_UNUSED(device);
        const bool busy = error == QSerialPort::PermissionError;  // a COM port in use
#endif
        return {false, busy, error};
    }
#ifdef Q_OS_UNIX
    // Terminal programs that take no lock file lock the device itself.
    if (::flock(static_cast<int>(port.handle()), LOCK_EX | LOCK_NB) != 0 && errno == EWOULDBLOCK) {
        port.close();
        return {false, true, QSerialPort::PermissionError};
    }
#endif
    return {true, false, QSerialPort::NoError};
}
