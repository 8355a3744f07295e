#include "host/saver_options.h"

#include <gtest/gtest.h>

namespace nivora::x11 {
namespace {

std::optional<SaverOptions> Parse(std::vector<std::string> args, std::string* error = nullptr) {
    std::string message;
    auto options = ParseSaverOptions(args, message);
    if (error) *error = message;
    return options;
}

TEST(SaverOptions, NoArgumentsGiveTheWindowsProgramsDefaultsInAWindowOfItsOwn) {
    const auto options = Parse({});
    ASSERT_TRUE(options);
    EXPECT_EQ(options->target, Target::OwnWindow);
    EXPECT_EQ(options->width, 1280);
    EXPECT_EQ(options->height, 720);
    EXPECT_EQ(options->settings.Algorithm, 20);
    EXPECT_EQ(options->settings.Background, 1);
    EXPECT_EQ(options->settings.TimeShow, 5);
    EXPECT_EQ(options->settings.Brightness, 14);
    EXPECT_TRUE(options->settings.RandsAlgorithm);
    EXPECT_TRUE(options->settings.BackgroundRands);
    EXPECT_FALSE(options->seed);
}

TEST(SaverOptions, EveryOptionWithOneOrTwoDashes) {
    for (const std::string dash : {"-", "--"}) {
        const auto options = Parse({dash + "window-id", "0x1a00003", dash + "algorithm", "7", dash + "background", "0",
                                    dash + "time-show", "0", dash + "brightness", "20", dash + "no-random-algorithm",
                                    dash + "no-random-background", dash + "seed", "4294967295"});
        ASSERT_TRUE(options) << dash;
        EXPECT_EQ(options->target, Target::WindowId);
        EXPECT_EQ(options->windowId, 0x1a00003ul);
        EXPECT_EQ(options->settings.Algorithm, 7);
        EXPECT_EQ(options->settings.Background, 0);
        EXPECT_EQ(options->settings.TimeShow, 0);
        EXPECT_EQ(options->settings.Brightness, 20);
        EXPECT_FALSE(options->settings.RandsAlgorithm);
        EXPECT_FALSE(options->settings.BackgroundRands);
        EXPECT_EQ(options->seed, 4294967295u);
    }
    // The last of a pair of flags counts, as the settings dialog appends.
    const auto last = Parse({"--no-random-algorithm", "--random-algorithm", "--root"});
    ASSERT_TRUE(last);
    EXPECT_TRUE(last->settings.RandsAlgorithm);
    EXPECT_EQ(last->target, Target::Root);

    // The settings dialog's preview appends --window-id to the entry's
    // --root: the window named wins, in either order.
    for (const auto& args : {std::vector<std::string>{"--root", "--seed", "3", "--window-id", "0x400EE5"},
                             std::vector<std::string>{"-window-id", "4198117", "-root"}}) {
        const auto preview = Parse(args);
        ASSERT_TRUE(preview) << args[0];
        EXPECT_EQ(preview->target, Target::WindowId);
        EXPECT_EQ(preview->windowId, 0x400EE5ul);
    }
}

TEST(SaverOptions, WindowIdsInDecimalOrHexWithinThirtyTwoBits) {
    EXPECT_EQ(ParseWindowId("12345"), 12345ul);
    EXPECT_EQ(ParseWindowId("0X00ff"), 0xfful);
    EXPECT_EQ(ParseWindowId("0xffffffff"), 0xfffffffful);
    for (const char* bad : {"", "0", "0x", "0x0", "0x100000000", "4294967296", "-5", "+5", "12 ", " 12", "0x1g", "ff"})
        EXPECT_FALSE(ParseWindowId(bad)) << "'" << bad << "'";
}

TEST(SaverOptions, BadArgumentsSayWhatIsWrongInOneLine) {
    const std::pair<std::vector<std::string>, std::string> cases[] = {
        {{"--algorithm", "0"}, "--algorithm wants 1 to 20, not '0'"},
        {{"--algorithm", "21"}, "--algorithm wants 1 to 20, not '21'"},
        {{"--background", "-1"}, "--background wants 0 to 20, not '-1'"},
        {{"--brightness", "14.5"}, "--brightness wants 1 to 20, not '14.5'"},
        {{"--time-show", "86401"}, "--time-show wants 0 to 86400 seconds, not '86401'"},
        {{"-seed", "4294967296"}, "-seed wants 0 to 4294967295, not '4294967296'"},
        {{"--geometry", "0x10"}, "--geometry wants WxH, each side 1 to 16384, not '0x10'"},
        {{"--geometry", "16385x10"}, "--geometry wants WxH, each side 1 to 16384, not '16385x10'"},
        {{"--window-id"}, "--window-id needs a value"},
        {{"--random-algorithm=1"}, "unknown option '--random-algorithm=1'"},
        {{"stray"}, "unknown argument 'stray'"},
        {{"--root", "--geometry", "10x20"}, "--geometry excludes --root and --window-id"},
        {{"--geometry", "10x20", "--window-id", "3"}, "--geometry excludes --root and --window-id"},
    };
    for (const auto& [args, expected] : cases) {
        std::string error;
        EXPECT_FALSE(Parse(args, &error)) << expected;
        EXPECT_EQ(error, expected);
        EXPECT_EQ(error.find('\n'), std::string::npos);
    }
}

// --idle: minutes with a fraction, as milliseconds; the saver it runs gets
// the other arguments as given; it covers the Wayland outputs only.
TEST(SaverOptions, IdleTakesMinutesAndLeavesTheSaverItsOwnArguments) {
    auto options = Parse({"--seed", "5", "-idle", "0.1", "--time-show", "60"});
    ASSERT_TRUE(options);
    EXPECT_EQ(options->idleMs, 6000);
    EXPECT_EQ(options->saverArgs, (std::vector<std::string>{"--seed", "5", "--time-show", "60"}));
    options = Parse({"--idle", "5"});
    ASSERT_TRUE(options);
    EXPECT_EQ(options->idleMs, 300000);
    EXPECT_TRUE(options->saverArgs.empty());
    options = Parse({"--tick-log", "--idle"});  // a file named so, not the option
    ASSERT_TRUE(options);
    EXPECT_EQ(options->idleMs, 0);
    EXPECT_EQ(Parse({})->idleMs, 0);

    for (const char* bad : {"0", "0.01", "-1", "1441", "5m", "", "1e1", "nan"}) {
        std::string error;
        EXPECT_FALSE(Parse({"--idle", bad}, &error)) << bad;
        EXPECT_EQ(error, std::string("--idle wants minutes, from 1 second (0.017) to 1440, not '") + bad + "'");
    }
    for (const std::vector<std::string>& args : std::vector<std::vector<std::string>>{
             {"--idle", "1", "--root"}, {"--window-id", "7", "--idle", "1"}, {"--idle", "1", "--geometry", "9x9"},
             {"--x11", "--idle", "1"}}) {
        std::string error;
        EXPECT_FALSE(Parse(args, &error)) << args[0];
        EXPECT_EQ(error, "--idle covers the Wayland outputs: it excludes --root, --window-id, --geometry and --x11");
    }
}

// Which display: the whole table of options and environments, both builds.
TEST(SaverOptions, TheDisplayFollowsTheOptionsThenWaylandThenX11) {
    const auto choose = [](std::vector<std::string> args, const char* wayland, const char* x11, bool built = true) {
        const auto options = Parse(args);
        EXPECT_TRUE(options);
        return ChooseDisplay(*options, wayland, x11, built);
    };
    using K = DisplayKind;
    EXPECT_EQ(choose({}, "wayland-0", ":0"), K::Wayland);
    EXPECT_EQ(choose({}, "", ":0"), K::X11);
    EXPECT_EQ(choose({}, nullptr, nullptr), K::Missing);
    EXPECT_EQ(choose({}, "", ""), K::Missing);
    EXPECT_EQ(choose({"--x11"}, "wayland-0", ":0"), K::X11);
    EXPECT_EQ(choose({"--x11"}, "wayland-0", nullptr), K::Missing);
    EXPECT_EQ(choose({"--wayland"}, nullptr, ":0"), K::Wayland);
    // An X window to draw into is on the X display.
    EXPECT_EQ(choose({"--root"}, "wayland-0", ":0"), K::X11);
    EXPECT_EQ(choose({"--window-id", "0x400001"}, "wayland-0", ":0"), K::X11);
    // Without the Wayland front-end, XWayland's display serves.
    EXPECT_EQ(choose({}, "wayland-0", ":0", false), K::X11);
    EXPECT_EQ(choose({"--wayland"}, "wayland-0", nullptr, false), K::Missing);

    std::string error;
    EXPECT_FALSE(Parse({"--wayland", "-x11"}, &error));
    EXPECT_EQ(error, "--wayland and --x11 exclude each other");
}

}  // namespace
}  // namespace nivora::x11
