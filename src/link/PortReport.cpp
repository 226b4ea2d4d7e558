#include "link/PortReport.h"

#include "link/QtCommControl.h"
#include "link/StableNames.h"

#include <QFile>
#include <QFileInfo>
#include <QSerialPortInfo>
#include <QStringList>

#ifdef Q_OS_UNIX
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#endif

namespace PortReport {

namespace {

// Only a terminal that hangs on a bus of the machine (a USB adapter, a
// built-in port) is in the system's port list; pseudo-terminals never are,
// so the list is walked only when there is something to find.
bool MayBeListed(const QString& device)
{
#ifdef Q_OS_LINUX
    const QString name = QFileInfo(QFileInfo(device).canonicalFilePath()).fileName();
    return !name.isEmpty() && QFileInfo::exists(QStringLiteral("/sys/class/tty/%1/device").arg(name));
#else
    Q_UNUSED(device);
    return true;
#endif
}

}  // namespace

Usability Classify(const Facts& facts)
{
    if (facts.kind == Facts::Kind::Missing)
        return Usability::Missing;
    if (facts.kind == Facts::Kind::Other)
        return Usability::NotSerial;
    if (!facts.permitted)
        return Usability::PermissionDenied;
    if (facts.opened)
        return Usability::Ok;
    if (facts.refusal)
        return Usability::Refused;
    switch (facts.openError) {
    case QSerialPort::PermissionError:
        // This user may use it, so another program's hold stands in the way.
        return Usability::Busy;
    case QSerialPort::DeviceNotFoundError:
        return Usability::Missing;  // gone since it was looked at
    default:
        // Not a terminal, or one that refuses 9600,n,8,1.
        return Usability::NotSerial;
    }
}

namespace {

// What to do about a device this user may not open, from the group that owns it.
QString Remedy(const std::optional<DeviceAccess::Group>& group)
{
    if (!group)
        return QStringLiteral("permission denied");
    const QString name = group->name;
    if (!group->mayUse) {
        const QString whose = name == QLatin1String("root")
                                  ? QStringLiteral("it belongs to root")
                                  : QStringLiteral("the group %1 may not use it").arg(name);
        return QStringLiteral("permission denied (%1: ask your administrator for a udev rule that lets a group "
                              "such as dialout use it)")
            .arg(whose);
    }
    if (!group->member) {
        return QStringLiteral("permission denied (it belongs to the group %1: sudo usermod -aG %1 $USER, then log "
                              "out and in again, or newgrp %1 for this shell)")
            .arg(name);
    }
    if (!group->memberNow) {
        return QStringLiteral("permission denied (you are in the group %1, but this login is older than that: "
                              "log out and in again)")
            .arg(name);
    }
    return QStringLiteral("permission denied");
}

}  // namespace

QString Text(const Facts& facts)
{
    switch (Classify(facts)) {
    case Usability::Ok:
        return QStringLiteral("ok");
    case Usability::Busy:
        return QStringLiteral("busy (%1)").arg(DeviceAccess::HeldByText(facts.holder));
    case Usability::Refused:
        return *facts.refusal;
    case Usability::PermissionDenied:
        return Remedy(facts.group);
    case Usability::NotSerial:
        return QStringLiteral("not a serial device");
    case Usability::Missing:
        break;
    }
    return QStringLiteral("missing");
}

QString Line(int comm, const QString& device, const SystemInfo& info, const Facts& facts)
{
    QStringList known;
    for (const QString& text : {info.description, info.manufacturer})
        if (!text.isEmpty())
            known << text;
    if (!info.serialNumber.isEmpty())
        known << QStringLiteral("serial ") + info.serialNumber;
    if (info.vendorId && info.productId)
        known << QString::asprintf("%04x:%04x", *info.vendorId, *info.productId);
    if (!info.driver.isEmpty())
        known << QStringLiteral("driver ") + info.driver;
    const QString about = known.isEmpty() ? QString() : QStringLiteral(" (%1)").arg(known.join(QLatin1String(", ")));
    QString line = QStringLiteral("Comm%1: %2%3: %4").arg(comm).arg(device, about, Text(facts));
    for (const QString& name : info.stableNames)
        line += QStringLiteral("\n    also ") + name;
    return line;
}

Facts Examine(const QString& device)
{
    Facts facts;
#ifdef Q_OS_UNIX
    const QByteArray path = QFile::encodeName(device);
    struct stat status {};
    if (::stat(path.constData(), &status) != 0) {
        // A folder on the way that may not be searched hides the device from this user.
        if (errno == EACCES)
            facts.kind = Facts::Kind::CharacterDevice;
        return facts;
    }
    facts.kind = S_ISCHR(status.st_mode) ? Facts::Kind::CharacterDevice : Facts::Kind::Other;
    facts.permitted = ::access(path.constData(), R_OK | W_OK) == 0;
    if (!facts.permitted)
        facts.group = DeviceAccess::GroupOf(device);
#else
    // "COM3" is no file: only opening it tells.
    Q_UNUSED(device);
    facts.kind = Facts::Kind::CharacterDevice;
    facts.permitted = true;
#endif
    return facts;
}

SystemInfo InfoFor(const QString& device, const PortMap& map)
{
    SystemInfo info;
    info.stableNames = StableNames::Of(device);
    if (!MayBeListed(device))
        return info;
    info.driver = StableNames::DriverOf(device);
    const QString real = QFileInfo(device).canonicalFilePath();
    for (const PortMap::SystemPort& port : map.System()) {
        if (port.location != device && QFileInfo(port.location).canonicalFilePath() != real)
            continue;
        info.description = port.description;
        info.manufacturer = port.manufacturer;
        info.serialNumber = port.serialNumber;
        info.vendorId = port.vendorId;
        info.productId = port.productId;
        break;
    }
    return info;
}

int Print(QtCommControl& comm, const LineWriter& write)
{
    bool anyDevice = false;
    bool anyUsable = false;
    comm.RescanPorts();
    const PortMap& map = comm.Ports();
    for (int n = 1; n <= PortMap::Count; ++n) {
        // The number is chosen as Connect chooses it, which maps it to its device.
        comm.setCommPort(n);
        const QString device = comm.DevicePath();
        if (device.isEmpty())
            continue;
        anyDevice = true;
        if (const int first = map.SameAs(n)) {
            if (!write(QStringLiteral("Comm%1: %2: same device as Comm%3").arg(n).arg(device).arg(first)))
                return 1;
            continue;
        }
        Facts facts = Examine(device);
        if (facts.kind == Facts::Kind::CharacterDevice && facts.permitted) {
            facts.opened = comm.setPortOpen(true);
            facts.openError = comm.OpenError();
            facts.refusal = comm.RefusedFor();
            comm.setPortOpen(false);
        }
        const Usability usability = Classify(facts);
        if (usability == Usability::Busy)
            facts.holder = comm.HeldBy();
        anyUsable = anyUsable || usability == Usability::Ok;
        if (!write(Line(n, device, InfoFor(device, map), facts)))
            return 1;
    }
    if (!anyDevice)
        write(QStringLiteral("No serial ports: none of Comm1 to Comm16 has a device."));
    return anyUsable ? 0 : 1;
}

}  // namespace PortReport
