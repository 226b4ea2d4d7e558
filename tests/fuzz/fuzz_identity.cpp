// Bytes off the serial line after "V": the receive filter, then the identity
// line taken apart.
#include "FuzzCheck.h"
#include "link/Identity.h"

#include <cstddef>
#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const QByteArray received(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size));
    const QByteArray kept = Identity::Filter(received);
    FUZZ_CHECK(kept.size() <= received.size());
    for (const char c : kept)
        FUZZ_CHECK(c >= ',' && c <= 'Z');
    FUZZ_CHECK(Identity::Filter(kept) == kept);

    const QString text = QString::fromLatin1(kept);
    const Identity::Line line = Identity::Parse(text);
    FUZZ_CHECK(line.recognised == text.startsWith(QLatin1String("V,QZ")));
    if (!line.recognised) {
        FUZZ_CHECK(line.serialNumber.isEmpty() && line.fwVersion.isEmpty());
    } else {
        // "V," serial ["," third "," firmware]: the pieces are the text again.
        FUZZ_CHECK(line.serialNumber.startsWith(QLatin1String("QZ")));
        FUZZ_CHECK(!line.serialNumber.contains(u','));
        FUZZ_CHECK(text.startsWith(QLatin1String("V,") + line.serialNumber));
        FUZZ_CHECK(text.endsWith(line.fwVersion));
        if (text.count(u',') >= 3) {
            const qsizetype third = 2 + line.serialNumber.size() + 1;
            const QString middle = text.mid(third, text.size() - third - line.fwVersion.size() - 1);
            FUZZ_CHECK(!middle.contains(u','));
            FUZZ_CHECK(text.at(text.size() - line.fwVersion.size() - 1) == u',');
        } else {
            FUZZ_CHECK(line.fwVersion.isEmpty());
        }
    }

    // Unfiltered text must not trouble the parser either.
    const QString raw = QString::fromLatin1(received);
    FUZZ_CHECK(Identity::Parse(raw).recognised == raw.startsWith(QLatin1String("V,QZ")));
    return 0;
}
