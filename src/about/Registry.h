#pragma once
// The system registry as the About window's system-information action uses it:
// the three calls of the operating system's registry interface, with the same
// arguments and results, so that the buffer handling stays in the program and
// can be tested against a registry held in memory.
#include <QByteArray>
#include <cstdint>

class Registry {
public:
    using Handle = quintptr;  // an opened key; meaningful only to the registry that opened it

    // Predefined root keys and the values this program needs.
    static constexpr uint32_t HKEY_LOCAL_MACHINE = 0x80000002u;
    // Read access only (STANDARD_RIGHTS_READ | KEY_QUERY_VALUE |
    // KEY_ENUMERATE_SUB_KEYS | KEY_NOTIFY): a plain user may not open keys under
    // HKEY_LOCAL_MACHINE for writing, and reading a value needs no more.
    static constexpr uint32_t KEY_READ = 0x20019u;
    static constexpr uint32_t KEY_WRITE_RIGHTS = 0x00026u;  // KEY_SET_VALUE | KEY_CREATE_SUB_KEY | KEY_CREATE_LINK
    static constexpr uint32_t REG_SZ = 1;
    static constexpr uint32_t REG_DWORD = 4;
    static constexpr int32_t ERROR_SUCCESS = 0;
    static constexpr int32_t ERROR_FILE_NOT_FOUND = 2;
    static constexpr int32_t ERROR_INVALID_HANDLE = 6;

    virtual ~Registry() = default;

    // RegOpenKeyExA: opens subKey under root; 0 on success, when key is set.
    virtual int32_t OpenKeyEx(uint32_t root, const QByteArray& subKey, uint32_t access, Handle& key) = 0;
    // RegQueryValueExA: on entry size is the capacity of data; on success it is
    // the number of bytes written and type holds the value's type.
    virtual int32_t QueryValueEx(Handle key, const QByteArray& valueName, uint32_t& type, char* data,
                                 uint32_t& size) = 0;
    // RegCloseKey.
    virtual int32_t CloseKey(Handle key) = 0;
};
