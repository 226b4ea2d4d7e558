#include "link/PortMap.h"

#include "link/SysfsPorts.h"

#include <QFile>
#include <QSerialPortInfo>
#include <QtGlobal>
#include <algorithm>
#include <tuple>

#ifdef Q_OS_UNIX
#include <sys/stat.h>
#endif

namespace {

#ifdef Q_OS_WIN
constexpr bool Windows = true;
#else
constexpr bool Windows = false;
#endif

struct SortKey {
    int group;       // 0 ttyUSB, 1 ttyACM, 2 anything else
    QString stem;    // name without its trailing number
    qint64 number;   // trailing number, -1 when there is none
    QString path;

    auto Tie() const { return std::tie(group, stem, number, path); }
};

SortKey KeyOf(const QString& path)
{
    const QString name = path.section('/', -1);
    int digits = static_cast<int>(name.size());
    while (digits > 0 && name.at(digits - 1).isDigit())
        --digits;
    SortKey key;
    key.stem = name.left(digits);
    const QString tail = name.mid(digits);
    bool ok = false;
    const qint64 value = tail.toLongLong(&ok);
    key.number = ok ? value : -1;
    if (name.startsWith(QLatin1String("ttyUSB")))
        key.group = 0;
    else if (name.startsWith(QLatin1String("ttyACM")))
        key.group = 1;
    else
        key.group = 2;
    key.path = path;
    return key;
}

}  // namespace

QStringList PortMap::Ordered(const QStringList& systemPorts)
{
    std::vector<SortKey> keys;
    keys.reserve(systemPorts.size());
    for (const QString& p : systemPorts)
        keys.push_back(KeyOf(p));
    std::stable_sort(keys.begin(), keys.end(),
                     [](const SortKey& a, const SortKey& b) { return a.Tie() < b.Tie(); });
    QStringList out;
    for (const SortKey& k : keys)
        out << k.path;
    return out;
}

QString PortMap::Resolve(int n, const std::optional<QString>& overrideList, const QStringList& systemPorts,
                         bool windows)
{
    if (n < 1)
        return {};
    if (overrideList) {
        const QStringList entries = overrideList->split(',');
        if (n > entries.size())
            return {};
        return entries.at(n - 1).trimmed();
    }
    if (windows)
        return QStringLiteral("COM%1").arg(n);
    const QStringList ordered = Ordered(systemPorts);
    return n <= ordered.size() ? ordered.at(n - 1) : QString();
}

QString PortMap::DeviceKey(const QString& path)
{
    if (path.isEmpty())
        return {};
#ifdef Q_OS_UNIX
    struct stat status {};
    if (::stat(QFile::encodeName(path).constData(), &status) != 0)
        return {};
    if (S_ISCHR(status.st_mode))
        return QStringLiteral("c%1").arg(static_cast<quint64>(status.st_rdev));
    return QStringLiteral("f%1:%2").arg(static_cast<quint64>(status.st_dev)).arg(static_cast<quint64>(status.st_ino));
#else
    return path.toUpper();
#endif
}

QList<PortMap::SystemPort> PortMap::SystemPorts()
{
#ifdef Q_OS_LINUX
    // Read from sysfs, which opens nothing.
    return SysfsPorts::Read();
#else
    QList<SystemPort> out;
    const auto ports = QSerialPortInfo::availablePorts();
    for (const QSerialPortInfo& info : ports) {
        SystemPort port{info.systemLocation(), info.description(), info.manufacturer(), info.serialNumber(), {}, {}};
        if (info.hasVendorIdentifier())
            port.vendorId = info.vendorIdentifier();
        if (info.hasProductIdentifier())
            port.productId = info.productIdentifier();
        out << port;
    }
    return out;
#endif
}

PortMap PortMap::Read(Source source)
{
    PortMap map;
    map.m_source = std::move(source);
    std::optional<QString> overrideList;
    if (qEnvironmentVariableIsSet(OverrideVariable))
        overrideList = qEnvironmentVariable(OverrideVariable);
    QStringList locations;
    // On Windows the number alone names the port; elsewhere ask the system,
    // unless the override already says which device each number is.
    if (!overrideList && !Windows) {
        for (const SystemPort& port : map.System())
            locations << port.location;
    }
    std::array<QString, Count + 1> keys{};
    for (int n = 1; n <= Count; ++n) {
        map.m_devices[n] = Resolve(n, overrideList, locations, Windows);
        keys[n] = DeviceKey(map.m_devices[n]);
        for (int earlier = 1; earlier < n && !keys[n].isEmpty(); ++earlier) {
            if (keys[earlier] == keys[n] && map.m_sameAs[earlier] == 0) {
                map.m_sameAs[n] = earlier;
                break;
            }
        }
    }
    return map;
}

QString PortMap::Device(int n) const
{
    return n >= 1 && n <= Count ? m_devices[n] : QString();
}

int PortMap::SameAs(int n) const
{
    return n >= 1 && n <= Count ? m_sameAs[n] : 0;
}

const QList<PortMap::SystemPort>& PortMap::System() const
{
    if (!*m_system)
        *m_system = m_source ? m_source() : QList<SystemPort>{};
    return **m_system;
}
