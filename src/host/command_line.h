// Reading the command line the way the screen-saver host passes it.
#pragma once

#include <charconv>
#include <cstdint>
#include <string>
#include <vector>

namespace nivora {

// Splits a command line into arguments: every character up to and including
// the space counts as a blank; a stretch in double quotes may hold blanks and
// the quotes themselves are dropped.
std::vector<std::string> SplitCommandLine(const std::string& commandLine);

enum class SaverMode { FullScreen, Settings, Preview, Nothing };

// The mode letter is the second character of the first argument, upper-cased
// (a to z only): C settings, P preview, A nothing, anything else or no letter
// the full-screen saver.
char ModeLetter(const std::vector<std::string>& arguments);
SaverMode ModeFromLetter(char letter);

// The preview pane's window handle from the second argument: leading blanks,
// then an optional sign and decimal digits, or "$", "x" or "0x" and hex digits,
// and nothing after. Hex takes up to 32 bits as the handle's bit pattern.
// Anything else, or a decimal outside 32-bit signed, gives 0 (no parent).
std::int32_t ParseWindowHandle(const std::string& text);

// A whole decimal number within [low, high], nothing before or after it, as
// the tools' options take them. Leaves `value` alone and returns false
// otherwise.
template <class Int>
bool ParseDecimal(const std::string& text, long long low, long long high, Int& value) {
    long long parsed = 0;
    const char* end = text.data() + text.size();
    const auto [ptr, ec] = std::from_chars(text.data(), end, parsed);
    if (text.empty() || ec != std::errc() || ptr != end || parsed < low || parsed > high) return false;
    value = static_cast<Int>(parsed);
    return true;
}

}  // namespace nivora
