#include "support/memory_registry.h"

#include <cstring>

namespace nivora {

std::string MemoryRegistry::Lower(const std::string& text) {
    std::string lower = text;
    for (char& c : lower)
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    return lower;
}

std::string MemoryRegistry::Normalise(const std::string& path) {
    std::string normal = Lower(path);
    while (!normal.empty() && normal.back() == '\\') normal.pop_back();
    return normal;
}

MemoryRegistry::Key* MemoryRegistry::FindKey(const std::string& path) const {
    const auto found = keys_.find(Normalise(path));
    return found == keys_.end() ? nullptr : found->second.get();
}

const std::shared_ptr<MemoryRegistry::Key>& MemoryRegistry::MakeKey(const std::string& path) {
    // As RegCreateKeyEx: the keys above it are created too.
    const std::string normal = Normalise(path);
    for (std::size_t slash = normal.find('\\'); slash != std::string::npos; slash = normal.find('\\', slash + 1)) {
        auto& parent = keys_[normal.substr(0, slash)];
        if (!parent) parent = std::make_shared<Key>();
    }
    auto& slot = keys_[normal];
    if (!slot) slot = std::make_shared<Key>();
    return slot;
}

RegistryKey MemoryRegistry::NewHandle(const std::shared_ptr<Key>& key) {
    const RegistryKey handle = nextHandle_;
    nextHandle_ += 4;
    handles_[handle] = key;
    return handle;
}

RegistryStatus MemoryRegistry::Resolve(RegistryKey handle, Key*& key) const {
    const auto found = handles_.find(handle);
    if (found == handles_.end()) return kRegistryInvalidHandle;
    if (found->second->deleted) return kRegistryKeyDeleted;
    key = found->second.get();
    return kRegistrySuccess;
}

RegistryStatus MemoryRegistry::OpenKey(const std::string& path, RegistryKey& key) {
    const auto found = keys_.find(Normalise(path));
    if (found == keys_.end()) return kRegistryFileNotFound;
    key = NewHandle(found->second);
    return kRegistrySuccess;
}

RegistryStatus MemoryRegistry::CreateKey(const std::string& path, RegistryKey& key) {
    key = NewHandle(MakeKey(path));
    return kRegistrySuccess;
}

RegistryStatus MemoryRegistry::QueryValue(RegistryKey handle, const std::string& name, std::uint32_t& type,
                                          void* data, std::uint32_t& size) {
    Key* key = nullptr;
    if (const RegistryStatus status = Resolve(handle, key); status != kRegistrySuccess) return status;
    const auto found = key->values.find(Lower(name));
    if (found == key->values.end()) return kRegistryFileNotFound;
    const RegistryValue& value = found->second;
    const auto needed = static_cast<std::uint32_t>(value.data.size());
    type = value.type;
    // As advapi32: a too-small buffer still learns the type and the size it needs.
    const bool fits = needed <= size;
    size = needed;
    if (data == nullptr) return kRegistrySuccess;
    if (!fits) return kRegistryMoreData;
    if (needed != 0) std::memcpy(data, value.data.data(), needed);
    return kRegistrySuccess;
}

RegistryStatus MemoryRegistry::SetDword(RegistryKey handle, const std::string& name, std::uint32_t value) {
    Key* key = nullptr;
    if (const RegistryStatus status = Resolve(handle, key); status != kRegistrySuccess) return status;
    RegistryValue stored;
    stored.type = kRegDword;
    stored.data = {static_cast<std::uint8_t>(value), static_cast<std::uint8_t>(value >> 8),
                   static_cast<std::uint8_t>(value >> 16), static_cast<std::uint8_t>(value >> 24)};
    key->values[Lower(name)] = std::move(stored);
    return kRegistrySuccess;
}

void MemoryRegistry::CloseKey(RegistryKey handle) { handles_.erase(handle); }

void MemoryRegistry::PutValue(const std::string& path, const std::string& name, std::uint32_t type,
                              std::vector<std::uint8_t> data) {
    MakeKey(path)->values[Lower(name)] = RegistryValue{type, std::move(data)};
}

void MemoryRegistry::PutDword(const std::string& path, const std::string& name, std::uint32_t value) {
    PutValue(path, name, kRegDword,
             {static_cast<std::uint8_t>(value), static_cast<std::uint8_t>(value >> 8),
              static_cast<std::uint8_t>(value >> 16), static_cast<std::uint8_t>(value >> 24)});
}

void MemoryRegistry::PutString(const std::string& path, const std::string& name, const std::string& text) {
    std::vector<std::uint8_t> data(text.begin(), text.end());
    data.push_back(0);
    PutValue(path, name, kRegSz, std::move(data));
}

void MemoryRegistry::DeleteValue(const std::string& path, const std::string& name) {
    if (Key* key = FindKey(path)) key->values.erase(Lower(name));
}

void MemoryRegistry::DeleteKey(const std::string& path) {
    const std::string normal = Normalise(path);
    for (auto it = keys_.begin(); it != keys_.end();) {
        const std::string& candidate = it->first;
        const bool isKeyOrSubkey =
            candidate == normal || (candidate.size() > normal.size() && candidate.compare(0, normal.size(), normal) == 0 &&
                                    candidate[normal.size()] == '\\');
        if (isKeyOrSubkey) {
            it->second->deleted = true;
            it = keys_.erase(it);
        } else {
            ++it;
        }
    }
}

bool MemoryRegistry::HasKey(const std::string& path) const { return FindKey(path) != nullptr; }

std::optional<RegistryValue> MemoryRegistry::ReadValue(const std::string& path, const std::string& name) const {
    const Key* key = FindKey(path);
    if (key == nullptr) return std::nullopt;
    const auto found = key->values.find(Lower(name));
    if (found == key->values.end()) return std::nullopt;
    return found->second;
}

std::optional<std::uint32_t> MemoryRegistry::ReadDword(const std::string& path, const std::string& name) const {
    const auto value = ReadValue(path, name);
    if (!value || value->type != kRegDword || value->data.size() != 4) return std::nullopt;
    return static_cast<std::uint32_t>(value->data[0]) | static_cast<std::uint32_t>(value->data[1]) << 8 |
           static_cast<std::uint32_t>(value->data[2]) << 16 | static_cast<std::uint32_t>(value->data[3]) << 24;
}

std::size_t MemoryRegistry::ValueCount(const std::string& path) const {
    const Key* key = FindKey(path);
    return key == nullptr ? 0 : key->values.size();
}

std::map<std::string, RegistryValue> MemoryRegistry::Values(const std::string& path) const {
    const Key* key = FindKey(path);
    return key == nullptr ? std::map<std::string, RegistryValue>{} : key->values;
}

}  // namespace nivora
