#include <gtest/gtest.h>

#include "tools/render_options.h"

namespace nivora {
namespace {

std::optional<RenderOptions> Parse(std::vector<std::string> args, std::string* errorOut = nullptr) {
    std::string error;
    auto options = ParseRenderOptions(args, error);
    if (errorOut) *errorOut = error;
    EXPECT_EQ(options.has_value(), error.empty()) << error;
    return options;
}

TEST(RenderOptions, DefaultsAndEveryOption) {
    auto defaults = Parse({});
    ASSERT_TRUE(defaults);
    EXPECT_EQ(defaults->width, 1920);
    EXPECT_EQ(defaults->height, 1080);
    EXPECT_FALSE(defaults->preview);
    EXPECT_EQ(defaults->brightness, 14);
    EXPECT_EQ(defaults->count, 1);
    EXPECT_FALSE(defaults->algorithm || defaults->background || defaults->seed);

    auto all = Parse({"--size", "1280x720", "--mode", "preview", "--algorithm", "7", "--background", "6",
                      "--brightness", "20", "--seed", "4294967295", "--count", "3", "--out", "a.png", "--field",
                      "f.png", "--alpha", "a.pgm"});
    ASSERT_TRUE(all);
    EXPECT_EQ(all->width, 1280);
    EXPECT_EQ(all->height, 720);
    EXPECT_TRUE(all->preview);
    EXPECT_EQ(all->algorithm, 7);
    EXPECT_EQ(all->background, 6);
    EXPECT_EQ(all->brightness, 20);
    EXPECT_EQ(all->seed, 4294967295u);
    EXPECT_EQ(all->count, 3);
    EXPECT_EQ(all->out, "a.png");
    EXPECT_EQ(all->field, "f.png");
    EXPECT_EQ(all->alpha, "a.pgm");
    EXPECT_EQ(Parse({"--size", "16384x1"})->width, 16384);
}

TEST(RenderOptions, BadArgumentsAreRefusedWithAOneLineMessage) {
    const std::vector<std::vector<std::string>> bad = {
        {"--frobnicate", "1"}, {"--size", "0x100"},     {"--size", "100x0"},       {"--size", "16385x10"},
        {"--size", "100"},     {"--size", "axb"},       {"--size", "10x10x10"},    {"--size", "-5x10"},
        {"--algorithm", "7a"}, {"--algorithm", ""},     {"--algorithm", "256"},    {"--seed", "-1"},
        {"--count", "0"},      {"--mode", "window"},    {"--brightness", "ten"},   {"--background", "99999999999"},
        {"--out"},             {"stray"},               {"--size", " 10x10"},
    };
    for (const auto& args : bad) {
        std::string error;
        EXPECT_FALSE(Parse(args, &error)) << args[0];
        EXPECT_EQ(error.find('\n'), std::string::npos);
    }
    // A saver-mode picture 1 wide or high has no field to write.
    std::string error;
    EXPECT_FALSE(Parse({"--size", "1x5", "--field", "f.png", "--alpha", "a.pgm"}, &error));
    EXPECT_EQ(error, "--field: a 1x5 picture in saver mode has a field of no pixels (use at least 2x2, or --mode preview)");
    EXPECT_FALSE(Parse({"--size", "5x1", "--field", "f.png"}));
    EXPECT_TRUE(Parse({"--size", "1x5", "--field", "f.png", "--mode", "preview"}));
    EXPECT_TRUE(Parse({"--size", "2x2", "--field", "f.png"}));
    // Found by fuzzing: control characters of a value are shown escaped.
    EXPECT_FALSE(Parse({"--mode", "a\nb\r\x7f"}, &error));
    EXPECT_EQ(error, "--mode is saver or preview, not 'a\\x0Ab\\x0D\\x7F'");
    EXPECT_FALSE(Parse({"\r-algo--size"}, &error));
    EXPECT_EQ(error, "unknown argument '\\x0D-algo--size'");
}

TEST(RenderOptions, NumberedPathsOnlyForSeveralPictures) {
    EXPECT_EQ(NumberedPath("out/a.png", 1, 1), "out/a.png");
    EXPECT_EQ(NumberedPath("out/a.png", 7, 12), "out/a-007.png");
    EXPECT_EQ(NumberedPath("dir.v2/picture", 2, 3), "dir.v2/picture-002");
}

}  // namespace
}  // namespace nivora
