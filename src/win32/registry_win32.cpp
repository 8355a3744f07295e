#include "win32/registry_win32.h"

#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#include <windows.h>

namespace nivora {

namespace {

HKEY ToHkey(RegistryKey key) { return reinterpret_cast<HKEY>(key); }
RegistryKey FromHkey(HKEY key) { return reinterpret_cast<RegistryKey>(key); }
HKEY Root(RegistryKey root) { return root == 0 ? HKEY_CURRENT_USER : ToHkey(root); }

}  // namespace

RegistryStatus Win32Registry::OpenKey(const std::string& path, RegistryKey& key) {
    HKEY opened = nullptr;
    const LONG status = RegOpenKeyExA(Root(root_), path.c_str(), 0, KEY_ALL_ACCESS, &opened);
    if (status == ERROR_SUCCESS) key = FromHkey(opened);
    return status;
}

RegistryStatus Win32Registry::CreateKey(const std::string& path, RegistryKey& key) {
    HKEY opened = nullptr;
    const LONG status = RegCreateKeyExA(Root(root_), path.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr,
                                        &opened, nullptr);
    if (status == ERROR_SUCCESS) key = FromHkey(opened);
    return status;
}

RegistryStatus Win32Registry::QueryValue(RegistryKey key, const std::string& name, std::uint32_t& type, void* data,
                                         std::uint32_t& size) {
    DWORD valueType = REG_NONE;
    DWORD valueSize = size;
    const LONG status =
        RegQueryValueExA(ToHkey(key), name.c_str(), nullptr, &valueType, static_cast<LPBYTE>(data), &valueSize);
    type = valueType;
    size = valueSize;
    return status;
}

RegistryStatus Win32Registry::SetDword(RegistryKey key, const std::string& name, std::uint32_t value) {
    // REG_DWORD data is little-endian whatever the host.
    const BYTE data[4] = {static_cast<BYTE>(value), static_cast<BYTE>(value >> 8), static_cast<BYTE>(value >> 16),
                          static_cast<BYTE>(value >> 24)};
    return RegSetValueExA(ToHkey(key), name.c_str(), 0, REG_DWORD, data, sizeof data);
}

void Win32Registry::CloseKey(RegistryKey key) { RegCloseKey(ToHkey(key)); }

}  // namespace nivora
