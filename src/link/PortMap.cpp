#include "link/PortMap.h"

#include <QSerialPortInfo>
#include <QtGlobal>
#include <algorithm>
#include <tuple>

namespace {

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

QStringList PortMap::SystemPorts()
{
    QStringList out;
    const auto ports = QSerialPortInfo::availablePorts();
    for (const QSerialPortInfo& info : ports)
        out << info.systemLocation();
    return out;
}

QString PortMap::Device(int n)
{
#ifdef Q_OS_WIN
    constexpr bool windows = true;
#else
    constexpr bool windows = false;
#endif
    if (qEnvironmentVariableIsSet(OverrideVariable))
        return Resolve(n, qEnvironmentVariable(OverrideVariable), {}, windows);
    // On Windows the number alone names the port; elsewhere ask the system.
    return Resolve(n, std::nullopt, windows ? QStringList{} : SystemPorts(), windows);
}
