// The command line of nivora-render.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "engine/pictures/scene.h"

namespace nivora {

struct RenderOptions {
    int width = 1920;
    int height = 1080;
    bool preview = false;  // preview geometry: field at the picture's full size
    std::optional<int> algorithm;
    std::optional<std::int32_t> background;
    int brightness = kDefaultSettings.Brightness;
    std::optional<std::uint32_t> seed;
    int count = 1;
    int start = 1;  // the first picture written is this one of the run from the seed
    std::string out, field, alpha;
};

inline constexpr int kMaxRenderSide = 16384;
inline constexpr int kMaxRenderCount = 100000;

// Parses the arguments after the program name. On a bad argument returns
// nothing and sets `error` to a one-line message.
std::optional<RenderOptions> ParseRenderOptions(const std::vector<std::string>& args, std::string& error);

// "name.png" for a single picture; "name-007.png" for picture 7 of several.
std::string NumberedPath(const std::string& path, int index, int count);

extern const char* const kRenderUsage;

}  // namespace nivora
