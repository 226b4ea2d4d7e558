#pragma once
// The Windows registry through RegOpenKeyExA, RegQueryValueExA and RegCloseKey.
#include <QtGlobal>

#ifdef Q_OS_WIN
#include "about/Registry.h"

class WinRegistry final : public Registry {
public:
    int32_t OpenKeyEx(uint32_t root, const QByteArray& subKey, uint32_t access, Handle& key) override;
    int32_t QueryValueEx(Handle key, const QByteArray& valueName, uint32_t& type, char* data,
                         uint32_t& size) override;
    int32_t CloseKey(Handle key) override;
};
#endif
