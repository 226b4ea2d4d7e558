#pragma once
// A registry held in memory. Values are stored as the bytes a query writes;
// a value can be made to report a size of its own or to fail its query.
// Every call is counted so that tests can see keys opened and closed.
#include "about/Registry.h"

#include <QHash>
#include <QList>
#include <QMap>
#include <algorithm>
#include <cstring>
#include <optional>

class MemoryRegistry final : public Registry {
public:
    struct Value {
        uint32_t type = TypeSz;
        QByteArray bytes;
        std::optional<uint32_t> reportedSize;  // the size the query claims to have written
        int32_t queryStatus = Success;
    };

    void AddKey(uint32_t root, const QByteArray& key) { m_keys[{root, key}]; }
    void Set(uint32_t root, const QByteArray& key, const QByteArray& name, const Value& value)
    {
        m_keys[{root, key}][name] = value;
    }

    QList<uint32_t> accessMasks;       // one per OpenKeyEx
    QList<QByteArray> openedKeys;      // successful opens, in order
    QList<QByteArray> queriedValues;   // value names, in order
    int opens = 0;
    int closes = 0;
    QList<Handle> open;                // handles not yet closed

    int32_t OpenKeyEx(uint32_t root, const QByteArray& subKey, uint32_t access, Handle& key) override
    {
        accessMasks << access;
        const auto it = m_keys.find({root, subKey});
        if (it == m_keys.end()) {
            key = 0;
            return NotFound;
        }
        key = ++m_nextHandle;
        m_handles[key] = {root, subKey};
        open << key;
        openedKeys << subKey;
        ++opens;
        return Success;
    }

    int32_t QueryValueEx(Handle key, const QByteArray& valueName, uint32_t& type, char* data,
                         uint32_t& size) override
    {
        queriedValues << valueName;
        if (!m_handles.contains(key))
            return InvalidHandle;
        const auto& values = m_keys[m_handles[key]];
        const auto it = values.find(valueName);
        if (it == values.end())
            return NotFound;
        if (it->queryStatus != Success)
            return it->queryStatus;
        const uint32_t n = static_cast<uint32_t>(it->bytes.size());
        if (n > size) {
            size = n;
            return 234;  // ERROR_MORE_DATA
        }
        std::memcpy(data, it->bytes.constData(), n);
        type = it->type;
        size = it->reportedSize.value_or(n);
        return Success;
    }

    int32_t CloseKey(Handle key) override
    {
        ++closes;
        if (!open.removeOne(key))
            return InvalidHandle;
        return Success;
    }

private:
    using KeyId = std::pair<uint32_t, QByteArray>;
    QMap<KeyId, QMap<QByteArray, Value>> m_keys;
    QHash<Handle, KeyId> m_handles;
    Handle m_nextHandle = 0x100;
};
