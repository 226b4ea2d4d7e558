// A registry query's result as GetKeyValue receives it. Input layout: one byte
// choosing the value type, four bytes of the size the query reported (least
// significant first), then the buffer's contents; the buffer is exactly as
// long as those contents, so a read past its end is caught.
#include "FuzzCheck.h"
#include "about/Registry.h"
#include "about/RegistryValueText.h"

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <memory>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (size < 5)
        return 0;
    const uint32_t types[] = {Registry::TypeSz, Registry::TypeDword, 0, 3, 7};
    const uint32_t type = types[data[0] % 5];
    const uint32_t written = data[1] | data[2] << 8 | data[3] << 16 | static_cast<uint32_t>(data[4]) << 24;
    const uint32_t capacity = static_cast<uint32_t>(size - 5);
    const std::unique_ptr<char[]> buffer(new char[capacity]);
    std::memcpy(buffer.get(), data + 5, capacity);

    const QByteArray text = RegistryValueText::Text(buffer.get(), capacity, written);
    FUZZ_CHECK(static_cast<uint64_t>(text.size()) <= std::min(written, capacity));
    FUZZ_CHECK(std::memcmp(text.constData(), buffer.get(), static_cast<size_t>(text.size())) == 0);

    QString keyVal = QStringLiteral("before");
    RegistryValueText::Apply(buffer.get(), capacity, written, type, keyVal);
    if (type == Registry::TypeSz) {
        FUZZ_CHECK(keyVal.size() <= text.size());
    } else if (type == Registry::TypeDword) {
        bool ok = false;
        const uint32_t number = keyVal.toUInt(&ok);
        FUZZ_CHECK(ok);
        uint8_t low[4] = {};
        std::memcpy(low, buffer.get(), std::min({written, capacity, 4u}));
        FUZZ_CHECK(number == (low[0] | low[1] << 8 | low[2] << 16 | static_cast<uint32_t>(low[3]) << 24));
    } else {
        FUZZ_CHECK(keyVal == QLatin1String("before"));
    }
    return 0;
}
