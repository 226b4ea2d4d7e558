#include "link/DeviceGate.h"

#include "link/WithoutAdminPrivilege.h"

#include <QFile>

#ifdef Q_OS_UNIX
#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <cerrno>
#endif

DeviceGate::Opened DeviceGate::Refused(QSerialPort::SerialPortError error, const QString& text, bool mayUse,
                                      bool lockSeen)
{
    if (error != QSerialPort::PermissionError || !mayUse)
        return {false, false, error, {}};
#ifdef Q_OS_UNIX
    if (!lockSeen && (text == qt_error_string(EACCES) || text == qt_error_string(EPERM)))
        return {false, false, error, QStringLiteral("refused by the system (%1)").arg(text)};
#else
    Q_UNUSED(text);
    Q_UNUSED(lockSeen);
#endif
    return {false, true, error, {}};
}

std::optional<DeviceAccess::Holder> SystemDeviceGate::Look(const QString& device)
{
    if (auto holder = DeviceAccess::LockHolder(device, m_proc, m_lockFolders))
        return holder;
    if (!OpenDescriptors::TellOfHolds(device, m_sysfs))
        return std::nullopt;
    if (!m_descriptors)
        m_descriptors = OpenDescriptors::Read(m_proc);
    return m_descriptors->HolderOf(device);
}

std::optional<QString> SystemDeviceGate::Refusal(const QString& device)
{
    if (const auto stale = DeviceAccess::StaleLockOf(device, m_lockFolders))
        return stale->Text();
    return std::nullopt;
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
#ifdef Q_OS_UNIX
        const bool mayUse = ::access(QFile::encodeName(device).constData(), R_OK | W_OK) == 0;
        const bool lockSeen = mayUse && DeviceAccess::LockHolder(device, m_proc, m_lockFolders).has_value();
        return Refused(error, port.errorString(), mayUse, lockSeen);
#else
        Q_UNUSED(device);
        return {false, error == QSerialPort::PermissionError, error, {}};  // a COM port in use
#endif
    }
#ifdef Q_OS_UNIX
    // Terminal programs that take no lock file lock the device itself: with
    // an flock (picocom, tio), or a POSIX or open-file-description lock,
    // which do not meet an flock but do meet this open-file-description lock.
    // One taken between the look and the open is found here, before any byte.
    const int fd = static_cast<int>(port.handle());
    struct flock whole {};
    whole.l_type = F_WRLCK;
    whole.l_whence = SEEK_SET;
    if ((::flock(fd, LOCK_EX | LOCK_NB) != 0 && errno == EWOULDBLOCK) ||
        (::fcntl(fd, F_OFD_SETLK, &whole) != 0 && (errno == EAGAIN || errno == EACCES))) {
        port.close();
        return {false, true, QSerialPort::PermissionError, {}};
    }
#endif
    return {true, false, QSerialPort::NoError, {}};
}
