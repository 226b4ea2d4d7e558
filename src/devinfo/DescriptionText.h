#pragma once
// The text of an adapter description buffer: the bytes up to the first NUL,
// or the whole buffer when it holds none. Never reads past size bytes.
#include <QString>
#include <cstddef>

namespace DescriptionText {
QString FromBuffer(const char* buffer, std::size_t size);
}
