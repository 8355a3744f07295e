// The settings store's registry on Windows: advapi32 under HKEY_CURRENT_USER.
#pragma once

#include "engine/registry.h"

namespace nivora {

class Win32Registry : public Registry {
public:
    RegistryStatus OpenKey(const std::string& path, RegistryKey& key) override;
    RegistryStatus CreateKey(const std::string& path, RegistryKey& key) override;
    RegistryStatus QueryValue(RegistryKey key, const std::string& name, std::uint32_t& type, void* data,
                              std::uint32_t& size) override;
    RegistryStatus SetDword(RegistryKey key, const std::string& name, std::uint32_t value) override;
    void CloseKey(RegistryKey key) override;
};

}  // namespace nivora
