// A registry query's result as GetKeyValue gets it: a type byte, the reported size (4 bytes, least
// significant first), then the buffer, exactly as long as the rest so that a read past its end is caught.
#include "about/RegistryValueText.h"
#include <cstdlib>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (size < 5)
        return 0;
    const uint32_t written = data[1] | data[2] << 8 | data[3] << 16 | uint32_t(data[4]) << 24;
    const std::vector<char> buffer(data + 5, data + size);
    const auto capacity = uint32_t(buffer.size());
    if (uint32_t(RegistryValueText::Text(buffer.data(), capacity, written).size()) > std::min(written, capacity))
        std::abort();
    QString keyVal;
    RegistryValueText::Apply(buffer.data(), capacity, written, data[0], keyVal);  // 1: text, 4: number
    return 0;
}
