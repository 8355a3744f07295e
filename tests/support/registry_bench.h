// What the settings store's tests run against: a registry, the means to arrange
// and inspect its keys behind the store's back, and a wrapper that counts keys
// and fails calls on request. The same test bodies run on the in-memory
// registry everywhere and on advapi32 in the Windows build (under Wine), so
// the in-memory registry cannot drift from the real one unnoticed.
#pragma once

#include <cstdint>
#include <map>
#include <memory>
#include <set>
#include <string>
#include <vector>

#include "host/registry.h"
#include "support/memory_registry.h"

namespace nivora {

class RegistryBench {
public:
    virtual ~RegistryBench() = default;
    // The registry itself, rooted where the bench arranges its keys.
    virtual Registry& Target() = 0;

    virtual void PutValue(const std::string& path, const std::string& name, std::uint32_t type,
                          const std::vector<std::uint8_t>& data) = 0;
    virtual void DeleteValue(const std::string& path, const std::string& name) = 0;
    // The key with its values and subkeys.
    virtual void DeleteKey(const std::string& path) = 0;
    virtual bool HasKey(const std::string& path) = 0;
    // Every value of a key by lower-case name; empty when the key is absent.
    virtual std::map<std::string, RegistryValue> Values(const std::string& path) = 0;

    void PutDword(const std::string& path, const std::string& name, std::uint32_t value);
    // REG_SZ with its terminating zero, as the system stores it.
    void PutString(const std::string& path, const std::string& name, const std::string& text);
    std::optional<RegistryValue> ReadValue(const std::string& path, const std::string& name);
    // The value when it is a REG_DWORD of 4 bytes, otherwise nothing.
    std::optional<std::uint32_t> ReadDword(const std::string& path, const std::string& name);
    std::size_t ValueCount(const std::string& path) { return Values(path).size(); }
};

// "memory" everywhere; "advapi32" too on Windows, rooted at a scratch key under
// HKEY_CURRENT_USER that is deleted with the bench.
std::vector<std::string> BenchNames();
std::unique_ptr<RegistryBench> MakeBench(const std::string& name);

// Passes every call to another registry, counting the keys opened and closed,
// recording the paths asked for, and failing the calls it is told to.
class InstrumentedRegistry : public Registry {
public:
    explicit InstrumentedRegistry(Registry& inner) : inner_(inner) {}

    RegistryStatus OpenKey(const std::string& path, RegistryKey& key) override;
    RegistryStatus CreateKey(const std::string& path, RegistryKey& key) override;
    RegistryStatus QueryValue(RegistryKey key, const std::string& name, std::uint32_t& type, void* data,
                              std::uint32_t& size) override;
    RegistryStatus SetDword(RegistryKey key, const std::string& name, std::uint32_t value) override;
    void CloseKey(RegistryKey key) override;

    // OpenKey and CreateKey answer ERROR_ACCESS_DENIED while set.
    void DenyKeyAccess(bool deny) { denyKeyAccess_ = denyOpen_ = deny; }
    // OpenKey alone answers ERROR_ACCESS_DENIED while set.
    void DenyOpenKey(bool deny) { denyOpen_ = deny; }
    // SetDword of this value name answers ERROR_ACCESS_DENIED.
    void FailWritesOf(const std::string& name) { failingWrites_.insert(MemoryRegistry::Lower(name)); }

    int OpensSucceeded() const { return opens_; }
    int Closes() const { return closes_; }
    int OpenHandles() const { return static_cast<int>(open_.size()); }
    // Closes of a handle that was not open (not passed on).
    int BadCloses() const { return badCloses_; }
    // Every path passed to OpenKey or CreateKey, as given.
    const std::vector<std::string>& RequestedPaths() const { return requestedPaths_; }

private:
    Registry& inner_;
    bool denyKeyAccess_ = false;
    bool denyOpen_ = false;
    std::set<std::string> failingWrites_;
    std::set<RegistryKey> open_;
    int opens_ = 0;
    int closes_ = 0;
    int badCloses_ = 0;
    std::vector<std::string> requestedPaths_;
};

}  // namespace nivora
