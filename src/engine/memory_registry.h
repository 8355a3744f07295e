// A registry held in memory with advapi32's result codes, for tests and for
// native builds that have no Windows registry. Besides the Registry calls it
// has hooks to plant odd values, delete values and keys, make calls fail, and
// count the keys opened and closed.
#pragma once

#include <cstdint>
#include <map>
#include <memory>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include "engine/registry.h"

namespace nivora {

inline constexpr RegistryStatus kRegistryInvalidHandle = 6;   // ERROR_INVALID_HANDLE
inline constexpr RegistryStatus kRegistryKeyDeleted = 1018;   // ERROR_KEY_DELETED

struct RegistryValue {
    std::uint32_t type = kRegNone;
    std::vector<std::uint8_t> data;
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

    // OpenKey and CreateKey answer ERROR_ACCESS_DENIED while set.
    void DenyKeyAccess(bool deny) { denyKeyAccess_ = deny; }
    // SetDword of this value name answers ERROR_ACCESS_DENIED.
    void FailWritesOf(const std::string& name) { failingWrites_.insert(Lower(name)); }

    int OpensSucceeded() const { return opens_; }
    int Closes() const { return closes_; }
    int OpenHandles() const { return static_cast<int>(handles_.size()); }
    // Closes of a handle that was not open.
    int BadCloses() const { return badCloses_; }
    // Every path passed to OpenKey or CreateKey, as given.
    const std::vector<std::string>& RequestedPaths() const { return requestedPaths_; }

private:
    struct Key {
        bool deleted = false;
        std::map<std::string, RegistryValue> values;  // by lower-case name
    };

    static std::string Lower(const std::string& text);
    static std::string Normalise(const std::string& path);
    Key* FindKey(const std::string& path) const;
    const std::shared_ptr<Key>& MakeKey(const std::string& path);
    RegistryKey NewHandle(const std::shared_ptr<Key>& key);
    RegistryStatus Resolve(RegistryKey handle, Key*& key) const;

    std::map<std::string, std::shared_ptr<Key>> keys_;  // normalised path -> key
    std::map<RegistryKey, std::shared_ptr<Key>> handles_;
    RegistryKey nextHandle_ = 0x100;
    bool denyKeyAccess_ = false;
    std::set<std::string> failingWrites_;
    int opens_ = 0;
    int closes_ = 0;
    int badCloses_ = 0;
    std::vector<std::string> requestedPaths_;
};

}  // namespace nivora
