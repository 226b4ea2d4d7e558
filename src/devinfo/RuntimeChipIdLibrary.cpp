#include "devinfo/RuntimeChipIdLibrary.h"

#include <QCoreApplication>

QStringList RuntimeChipIdLibrary::UsualNames()
{
    const QStringList bare{QStringLiteral("FTChipID"), QStringLiteral("ftchipid")};
    // The program's own folder first, where an installer puts it, then the
    // system's library search path.
    QStringList names;
    if (QCoreApplication::instance()) {
        const QString folder = QCoreApplication::applicationDirPath();
        for (const QString& name : bare)
            names << folder + QLatin1Char('/') + name;
    }
    names << bare;
    return names;
}

RuntimeChipIdLibrary::RuntimeChipIdLibrary(QStringList names) : m_names(std::move(names)) {}

bool RuntimeChipIdLibrary::Load(QString& problem)
{
    if (m_getNumDevices && m_getDeviceDescription && m_getDeviceChipID)
        return true;

    if (!m_library.isLoaded()) {
        bool loaded = false;
        for (const QString& name : m_names) {
            m_library.setFileName(name);
            if (m_library.load()) {
                loaded = true;
                break;
            }
        }
        if (!loaded) {
            problem = QStringLiteral("FTChipID library not found: USB device information is unavailable");
            return false;
        }
    }

    m_getNumDevices = reinterpret_cast<qzChipID::GetNumDevicesFn>(m_library.resolve(qzChipID::GetNumDevicesName));
    m_getDeviceDescription =
        reinterpret_cast<qzChipID::GetDeviceDescriptionFn>(m_library.resolve(qzChipID::GetDeviceDescriptionName));
    m_getDeviceChipID =
        reinterpret_cast<qzChipID::GetDeviceChipIDFn>(m_library.resolve(qzChipID::GetDeviceChipIDName));

    const char* missing = !m_getNumDevices          ? qzChipID::GetNumDevicesName
                          : !m_getDeviceDescription ? qzChipID::GetDeviceDescriptionName
                          : !m_getDeviceChipID      ? qzChipID::GetDeviceChipIDName
                                                    : nullptr;
    if (missing) {
        problem = QStringLiteral("FTChipID library has no %1: USB device information is unavailable")
                      .arg(QLatin1String(missing));
        m_getNumDevices = nullptr;
        m_getDeviceDescription = nullptr;
        m_getDeviceChipID = nullptr;
        return false;
    }
    return true;
}

int32_t RuntimeChipIdLibrary::FTID_GetNumDevices(int32_t* NumDevices)
{
    return m_getNumDevices(NumDevices);
}

int32_t RuntimeChipIdLibrary::FTID_GetDeviceDescription(int32_t DeviceIndex, char* Description, int32_t BufferSize)
{
    return m_getDeviceDescription(DeviceIndex, Description, BufferSize);
}

int32_t RuntimeChipIdLibrary::FTID_GetDeviceChipID(int32_t DeviceIndex, int32_t* ChipID)
{
    return m_getDeviceChipID(DeviceIndex, ChipID);
}
