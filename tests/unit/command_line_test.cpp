#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "host/command_line.h"

namespace nivora {
namespace {

using Args = std::vector<std::string>;

SaverMode ModeOf(const std::string& commandLine) { return ModeFromLetter(ModeLetter(SplitCommandLine(commandLine))); }

TEST(CommandLineSplit, BlanksQuotesAndControlCharacters) {
    EXPECT_EQ(SplitCommandLine(""), Args{});
    EXPECT_EQ(SplitCommandLine(" \t\r\n "), Args{});
    EXPECT_EQ(SplitCommandLine("/p 1234"), (Args{"/p", "1234"}));
    EXPECT_EQ(SplitCommandLine("  /s   x  "), (Args{"/s", "x"}));
    // Every character up to the space separates, including odd control codes.
    EXPECT_EQ(SplitCommandLine(std::string("a\x01" "b\x1f" "c\x7f" "d")), (Args{"a", "b", "c\x7f" "d"}));
    EXPECT_EQ(SplitCommandLine("\"C:\\My Savers\\glade.scr\" /c"), (Args{"C:\\My Savers\\glade.scr", "/c"}));
    EXPECT_EQ(SplitCommandLine("a\"b c\"d e"), (Args{"ab cd", "e"}));
    EXPECT_EQ(SplitCommandLine("\"unclosed quote"), (Args{"unclosed quote"}));
    EXPECT_EQ(SplitCommandLine("\"\" /c"), (Args{"", "/c"}));
}

TEST(CommandLineSplit, BytesAboveAsciiAreNotBlanks) {
    const std::string text = "\xe9t\xe9 \xa0x";
    EXPECT_EQ(SplitCommandLine(text), (Args{"\xe9t\xe9", "\xa0x"}));
}

TEST(CommandLineMode, LetterIsTheSecondCharacterUpperCased) {
    EXPECT_EQ(ModeLetter({}), '\0');
    EXPECT_EQ(ModeLetter({"/"}), '\0');
    EXPECT_EQ(ModeLetter({""}), '\0');
    EXPECT_EQ(ModeLetter({"/s"}), 'S');
    EXPECT_EQ(ModeLetter({"xz"}), 'Z');
    EXPECT_EQ(ModeLetter({"/c:1234"}), 'C');
    // Only a to z are upper-cased; the first character is never looked at.
    EXPECT_EQ(ModeLetter({"/\xe9"}), '\xe9');
    EXPECT_EQ(ModeLetter({"c/"}), '/');
    EXPECT_EQ(ModeLetter({"/1", "/c"}), '1');
}

TEST(CommandLineMode, HostRequests) {
    for (const char* arg : {"/s", "/S", "-s", "xs", "/q", "/x", "/1", "/", "", "   "})
        EXPECT_EQ(ModeOf(arg), SaverMode::FullScreen) << '"' << arg << '"';
    for (const char* arg : {"/c", "/C", "/c:1234", "/config", "-c"})
        EXPECT_EQ(ModeOf(arg), SaverMode::Settings) << arg;
    for (const char* arg : {"/a", "/A"}) EXPECT_EQ(ModeOf(arg), SaverMode::Nothing) << arg;

    const Args preview = SplitCommandLine("/p 1234");
    EXPECT_EQ(ModeFromLetter(ModeLetter(preview)), SaverMode::Preview);
    ASSERT_EQ(preview.size(), 2u);
    EXPECT_EQ(preview[1], "1234");
    EXPECT_EQ(ModeOf("/P"), SaverMode::Preview);
    EXPECT_EQ(ModeFromLetter('\0'), SaverMode::FullScreen);
}

TEST(WindowHandle, DecimalAndHexadecimal) {
    EXPECT_EQ(ParseWindowHandle("1234"), 1234);
    EXPECT_EQ(ParseWindowHandle("  \t1234"), 1234);
    EXPECT_EQ(ParseWindowHandle("+77"), 77);
    EXPECT_EQ(ParseWindowHandle("-77"), -77);
    EXPECT_EQ(ParseWindowHandle("000042"), 42);
    EXPECT_EQ(ParseWindowHandle("0"), 0);
    EXPECT_EQ(ParseWindowHandle("2147483647"), 2147483647);
    EXPECT_EQ(ParseWindowHandle("-2147483648"), INT32_MIN);
    EXPECT_EQ(ParseWindowHandle("$1A2b"), 0x1A2B);
    EXPECT_EQ(ParseWindowHandle("x10"), 16);
    EXPECT_EQ(ParseWindowHandle("X10"), 16);
    EXPECT_EQ(ParseWindowHandle("0x10"), 16);
    EXPECT_EQ(ParseWindowHandle("0XfF"), 255);
    EXPECT_EQ(ParseWindowHandle("$00000000000000FF"), 255);
    // Hex takes the handle's 32-bit pattern.
    EXPECT_EQ(ParseWindowHandle("$FFFFFFFF"), -1);
    EXPECT_EQ(ParseWindowHandle("0x80000000"), INT32_MIN);
}

TEST(WindowHandle, AnythingElseIsNoParent) {
    for (const char* text : {"", "   ", "+", "-", "$", "x", "0x", "12a", "1234 ", "1 2", "abc", "0x1g", "$-1",
                             "-0x10", "--1", "1.5", "2147483648", "-2147483649", "99999999999999999999",
                             "$100000000", "0x1FFFFFFFF"})
        EXPECT_EQ(ParseWindowHandle(text), 0) << '"' << text << '"';
}

}  // namespace
}  // namespace nivora
