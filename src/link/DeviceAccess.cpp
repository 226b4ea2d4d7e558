#include "link/DeviceAccess.h"


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

#endif

}  // namespace

QString NameOf(qint64 pid, const QString& proc)
{
    QFile comm(QStringLiteral("%1/%2/comm").arg(proc).arg(pid));
    if (!comm.open(QIODevice::ReadOnly))
        return {};
    return QString::fromLocal8Bit(comm.readAll()).trimmed();
}

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
// process waiting for it, which holds nothing yet). Of several locks on the
// device, one whose process the system shows names the holder: an instance of
// this program holds an flock and an open-file-description lock, which shows
// no process (-1).
std::optional<Holder> LockOnDevice(const struct stat& status, const QString& proc)
{
    QFile locks(proc + QStringLiteral("/locks"));
    if (!locks.open(QIODevice::ReadOnly))
        return std::nullopt;
    const QString file = QString::asprintf("%02x:%02x:%llu", major(status.st_dev), minor(status.st_dev),
                                           static_cast<unsigned long long>(status.st_ino));
    static const QRegularExpression space(QStringLiteral("\\s+"));
    std::optional<Holder> holder;
    for (const QString& line : QString::fromLatin1(locks.readAll()).split('\n')) {
        const QStringList fields = line.split(space, Qt::SkipEmptyParts);
        if (fields.size() < 6 || fields.at(5) != file)
            continue;
        const QString& kind = fields.at(1);
        if (kind != QLatin1String("FLOCK") && kind != QLatin1String("POSIX") && kind != QLatin1String("OFDLCK"))
            continue;
        const qint64 pid = fields.at(4).toLongLong();
        if (pid > 0)
            return Holder{NameOf(pid, proc), pid};
        // 0: a holder outside this process's view; -1: an open-file-description lock.
        holder = Holder{};
    }
    return holder;
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

// The name serial programs lock `device` by: "/dev/ttyUSB0" is locked as
// LCK..ttyUSB0, "/dev/pts/3" as LCK..pts_3.
QString LockName(const QString& device)
{
    QString name = QFileInfo(device).canonicalFilePath();
    if (name.isEmpty())
        name = device;
    name = name.startsWith(QLatin1String("/dev/")) ? name.mid(5) : QFileInfo(name).fileName();
    return QStringLiteral("LCK..") + name.replace('/', '_');
}

bool Alive(qint64 pid)
{
    return ::kill(static_cast<pid_t>(pid), 0) == 0 || errno == EPERM;
}

// A lock file for `device` whose process is alive.
std::optional<Holder> LockFileOf(const QString& device, const QString& proc, const QStringList& folders)
{
    for (const QString& folder : folders) {
        QFile file(folder + '/' + LockName(device));
        if (!file.open(QIODevice::ReadOnly))
            continue;
        const qint64 pid = LockFilePid(file.read(256));
        // A lock file left behind by a process that has ended holds nothing.
        if (pid > 0 && Alive(pid))
            return Holder{NameOf(pid, proc), pid};
    }
    return std::nullopt;
}

// Whether this user may remove `file` from its folder.
bool MayRemove(const QString& file)
{
    const QByteArray folder = QFile::encodeName(QFileInfo(file).absolutePath());
    struct stat dir {};
    struct stat own {};
    if (::access(folder.constData(), W_OK | X_OK) != 0 || ::stat(folder.constData(), &dir) != 0 ||
        ::lstat(QFile::encodeName(file).constData(), &own) != 0)
        return false;
    // In a sticky folder (/tmp, /run/lock) only the file's owner, the
    // folder's owner or root may.
    const uid_t user = ::geteuid();
    return !(dir.st_mode & S_ISVTX) || user == 0 || own.st_uid == user || dir.st_uid == user;
}
#endif

}  // namespace

QString StaleLock::Text() const
{
    return QStringLiteral("stale lock file %1 (pid %2 has ended): sudo rm %1").arg(file).arg(pid);
}

std::optional<StaleLock> StaleLockOf(const QString& device, const QStringList& lockFolders)
{
#ifdef Q_OS_UNIX
    for (const QString& folder : lockFolders) {
        const QString path = folder + '/' + LockName(device);
        QFile file(path);
        if (!file.open(QIODevice::ReadOnly))
            continue;
        const qint64 pid = LockFilePid(file.read(256));
        // A live one is a hold; one that this user may remove, the open removes.
        if (pid > 0 && !Alive(pid) && !MayRemove(path))
            return StaleLock{path, pid};
    }
#else
    Q_UNUSED(device);
    Q_UNUSED(lockFolders);
#endif
    return std::nullopt;
}

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

}  // namespace DeviceAccess
