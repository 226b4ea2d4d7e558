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

    // The values this program needs, named apart from the system headers'
    // macros. LocalMachine is the predefined root HKEY_LOCAL_MACHINE.
    static constexpr uint32_t LocalMachine = 0x80000002u;
    // KEY_READ, read access only (STANDARD_RIGHTS_READ | KEY_QUERY_VALUE |
    // KEY_ENUMERATE_SUB_KEYS | KEY_NOTIFY): a plain user may not open keys under
    // HKEY_LOCAL_MACHINE for writing, and reading a value needs no more.
    static constexpr uint32_t ReadAccess = 0x20019u;
    static constexpr uint32_t WriteRights = 0x00026u;  // KEY_SET_VALUE | KEY_CREATE_SUB_KEY | KEY_CREATE_LINK
    static constexpr uint32_t TypeSz = 1;     // REG_SZ
    static constexpr uint32_t TypeDword = 4;  // REG_DWORD
    static constexpr int32_t Success = 0;
    static constexpr int32_t NotFound = 2;       // ERROR_FILE_NOT_FOUND
    static constexpr int32_t InvalidHandle = 6;  // ERROR_INVALID_HANDLE

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
