#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

#include "engine/pictures/scene.h"
#include "host/settings_store.h"
#include "support/registry_bench.h"

namespace nivora {
namespace {

const std::string kKey = "Software\\NivoraGlade";
const char* const kNames[] = {"Algorithm", "BackgroundRands", "Background", "Time_Show", "Rands_Algorithm",
                              "Brightness"};

// The store's failure cases rest on these answers, which are advapi32's: the
// same body runs on both registries.
class RegistryAnswers : public ::testing::TestWithParam<std::string> {};

TEST_P(RegistryAnswers, AsAdvapi32) {
    const auto bench = MakeBench(GetParam());
    Registry& registry = bench->Target();
    RegistryKey key = 0;
    EXPECT_EQ(registry.OpenKey("Software\\Absent", key), kRegistryFileNotFound);
    bench->PutValue("Software\\K", "Big", kRegQword, {1, 2, 3, 4, 5, 6, 7, 8});
    ASSERT_EQ(registry.OpenKey("software\\k\\", key), kRegistrySuccess);

    std::uint8_t buffer[4] = {9, 9, 9, 9};
    std::uint32_t type = kRegNone, size = 4;
    EXPECT_EQ(registry.QueryValue(key, "BIG", type, buffer, size), kRegistryMoreData);
    EXPECT_EQ(type, kRegQword);
    EXPECT_EQ(size, 8u);
    size = 4;
    EXPECT_EQ(registry.QueryValue(key, "Other", type, buffer, size), kRegistryFileNotFound);

    // A short REG_DWORD and an empty value are read as what they hold.
    bench->PutValue("Software\\K", "Short", kRegDword, {7, 1});
    size = 4;
    EXPECT_EQ(registry.QueryValue(key, "Short", type, buffer, size), kRegistrySuccess);
    EXPECT_EQ(type, kRegDword);
    EXPECT_EQ(size, 2u);
    EXPECT_EQ(buffer[0], 7);
    EXPECT_EQ(buffer[1], 1);
    bench->PutValue("Software\\K", "Empty", kRegBinary, {});
    size = 4;
    EXPECT_EQ(registry.QueryValue(key, "Empty", type, buffer, size), kRegistrySuccess);
    EXPECT_EQ(type, kRegBinary);
    EXPECT_EQ(size, 0u);
    // A string comes back with its terminating zero.
    bench->PutString("Software\\K", "Text", "abc");
    size = 4;
    EXPECT_EQ(registry.QueryValue(key, "text", type, buffer, size), kRegistrySuccess);
    EXPECT_EQ(type, kRegSz);
    EXPECT_EQ(size, 4u);
    EXPECT_EQ(buffer[3], 0);

    EXPECT_EQ(registry.SetDword(key, "Word", 0x01020304), kRegistrySuccess);
    size = 4;
    EXPECT_EQ(registry.QueryValue(key, "word", type, buffer, size), kRegistrySuccess);
    EXPECT_EQ(type, kRegDword);
    EXPECT_EQ(size, 4u);
    EXPECT_EQ(buffer[0], 4);
    EXPECT_EQ(bench->ReadDword("Software\\K", "WORD"), 0x01020304u);

    // A handle on a deleted key fails; creating the key again gives a fresh, empty one.
    bench->DeleteKey("Software\\K");
    EXPECT_FALSE(bench->HasKey("Software\\K"));
    EXPECT_EQ(registry.SetDword(key, "Word", 1), kRegistryKeyDeleted);
    size = 4;
    EXPECT_EQ(registry.QueryValue(key, "Word", type, buffer, size), kRegistryKeyDeleted);
    registry.CloseKey(key);
    ASSERT_EQ(registry.CreateKey("Software\\K", key), kRegistrySuccess);
    EXPECT_EQ(bench->ValueCount("Software\\K"), 0u);
    // Creating a key also creates the keys above it.
    RegistryKey deep = 0;
    ASSERT_EQ(registry.CreateKey("Software\\A\\B\\C\\", deep), kRegistrySuccess);
    EXPECT_TRUE(bench->HasKey("Software\\A\\B"));
    registry.CloseKey(deep);
    registry.CloseKey(key);
}

INSTANTIATE_TEST_SUITE_P(Registries, RegistryAnswers, ::testing::ValuesIn(BenchNames()));

// Each case runs against every registry of BenchNames().
class SettingsStore : public ::testing::TestWithParam<std::string> {
protected:
    void TearDown() override {
        // Whatever happened, every key opened was closed again.
        EXPECT_EQ(registry.OpenHandles(), 0);
        EXPECT_EQ(registry.Closes(), registry.OpensSucceeded());
        EXPECT_EQ(registry.BadCloses(), 0);
    }

