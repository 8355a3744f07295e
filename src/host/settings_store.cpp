#include "host/settings_store.h"

#include <cstdint>

#include "engine/pictures/scene.h"

namespace nivora {

namespace {

// Held as "\Software\NivoraGlade\"; the leading backslash only marks the path
// as absolute and is dropped before it goes to the registry.
constexpr const char* kKeyPathAsHeld = "\\Software\\NivoraGlade\\";

const char* KeyPath() { return kKeyPathAsHeld + 1; }

// One setting: its registry name and the conversions between the field and
// the 32-bit registry value. Its default is its field of kDefaultSettings.
struct Setting {
    const char* name;
    void (*store)(SaverSettings& settings, std::uint32_t value);
    std::uint32_t (*fetch)(const SaverSettings& settings);

    void SetDefault(SaverSettings& settings) const { store(settings, fetch(kDefaultSettings)); }
};

// Table order is the order of reading and writing.
constexpr Setting kSettings[] = {
    {"Algorithm", [](SaverSettings& s, std::uint32_t v) { s.Algorithm = static_cast<std::uint8_t>(v); },
     [](const SaverSettings& s) { return static_cast<std::uint32_t>(s.Algorithm); }},
    {"BackgroundRands", [](SaverSettings& s, std::uint32_t v) { s.BackgroundRands = v != 0; },
     [](const SaverSettings& s) { return s.BackgroundRands ? 1u : 0u; }},
    {"Background", [](SaverSettings& s, std::uint32_t v) { s.Background = static_cast<std::int32_t>(v); },
     [](const SaverSettings& s) { return static_cast<std::uint32_t>(s.Background); }},
    {"Time_Show", [](SaverSettings& s, std::uint32_t v) { s.TimeShow = static_cast<std::int32_t>(v); },
     [](const SaverSettings& s) { return static_cast<std::uint32_t>(s.TimeShow); }},
    {"Rands_Algorithm", [](SaverSettings& s, std::uint32_t v) { s.RandsAlgorithm = v != 0; },
     [](const SaverSettings& s) { return s.RandsAlgorithm ? 1u : 0u; }},
    {"Brightness", [](SaverSettings& s, std::uint32_t v) { s.Brightness = static_cast<std::uint8_t>(v); },
     [](const SaverSettings& s) { return static_cast<std::uint32_t>(s.Brightness); }},
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

void WriteAll(Registry& registry, RegistryKey key, const SaverSettings& settings) {
    for (const Setting& setting : kSettings)
        if (registry.SetDword(key, setting.name, setting.fetch(settings)) != kRegistrySuccess)
            throw SettingsError(Message("Failed to set data for '", setting.name));
}

enum class KeyState { Absent, Unreadable, Read };

// Reads the values in table order, each stored at once; `read` counts those
// stored, also when a later one throws. A key that exists but cannot be
// opened (access denied, or any other failure but "not found") is Unreadable:
// it must not be taken for a first run, whose defaults would overwrite it.
KeyState ReadStoredValues(Registry& registry, SaverSettings& settings, int& read) {
    read = 0;
    RegistryKey handle = 0;
    const RegistryStatus status = registry.OpenKey(KeyPath(), handle);
    if (status == kRegistryFileNotFound) return KeyState::Absent;
    if (status != kRegistrySuccess) return KeyState::Unreadable;
    const OpenKey key(registry, handle);
    for (const Setting& setting : kSettings) {
        setting.store(settings, ReadDword(registry, key.get(), setting.name));
        ++read;
    }
    return KeyState::Read;
}

void SetDefaults(SaverSettings& settings) {
    for (const Setting& setting : kSettings) setting.SetDefault(settings);
}

// Opens the key for writing, creating it when absent, and writes all six;
// silently nothing when the key cannot be created.
void WriteSettings(Registry& registry, const SaverSettings& settings) {
    RegistryKey handle = 0;
    if (registry.CreateKey(KeyPath(), handle) != kRegistrySuccess) return;
    const OpenKey key(registry, handle);
    WriteAll(registry, key.get(), settings);
}

}  // namespace

void LoadSettings(Registry& registry, SaverSettings& settings) {
    int read = 0;
    if (ReadStoredValues(registry, settings, read) == KeyState::Unreadable)
        SetDefaults(settings);
    else
        ApplyFirstRunDefaults(registry, settings);
}

void ApplyFirstRunDefaults(Registry& registry, SaverSettings& settings) {
    if (settings.Background != 0 || settings.TimeShow != 0 || settings.Algorithm != 0 || settings.Brightness != 0)
        return;
    SetDefaults(settings);
    WriteSettings(registry, settings);
}

void SaveSettings(Registry& registry, const SaverSettings& settings) { WriteSettings(registry, settings); }

std::optional<std::uint8_t> ReadStoredBrightness(Registry& registry) {
    RegistryKey handle = 0;
    if (registry.OpenKey(KeyPath(), handle) != kRegistrySuccess) return std::nullopt;
    const OpenKey key(registry, handle);
    try {
        return static_cast<std::uint8_t>(ReadDword(registry, key.get(), "Brightness"));
    } catch (const SettingsError&) {
        return std::nullopt;
    }
}

bool LoadSettingsForStartUp(Registry& registry, SaverSettings& settings, std::string& errorMessage) {
    int read = 0;
    try {
        if (ReadStoredValues(registry, settings, read) == KeyState::Unreadable) {
            SetDefaults(settings);
            return true;
        }
    } catch (const SettingsError& error) {
        // A damaged key is the user's to repair with a save: nothing is
        // written. The first-run rule must not run here, because it would see
        // the fields the load never reached as 0 and overwrite every value the
        // user had with the defaults.
        errorMessage = error.what();
        for (int i = read; i < kSettingCount; ++i) kSettings[i].SetDefault(settings);
        return false;
    }
    try {
        ApplyFirstRunDefaults(registry, settings);
    } catch (const SettingsError& error) {
        // The defaults are already in memory; only the key stays as it was.
        errorMessage = error.what();
        return false;
    }
    return true;
}

}  // namespace nivora
