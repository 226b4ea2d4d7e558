// An adapter description buffer as the chip vendor's library fills it. The
// buffer is exactly the input's length, so a read past its end is caught.
#include "FuzzCheck.h"
#include "devinfo/DescriptionText.h"

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <memory>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const std::unique_ptr<char[]> buffer(new char[size]);
    std::memcpy(buffer.get(), data, size);

    const QString text = DescriptionText::FromBuffer(buffer.get(), size);
    const size_t length = static_cast<size_t>(text.size());
    FUZZ_CHECK(length <= size);
    FUZZ_CHECK(length == size || buffer[length] == '\0');
    for (size_t i = 0; i < length; ++i)
        FUZZ_CHECK(text.at(static_cast<qsizetype>(i)).unicode() == static_cast<uint8_t>(buffer[i]));
    return 0;
}