    // Stores the six values in table order.
    void PutAll(std::uint32_t algorithm, std::uint32_t backgroundRands, std::uint32_t background,
                std::uint32_t timeShow, std::uint32_t randsAlgorithm, std::uint32_t brightness) {
        const std::uint32_t values[] = {algorithm, backgroundRands, background, timeShow, randsAlgorithm, brightness};
        for (int i = 0; i < 6; ++i) bench->PutDword(kKey, kNames[i], values[i]);
    }

    // The six values as stored, or a note of what is wrong with one.
    std::vector<std::uint32_t> Stored() {
        std::vector<std::uint32_t> values;
        for (const char* name : kNames) {
            const auto value = bench->ReadDword(kKey, name);
            EXPECT_TRUE(value.has_value()) << name << " is not a 4-byte REG_DWORD";
            values.push_back(value.value_or(0xDEADBEEF));
        }
        return values;
    }

    std::string LoadError() {
        try {
            LoadSettings(registry, settings);
        } catch (const SettingsError& error) {
            return error.what();
        }
        return "";
    }

    void ExpectSettings(int algorithm, bool backgroundRands, int background, int timeShow,
                               bool randsAlgorithm, int brightness) {
        EXPECT_EQ(settings.Algorithm, algorithm);
        EXPECT_EQ(settings.BackgroundRands, backgroundRands);
        EXPECT_EQ(settings.Background, background);
        EXPECT_EQ(settings.TimeShow, timeShow);
        EXPECT_EQ(settings.RandsAlgorithm, randsAlgorithm);
        EXPECT_EQ(settings.Brightness, brightness);
    }

    // In table order.
    void SetSettings(int algorithm, bool backgroundRands, int background, int timeShow, bool randsAlgorithm,
                            int brightness) {
        settings.Algorithm = static_cast<std::uint8_t>(algorithm);
        settings.BackgroundRands = backgroundRands;
        settings.Background = background;
        settings.TimeShow = timeShow;
        settings.RandsAlgorithm = randsAlgorithm;
        settings.Brightness = static_cast<std::uint8_t>(brightness);
    }

    // Nonsense in memory, to see which fields a failed load leaves alone.
    void Scribble() { SetSettings(99, false, 99, 99, false, 99); }

