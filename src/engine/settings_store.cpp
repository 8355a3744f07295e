#include "engine/settings_store.h"

#include <cstdint>

#include "engine/scene.h"

namespace nivora {

namespace {

Registry* settingsRegistry = nullptr;

// Held as "\Software\NivoraGlade\"; the leading backslash only marks the path
// as absolute and is dropped before it goes to the registry.
constexpr const char* kKeyPathAsHeld = "\\Software\\NivoraGlade\\";

const char* KeyPath() { return kKeyPathAsHeld + 1; }

// One setting: its registry name, the conversions between the field and the
// 32-bit registry value, and its default.
struct Setting {
    const char* name;
    void (*store)(std::uint32_t value);
    std::uint32_t (*fetch)();
    void (*setDefault)();
};

// Table order is the order of reading and writing.
constexpr Setting kSettings[] = {
    {"Algorithm", [](std::uint32_t v) { SaverSettings.Algorithm = static_cast<std::uint8_t>(v); },
     [] { return static_cast<std::uint32_t>(SaverSettings.Algorithm); }, [] { SaverSettings.Algorithm = 20; }},
    {"BackgroundRands", [](std::uint32_t v) { SaverSettings.BackgroundRands = v != 0; },
     [] { return SaverSettings.BackgroundRands ? 1u : 0u; }, [] { SaverSettings.BackgroundRands = true; }},
    {"Background", [](std::uint32_t v) { SaverSettings.Background = static_cast<std::int32_t>(v); },
     [] { return static_cast<std::uint32_t>(SaverSettings.Background); }, [] { SaverSettings.Background = 1; }},
    {"Time_Show", [](std::uint32_t v) { SaverSettings.TimeShow = static_cast<std::int32_t>(v); },
     [] { return static_cast<std::uint32_t>(SaverSettings.TimeShow); }, [] { SaverSettings.TimeShow = 5; }},
    {"Rands_Algorithm", [](std::uint32_t v) { SaverSettings.RandsAlgorithm = v != 0; },
     [] { return SaverSettings.RandsAlgorithm ? 1u : 0u; }, [] { SaverSettings.RandsAlgorithm = true; }},
    {"Brightness", [](std::uint32_t v) { SaverSettings.Brightness = static_cast<std::uint8_t>(v); },
     [] { return static_cast<std::uint32_t>(SaverSettings.Brightness); }, [] { SaverSettings.Brightness = 14; }},
};
constexpr int kSettingCount = static_cast<int>(sizeof kSettings / sizeof kSettings[0]);

// Closes the key however the operation ends.
class OpenKey {
public:
    OpenKey(Registry& registry, RegistryKey key) : registry_(registry), key_(key) {}
    ~OpenKey() { registry_.CloseKey(key_); }
    OpenKey(const OpenKey&) = delete;
    OpenKey& operator=(const OpenKey&) = delete;
    RegistryKey get() const { return key_; }

private:
    Registry& registry_;
    RegistryKey key_;
};

// The prefix ends in the opening quote; the name is closed by another.
std::string Message(const char* prefix, const char* name) {
    return std::string(prefix) + name + "'";
}

std::uint32_t ReadDword(Registry& registry, RegistryKey key, const char* name) {
    std::uint8_t buffer[4] = {};  // a shorter REG_DWORD leaves the rest zero
    std::uint32_t type = kRegNone;
    std::uint32_t size = sizeof buffer;
    if (registry.QueryValue(key, name, type, buffer, size) != kRegistrySuccess)
        throw SettingsError(Message("Failed to get data for '", name));
    if (type != kRegDword) throw SettingsError(Message("Invalid data type for '", name));
    return static_cast<std::uint32_t>(buffer[0]) | static_cast<std::uint32_t>(buffer[1]) << 8 |
           static_cast<std::uint32_t>(buffer[2]) << 16 | static_cast<std::uint32_t>(buffer[3]) << 24;
}

void WriteAll(Registry& registry, RegistryKey key) {
    for (const Setting& setting : kSettings)
        if (registry.SetDword(key, setting.name, setting.fetch()) != kRegistrySuccess)
            throw SettingsError(Message("Failed to set data for '", setting.name));
}

// Reads the values in table order, each stored at once; `read` counts those
// stored, also when a later one throws.
void ReadStoredValues(int& read) {
    read = 0;
    if (settingsRegistry == nullptr) return;
    RegistryKey handle = 0;
    if (settingsRegistry->OpenKey(KeyPath(), handle) != kRegistrySuccess) return;
    const OpenKey key(*settingsRegistry, handle);
    for (const Setting& setting : kSettings) {
        setting.store(ReadDword(*settingsRegistry, key.get(), setting.name));
        ++read;
    }
}

// Opens the key for writing, creating it when absent, and writes all six;
// silently nothing when the key cannot be created.
void WriteSettings() {
    if (settingsRegistry == nullptr) return;
    RegistryKey handle = 0;
    if (settingsRegistry->CreateKey(KeyPath(), handle) != kRegistrySuccess) return;
    const OpenKey key(*settingsRegistry, handle);
    WriteAll(*settingsRegistry, key.get());
}

}  // namespace

void SetSettingsRegistry(Registry* registry) { settingsRegistry = registry; }

void LoadSettings() {
    int read = 0;
    ReadStoredValues(read);
    ApplyFirstRunDefaults();
}

void ApplyFirstRunDefaults() {
    if (SaverSettings.Background != 0 || SaverSettings.TimeShow != 0 || SaverSettings.Algorithm != 0 ||
        SaverSettings.Brightness != 0)
        return;
    for (const Setting& setting : kSettings) setting.setDefault();
    WriteSettings();
}

void SaveSettings() { WriteSettings(); }

bool LoadSettingsForStartUp(std::string& errorMessage) {
    int read = 0;
    bool failed = false;
    try {
        ReadStoredValues(read);
    } catch (const SettingsError& error) {
        errorMessage = error.what();
        failed = true;
    }
    try {
        ApplyFirstRunDefaults();
    } catch (const SettingsError& error) {
        // The defaults are already in memory; only the key stays as it was.
        if (!failed) errorMessage = error.what();
        failed = true;
    }
    if (failed)
        for (int i = read; i < kSettingCount; ++i) kSettings[i].setDefault();
    return !failed;
}

}  // namespace nivora
