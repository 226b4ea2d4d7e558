// An adapter description buffer exactly the input's length, so that a read
// past its end is caught; the text stops at the first NUL.
#include "devinfo/DescriptionText.h"
#include <cstdlib>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const std::vector<char> buffer(data, data + size);
    const auto length = size_t(DescriptionText::FromBuffer(buffer.data(), size).size());
    if (length > size || (length < size && buffer[length] != '\0'))
        std::abort();
    return 0;
}
