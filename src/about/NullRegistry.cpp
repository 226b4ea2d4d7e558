#include "about/NullRegistry.h"

int32_t NullRegistry::OpenKeyEx(uint32_t, const QByteArray&, uint32_t, Handle& key)
{
    key = 0;
    return ERROR_FILE_NOT_FOUND;
}

int32_t NullRegistry::QueryValueEx(Handle, const QByteArray&, uint32_t&, char*, uint32_t&)
{
    return ERROR_INVALID_HANDLE;
}

int32_t NullRegistry::CloseKey(Handle)
{
    return ERROR_INVALID_HANDLE;
}
