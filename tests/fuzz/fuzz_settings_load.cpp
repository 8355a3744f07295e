// The settings load at start-up over a registry whose six values have any
// type, size and bytes, and any of whose calls may fail. Invariants: a load
// that fails to read leaves every byte of the registry as it was; a
// successful load saved and loaded again gives the same settings; a key of
// six readable values that is not a first run is never written; every key
// opened is closed.
#include <fuzzer/FuzzedDataProvider.h>

#include <cstdint>
#include <string>

#include "fuzz_check.h"
#include "host/settings_store.h"
#include "support/memory_registry.h"

using namespace nivora;

namespace {

const char* const kKey = "Software\\NivoraGlade";
const char* const kNames[] = {"Algorithm", "BackgroundRands", "Background", "Time_Show", "Rands_Algorithm",
                              "Brightness"};

// Fails the call numbered `failAt` (from 1; 0 fails none) with `status`.
class FailingRegistry : public Registry {
public:
    FailingRegistry(Registry& inner, int failAt, RegistryStatus status)
        : inner_(inner), failAt_(failAt), status_(status) {}

    // "Not found" from OpenKey is what an absent key answers; said of a key
    // that is there it would be a lie the store cannot see through.
    RegistryStatus OpenKey(const std::string& path, RegistryKey& key) override {
        return Fails() ? (status_ == kRegistryFileNotFound ? kRegistryAccessDenied : status_)
                       : inner_.OpenKey(path, key);
    }
    RegistryStatus CreateKey(const std::string& path, RegistryKey& key) override {
        return Fails() ? status_ : inner_.CreateKey(path, key);
    }
    RegistryStatus QueryValue(RegistryKey key, const std::string& name, std::uint32_t& type, void* data,
                              std::uint32_t& size) override {
        return Fails() ? status_ : inner_.QueryValue(key, name, type, data, size);
    }
    RegistryStatus SetDword(RegistryKey key, const std::string& name, std::uint32_t value) override {
        return Fails() ? status_ : inner_.SetDword(key, name, value);
    }
    void CloseKey(RegistryKey key) override { inner_.CloseKey(key); }

private:
    bool Fails() { return ++calls_ == failAt_; }
    Registry& inner_;
    int failAt_;
    RegistryStatus status_;
    int calls_ = 0;
};

bool StartsWith(const std::string& text, const char* prefix) { return text.rfind(prefix, 0) == 0; }

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    FuzzedDataProvider input(data, size);
    MemoryRegistry memory;
    const int failAt = input.ConsumeIntegralInRange<int>(0, 16);
    constexpr RegistryStatus kStatuses[] = {kRegistryAccessDenied, kRegistryFileNotFound, kRegistryMoreData,
                                            kRegistryInvalidHandle, kRegistryKeyDeleted};
    const RegistryStatus status = input.PickValueInArray(kStatuses);
    if (input.ConsumeBool()) {
        for (const char* name : kNames) {
            if (!input.ConsumeBool()) continue;
            // Mostly the types a user could leave there, now and then any.
            constexpr std::uint32_t kTypes[] = {kRegDword, kRegDword, kRegSz, kRegBinary, kRegQword, kRegNone};
            const std::uint32_t type =
                input.ConsumeBool() ? input.PickValueInArray(kTypes) : input.ConsumeIntegral<std::uint32_t>();
            const auto length = input.ConsumeIntegralInRange<std::size_t>(0, input.ConsumeBool() ? 4 : 64);
            memory.PutValue(kKey, name, type, input.ConsumeBytes<std::uint8_t>(length));
        }
    }
    const bool hadKey = memory.HasKey(kKey);
    const auto before = memory.Values(kKey);

    // Six readable REG_DWORDs that are not a first run: start-up only reads
    // them, whatever call fails.
    bool readable = before.size() == 6;
    std::uint32_t tested = 0;
    for (const auto& [name, value] : before) {
        readable = readable && value.type == kRegDword && value.data.size() <= 4;
        std::uint32_t word = 0;
        for (std::size_t i = 0; i < value.data.size() && i < 4; ++i) word |= std::uint32_t(value.data[i]) << (8 * i);
        if (name == "algorithm" || name == "brightness") tested |= word & 0xFF;
        if (name == "background" || name == "time_show") tested |= word;
    }
    SaverSettings settings;
    std::string message;
    FailingRegistry failing(memory, failAt, status);
    const bool loaded = LoadSettingsForStartUp(failing, settings, message);
    FUZZ_CHECK(memory.OpenHandles() == 0);
    FUZZ_CHECK(loaded == message.empty());
    if (readable && tested != 0) FUZZ_CHECK(memory.Values(kKey) == before);

    if (!loaded && !StartsWith(message, "Failed to set data for '")) {
        // A failed read: nothing written, and the unread fields (at least the
        // last) have their defaults.
        FUZZ_CHECK(StartsWith(message, "Failed to get data for '") || StartsWith(message, "Invalid data type for '"));
        FUZZ_CHECK(memory.HasKey(kKey) == hadKey);
        FUZZ_CHECK(memory.Values(kKey) == before);
        FUZZ_CHECK(settings.Brightness == 14);
    }
    if (!loaded) return 0;

    // Usable settings: either read in full, or a first run's defaults.
    FUZZ_CHECK(settings.Background != 0 || settings.TimeShow != 0 || settings.Algorithm != 0 ||
               settings.Brightness != 0);
    // Saved and loaded again: the same settings.
    SaveSettings(memory, settings);
    SaverSettings again;
    LoadSettings(memory, again);
    FUZZ_CHECK(again == settings);
    FUZZ_CHECK(memory.OpenHandles() == 0);
    return 0;
}
