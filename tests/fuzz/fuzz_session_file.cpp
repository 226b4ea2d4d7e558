// The session file as read back from disk.
#include "shell/SessionConfigFormat.h"
#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    int16_t port = 12345;
    if (!SessionConfigFormat::Read(QByteArray(reinterpret_cast<const char*>(data), qsizetype(size)), port) &&
        port != 12345)
        std::abort();  // a file that fails to load leaves the port alone
    return 0;
}
