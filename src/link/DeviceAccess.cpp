#include "link/DeviceAccess.h"

#include "link/PortMap.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QRegularExpression>
#include <QTextStream>

#ifdef Q_OS_UNIX
#include <grp.h>
#include <pwd.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <unistd.h>

#include <vector>
#endif

namespace DeviceAccess {

namespace {

#ifdef Q_OS_UNIX
bool InList(gid_t gid, const std::vector<gid_t>& groups)
{
    return std::find(groups.begin(), groups.end(), gid) != groups.end();
}

// This login's groups, as the kernel gives them to this process.
std::vector<gid_t> GroupsNow()
{
    std::vector<gid_t> groups(static_cast<std::size_t>(std::max(0, ::getgroups(0, nullptr))));
    groups.resize(static_cast<std::size_t>(std::max(0, ::getgroups(static_cast<int>(groups.size()), groups.data()))));
    groups.push_back(::getegid());
    return groups;
}

// The user's groups as the account database has them today.
std::vector<gid_t> GroupsOfAccount()
{
    const passwd* user = ::getpwuid(::getuid());
    if (!user)
        return {};
    int count = 64;
    std::vector<gid_t> groups(static_cast<std::size_t>(count));
    if (::getgrouplist(user->pw_name, user->pw_gid, groups.data(), &count) < 0) {
        groups.resize(static_cast<std::size_t>(count));
        ::getgrouplist(user->pw_name, user->pw_gid, groups.data(), &count);
    }
    groups.resize(static_cast<std::size_t>(std::max(0, count)));
    return groups;
}

QString NameOf(const QString& proc, qint64 pid)
{
    QFile comm(QStringLiteral("%1/%2/comm").arg(proc).arg(pid));
    if (!comm.open(QIODevice::ReadOnly))
        return {};
    return QString::fromLocal8Bit(comm.readAll()).trimmed();
}
#endif

}  // namespace

std::optional<Group> GroupOf(const QString& device)
{
#ifdef Q_OS_UNIX
    struct stat status {};
    if (::stat(QFile::encodeName(device).constData(), &status) != 0)
        return std::nullopt;
    Group group;
    const ::group* entry = ::getgrgid(status.st_gid);
    group.name = entry ? QString::fromLocal8Bit(entry->gr_name) : QString::number(status.st_gid);
    group.mayUse = status.st_gid != 0 && (status.st_mode & S_IRGRP) && (status.st_mode & S_IWGRP);
    group.member = InList(status.st_gid, GroupsOfAccount());
    group.memberNow = InList(status.st_gid, GroupsNow());
    return group;
#else
    Q_UNUSED(device);
    return std::nullopt;
#endif
}

std::optional<Holder> HolderOf(const QString& device, const QString& proc)
{
#ifdef Q_OS_UNIX
    struct stat status {};
    if (::stat(QFile::encodeName(device).constData(), &status) != 0)
        return std::nullopt;
    const qint64 self = QCoreApplication::applicationPid();

    // An flock: /proc/locks names the process and the file by device and inode,
    // e.g. "1: FLOCK  ADVISORY  WRITE 4242 00:18:7 0 EOF".
    QFile locks(proc + QStringLiteral("/locks"));
    if (locks.open(QIODevice::ReadOnly)) {
        const QString file = QString::asprintf("%02x:%02x:%llu", major(status.st_dev), minor(status.st_dev),
                                               static_cast<unsigned long long>(status.st_ino));
        static const QRegularExpression space(QStringLiteral("\\s+"));
        for (const QString& line : QString::fromLatin1(locks.readAll()).split('\n')) {
            const QStringList fields = line.split(space, Qt::SkipEmptyParts);
            if (fields.size() >= 6 && fields.at(1) == QLatin1String("FLOCK") && fields.at(5) == file) {
                const qint64 pid = fields.at(4).toLongLong();
                if (pid != self && pid > 0)
                    return Holder{NameOf(proc, pid), pid};
            }
        }
    }

    // Otherwise the first other process that has it open.
    const QString key = PortMap::DeviceKey(device);
    const QStringList pids = QDir(proc).entryList({QStringLiteral("[0-9]*")}, QDir::Dirs);
    std::vector<qint64> numbers;
    for (const QString& pid : pids)
        numbers.push_back(pid.toLongLong());
    std::sort(numbers.begin(), numbers.end());
    for (const qint64 pid : numbers) {
        if (pid == self)
            continue;
        const QDir fds(QStringLiteral("%1/%2/fd").arg(proc).arg(pid));
        for (const QString& fd : fds.entryList(QDir::System | QDir::Files | QDir::NoDotAndDotDot)) {
            if (PortMap::DeviceKey(fds.filePath(fd)) == key)
                return Holder{NameOf(proc, pid), pid};
        }
    }
#else
    Q_UNUSED(device);
    Q_UNUSED(proc);
#endif
    return std::nullopt;
}

}  // namespace DeviceAccess