    const std::vector<std::uint32_t> kDefaults{20, 1, 1, 5, 1, 14};
    const std::unique_ptr<RegistryBench> bench = MakeBench(GetParam());
    InstrumentedRegistry registry{bench->Target()};
    SaverSettings settings;
};

TEST_P(SettingsStore, FirstRunSetsAndWritesTheDefaults) {
    LoadSettings(registry, settings);
    ExpectSettings(20, true, 1, 5, true, 14);
    EXPECT_EQ(Stored(), kDefaults);
    EXPECT_EQ(bench->ValueCount(kKey), 6u);
    // The absolute path as held loses its leading backslash and keeps the trailing one.
    ASSERT_FALSE(registry.RequestedPaths().empty());
    for (const std::string& path : registry.RequestedPaths()) EXPECT_EQ(path, "Software\\NivoraGlade\\");
}

TEST_P(SettingsStore, ReadsAllSixWithTheirConversions) {
    PutAll(270, 7, -3, 0x7FFFFFFF, 0, 0x1FF);
    LoadSettings(registry, settings);
    // Bytes are cut to their low byte; booleans are any non-zero; 32-bit fields are whole.
    ExpectSettings(14, true, -3, 0x7FFFFFFF, false, 0xFF);
    // Not a first run: nothing was written.
    EXPECT_EQ(bench->ReadDword(kKey, "BackgroundRands"), 7u);
}

TEST_P(SettingsStore, AllZeroTestedValuesAreAFirstRunWhateverTheFlags) {
    PutAll(0, 0, 0, 0, 0, 0);
    LoadSettings(registry, settings);
    ExpectSettings(20, true, 1, 5, true, 14);
    EXPECT_EQ(Stored(), kDefaults);

    settings = SaverSettings{};
    PutAll(256, 9, 0, 0, 0, 512);  // low bytes 0 and 0
    LoadSettings(registry, settings);
    ExpectSettings(20, true, 1, 5, true, 14);
    EXPECT_EQ(Stored(), kDefaults);
}

TEST_P(SettingsStore, OneNonZeroTestedValueIsNotAFirstRun) {
    const std::uint32_t tested[] = {0, 2, 3, 5};  // indexes of Algorithm, Background, Time_Show, Brightness
    for (const std::uint32_t index : tested) {
        settings = SaverSettings{};
        PutAll(0, 0, 0, 0, 0, 0);
        bench->PutDword(kKey, kNames[index], 1);
        LoadSettings(registry, settings);
        EXPECT_EQ(settings.Algorithm + settings.Background + settings.TimeShow +
                      settings.Brightness,
                  1)
            << kNames[index];
        EXPECT_FALSE(settings.BackgroundRands);
        EXPECT_EQ(bench->ReadDword(kKey, "Algorithm"), index == 0 ? 1u : 0u);
    }
}

TEST_P(SettingsStore, FlagIsWrittenBackAsOne) {
    PutAll(3, 7, 4, 6, 0, 10);
    LoadSettings(registry, settings);
    EXPECT_TRUE(settings.BackgroundRands);
    SaveSettings(registry, settings);
    EXPECT_EQ(Stored(), (std::vector<std::uint32_t>{3, 1, 4, 6, 0, 10}));
}

TEST_P(SettingsStore, SaveWritesAllSixAsDwords) {
    SetSettings(255, true, -1, 20, false, 200);
    SaveSettings(registry, settings);
    EXPECT_EQ(Stored(), (std::vector<std::uint32_t>{255, 1, 0xFFFFFFFF, 20, 0, 200}));
    const auto raw = bench->ReadValue(kKey, "Background");
    ASSERT_TRUE(raw.has_value());
    EXPECT_EQ(raw->type, kRegDword);
    EXPECT_EQ(raw->data, (std::vector<std::uint8_t>{0xFF, 0xFF, 0xFF, 0xFF}));
    const auto brightness = bench->ReadValue(kKey, "Brightness");
    ASSERT_TRUE(brightness.has_value());
    EXPECT_EQ(brightness->data, (std::vector<std::uint8_t>{200, 0, 0, 0}));  // little-endian
}

TEST_P(SettingsStore, WrongTypeStopsTheLoadAtThatValue) {
    PutAll(3, 1, 4, 6, 1, 10);
    bench->PutString(kKey, "Time_Show", "7");  // REG_SZ of 2 bytes
    Scribble();
    EXPECT_EQ(LoadError(), "Invalid data type for 'Time_Show'");
    // Read before the failure: taken; the failing one and after: untouched.
    EXPECT_EQ(settings.Algorithm, 3);
    EXPECT_TRUE(settings.BackgroundRands);
    EXPECT_EQ(settings.Background, 4);
    EXPECT_EQ(settings.TimeShow, 99);
    EXPECT_FALSE(settings.RandsAlgorithm);
    EXPECT_EQ(settings.Brightness, 99);

    for (const std::uint32_t type : {kRegBinary, kRegNone, kRegSz}) {
        bench->PutValue(kKey, "Algorithm", type, {5, 0, 0, 0});
        EXPECT_EQ(LoadError(), "Invalid data type for 'Algorithm'") << type;
    }
}

TEST_P(SettingsStore, MissingValueStopsTheLoad) {
    PutAll(3, 1, 4, 6, 1, 10);
    bench->DeleteValue(kKey, "Brightness");
    Scribble();
    EXPECT_EQ(LoadError(), "Failed to get data for 'Brightness'");
    ExpectSettings(3, true, 4, 6, true, 99);
    // No defaults ran: nothing was written.
    EXPECT_FALSE(bench->ReadValue(kKey, "Brightness").has_value());
}

TEST_P(SettingsStore, DataLongerThanFourBytesFailsToGetData) {
    PutAll(3, 1, 4, 6, 1, 10);
    bench->PutValue(kKey, "Background", kRegQword, {1, 0, 0, 0, 0, 0, 0, 0});
    EXPECT_EQ(LoadError(), "Failed to get data for 'Background'");

    bench->PutDword(kKey, "Background", 4);
    bench->PutString(kKey, "Rands_Algorithm", "true");  // 5 bytes with the terminator
    EXPECT_EQ(LoadError(), "Failed to get data for 'Rands_Algorithm'");

    bench->PutString(kKey, "Rands_Algorithm", "abc");  // 4 bytes: fits, wrong type
    EXPECT_EQ(LoadError(), "Invalid data type for 'Rands_Algorithm'");
}

TEST_P(SettingsStore, SaveRecreatesADeletedKey) {
    PutAll(3, 1, 4, 6, 1, 10);
    LoadSettings(registry, settings);
    bench->DeleteKey(kKey);
    ASSERT_FALSE(bench->HasKey(kKey));
    SaveSettings(registry, settings);
    EXPECT_EQ(Stored(), (std::vector<std::uint32_t>{3, 1, 4, 6, 1, 10}));
}

TEST_P(SettingsStore, FailedWriteStopsAtThatValue) {
    SetSettings(7, false, 8, 9, true, 11);
    registry.FailWritesOf("Time_Show");
    try {
        SaveSettings(registry, settings);
        FAIL() << "no error";
    } catch (const SettingsError& error) {
        EXPECT_STREQ(error.what(), "Failed to set data for 'Time_Show'");
    }
    EXPECT_EQ(bench->ReadDword(kKey, "Algorithm"), 7u);
    EXPECT_EQ(bench->ReadDword(kKey, "BackgroundRands"), 0u);
    EXPECT_EQ(bench->ReadDword(kKey, "Background"), 8u);
    EXPECT_EQ(bench->ValueCount(kKey), 3u);
    ExpectSettings(7, false, 8, 9, true, 11);  // memory untouched
}

TEST_P(SettingsStore, FailedWriteOfTheDefaultsIsReportedByTheLoad) {
    registry.FailWritesOf("Algorithm");
    EXPECT_EQ(LoadError(), "Failed to set data for 'Algorithm'");
    ExpectSettings(20, true, 1, 5, true, 14);
    EXPECT_EQ(bench->ValueCount(kKey), 0u);
}

TEST_P(SettingsStore, UnopenableKeyIsNotAnError) {
    PutAll(3, 1, 4, 6, 1, 10);
    registry.DenyKeyAccess(true);
    EXPECT_EQ(LoadError(), "");
    ExpectSettings(20, true, 1, 5, true, 14);  // nothing read, so the defaults, in memory only

    SetSettings(1, false, 2, 3, false, 4);
    EXPECT_NO_THROW(SaveSettings(registry, settings));
    registry.DenyKeyAccess(false);
    EXPECT_EQ(Stored(), (std::vector<std::uint32_t>{3, 1, 4, 6, 1, 10}));
}

// Found by fuzzing: a key that exists but could not be opened was taken for a
// first run, and the defaults were written over the user's values.
TEST_P(SettingsStore, KeyThatCannotBeOpenedIsNotAFirstRun) {
    PutAll(3, 1, 4, 6, 1, 10);
    registry.DenyOpenKey(true);
    std::string message;
    EXPECT_TRUE(LoadSettingsForStartUp(registry, settings, message));
    ExpectSettings(20, true, 1, 5, true, 14);
    settings = SaverSettings{};
    EXPECT_EQ(LoadError(), "");
    ExpectSettings(20, true, 1, 5, true, 14);
    EXPECT_EQ(Stored(), (std::vector<std::uint32_t>{3, 1, 4, 6, 1, 10}));
}

TEST_P(SettingsStore, EveryKeyOpenedIsClosed) {
    // Counted again in TearDown; here the operations that throw.
    PutAll(3, 1, 4, 6, 1, 10);
    LoadSettings(registry, settings);
    SaveSettings(registry, settings);
    bench->DeleteValue(kKey, "Algorithm");
    EXPECT_NE(LoadError(), "");
    registry.FailWritesOf("Brightness");
    EXPECT_THROW(SaveSettings(registry, settings), SettingsError);
    EXPECT_EQ(registry.OpensSucceeded(), 4);
    EXPECT_EQ(registry.Closes(), 4);
}

TEST_P(SettingsStore, StartUpCleanLoad) {
    std::string message = "unchanged";
    PutAll(3, 1, 4, 6, 1, 10);
    EXPECT_TRUE(LoadSettingsForStartUp(registry, settings, message));
    EXPECT_EQ(message, "unchanged");
    ExpectSettings(3, true, 4, 6, true, 10);

    settings = SaverSettings{};
    bench->DeleteKey(kKey);
    EXPECT_TRUE(LoadSettingsForStartUp(registry, settings, message));
    ExpectSettings(20, true, 1, 5, true, 14);
    EXPECT_EQ(Stored(), kDefaults);
}

TEST_P(SettingsStore, StartUpKeepsWhatWasReadAndDefaultsTheRest) {
    PutAll(3, 0, 4, 6, 0, 10);
    bench->PutString(kKey, "Time_Show", "7");
    std::string message;
    EXPECT_FALSE(LoadSettingsForStartUp(registry, settings, message));
    EXPECT_EQ(message, "Invalid data type for 'Time_Show'");
    ExpectSettings(3, false, 4, 5, true, 14);
    // Not a first run: the damaged key is left for the user to fix by saving.
    EXPECT_EQ(bench->ReadValue(kKey, "Time_Show")->type, kRegSz);
    EXPECT_EQ(bench->ReadDword(kKey, "Brightness"), 10u);
}

// A new user's key with a damaged Algorithm: the box names it, the saver runs
// with defaults for what it could not read, and the key keeps every byte. The
// first-run rule used to see the unread fields as 0 and write all six defaults
// over Background 7, Time_Show 12 and Brightness 9.
TEST_P(SettingsStore, StartUpAfterAFailedReadWritesNothing) {
    PutAll(0, 0, 7, 12, 0, 9);
    bench->PutString(kKey, "Algorithm", "5");
    const auto before = bench->Values(kKey);
    std::string message;
    EXPECT_FALSE(LoadSettingsForStartUp(registry, settings, message));
    EXPECT_EQ(message, "Invalid data type for 'Algorithm'");
    ExpectSettings(20, true, 1, 5, true, 14);
    EXPECT_EQ(bench->Values(kKey), before);

    // Every value garbage: the same.
    for (const char* name : kNames) bench->PutString(kKey, name, "garbage");
    const auto garbage = bench->Values(kKey);
    settings = SaverSettings{};
    EXPECT_FALSE(LoadSettingsForStartUp(registry, settings, message));
    EXPECT_EQ(message, "Failed to get data for 'Algorithm'");
    ExpectSettings(20, true, 1, 5, true, 14);
    EXPECT_EQ(bench->Values(kKey), garbage);

    // The zeros read before the failure are kept as read; nothing is written.
    registry.FailWritesOf("Algorithm");  // any write would now also throw
    bench->DeleteKey(kKey);
    bench->PutDword(kKey, "Algorithm", 0);
    EXPECT_FALSE(LoadSettingsForStartUp(registry, settings, message));
    EXPECT_EQ(message, "Failed to get data for 'BackgroundRands'");
    ExpectSettings(0, true, 1, 5, true, 14);
    EXPECT_EQ(bench->ValueCount(kKey), 1u);
}

TEST_P(SettingsStore, StartUpReportsAFailedWriteOfTheFirstRunDefaults) {
    registry.FailWritesOf("Background");
    std::string message;
    EXPECT_FALSE(LoadSettingsForStartUp(registry, settings, message));
    EXPECT_EQ(message, "Failed to set data for 'Background'");
    ExpectSettings(20, true, 1, 5, true, 14);
    EXPECT_EQ(bench->ReadDword(kKey, "BackgroundRands"), 1u);  // written up to the failing one
    EXPECT_FALSE(bench->ReadValue(kKey, "Background").has_value());
}

INSTANTIATE_TEST_SUITE_P(Registries, SettingsStore, ::testing::ValuesIn(BenchNames()));

}  // namespace
}  // namespace nivora

namespace nivora {
namespace {

// The preview's read of the brightness: the value when it is sound, nothing
// otherwise, and the key is never written or created.
TEST(StoredBrightness, ReadOnlyAndNothingWhenDamaged) {
    MemoryRegistry registry;
    const std::string key = "Software\\NivoraGlade";
    EXPECT_FALSE(ReadStoredBrightness(registry).has_value());
    EXPECT_FALSE(registry.HasKey(key));
    registry.PutDword(key, "Brightness", 0x10A);  // the low byte counts, as in the load
    EXPECT_EQ(ReadStoredBrightness(registry), std::optional<std::uint8_t>(10));
    registry.PutValue(key, "Brightness", kRegSz, {'9', 0});
    EXPECT_FALSE(ReadStoredBrightness(registry).has_value());
    EXPECT_EQ(registry.ValueCount(key), 1u);
    EXPECT_EQ(registry.OpenHandles(), 0);
}

}  // namespace
}  // namespace nivora
