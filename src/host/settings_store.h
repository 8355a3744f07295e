// The six user settings in the registry of the current user.
#pragma once

#include <cstdint>
#include <optional>
#include <stdexcept>
#include <string>

#include "engine/pictures/scene.h"
#include "host/registry.h"

namespace nivora {

// A failure of one value, carrying the exact text the user sees.
class SettingsError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// Every operation works on the settings value and the registry it is given:
// advapi32 on Windows, an in-memory registry in tests.

// Reads the six values into `settings` (nothing when the key is absent),
// then applies the first-run defaults. A key that exists but cannot be opened
// gives the defaults in memory and is not written. Throws SettingsError naming the value
// that could not be read; the values read before it keep their new contents.
void LoadSettings(Registry& registry, SaverSettings& settings);

// When Background, TimeShow, Algorithm and Brightness are all 0: sets the
// defaults and writes them to the key (silently skipped if the key cannot be
// created).
void ApplyFirstRunDefaults(Registry& registry, SaverSettings& settings);

// Writes all six fields, creating the key when absent. Throws SettingsError
// naming the value whose write failed.
void SaveSettings(Registry& registry, const SaverSettings& settings);

// The stored Brightness as the load reads it, for the preview, which reads
// and never writes: nothing when the key or the value is missing or damaged.
std::optional<std::uint8_t> ReadStoredBrightness(Registry& registry);

// The load as the saver window's creation runs it, which must always finish
// with usable settings. A clean load (or no key) returns true, after the
// first-run rule; so does a key that cannot be opened, with the defaults in
// memory and nothing written. When a value cannot be read, nothing at all is written: the
// values read before it are kept and every field the load did not reach gets
// its default in memory only, so the saver never starts with a zero hold time
// or a zero brightness merely because the key was damaged, and the user's
// other values stay in the key until a save from the settings window repairs
// it. A failed write of the first-run defaults keeps the defaults in memory.
// In both failing cases `errorMessage` gets the text to show and the result is
// false; the caller shows it and carries on.
bool LoadSettingsForStartUp(Registry& registry, SaverSettings& settings, std::string& errorMessage);

}  // namespace nivora
