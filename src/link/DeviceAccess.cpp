#include "link/DeviceAccess.h"

#include "link/PortMap.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>
#include <QTextStream>

#ifdef Q_OS_UNIX
#include <grp.h>
#include <pwd.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <unistd.h>

#include <cerrno>
#include <cstdint>
#include <cstring>
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

QString HeldByText(const std::optional<Holder>& holder)
{
    if (holder && !holder->name.isEmpty())
        return QStringLiteral("held by %1, pid %2").arg(holder->name).arg(holder->pid);
    return QStringLiteral("held by another program");
}

QStringList LockFolders()
{
    return {QStringLiteral("/var/lock"),       QStringLiteral("/run/lock"),       QStringLiteral("/var/lock/lockdev"),
            QStringLiteral("/var/spool/locks"), QStringLiteral("/var/spool/uucp"), QStringLiteral("/etc/locks"),
            QStringLiteral("/tmp"),            QStringLiteral("/var/tmp")};
}

namespace {

#ifdef Q_OS_UNIX
// A lock on the file /proc/locks names by device and inode: "1: FLOCK  ADVISORY
// WRITE 4242 00:18:7 0 EOF" (POSIX and OFDLCK alike; "1: -> FLOCK ..." is a
// process waiting for it, which holds nothing yet).
std::optional<Holder> LockOnDevice(const struct stat& status, const QString& proc)
{
    QFile locks(proc + QStringLiteral("/locks"));
    if (!locks.open(QIODevice::ReadOnly))
        return std::nullopt;
    const QString file = QString::asprintf("%02x:%02x:%llu", major(status.st_dev), minor(status.st_dev),
                                           static_cast<unsigned long long>(status.st_ino));
    static const QRegularExpression space(QStringLiteral("\\s+"));
    for (const QString& line : QString::fromLatin1(locks.readAll()).split('\n')) {
        const QStringList fields = line.split(space, Qt::SkipEmptyParts);
        if (fields.size() < 6 || fields.at(5) != file)
            continue;
        const QString& kind = fields.at(1);
        if (kind != QLatin1String("FLOCK") && kind != QLatin1String("POSIX") && kind != QLatin1String("OFDLCK"))
            continue;
        const qint64 pid = fields.at(4).toLongLong();
        // 0: a holder outside this process's view; -1: an open-file-description lock.
        if (pid <= 0)
            return Holder{};
        return Holder{NameOf(proc, pid), pid};
    }
    return std::nullopt;
}

// The process a lock file names: "  4242" as uucp writes it, "4242\napp\nhost"
// as QLockFile does, or four bytes of a binary number as some old programs do.
qint64 LockFilePid(const QByteArray& content)
{
    bool ok = false;
    const qint64 pid = content.split('\n').first().trimmed().toLongLong(&ok);
    if (ok)
        return pid;
    if (content.size() == 4) {
        int32_t binary = 0;
        std::memcpy(&binary, content.constData(), sizeof binary);
        return binary;
    }
    return 0;
}

// A lock file for `device` whose process is alive.
std::optional<Holder> LockFileOf(const QString& device, const QString& proc, const QStringList& folders)
{
    // "/dev/ttyUSB0" is locked as LCK..ttyUSB0, "/dev/pts/3" as LCK..pts_3.
    QString name = QFileInfo(device).canonicalFilePath();
    if (name.isEmpty())
        name = device;
    name = name.startsWith(QLatin1String("/dev/")) ? name.mid(5) : QFileInfo(name).fileName();
    name.replace('/', '_');
    for (const QString& folder : folders) {
        QFile file(QStringLiteral("%1/LCK..%2").arg(folder, name));
        if (!file.open(QIODevice::ReadOnly))
            continue;
        const qint64 pid = LockFilePid(file.read(256));
        // A lock file left behind by a process that has ended holds nothing.
        if (pid > 0 && (::kill(static_cast<pid_t>(pid), 0) == 0 || errno == EPERM))
            return Holder{NameOf(proc, pid), pid};
    }
    return std::nullopt;
}
#endif

}  // namespace

std::optional<Holder> LockHolder(const QString& device, const QString& proc, const QStringList& lockFolders)
{
#ifdef Q_OS_UNIX
    struct stat status {};
    if (::stat(QFile::encodeName(device).constData(), &status) != 0)
        return std::nullopt;
    if (auto holder = LockOnDevice(status, proc))
        return holder;
    return LockFileOf(device, proc, lockFolders);
#else
    Q_UNUSED(device);
    Q_UNUSED(proc);
    Q_UNUSED(lockFolders);
    return std::nullopt;
#endif
}

std::optional<Holder> HolderOf(const QString& device, const QString& proc, const QStringList& lockFolders)
{
    if (auto holder = LockHolder(device, proc, lockFolders))
        return holder;
#ifdef Q_OS_UNIX
    // Otherwise the first other process that has it open.
    const QString key = PortMap::DeviceKey(device);
    if (key.isEmpty())
        return std::nullopt;
    const qint64 self = QCoreApplication::applicationPid();
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
#endif
    return std::nullopt;
}

}  // namespace DeviceAccess
