#pragma once
// Declarations of the USB adapter chip vendor's library FTChipID, as this
// program calls it. Every function returns a 32-bit status, 0 for success.
#include <QtGlobal>
#include <cstdint>

#if defined(Q_OS_WIN) && defined(Q_PROCESSOR_X86_32)
#define QZ_FTCHIPID_CALL __stdcall
#else
#define QZ_FTCHIPID_CALL
#endif

namespace qzChipID {

// FTID_GetNumDevices(&NumDevices)
using GetNumDevicesFn = int32_t(QZ_FTCHIPID_CALL*)(int32_t* NumDevices);
// FTID_GetDeviceDescription(DeviceIndex, Description, BufferSize): fills the
// buffer with the adapter's description as NUL-terminated text.
using GetDeviceDescriptionFn = int32_t(QZ_FTCHIPID_CALL*)(int32_t DeviceIndex, char* Description,
                                                          int32_t BufferSize);
// FTID_GetDeviceChipID(DeviceIndex, &ChipID)
using GetDeviceChipIDFn = int32_t(QZ_FTCHIPID_CALL*)(int32_t DeviceIndex, int32_t* ChipID);

inline constexpr const char* GetNumDevicesName = "FTID_GetNumDevices";
inline constexpr const char* GetDeviceDescriptionName = "FTID_GetDeviceDescription";
inline constexpr const char* GetDeviceChipIDName = "FTID_GetDeviceChipID";

inline constexpr int32_t DescriptionBufferSize = 256;

}  // namespace qzChipID
