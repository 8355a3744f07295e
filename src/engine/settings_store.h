// The six user settings in the registry of the current user.
#pragma once

#include <stdexcept>
#include <string>

#include "engine/registry.h"

namespace nivora {

// A failure of one value, carrying the exact text the user sees.
class SettingsError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// The registry the store works on: advapi32 on Windows; tests install an
// in-memory one.
void SetSettingsRegistry(Registry* registry);

// Reads the six values into SaverSettings (nothing when the key is absent),
// then applies the first-run defaults. Throws SettingsError naming the value
// that could not be read; the values read before it keep their new contents.
void LoadSettings();

// When Background, TimeShow, Algorithm and Brightness are all 0: sets the
// defaults and writes them to the key (silently skipped if the key cannot be
// created).
void ApplyFirstRunDefaults();

// Writes all six fields, creating the key when absent. Throws SettingsError
// naming the value whose write failed.
void SaveSettings();

}  // namespace nivora
