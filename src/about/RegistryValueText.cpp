#include "about/RegistryValueText.h"

#include "about/Registry.h"

#include <algorithm>

namespace RegistryValueText {

QByteArray Text(const char* buffer, uint32_t capacity, uint32_t written)
{
    uint32_t n = std::min(written, capacity);
    if (n >= 1 && buffer[n - 1] == '\0')
        --n;
    return QByteArray(buffer, static_cast<qsizetype>(n));
}

void Apply(const char* buffer, uint32_t capacity, uint32_t written, uint32_t type, QString& KeyVal)
{
    if (type == Registry::TypeSz) {
        KeyVal = QString::fromLocal8Bit(Text(buffer, capacity, written));
    } else if (type == Registry::TypeDword) {
        // A short value counts its missing high bytes as zero.
        const uint32_t n = std::min({written, capacity, 4u});
        uint32_t value = 0;
        for (uint32_t i = 0; i < n; ++i)
            value |= static_cast<uint32_t>(static_cast<unsigned char>(buffer[i])) << (8 * i);
        KeyVal = QString::number(value);
    }
}

}  // namespace RegistryValueText
