// A stand-in for the adapter chip vendor's library: the three functions the
// device information window calls, with results a test scripts through the
// FakeChipId_* functions, and a log of the calls made.
#include "devinfo/qzChipID.h"

#include <cstring>
#include <map>
#include <string>

#if defined(_WIN32)
#define FAKE_EXPORT extern "C" __declspec(dllexport)
#else
#define FAKE_EXPORT extern "C" __attribute__((visibility("default")))
#endif

namespace {

struct Device {
    int32_t descStatus = 0;
    std::string desc;  // bytes written to the buffer, a NUL follows when there is room
    int32_t chipStatus = 0;
    int32_t chipId = 0;
};

struct Script {
    int32_t countStatus = 0;
    int32_t count = 0;
    bool writeCount = true;
    std::map<int32_t, Device> devices;
    std::string log;
};

Script& State()
{
    static Script s;
    return s;
}

}  // namespace

FAKE_EXPORT void FakeChipId_Reset()
{
    State() = Script{};
}

// The count query's result; writeCount says whether it fills in the count.
FAKE_EXPORT void FakeChipId_SetCount(int32_t status, int32_t count, int32_t writeCount)
{
    State().countStatus = status;
    State().count = count;
    State().writeCount = writeCount != 0;
}

// descBytes bytes of desc go into the caller's buffer (at most its size).
FAKE_EXPORT void FakeChipId_SetDevice(int32_t index, int32_t descStatus, const char* desc, int32_t descBytes,
                                      int32_t chipStatus, int32_t chipId)
{
    Device d;
    d.descStatus = descStatus;
    d.desc.assign(desc, static_cast<std::size_t>(descBytes));
    d.chipStatus = chipStatus;
    d.chipId = chipId;
    State().devices[index] = d;
}

// "N;" per count query, "D<index>:<buffer size>;" per description query,
// "C<index>;" per chip-ID query, in the order made.
FAKE_EXPORT const char* FakeChipId_CallLog()
{
    return State().log.c_str();
}

FAKE_EXPORT int32_t QZ_FTCHIPID_CALL FTID_GetNumDevices(int32_t* NumDevices)
{
    Script& s = State();
    s.log += "N;";
    if (s.writeCount)
        *NumDevices = s.count;
    return s.countStatus;
}

FAKE_EXPORT int32_t QZ_FTCHIPID_CALL FTID_GetDeviceDescription(int32_t DeviceIndex, char* Description,
                                                               int32_t BufferSize)
{
    Script& s = State();
    s.log += "D" + std::to_string(DeviceIndex) + ":" + std::to_string(BufferSize) + ";";
    const auto it = s.devices.find(DeviceIndex);
    if (it == s.devices.end())
        return 2;
    if (it->second.descStatus != 0)
        return it->second.descStatus;
    const std::string& text = it->second.desc;
    const std::size_t room = BufferSize > 0 ? static_cast<std::size_t>(BufferSize) : 0;
    const std::size_t n = text.size() < room ? text.size() : room;
    std::memcpy(Description, text.data(), n);
    if (n < room)
        Description[n] = '\0';
    return 0;
}

#ifndef FAKE_WITHOUT_CHIPID
FAKE_EXPORT int32_t QZ_FTCHIPID_CALL FTID_GetDeviceChipID(int32_t DeviceIndex, int32_t* ChipID)
{
    Script& s = State();
    s.log += "C" + std::to_string(DeviceIndex) + ";";
    const auto it = s.devices.find(DeviceIndex);
    if (it == s.devices.end())
        return 2;
    if (it->second.chipStatus != 0)
        return it->second.chipStatus;
    *ChipID = it->second.chipId;
    return 0;
}
#endif
