#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

#include "engine/memory_registry.h"
#include "engine/scene.h"
#include "engine/settings_store.h"

namespace nivora {
namespace {

const std::string kKey = "Software\\NivoraGlade";
const char* const kNames[] = {"Algorithm", "BackgroundRands", "Background", "Time_Show", "Rands_Algorithm",
                              "Brightness"};

// The store's failure cases rest on these answers being advapi32's.
TEST(MemoryRegistry, AnswersAsAdvapi32) {
    MemoryRegistry registry;
    RegistryKey key = 0;
    EXPECT_EQ(registry.OpenKey("Software\\Absent", key), kRegistryFileNotFound);
    registry.PutValue("Software\\K", "Big", kRegQword, {1, 2, 3, 4, 5, 6, 7, 8});
    ASSERT_EQ(registry.OpenKey("software\\k\\", key), kRegistrySuccess);

    std::uint8_t buffer[4] = {9, 9, 9, 9};
    std::uint32_t type = kRegNone, size = 4;
    EXPECT_EQ(registry.QueryValue(key, "BIG", type, buffer, size), kRegistryMoreData);
    EXPECT_EQ(type, kRegQword);
    EXPECT_EQ(size, 8u);
    EXPECT_EQ(buffer[0], 9);  // nothing copied
    size = 4;
    EXPECT_EQ(registry.QueryValue(key, "Other", type, buffer, size), kRegistryFileNotFound);

    EXPECT_EQ(registry.SetDword(key, "Word", 0x01020304), kRegistrySuccess);
    size = 4;
    EXPECT_EQ(registry.QueryValue(key, "word", type, buffer, size), kRegistrySuccess);
    EXPECT_EQ(type, kRegDword);
    EXPECT_EQ(size, 4u);
    EXPECT_EQ(buffer[0], 4);

    // A handle on a deleted key fails; creating the key again gives a fresh, empty one.
    registry.DeleteKey("Software\\K");
    EXPECT_EQ(registry.SetDword(key, "Word", 1), kRegistryKeyDeleted);
    registry.CloseKey(key);
    ASSERT_EQ(registry.CreateKey("Software\\K", key), kRegistrySuccess);
    EXPECT_EQ(registry.ValueCount("Software\\K"), 0u);
    registry.CloseKey(key);
    registry.CloseKey(key);
    EXPECT_EQ(registry.Closes(), 2);
    EXPECT_EQ(registry.BadCloses(), 1);

    registry.DenyKeyAccess(true);
    EXPECT_EQ(registry.OpenKey("Software\\K", key), kRegistryAccessDenied);
    EXPECT_EQ(registry.CreateKey("Software\\New", key), kRegistryAccessDenied);
    EXPECT_FALSE(registry.HasKey("Software\\New"));
}

class SettingsStoreTest : public ::testing::Test {
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
        for (int i = 0; i < 6; ++i) registry.PutDword(kKey, kNames[i], values[i]);
    }

