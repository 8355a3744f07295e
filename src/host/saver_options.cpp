#include "host/saver_options.h"

#include <charconv>
#include <cstdint>

#include "engine/pictures/generator_counts.h"
#include "host/command_line.h"

namespace nivora::x11 {

const char* const kSaverUsage =
    "usage: nivoraglade [--root | --window-id ID | --geometry WxH] [--algorithm N] [--background N] "
    "[--time-show S] [--brightness N] [--[no-]random-algorithm] [--[no-]random-background] [--seed N] "
    "[--wayland | --x11] [--idle MINUTES]";

const char* const kSaverHelp =
    "Usage: nivoraglade [options]\n"
    "Nivora Glade: generated pictures, a coloured background and a white snowflake revealed row by row.\n"
    "\n"
    "Where it draws:\n"
    "  --root               the window in XSCREENSAVER_WINDOW, or else the root window\n"
    "  --window-id ID       that window (decimal or 0x hex); wins over --root\n"
    "  --geometry WxH       a window of its own, 1280x720 unless given; a key press or a\n"
    "                       quick jump of the mouse ends it, as does closing it\n"
    "Pictures (the Windows program's settings and defaults):\n"
    "  --algorithm N        snowflake rule, 1..20 (20)\n"
    "  --background N       background recipe, 0..20 (1)\n"
    "  --time-show S        seconds a finished picture is held, 0..86400, 0 for ever (5)\n"
    "  --brightness N       colour channels capped at N/20, 1..20 (14)\n"
    "  --random-algorithm, --no-random-algorithm    a new rule for every picture (on)\n"
    "  --random-background, --no-random-background  a new recipe for every picture (on)\n"
    "  --seed N             seeds the random generator (default: the time of day), so that\n"
    "                       a run shows the pictures 'nivora-render --seed N' makes\n"
    "Display (WAYLAND_DISPLAY set: Wayland, one picture on every output; else X11):\n"
    "  --wayland            Wayland even without WAYLAND_DISPLAY\n"
    "  --x11                X11 (DISPLAY) even on a Wayland desktop\n"
    "  --idle MINUTES       waits until the session has been idle that long (fractions too:\n"
    "                       0.5), runs the saver on every output, and when it ends waits\n"
    "                       again; asks the compositor (ext-idle-notify-v1, KDE's idle) or\n"
    "                       GNOME's Mutter over D-Bus\n"
    "  --tick-log FILE      writes one line per step of the picture cycle (for measurements)\n"
    "  --help               this text\n"
    "Options may also be written with one dash (-root). SIGTERM or SIGINT ends the saver.\n";

namespace {

// Minutes, with a fraction if wanted, as milliseconds: from 1 s to a day.
// Read digit by digit (not every C++ library reads floating point from
// characters, and strtod would follow the locale's decimal point).
bool ParseMinutes(const std::string& text, int& ms) {
    constexpr std::int64_t kDay = 1440;
    std::int64_t whole = 0, fraction = 0, scale = 1;
    bool point = false, digits = false;
    for (const char c : text) {
        if (c == '.' && !point) {
            point = true;
        } else if (c >= '0' && c <= '9') {
            digits = true;
            if (!point) {
                whole = whole * 10 + (c - '0');
                if (whole > kDay) return false;
            } else if (scale < 1000000000) {  // finer than a nanominute is not a millisecond
                fraction = fraction * 10 + (c - '0');
                scale *= 10;
            }
        } else {
            return false;
        }
    }
    if (!digits) return false;
    // Rounded to the nearest millisecond, half up.
    const std::int64_t total = whole * 60000 + (fraction * 60000 * 2 + scale) / (2 * scale);
    if (total < 1000 || total > kDay * 60000) return false;
    ms = static_cast<int>(total);
    return true;
}

bool ParseGeometry(const std::string& text, int& width, int& height) {
    constexpr int kLargest = 16384;
    const auto x = text.find_first_of("xX");
    return x != std::string::npos && ParseDecimal(text.substr(0, x), 1, kLargest, width) &&
           ParseDecimal(text.substr(x + 1), 1, kLargest, height);
}

}  // namespace

std::optional<unsigned long> ParseWindowId(const std::string& text) {
    const bool hex = text.size() > 2 && text[0] == '0' && (text[1] == 'x' || text[1] == 'X');
    const std::string digits = hex ? text.substr(2) : text;
    unsigned long long id = 0;
    const char* end = digits.data() + digits.size();
    const auto [ptr, ec] = std::from_chars(digits.data(), end, id, hex ? 16 : 10);
    if (digits.empty() || ec != std::errc() || ptr != end || id == 0 || id > 0xFFFFFFFFull) return std::nullopt;
    return static_cast<unsigned long>(id);
}

std::optional<SaverOptions> ParseSaverOptions(const std::vector<std::string>& args, std::string& error) {
    SaverOptions options;
    bool rootGiven = false, windowGiven = false, geometryGiven = false;
    std::size_t idleAt = 0;
    for (std::size_t i = 0; i < args.size(); ++i) {
        std::string option = args[i];
        if (option.size() > 1 && option[0] == '-' && option[1] != '-') option = "-" + option;

        bool* flag = nullptr;
        bool flagValue = false;
        if (option == "--help" || option == "--h") {
            options.help = true;
            continue;
        } else if (option == "--root") {
            rootGiven = true;
            continue;
        } else if (option == "--wayland" || option == "--x11") {
            (option == "--wayland" ? options.wayland : options.x11) = true;
            continue;
        } else if (option == "--random-algorithm" || option == "--no-random-algorithm") {
            flag = &options.settings.RandsAlgorithm;
            flagValue = option == "--random-algorithm";
        } else if (option == "--random-background" || option == "--no-random-background") {
            flag = &options.settings.BackgroundRands;
            flagValue = option == "--random-background";
        }
        if (flag) {
            *flag = flagValue;
            continue;
        }

        static const char* const kWithValue[] = {"--window-id",  "--geometry",   "--algorithm", "--background",
                                                 "--time-show",  "--brightness", "--seed",      "--tick-log",
                                                 "--idle"};
        bool known = false;
        for (const char* name : kWithValue) known = known || option == name;
        if (!known) {
            error = args[i].rfind('-', 0) == 0 ? "unknown option '" + args[i] + "'" : "unknown argument '" + args[i] + "'";
            return std::nullopt;
        }
        if (i + 1 >= args.size()) {
            error = args[i] + " needs a value";
            return std::nullopt;
        }
        const std::string& value = args[++i];
        bool ok = true;
        std::string wants;
        if (option == "--window-id") {
            const auto id = ParseWindowId(value);
            ok = id.has_value();
            options.windowId = id.value_or(0);
            windowGiven = true;
            wants = "a window id, decimal or 0x hex";
        } else if (option == "--geometry") {
            ok = ParseGeometry(value, options.width, options.height);
            geometryGiven = true;
            wants = "WxH, each side 1 to 16384";
        } else if (option == "--algorithm") {
            ok = ParseDecimal(value, 1, kSnowflakeRules, options.settings.Algorithm);
            wants = "1 to " + std::to_string(kSnowflakeRules);
        } else if (option == "--background") {
            ok = ParseDecimal(value, 0, kBackgroundRecipes, options.settings.Background);
            wants = "0 to " + std::to_string(kBackgroundRecipes);
        } else if (option == "--time-show") {
            ok = ParseDecimal(value, 0, 86400, options.settings.TimeShow);
            wants = "0 to 86400 seconds";
        } else if (option == "--brightness") {
            ok = ParseDecimal(value, 1, 20, options.settings.Brightness);
            wants = "1 to 20";
        } else if (option == "--seed") {
            std::uint32_t seed = 0;
            ok = ParseDecimal(value, 0, UINT32_MAX, seed);
            options.seed = seed;
            wants = "0 to 4294967295";
        } else if (option == "--idle") {
            ok = ParseMinutes(value, options.idleMs);
            idleAt = i - 1;
            wants = "minutes, from 1 second (0.017) to 1440";
        } else if (option == "--tick-log") {
            ok = !value.empty();
            options.tickLog = value;
            wants = "a file name";
        }
        if (!ok) {
            error = args[i - 1] + " wants " + wants + ", not '" + value + "'";
            return std::nullopt;
        }
    }
    // A host that shows the saver in a window of its own (the daemon's
    // settings preview) appends --window-id to a command line that already
    // says --root: the window named wins.
    if (geometryGiven && (rootGiven || windowGiven)) {
        error = "--geometry excludes --root and --window-id";
        return std::nullopt;
    }
    if (options.wayland && options.x11) {
        error = "--wayland and --x11 exclude each other";
        return std::nullopt;
    }
    if (options.idleMs && (rootGiven || windowGiven || geometryGiven || options.x11)) {
        error = "--idle covers the Wayland outputs: it excludes --root, --window-id, --geometry and --x11";
        return std::nullopt;
    }
    if (options.idleMs) {
        options.saverArgs = args;
        options.saverArgs.erase(options.saverArgs.begin() + idleAt, options.saverArgs.begin() + idleAt + 2);
    }
    if (rootGiven) options.target = Target::Root;
    if (windowGiven) options.target = Target::WindowId;
    return options;
}

DisplayKind ChooseDisplay(const SaverOptions& options, const char* waylandDisplay, const char* x11Display,
                          bool waylandBuilt) {
    const bool hasWayland = waylandDisplay && *waylandDisplay, hasX11 = x11Display && *x11Display;
    const bool wantsX11 = options.x11 || options.target != Target::OwnWindow || !waylandBuilt;
    if (options.wayland && waylandBuilt) return DisplayKind::Wayland;
    if (wantsX11 || !hasWayland) return hasX11 ? DisplayKind::X11 : DisplayKind::Missing;
    return DisplayKind::Wayland;
}

}  // namespace nivora::x11
