// A registry held in memory with advapi32's result codes, for the native tests
// and the fuzzers. Besides the Registry calls it has hooks to plant odd values
// and to delete values and keys. The store's tests run against it and against
// advapi32 (under Wine) with the same bodies, so any difference in its answers
// shows as a failure there. Failing calls and counting keys is the job of
// InstrumentedRegistry, which wraps either.
#pragma once

#include <cstdint>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "host/registry.h"

namespace nivora {

inline constexpr RegistryStatus kRegistryInvalidHandle = 6;   // ERROR_INVALID_HANDLE
inline constexpr RegistryStatus kRegistryKeyDeleted = 1018;   // ERROR_KEY_DELETED

struct RegistryValue {
    std::uint32_t type = kRegNone;
    std::vector<std::uint8_t> data;

    bool operator==(const RegistryValue&) const = default;
};

class MemoryRegistry : public Registry {
public:
    RegistryStatus OpenKey(const std::string& path, RegistryKey& key) override;
    RegistryStatus CreateKey(const std::string& path, RegistryKey& key) override;
    RegistryStatus QueryValue(RegistryKey key, const std::string& name, std::uint32_t& type, void* data,
                              std::uint32_t& size) override;
    RegistryStatus SetDword(RegistryKey key, const std::string& name, std::uint32_t value) override;
    void CloseKey(RegistryKey key) override;

    // Test hooks. Paths are case-insensitive; a trailing backslash is ignored.
    void PutValue(const std::string& path, const std::string& name, std::uint32_t type,
                  std::vector<std::uint8_t> data);
    void PutDword(const std::string& path, const std::string& name, std::uint32_t value);
    // REG_SZ with its terminating zero, as the system stores it.
    void PutString(const std::string& path, const std::string& name, const std::string& text);
    void DeleteValue(const std::string& path, const std::string& name);
    // Deletes the key and its subkeys; handles still open on it then fail.
    void DeleteKey(const std::string& path);
    bool HasKey(const std::string& path) const;
    std::optional<RegistryValue> ReadValue(const std::string& path, const std::string& name) const;
    // The value when it is a REG_DWORD of 4 bytes, otherwise nothing.
    std::optional<std::uint32_t> ReadDword(const std::string& path, const std::string& name) const;
    // Number of values in the key (0 when absent).
    std::size_t ValueCount(const std::string& path) const;
    // Every value of a key by lower-case name; empty when the key is absent.
    std::map<std::string, RegistryValue> Values(const std::string& path) const;
    int OpenHandles() const { return static_cast<int>(handles_.size()); }

private:
    struct Key {
        bool deleted = false;
        std::map<std::string, RegistryValue> values;  // by lower-case name
    };

public:
    static std::string Lower(const std::string& text);

private:
    static std::string Normalise(const std::string& path);
    Key* FindKey(const std::string& path) const;
    const std::shared_ptr<Key>& MakeKey(const std::string& path);
    RegistryKey NewHandle(const std::shared_ptr<Key>& key);
    RegistryStatus Resolve(RegistryKey handle, Key*& key) const;

    std::map<std::string, std::shared_ptr<Key>> keys_;  // normalised path -> key
    std::map<RegistryKey, std::shared_ptr<Key>> handles_;
    RegistryKey nextHandle_ = 0x100;
};

}  // namespace nivora
