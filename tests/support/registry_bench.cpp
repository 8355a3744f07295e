#include "support/registry_bench.h"

#ifdef _WIN32
#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#include <windows.h>

#include <stdexcept>

#include "win32/registry_win32.h"
#endif

namespace nivora {

namespace {

std::uint32_t LittleEndian(const std::vector<std::uint8_t>& data) {
    return static_cast<std::uint32_t>(data[0]) | static_cast<std::uint32_t>(data[1]) << 8 |
           static_cast<std::uint32_t>(data[2]) << 16 | static_cast<std::uint32_t>(data[3]) << 24;
}

class MemoryBench : public RegistryBench {
public:
    Registry& Target() override { return registry_; }
    void PutValue(const std::string& path, const std::string& name, std::uint32_t type,
                  const std::vector<std::uint8_t>& data) override {
        registry_.PutValue(path, name, type, data);
    }
    void DeleteValue(const std::string& path, const std::string& name) override { registry_.DeleteValue(path, name); }
    void DeleteKey(const std::string& path) override { registry_.DeleteKey(path); }
    bool HasKey(const std::string& path) override { return registry_.HasKey(path); }
    std::map<std::string, RegistryValue> Values(const std::string& path) override { return registry_.Values(path); }

private:
    MemoryRegistry registry_;
};

#ifdef _WIN32
// The real registry, under HKCU\Software\NivoraGladeTests\<process id> so
// that the tests never touch the settings of the user running them.
class Advapi32Bench : public RegistryBench {
public:
    Advapi32Bench() {
        scratch_ = "Software\\NivoraGladeTests\\" + std::to_string(GetCurrentProcessId());
        RegDeleteTreeA(HKEY_CURRENT_USER, scratch_.c_str());
        if (RegCreateKeyExA(HKEY_CURRENT_USER, scratch_.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &root_,
                            nullptr) != ERROR_SUCCESS)
            throw std::runtime_error("cannot create the scratch key");
        registry_ = std::make_unique<Win32Registry>(reinterpret_cast<RegistryKey>(root_));
    }
    ~Advapi32Bench() override {
        RegCloseKey(root_);
        RegDeleteTreeA(HKEY_CURRENT_USER, scratch_.c_str());
    }

    Registry& Target() override { return *registry_; }

    void PutValue(const std::string& path, const std::string& name, std::uint32_t type,
                  const std::vector<std::uint8_t>& data) override {
        HKEY key = nullptr;
        if (RegCreateKeyExA(root_, path.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key, nullptr) !=
            ERROR_SUCCESS)
            throw std::runtime_error("RegCreateKeyExA " + path);
        const LONG status = RegSetValueExA(key, name.c_str(), 0, type, data.empty() ? nullptr : data.data(),
                                           static_cast<DWORD>(data.size()));
        RegCloseKey(key);
        if (status != ERROR_SUCCESS) throw std::runtime_error("RegSetValueExA " + name);
    }

    void DeleteValue(const std::string& path, const std::string& name) override {
        HKEY key = nullptr;
        if (RegOpenKeyExA(root_, path.c_str(), 0, KEY_ALL_ACCESS, &key) != ERROR_SUCCESS) return;
        RegDeleteValueA(key, name.c_str());
        RegCloseKey(key);
    }

    void DeleteKey(const std::string& path) override { RegDeleteTreeA(root_, path.c_str()); }

    bool HasKey(const std::string& path) override {
        HKEY key = nullptr;
        if (RegOpenKeyExA(root_, path.c_str(), 0, KEY_READ, &key) != ERROR_SUCCESS) return false;
        RegCloseKey(key);
        return true;
    }

