#include "host/command_line.h"

#include <cstdint>

namespace nivora {

namespace {

// Control characters and the space separate arguments; bytes above 127 are
// ordinary characters, so compare unsigned.
bool IsBlank(char c) { return static_cast<unsigned char>(c) <= ' '; }

int HexDigitValue(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

}  // namespace

std::vector<std::string> SplitCommandLine(const std::string& commandLine) {
    std::vector<std::string> arguments;
    std::size_t i = 0;
    const std::size_t n = commandLine.size();
    while (true) {
        while (i < n && IsBlank(commandLine[i])) ++i;
        if (i >= n) break;
        std::string argument;
        bool quoted = false;
        for (; i < n && (quoted || !IsBlank(commandLine[i])); ++i) {
            if (commandLine[i] == '"')
                quoted = !quoted;
            else
                argument += commandLine[i];
        }
        // A pair of quotes with nothing between still makes an (empty) argument.
        arguments.push_back(std::move(argument));
    }
    return arguments;
}

char ModeLetter(const std::vector<std::string>& arguments) {
    if (arguments.empty() || arguments.front().size() < 2) return '\0';
    const char letter = arguments.front()[1];
    if (letter >= 'a' && letter <= 'z') return static_cast<char>(letter - 'a' + 'A');
    return letter;
}

SaverMode ModeFromLetter(char letter) {
    switch (letter) {
        case 'C': return SaverMode::Settings;
        case 'P': return SaverMode::Preview;
        case 'A': return SaverMode::Nothing;
        default: return SaverMode::FullScreen;
    }
}

std::int32_t ParseWindowHandle(const std::string& text) {
    std::size_t i = 0;
    const std::size_t n = text.size();
    while (i < n && IsBlank(text[i])) ++i;
    if (i >= n) return 0;

    std::size_t hexPrefix = 0;
    if (text[i] == '$' || text[i] == 'x' || text[i] == 'X')
        hexPrefix = 1;
    else if (text[i] == '0' && i + 1 < n && (text[i + 1] == 'x' || text[i + 1] == 'X'))
        hexPrefix = 2;

    if (hexPrefix != 0) {
        // Hexadecimal: up to 32 bits, taken as the bit pattern of the handle.
        i += hexPrefix;
        if (i >= n) return 0;
        std::uint64_t value = 0;
        for (; i < n; ++i) {
            const int digit = HexDigitValue(text[i]);
            if (digit < 0) return 0;
            value = value * 16 + static_cast<std::uint64_t>(digit);
            if (value > 0xFFFFFFFFull) return 0;
        }
        return static_cast<std::int32_t>(static_cast<std::uint32_t>(value));
    }

    bool negative = false;
    if (text[i] == '+' || text[i] == '-') {
        negative = text[i] == '-';
        ++i;
    }
    if (i >= n) return 0;
    // Accumulate the magnitude; the limit admits -2147483648 but not +2147483648.
    const std::uint64_t limit = negative ? 0x80000000ull : 0x7FFFFFFFull;
    std::uint64_t value = 0;
    for (; i < n; ++i) {
        if (text[i] < '0' || text[i] > '9') return 0;
        value = value * 10 + static_cast<std::uint64_t>(text[i] - '0');
        if (value > limit) return 0;
    }
    return negative ? static_cast<std::int32_t>(-static_cast<std::int64_t>(value)) : static_cast<std::int32_t>(value);
}

}  // namespace nivora
