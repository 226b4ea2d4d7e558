#pragma once
// The vendor's library, looked up when the device information window first
// needs it, so that the program starts and runs where it is not installed.
#include "devinfo/ChipIdLibrary.h"
#include "devinfo/qzChipID.h"

#include <QLibrary>
#include <QStringList>

class RuntimeChipIdLibrary final : public ChipIdLibrary {
public:
    // The names the library goes by; the platform's prefix and suffix are
    // added by the loader ("FTChipID.dll", "libftchipid.so", ...).
    static QStringList UsualNames();

    explicit RuntimeChipIdLibrary(QStringList names = UsualNames());

    bool Load(QString& problem) override;
    int32_t FTID_GetNumDevices(int32_t* NumDevices) override;
    int32_t FTID_GetDeviceDescription(int32_t DeviceIndex, char* Description, int32_t BufferSize) override;
    int32_t FTID_GetDeviceChipID(int32_t DeviceIndex, int32_t* ChipID) override;

private:
    QStringList m_names;
    QLibrary m_library;
    qzChipID::GetNumDevicesFn m_getNumDevices = nullptr;
    qzChipID::GetDeviceDescriptionFn m_getDeviceDescription = nullptr;
    qzChipID::GetDeviceChipIDFn m_getDeviceChipID = nullptr;
};
