#pragma once
// A registry that holds nothing: every key is missing. It is the registry of
// systems that have none, where the system-information action therefore ends
// in its "unavailable" message.
#include "about/Registry.h"

class NullRegistry final : public Registry {
public:
    int32_t OpenKeyEx(uint32_t root, const QByteArray& subKey, uint32_t access, Handle& key) override;
    int32_t QueryValueEx(Handle key, const QByteArray& valueName, uint32_t& type, char* data,
                         uint32_t& size) override;
    int32_t CloseKey(Handle key) override;
};
