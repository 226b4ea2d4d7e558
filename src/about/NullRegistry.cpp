#include "about/NullRegistry.h"

int32_t NullRegistry::OpenKeyEx(uint32_t, const QByteArray&, uint32_t, Handle& key)
{
    key = 0;
    return NotFound;
}

int32_t NullRegistry::QueryValueEx(Handle, const QByteArray&, uint32_t&, char*, uint32_t&)
{
    return InvalidHandle;
}

int32_t NullRegistry::CloseKey(Handle)
{
    return InvalidHandle;
}
