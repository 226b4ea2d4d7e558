#include "about/WinRegistry.h"

#ifdef Q_OS_WIN
#include <windows.h>

namespace {

// The predefined roots are 32-bit values that Windows sign-extends to the
// width of a handle (HKEY_LOCAL_MACHINE is (HKEY)(ULONG_PTR)(LONG)0x80000002).
HKEY RootHandle(uint32_t root)
{
    return reinterpret_cast<HKEY>(static_cast<LONG_PTR>(static_cast<LONG>(root)));
}

}  // namespace

int32_t WinRegistry::OpenKeyEx(uint32_t root, const QByteArray& subKey, uint32_t access, Handle& key)
{
    HKEY opened = nullptr;
    const LONG rc = RegOpenKeyExA(RootHandle(root), subKey.constData(), 0, static_cast<REGSAM>(access), &opened);
    key = rc == ERROR_SUCCESS ? reinterpret_cast<Handle>(opened) : 0;
    return static_cast<int32_t>(rc);
}

int32_t WinRegistry::QueryValueEx(Handle key, const QByteArray& valueName, uint32_t& type, char* data,
                                  uint32_t& size)
{
    DWORD valueType = 0;
    DWORD valueSize = size;
    const LONG rc = RegQueryValueExA(reinterpret_cast<HKEY>(key), valueName.constData(), nullptr, &valueType,
                                     reinterpret_cast<LPBYTE>(data), &valueSize);
    type = valueType;
    size = valueSize;
    return static_cast<int32_t>(rc);
}

int32_t WinRegistry::CloseKey(Handle key)
{
    return static_cast<int32_t>(RegCloseKey(reinterpret_cast<HKEY>(key)));
}
#endif
