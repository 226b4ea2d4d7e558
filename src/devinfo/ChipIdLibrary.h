#pragma once
// The chip vendor's library as the device information window sees it: whether
// it can be used at all, and its three functions.
#include <QString>
#include <cstdint>

class ChipIdLibrary {
public:
    virtual ~ChipIdLibrary() = default;
    // Makes the library ready. False when it or one of its functions is
    // missing; problem then says so in one line for the user.
    virtual bool Load(QString& problem) = 0;
    // Only after a successful Load.
    virtual int32_t FTID_GetNumDevices(int32_t* NumDevices) = 0;
    virtual int32_t FTID_GetDeviceDescription(int32_t DeviceIndex, char* Description, int32_t BufferSize) = 0;
    virtual int32_t FTID_GetDeviceChipID(int32_t DeviceIndex, int32_t* ChipID) = 0;
};