    // The six values as stored, or a note of what is wrong with one.
    std::vector<std::uint32_t> Stored() {
        std::vector<std::uint32_t> values;
        for (const char* name : kNames) {
            const auto value = registry.ReadDword(kKey, name);
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
    MemoryRegistry registry;
    SaverSettings settings;
};

TEST_F(SettingsStoreTest, FirstRunSetsAndWritesTheDefaults) {
    LoadSettings(registry, settings);
    ExpectSettings(20, true, 1, 5, true, 14);
    EXPECT_EQ(Stored(), kDefaults);
    EXPECT_EQ(registry.ValueCount(kKey), 6u);
    // The absolute path as held loses its leading backslash and keeps the trailing one.
    ASSERT_FALSE(registry.RequestedPaths().empty());
    for (const std::string& path : registry.RequestedPaths()) EXPECT_EQ(path, "Software\\NivoraGlade\\");
}

TEST_F(SettingsStoreTest, ReadsAllSixWithTheirConversions) {
    PutAll(270, 7, -3, 0x7FFFFFFF, 0, 0x1FF);
    LoadSettings(registry, settings);
    // Bytes are cut to their low byte; booleans are any non-zero; 32-bit fields are whole.
    ExpectSettings(14, true, -3, 0x7FFFFFFF, false, 0xFF);
    // Not a first run: nothing was written.
    EXPECT_EQ(registry.ReadDword(kKey, "BackgroundRands"), 7u);
}

TEST_F(SettingsStoreTest, AllZeroTestedValuesAreAFirstRunWhateverTheFlags) {
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

TEST_F(SettingsStoreTest, OneNonZeroTestedValueIsNotAFirstRun) {
    const std::uint32_t tested[] = {0, 2, 3, 5};  // indexes of Algorithm, Background, Time_Show, Brightness
    for (const std::uint32_t index : tested) {
        settings = SaverSettings{};
        PutAll(0, 0, 0, 0, 0, 0);
        registry.PutDword(kKey, kNames[index], 1);
        LoadSettings(registry, settings);
        EXPECT_EQ(settings.Algorithm + settings.Background + settings.TimeShow +
                      settings.Brightness,
                  1)
            << kNames[index];
        EXPECT_FALSE(settings.BackgroundRands);
        EXPECT_EQ(registry.ReadDword(kKey, "Algorithm"), index == 0 ? 1u : 0u);
    }
}

TEST_F(SettingsStoreTest, FlagIsWrittenBackAsOne) {
    PutAll(3, 7, 4, 6, 0, 10);
    LoadSettings(registry, settings);
    EXPECT_TRUE(settings.BackgroundRands);
    SaveSettings(registry, settings);
    EXPECT_EQ(Stored(), (std::vector<std::uint32_t>{3, 1, 4, 6, 0, 10}));
}

TEST_F(SettingsStoreTest, SaveWritesAllSixAsDwords) {
    SetSettings(255, true, -1, 20, false, 200);
    SaveSettings(registry, settings);
    EXPECT_EQ(Stored(), (std::vector<std::uint32_t>{255, 1, 0xFFFFFFFF, 20, 0, 200}));
    const auto raw = registry.ReadValue(kKey, "Background");
    ASSERT_TRUE(raw.has_value());
    EXPECT_EQ(raw->type, kRegDword);
    EXPECT_EQ(raw->data, (std::vector<std::uint8_t>{0xFF, 0xFF, 0xFF, 0xFF}));
    const auto brightness = registry.ReadValue(kKey, "Brightness");
    ASSERT_TRUE(brightness.has_value());
    EXPECT_EQ(brightness->data, (std::vector<std::uint8_t>{200, 0, 0, 0}));  // little-endian
}

TEST_F(SettingsStoreTest, WrongTypeStopsTheLoadAtThatValue) {
    PutAll(3, 1, 4, 6, 1, 10);
    registry.PutString(kKey, "Time_Show", "7");  // REG_SZ of 2 bytes
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
        registry.PutValue(kKey, "Algorithm", type, {5, 0, 0, 0});
        EXPECT_EQ(LoadError(), "Invalid data type for 'Algorithm'") << type;
    }
}

TEST_F(SettingsStoreTest, MissingValueStopsTheLoad) {
    PutAll(3, 1, 4, 6, 1, 10);
    registry.DeleteValue(kKey, "Brightness");
    Scribble();
    EXPECT_EQ(LoadError(), "Failed to get data for 'Brightness'");
    ExpectSettings(3, true, 4, 6, true, 99);
    // No defaults ran: nothing was written.
    EXPECT_FALSE(registry.ReadValue(kKey, "Brightness").has_value());
}

TEST_F(SettingsStoreTest, DataLongerThanFourBytesFailsToGetData) {
    PutAll(3, 1, 4, 6, 1, 10);
    registry.PutValue(kKey, "Background", kRegQword, {1, 0, 0, 0, 0, 0, 0, 0});
    EXPECT_EQ(LoadError(), "Failed to get data for 'Background'");

    registry.PutDword(kKey, "Background", 4);
    registry.PutString(kKey, "Rands_Algorithm", "true");  // 5 bytes with the terminator
    EXPECT_EQ(LoadError(), "Failed to get data for 'Rands_Algorithm'");

    registry.PutString(kKey, "Rands_Algorithm", "abc");  // 4 bytes: fits, wrong type
    EXPECT_EQ(LoadError(), "Invalid data type for 'Rands_Algorithm'");
}

TEST_F(SettingsStoreTest, SaveRecreatesADeletedKey) {
    PutAll(3, 1, 4, 6, 1, 10);
    LoadSettings(registry, settings);
    registry.DeleteKey(kKey);
    ASSERT_FALSE(registry.HasKey(kKey));
    SaveSettings(registry, settings);
    EXPECT_EQ(Stored(), (std::vector<std::uint32_t>{3, 1, 4, 6, 1, 10}));
}

TEST_F(SettingsStoreTest, FailedWriteStopsAtThatValue) {
    SetSettings(7, false, 8, 9, true, 11);
    registry.FailWritesOf("Time_Show");
    try {
        SaveSettings(registry, settings);
        FAIL() << "no error";
    } catch (const SettingsError& error) {
        EXPECT_STREQ(error.what(), "Failed to set data for 'Time_Show'");
    }
    EXPECT_EQ(registry.ReadDword(kKey, "Algorithm"), 7u);
    EXPECT_EQ(registry.ReadDword(kKey, "BackgroundRands"), 0u);
    EXPECT_EQ(registry.ReadDword(kKey, "Background"), 8u);
    EXPECT_EQ(registry.ValueCount(kKey), 3u);
    ExpectSettings(7, false, 8, 9, true, 11);  // memory untouched
}

TEST_F(SettingsStoreTest, FailedWriteOfTheDefaultsIsReportedByTheLoad) {
    registry.FailWritesOf("Algorithm");
    EXPECT_EQ(LoadError(), "Failed to set data for 'Algorithm'");
    ExpectSettings(20, true, 1, 5, true, 14);
    EXPECT_EQ(registry.ValueCount(kKey), 0u);
}

TEST_F(SettingsStoreTest, UnopenableKeyIsNotAnError) {
    PutAll(3, 1, 4, 6, 1, 10);
    registry.DenyKeyAccess(true);
    EXPECT_EQ(LoadError(), "");
    ExpectSettings(20, true, 1, 5, true, 14);  // nothing read, so the defaults, in memory only

    SetSettings(1, false, 2, 3, false, 4);
    EXPECT_NO_THROW(SaveSettings(registry, settings));
    registry.DenyKeyAccess(false);
    EXPECT_EQ(Stored(), (std::vector<std::uint32_t>{3, 1, 4, 6, 1, 10}));
}

TEST_F(SettingsStoreTest, EveryKeyOpenedIsClosed) {
    // Counted again in TearDown; here the operations that throw.
    PutAll(3, 1, 4, 6, 1, 10);
    LoadSettings(registry, settings);
    SaveSettings(registry, settings);
    registry.DeleteValue(kKey, "Algorithm");
    EXPECT_NE(LoadError(), "");
    registry.FailWritesOf("Brightness");
    EXPECT_THROW(SaveSettings(registry, settings), SettingsError);
    EXPECT_EQ(registry.OpensSucceeded(), 4);
    EXPECT_EQ(registry.Closes(), 4);
}

TEST_F(SettingsStoreTest, StartUpCleanLoad) {
    std::string message = "unchanged";
    PutAll(3, 1, 4, 6, 1, 10);
    EXPECT_TRUE(LoadSettingsForStartUp(registry, settings, message));
    EXPECT_EQ(message, "unchanged");
    ExpectSettings(3, true, 4, 6, true, 10);

    settings = SaverSettings{};
    registry.DeleteKey(kKey);
    EXPECT_TRUE(LoadSettingsForStartUp(registry, settings, message));
    ExpectSettings(20, true, 1, 5, true, 14);
    EXPECT_EQ(Stored(), kDefaults);
}

TEST_F(SettingsStoreTest, StartUpKeepsWhatWasReadAndDefaultsTheRest) {
    PutAll(3, 0, 4, 6, 0, 10);
    registry.PutString(kKey, "Time_Show", "7");
    std::string message;
    EXPECT_FALSE(LoadSettingsForStartUp(registry, settings, message));
    EXPECT_EQ(message, "Invalid data type for 'Time_Show'");
    ExpectSettings(3, false, 4, 5, true, 14);
    // Not a first run: the damaged key is left for the user to fix by saving.
    EXPECT_EQ(registry.ReadValue(kKey, "Time_Show")->type, kRegSz);
    EXPECT_EQ(registry.ReadDword(kKey, "Brightness"), 10u);
}

TEST_F(SettingsStoreTest, StartUpWithOnlyGarbageRewritesTheDefaults) {
    for (const char* name : kNames) registry.PutString(kKey, name, "garbage");
    std::string message;
    EXPECT_FALSE(LoadSettingsForStartUp(registry, settings, message));
    EXPECT_EQ(message, "Failed to get data for 'Algorithm'");
    ExpectSettings(20, true, 1, 5, true, 14);
    EXPECT_EQ(Stored(), kDefaults);
}

TEST_F(SettingsStoreTest, StartUpReportsTheFirstFailureOnly) {
    registry.PutDword(kKey, "Algorithm", 0);
    registry.FailWritesOf("Background");
    std::string message;
    EXPECT_FALSE(LoadSettingsForStartUp(registry, settings, message));
    EXPECT_EQ(message, "Failed to get data for 'BackgroundRands'");
    ExpectSettings(20, true, 1, 5, true, 14);
    EXPECT_EQ(registry.ReadDword(kKey, "BackgroundRands"), 1u);  // defaults written up to the failing one
    EXPECT_FALSE(registry.ReadValue(kKey, "Background").has_value());

    settings = SaverSettings{};
    registry.DeleteKey(kKey);
    EXPECT_FALSE(LoadSettingsForStartUp(registry, settings, message));
    EXPECT_EQ(message, "Failed to set data for 'Background'");
    ExpectSettings(20, true, 1, 5, true, 14);
}

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
