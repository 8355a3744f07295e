// The few registry operations the settings store needs, shaped like the
// advapi32 calls: advapi32 on Windows, an in-memory registry for tests.
#pragma once

#include <cstdint>
#include <string>

namespace nivora {

using RegistryKey = std::uintptr_t;      // an open key; 0 is none
using RegistryStatus = long;             // 0 is success, as ERROR_SUCCESS

inline constexpr RegistryStatus kRegistrySuccess = 0;
inline constexpr RegistryStatus kRegistryFileNotFound = 2;    // ERROR_FILE_NOT_FOUND
inline constexpr RegistryStatus kRegistryAccessDenied = 5;    // ERROR_ACCESS_DENIED
inline constexpr RegistryStatus kRegistryMoreData = 234;      // ERROR_MORE_DATA

inline constexpr std::uint32_t kRegNone = 0;
inline constexpr std::uint32_t kRegSz = 1;
inline constexpr std::uint32_t kRegBinary = 3;
inline constexpr std::uint32_t kRegDword = 4;
inline constexpr std::uint32_t kRegQword = 11;

// Paths are relative to HKEY_CURRENT_USER.
class Registry {
public:
    virtual ~Registry() = default;
    // Opens an existing key (RegOpenKeyExA with KEY_ALL_ACCESS).
    virtual RegistryStatus OpenKey(const std::string& path, RegistryKey& key) = 0;
    // Opens a key, creating it when absent (RegCreateKeyExA).
    virtual RegistryStatus CreateKey(const std::string& path, RegistryKey& key) = 0;
    // RegQueryValueExA: on entry `size` is the buffer's size; on return the
    // value's type and data size. A value longer than the buffer gives
    // kRegistryMoreData and copies nothing.
    virtual RegistryStatus QueryValue(RegistryKey key, const std::string& name, std::uint32_t& type,
                                      void* data, std::uint32_t& size) = 0;
    // RegSetValueExA with REG_DWORD and 4 bytes of data.
    virtual RegistryStatus SetDword(RegistryKey key, const std::string& name, std::uint32_t value) = 0;
    virtual void CloseKey(RegistryKey key) = 0;
};

}  // namespace nivora
