#include "link/OpenDescriptors.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <algorithm>

#ifdef Q_OS_UNIX
#include <sys/stat.h>
#include <sys/sysmacros.h>
#endif

namespace {

#ifdef Q_OS_UNIX
// The device number of the character device `path` leads to.
std::optional<quint64> DeviceNumber(const QString& path)
{
    struct stat status {};
    if (::stat(QFile::encodeName(path).constData(), &status) != 0 || !S_ISCHR(status.st_mode))
        return std::nullopt;
    return static_cast<quint64>(status.st_rdev);
}
#endif

}  // namespace

OpenDescriptors OpenDescriptors::Read(const QString& proc, qint64 self)
{
    OpenDescriptors reading;
    reading.m_proc = proc;
    if (self == 0)
        self = QCoreApplication::applicationPid();
    std::vector<qint64> pids;
    for (const QString& pid : QDir(proc).entryList({QStringLiteral("[0-9]*")}, QDir::Dirs))
        pids.push_back(pid.toLongLong());
    std::sort(pids.begin(), pids.end());
    for (const qint64 pid : pids) {
        if (pid == self)
            continue;
        for (const quint64 device : reading.DevicesOf(pid)) {
            std::vector<qint64>& holders = reading.m_holders[device];
            if (holders.empty() || holders.back() != pid)
                holders.push_back(pid);
        }
    }
    return reading;
}

std::vector<quint64> OpenDescriptors::DevicesOf(qint64 pid) const
{
    std::vector<quint64> devices;
#ifdef Q_OS_UNIX
    const QDir fds(QStringLiteral("%1/%2/fd").arg(m_proc).arg(pid));
    for (const QString& fd : fds.entryList(QDir::System | QDir::Files | QDir::NoDotAndDotDot)) {
        if (const auto number = DeviceNumber(fds.filePath(fd)))
            devices.push_back(*number);
    }
#else
    Q_UNUSED(pid);
#endif
    return devices;
}

std::optional<DeviceAccess::Holder> OpenDescriptors::HolderOf(const QString& device) const
{
#ifdef Q_OS_UNIX
    const auto number = DeviceNumber(device);
    if (!number)
        return std::nullopt;
    const auto found = m_holders.find(*number);
    if (found == m_holders.end())
        return std::nullopt;
    for (const qint64 pid : found->second) {
        const std::vector<quint64> now = DevicesOf(pid);
        if (std::find(now.begin(), now.end(), *number) != now.end())
            return DeviceAccess::Holder{DeviceAccess::NameOf(pid, m_proc), pid};
    }
#else
    Q_UNUSED(device);
#endif
    return std::nullopt;
}

bool OpenDescriptors::TellOfHolds(const QString& device, const QString& sysfs)
{
#ifdef Q_OS_LINUX
    const auto number = DeviceNumber(device);
    if (!number)
        return false;
    // Pseudo-terminals have no place among the machine's devices in sysfs.
    const dev_t id = static_cast<dev_t>(*number);
    const QString subsystem = QStringLiteral("%1/dev/char/%2:%3/subsystem").arg(sysfs).arg(major(id)).arg(minor(id));
    return QFileInfo(QFileInfo(subsystem).canonicalFilePath()).fileName() == QLatin1String("tty");
#else
    Q_UNUSED(device);
    Q_UNUSED(sysfs);
    return false;
#endif
}
