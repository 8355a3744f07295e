#include "tools/render_options.h"

#include <algorithm>
#include <iterator>
#include <cstdint>
#include <cstdio>
#include <string>

#include "host/command_line.h"

namespace nivora {

const char* const kRenderUsage =
    "usage: nivora-render [--size WxH] [--mode saver|preview] [--algorithm N] [--background N] "
    "[--brightness N] [--seed N] [--start N] [--count N] [--out FILE.png] [--field FILE.png] [--alpha FILE.pgm]";

namespace {

// An argument as an error message shows it, in single quotes: control
// characters are written as \xNN so that the message stays one line.
std::string Quoted(const std::string& text) {
    std::string quoted = "'";
    for (const char c : text) {
        const auto byte = static_cast<unsigned char>(c);
        if (byte < 0x20 || byte == 0x7F) {
            char escape[5];
            std::snprintf(escape, sizeof escape, "\\x%02X", byte);
            quoted += escape;
        } else {
            quoted += c;
        }
    }
    return quoted + "'";
}

bool ParseSize(const std::string& text, int& width, int& height) {
    const auto x = text.find_first_of("xX");
    return x != std::string::npos && ParseDecimal(text.substr(0, x), 1, kMaxRenderSide, width) &&
           ParseDecimal(text.substr(x + 1), 1, kMaxRenderSide, height);
}

}  // namespace

std::optional<RenderOptions> ParseRenderOptions(const std::vector<std::string>& args, std::string& error) {
    RenderOptions options;
    for (std::size_t i = 0; i < args.size(); ++i) {
        const std::string& option = args[i];
        if (option == "--help" || option == "-h") {
            error = kRenderUsage;
            return std::nullopt;
        }
        static const char* const kKnown[] = {"--size",  "--mode",  "--algorithm", "--background", "--brightness",
                                             "--seed",  "--start", "--count",     "--out",        "--field",
                                             "--alpha"};
        if (std::find(std::begin(kKnown), std::end(kKnown), option) == std::end(kKnown)) {
            error = option.rfind("--", 0) == 0 ? "unknown option " + Quoted(option) : "unknown argument " + Quoted(option);
            return std::nullopt;
        }
        if (i + 1 >= args.size()) {
            error = option + " needs a value";
            return std::nullopt;
        }
        const std::string& value = args[++i];
        bool ok = true;
        if (option == "--size") {
            ok = ParseSize(value, options.width, options.height);
            if (!ok) error = "--size wants WxH with each side from 1 to 16384, not " + Quoted(value);
        } else if (option == "--mode") {
            ok = value == "saver" || value == "preview";
            options.preview = value == "preview";
            if (!ok) error = "--mode is saver or preview, not " + Quoted(value);
        } else if (option == "--algorithm") {
            int algorithm = 0;
            ok = ParseDecimal(value, 0, 255, algorithm);
            options.algorithm = algorithm;
        } else if (option == "--background") {
            std::int32_t background = 0;
            ok = ParseDecimal(value, INT32_MIN, INT32_MAX, background);
            options.background = background;
        } else if (option == "--brightness") {
            ok = ParseDecimal(value, 0, 255, options.brightness);
        } else if (option == "--seed") {
            std::uint32_t seed = 0;
            ok = ParseDecimal(value, 0, UINT32_MAX, seed);
            options.seed = seed;
        } else if (option == "--start") {
            ok = ParseDecimal(value, 1, kMaxRenderCount, options.start);
        } else if (option == "--count") {
            ok = ParseDecimal(value, 1, kMaxRenderCount, options.count);
        } else if (option == "--out" || option == "--field" || option == "--alpha") {
            ok = !value.empty();
            (option == "--out" ? options.out : option == "--field" ? options.field : options.alpha) = value;
        }
        if (!ok) {
            if (error.empty()) error = option + ": " + Quoted(value) + " is not an allowed value";
            return std::nullopt;
        }
    }
    // The saver's field is half the picture's size: a picture 1 wide or high
    // has none, and a file of no pixels is not a picture.
    if (!options.field.empty() && !options.preview && (options.width < 2 || options.height < 2)) {
        error = "--field: a " + std::to_string(options.width) + "x" + std::to_string(options.height) +
                " picture in saver mode has a field of no pixels (use at least 2x2, or --mode preview)";
        return std::nullopt;
    }
    return options;
}

std::string NumberedPath(const std::string& path, int index, int count) {
    if (count <= 1) return path;
    char number[16];
    std::snprintf(number, sizeof number, "-%03d", index);
    const auto slash = path.find_last_of('/');
    const auto dot = path.find_last_of('.');
    const bool hasExtension = dot != std::string::npos && (slash == std::string::npos || dot > slash);
    return hasExtension ? path.substr(0, dot) + number + path.substr(dot) : path + number;
}

}  // namespace nivora
