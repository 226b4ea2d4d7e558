#pragma once
// The session file's contents: 11 records, each ended by CR LF. Record 1 is
// the saved port number in decimal, records 2 to 11 are empty quoted strings.
// Pure: works on bytes in memory.
#include <QByteArray>
#include <cstdint>

namespace SessionConfigFormat {

inline constexpr int RecordCount = 11;

QByteArray Write(int16_t savedPort);

// True when the data holds at least 11 fields and the first is a 16-bit
// whole number, which then goes to savedPort; fields after the 11th are not
// looked at. savedPort is left alone on false.
bool Read(const QByteArray& data, int16_t& savedPort);

}  // namespace SessionConfigFormat
