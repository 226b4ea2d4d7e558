#include "link/SysfsPorts.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

namespace SysfsPorts {

namespace {

QString Attribute(const QString& dir, const char* name)
{
    QFile file(dir + '/' + QLatin1String(name));
    return file.open(QIODevice::ReadOnly) ? QString::fromUtf8(file.readAll()).trimmed() : QString();
}

std::optional<uint16_t> Hex(const QString& text)
{
    bool ok = false;
    const uint value = text.toUInt(&ok, 16);
    return ok && value <= 0xffff ? std::optional<uint16_t>(static_cast<uint16_t>(value)) : std::nullopt;
}

}  // namespace

QList<PortMap::SystemPort> Read(const QString& sysfs, const QString& dev)
{
    QList<PortMap::SystemPort> ports;
    const QString root = QFileInfo(sysfs).canonicalFilePath();
    const QDir ttys(sysfs + QStringLiteral("/class/tty"));
    for (const QString& name : ttys.entryList(QDir::Dirs | QDir::System | QDir::NoDotAndDotDot, QDir::Name)) {
        const QString tty = ttys.filePath(name);
        const QString device = QFileInfo(tty + QStringLiteral("/device")).canonicalFilePath();
        if (device.isEmpty())
            continue;  // a virtual terminal
        // The serial core registers every slot its drivers might have, fitted
        // or not; an unfitted one has the type 0. USB and CDC-ACM terminals
        // have no type at all.
        const QString type = Attribute(tty, "type");
        if (!type.isEmpty() && type.toInt() == 0)
            continue;
        PortMap::SystemPort port;
        port.location = dev + '/' + name;
        // The USB device the terminal belongs to, if any: the first folder
        // above it with the vendor's id.
        for (QString at = device; at.startsWith(root + '/'); at = QFileInfo(at).path()) {
            if (!QFileInfo::exists(at + QStringLiteral("/idVendor")))
                continue;
            port.description = Attribute(at, "product");
            port.manufacturer = Attribute(at, "manufacturer");
            port.serialNumber = Attribute(at, "serial");
            port.vendorId = Hex(Attribute(at, "idVendor"));
            port.productId = Hex(Attribute(at, "idProduct"));
            break;
        }
        ports << port;
    }
    return ports;
}

}  // namespace SysfsPorts
