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
// in-memory one. Without one the key counts as not openable.
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

// The load as the saver window's creation runs it, which must always finish
// with usable settings. A clean load (or no key) returns true. When a value
// cannot be read, the values read before it are kept, the first-run rule still
// runs (a key whose tested values are all 0 is rewritten with the defaults),
// and every field the load did not reach gets its default in memory, so the
// saver never starts with a zero hold time or a zero brightness merely because
// the key was damaged. A failed write of the defaults keeps the defaults in
// memory. In both cases `errorMessage` gets the text to show (the first
// failure) and the result is false; the caller shows it and carries on.
bool LoadSettingsForStartUp(std::string& errorMessage);

}  // namespace nivora
