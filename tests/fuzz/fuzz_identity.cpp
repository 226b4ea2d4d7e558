// Bytes off the serial line after "V": the receive filter, then the identity
// line taken apart.
#include "link/Identity.h"
#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const QByteArray kept = Identity::Filter(QByteArray(reinterpret_cast<const char*>(data), qsizetype(size)));
    const QString text = QString::fromLatin1(kept);
    if (Identity::Parse(text).recognised != text.startsWith(QLatin1String("V,QZ")))
        std::abort();
    return 0;
}
