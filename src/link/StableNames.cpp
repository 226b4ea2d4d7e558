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
    const QFileInfo driver(QStringLiteral("%1/class/tty/%2/device/driver").arg(sysfs, name));
    return driver.exists() ? QFileInfo(driver.canonicalFilePath()).fileName() : QString();
}

}  // namespace StableNames
