// The settings store's registry on Windows: advapi32 under HKEY_CURRENT_USER,
// or under another open key that tests give it as the root.
#pragma once

#include "host/registry.h"

namespace nivora {

class Win32Registry : public Registry {
public:
    // 0 is HKEY_CURRENT_USER; otherwise an open HKEY, which stays the caller's.
    explicit Win32Registry(RegistryKey root = 0) : root_(root) {}

    RegistryStatus OpenKey(const std::string& path, RegistryKey& key) override;
    RegistryStatus CreateKey(const std::string& path, RegistryKey& key) override;
    RegistryStatus QueryValue(RegistryKey key, const std::string& name, std::uint32_t& type, void* data,
                              std::uint32_t& size) override;
    RegistryStatus SetDword(RegistryKey key, const std::string& name, std::uint32_t value) override;
    void CloseKey(RegistryKey key) override;

private:
    RegistryKey root_;
};

}  // namespace nivora
