// The saver's command line as the screen-saver host (or anyone) passes it:
// splitting, the mode letter and the preview's window handle.
#include <cstdint>
#include <cstdlib>
#include <string>

#include "fuzz_check.h"
#include "host/command_line.h"

using namespace nivora;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string line(reinterpret_cast<const char*>(data), size);
    const auto arguments = SplitCommandLine(line);

    std::size_t quotes = 0, kept = 0;
    for (const char c : line) quotes += c == '"';
    for (const std::string& argument : arguments) {
        FUZZ_CHECK(argument.find('"') == std::string::npos);
        kept += argument.size();
    }
    // Every character is kept, dropped as a quote, or a blank between arguments.
    FUZZ_CHECK(kept + quotes <= line.size());

    const char letter = ModeLetter(arguments);
    FUZZ_CHECK(letter < 'a' || letter > 'z');
    const SaverMode mode = ModeFromLetter(letter);
    FUZZ_CHECK((mode == SaverMode::Settings) == (letter == 'C'));
    FUZZ_CHECK((mode == SaverMode::Preview) == (letter == 'P'));

    // A handle that parses as plain decimal is the number written.
    for (const std::string& text : {line, arguments.size() > 1 ? arguments[1] : std::string()}) {
        const std::int32_t handle = ParseWindowHandle(text);
        const bool decimal = !text.empty() && text.find_first_not_of("0123456789") == std::string::npos;
        if (decimal && handle != 0) FUZZ_CHECK(std::strtoll(text.c_str(), nullptr, 10) == handle);
        // Written back in decimal, any handle parses to itself.
        FUZZ_CHECK(ParseWindowHandle(std::to_string(handle)) == handle);
    }

    return 0;
}
