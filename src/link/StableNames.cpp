#include "link/StableNames.h"

#include "link/PortMap.h"

#include <QDir>
#include <QFileInfo>

namespace StableNames {

QStringList Of(const QString& device, const QString& root)
{
    const QString key = PortMap::DeviceKey(device);
    if (key.isEmpty())
        return {};
    const QString self = QFileInfo(device).absoluteFilePath();
    QStringList names;
    for (const char* folder : {"by-id", "by-path"}) {
        const QDir dir(root + '/' + QLatin1String(folder));
        const QFileInfoList links = dir.entryInfoList(QDir::System | QDir::Files | QDir::NoDotAndDotDot, QDir::Name);
        for (const QFileInfo& link : links) {
            // The same device, not merely a link that happens to exist: a
            // stale link to an adapter long gone leads nowhere.
            if (link.absoluteFilePath() != self && PortMap::DeviceKey(link.absoluteFilePath()) == key)
                names << link.absoluteFilePath();
        }
    }
    return names;
}

QString DriverOf(const QString& device, const QString& sysfs)
{
    const QString name = QFileInfo(QFileInfo(device).canonicalFilePath()).fileName();
    if (name.isEmpty())
        return {};
    const QString root = QFileInfo(sysfs).canonicalFilePath();
    const QString tty = QFileInfo(QStringLiteral("%1/class/tty/%2/device").arg(sysfs, name)).canonicalFilePath();
    // Since Linux 6.5 a serial-core terminal hangs under a port device and a
    // controller device of the core's own ("port", "ctrl"); the driver that
    // serves it is the first one above them.
    for (QString at = tty; !tty.isEmpty() && at.startsWith(root + '/'); at = QFileInfo(at).path()) {
        const QString driver = QFileInfo(QFileInfo(at + QStringLiteral("/driver")).canonicalFilePath()).fileName();
        if (!driver.isEmpty() && driver != QLatin1String("port") && driver != QLatin1String("ctrl"))
            return driver;
    }
    return {};
}

}  // namespace StableNames
