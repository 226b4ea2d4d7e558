#include "link/DeviceIdentity.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#ifdef Q_OS_UNIX
#include <sys/stat.h>
#include <sys/sysmacros.h>
#endif

namespace DeviceIdentity {

namespace {

#ifdef Q_OS_UNIX
QString Attribute(const QDir& dir, const char* name)
{
    QFile file(dir.filePath(QLatin1String(name)));
    return file.open(QIODevice::ReadOnly) ? QString::fromLatin1(file.readAll()).trimmed() : QString();
}

QString Of(const struct stat& status, const QString& sysfs)
{
    if (!S_ISCHR(status.st_mode))
        return QStringLiteral("file %1:%2").arg(quint64(status.st_dev)).arg(quint64(status.st_ino));
    const QString number = QStringLiteral("%1:%2").arg(major(status.st_rdev)).arg(minor(status.st_rdev));
    QString identity = QStringLiteral("char ") + number;
    // The terminal's place among the machine's devices; a USB device above
    // it carries the numbers of this plugging.
    const QString root = QFileInfo(sysfs).canonicalFilePath() + '/';
    const QString place = QFileInfo(QStringLiteral("%1/dev/char/%2").arg(sysfs, number)).canonicalFilePath();
    for (QDir dir(place); !place.isEmpty() && dir.absolutePath().startsWith(root);) {
        const QString bus = Attribute(dir, "busnum");
        const QString device = Attribute(dir, "devnum");
        if (!bus.isEmpty() && !device.isEmpty())
            return identity + QStringLiteral(" usb %1:%2").arg(bus, device);
        if (!dir.cdUp())
            break;
    }
    return identity;
}
#endif

}  // namespace

QString OfPath(const QString& device, const QString& sysfs)
{
#ifdef Q_OS_UNIX
    struct stat status {};
    if (device.isEmpty() || ::stat(QFile::encodeName(device).constData(), &status) != 0)
        return {};
    return Of(status, sysfs);
#else
    Q_UNUSED(sysfs);
    return device.toUpper();
#endif
}

QString OfDescriptor(int fd, const QString& sysfs)
{
#ifdef Q_OS_UNIX
    struct stat status {};
    if (::fstat(fd, &status) != 0)
        return {};
    return Of(status, sysfs);
#else
    Q_UNUSED(fd);
    Q_UNUSED(sysfs);
    return {};
#endif
}

}  // namespace DeviceIdentity
