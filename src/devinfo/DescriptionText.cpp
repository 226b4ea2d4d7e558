#include "devinfo/DescriptionText.h"

#include <cstring>

namespace DescriptionText {

QString FromBuffer(const char* buffer, std::size_t size)
{
    if (size == 0)
        return {};
    const void* nul = std::memchr(buffer, '\0', size);
    const std::size_t length = nul ? static_cast<std::size_t>(static_cast<const char*>(nul) - buffer) : size;
    // One byte per character.
    return QString::fromLatin1(buffer, static_cast<qsizetype>(length));
}

}  // namespace DescriptionText