    std::map<std::string, RegistryValue> Values(const std::string& path) override {
        std::map<std::string, RegistryValue> values;
        HKEY key = nullptr;
        if (RegOpenKeyExA(root_, path.c_str(), 0, KEY_READ, &key) != ERROR_SUCCESS) return values;
        for (DWORD index = 0;; ++index) {
            char name[256];
            DWORD nameSize = sizeof name;
            DWORD type = REG_NONE;
            std::vector<std::uint8_t> data(4096);
            DWORD dataSize = static_cast<DWORD>(data.size());
            if (RegEnumValueA(key, index, name, &nameSize, nullptr, &type, data.data(), &dataSize) != ERROR_SUCCESS)
                break;
            data.resize(dataSize);
            values[MemoryRegistry::Lower(name)] = RegistryValue{type, std::move(data)};
        }
        RegCloseKey(key);
        return values;
    }

private:
    std::string scratch_;
    HKEY root_ = nullptr;
    std::unique_ptr<Win32Registry> registry_;
};
#endif

}  // namespace

void RegistryBench::PutDword(const std::string& path, const std::string& name, std::uint32_t value) {
    PutValue(path, name, kRegDword,
             {static_cast<std::uint8_t>(value), static_cast<std::uint8_t>(value >> 8),
              static_cast<std::uint8_t>(value >> 16), static_cast<std::uint8_t>(value >> 24)});
}

void RegistryBench::PutString(const std::string& path, const std::string& name, const std::string& text) {
    std::vector<std::uint8_t> data(text.begin(), text.end());
    data.push_back(0);
    PutValue(path, name, kRegSz, data);
}

std::optional<RegistryValue> RegistryBench::ReadValue(const std::string& path, const std::string& name) {
    const auto values = Values(path);
    const auto found = values.find(MemoryRegistry::Lower(name));
    if (found == values.end()) return std::nullopt;
    return found->second;
}

std::optional<std::uint32_t> RegistryBench::ReadDword(const std::string& path, const std::string& name) {
    const auto value = ReadValue(path, name);
    if (!value || value->type != kRegDword || value->data.size() != 4) return std::nullopt;
    return LittleEndian(value->data);
}

std::vector<std::string> BenchNames() {
#ifdef _WIN32
    return {"memory", "advapi32"};
#else
    return {"memory"};
#endif
}

std::unique_ptr<RegistryBench> MakeBench(const std::string& name) {
#ifdef _WIN32
    if (name == "advapi32") return std::make_unique<Advapi32Bench>();
#endif
    if (name == "memory") return std::make_unique<MemoryBench>();
    throw std::invalid_argument("no registry bench " + name);
}

RegistryStatus InstrumentedRegistry::OpenKey(const std::string& path, RegistryKey& key) {
    requestedPaths_.push_back(path);
    if (denyOpen_) return kRegistryAccessDenied;
    const RegistryStatus status = inner_.OpenKey(path, key);
    if (status == kRegistrySuccess) {
        ++opens_;
        open_.insert(key);
    }
    return status;
}

RegistryStatus InstrumentedRegistry::CreateKey(const std::string& path, RegistryKey& key) {
    requestedPaths_.push_back(path);
    if (denyKeyAccess_) return kRegistryAccessDenied;
    const RegistryStatus status = inner_.CreateKey(path, key);
    if (status == kRegistrySuccess) {
        ++opens_;
        open_.insert(key);
    }
    return status;
}

RegistryStatus InstrumentedRegistry::QueryValue(RegistryKey key, const std::string& name, std::uint32_t& type,
                                                void* data, std::uint32_t& size) {
    return inner_.QueryValue(key, name, type, data, size);
}

RegistryStatus InstrumentedRegistry::SetDword(RegistryKey key, const std::string& name, std::uint32_t value) {
    if (failingWrites_.count(MemoryRegistry::Lower(name)) != 0) return kRegistryAccessDenied;
    return inner_.SetDword(key, name, value);
}

void InstrumentedRegistry::CloseKey(RegistryKey key) {
    if (open_.erase(key) == 0) {
        ++badCloses_;
        return;
    }
    ++closes_;
    inner_.CloseKey(key);
}

}  // namespace nivora
