// A stand-in for the chip vendor's library: the three functions the device
// information window calls, answering as FakeChipIdScript says.
#include "fake_ftchipid.h"
#include "devinfo/qzChipID.h"
#include <cstring>

FakeScript& FakeChipIdScript() { static FakeScript script; return script; }

extern "C" Q_DECL_EXPORT int32_t QZ_FTCHIPID_CALL FTID_GetNumDevices(int32_t* n)
{
    *n = int32_t(FakeChipIdScript().adapters.size());
    return FakeChipIdScript().countStatus;
}

extern "C" Q_DECL_EXPORT int32_t QZ_FTCHIPID_CALL FTID_GetDeviceDescription(int32_t i, char* buffer, int32_t size)
{
    const FakeAdapter a = FakeChipIdScript().adapters.value(i);
    std::memcpy(buffer, a.desc.constData(), std::min<size_t>(a.desc.size(), size));
    if (a.desc.size() < size)
        buffer[a.desc.size()] = '\0';
    return a.descStatus;
}

#ifndef FAKE_WITHOUT_CHIPID
extern "C" Q_DECL_EXPORT int32_t QZ_FTCHIPID_CALL FTID_GetDeviceChipID(int32_t i, int32_t* chipId)
{
    *chipId = FakeChipIdScript().adapters.value(i).chipId;
    return FakeChipIdScript().adapters.value(i).chipStatus;
}
#endif
