// Reading the command line the way the screen-saver host passes it.
#pragma once

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

// The text the application's general error handler shows: a full stop is
// appended only when the message's last character sorts after '.'.
std::string ErrorBoxText(const std::string& message);

// The preview pane's window handle from the second argument: leading blanks,
// then an optional sign and decimal digits, or "$", "x" or "0x" and hex digits,
// and nothing after. Hex takes up to 32 bits as the handle's bit pattern.
// Anything else, or a decimal outside 32-bit signed, gives 0 (no parent).
std::int32_t ParseWindowHandle(const std::string& text);

}  // namespace nivora
