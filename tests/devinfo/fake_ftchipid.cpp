// A stand-in for the adapter chip vendor's library: the three functions the
// device information window calls, with results a test scripts through
// FakeChipId_Start and FakeChipId_Device.
#include "devinfo/qzChipID.h"

#include <algorithm>
#include <cstring>
#include <map>
#include <string>

#define FAKE_EXPORT extern "C" Q_DECL_EXPORT

namespace {
struct Device {
    int32_t descStatus = 0, chipStatus = 0, chipId = 0;
    std::string desc;  // the bytes written to the buffer; a NUL follows when there is room
};
int32_t countStatus = 0, count = 0;
std::map<int32_t, Device> devices;
}  // namespace

// A new script with no adapters: the count query's status and count (unwritten when negative).
FAKE_EXPORT void FakeChipId_Start(int32_t status, int32_t n)
{
    countStatus = status;
    count = n;
    devices.clear();
}

FAKE_EXPORT void FakeChipId_Device(int32_t index, int32_t descStatus, const char* desc, int32_t descBytes,
                                   int32_t chipStatus, int32_t chipId)
{
    devices[index] = Device{descStatus, chipStatus, chipId, std::string(desc, static_cast<std::size_t>(descBytes))};
}

FAKE_EXPORT int32_t QZ_FTCHIPID_CALL FTID_GetNumDevices(int32_t* NumDevices)
{
    if (count >= 0)
        *NumDevices = count;
    return countStatus;
}

FAKE_EXPORT int32_t QZ_FTCHIPID_CALL FTID_GetDeviceDescription(int32_t DeviceIndex, char* Description,
                                                               int32_t BufferSize)
{
    const Device& d = devices[DeviceIndex];
    const std::size_t room = std::size_t(std::max(BufferSize, 0)), n = std::min(d.desc.size(), room);
    if (d.descStatus == 0) {
        std::memcpy(Description, d.desc.data(), n);
        if (n < room)
            Description[n] = '\0';
    }
    return d.descStatus;
}

#ifndef FAKE_WITHOUT_CHIPID
FAKE_EXPORT int32_t QZ_FTCHIPID_CALL FTID_GetDeviceChipID(int32_t DeviceIndex, int32_t* ChipID)
{
    const Device& d = devices[DeviceIndex];
    if (d.chipStatus == 0)
        *ChipID = d.chipId;
    return d.chipStatus;
}
#endif
