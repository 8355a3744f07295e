// nivora-render: makes Nivora Glade pictures without any window, as PNG files.
#include <chrono>
#include <cstdio>
#include <string>
#include <vector>

#include "engine/picture_cycle.h"
#include "engine/random.h"
#include "engine/scene.h"
#include "tools/image_files.h"
#include "tools/render_options.h"

using namespace nivora;

namespace {

void SetUpScene(const RenderOptions& options) {
    SaverSettings.Brightness = static_cast<std::uint8_t>(options.brightness);
    SaverSettings.Algorithm = static_cast<std::uint8_t>(options.algorithm.value_or(0));
    SaverSettings.Background = options.background.value_or(0);
    // A number not given is drawn for every picture, as the saver does with its random flags.
    SaverSettings.RandsAlgorithm = !options.algorithm;
    SaverSettings.BackgroundRands = !options.background;
    if (options.seed)
        RandSeed = *options.seed;
    else
        Randomize();

    if (options.preview)
        SetPreviewGeometry(options.width, options.height);
    else
        SetSaverGeometry(options.width, options.height);
    CreateSurfaces(SoftwareImaging(), options.width, options.height);
}

std::vector<std::uint16_t> AlphaSamples() {
    std::vector<std::uint16_t> samples;
    samples.reserve(static_cast<std::size_t>(FlakeSize + 1) * (FlakeSize + 1));
    for (int row = 0; row <= FlakeSize; ++row)
        for (int col = 0; col <= FlakeSize; ++col)
            samples.push_back(static_cast<std::uint16_t>(FlakeLayer.Alpha[FlakeLayer.Index(row, col)]));
    return samples;
}

bool WriteFiles(const RenderOptions& options, int index) {
    std::string error;
    bool ok = true;
    if (ok && !options.out.empty()) ok = WriteFramePng(NumberedPath(options.out, index, options.count), *FrameDib, error);
    if (ok && !options.field.empty())
        ok = WriteBitmapPng(NumberedPath(options.field, index, options.count), *FieldBitmap, error);
    if (ok && !options.alpha.empty())
        ok = WriteGreyPgm16(NumberedPath(options.alpha, index, options.count), FlakeSize + 1, FlakeSize + 1,
                            AlphaSamples(), error);
    if (!ok) std::fprintf(stderr, "nivora-render: %s\n", error.c_str());
    return ok;
}

}  // namespace

int main(int argc, char** argv) {
    std::string error;
    const auto options = ParseRenderOptions(std::vector<std::string>(argv + 1, argv + argc), error);
    if (!options) {
        std::fprintf(stderr, "nivora-render: %s\n", error.c_str());
        return 2;
    }

    SetUpScene(*options);
    for (int index = 1; index <= options->count; ++index) {
        const std::uint32_t seed = RandSeed;
        PictureTimings timings;
        if (index == 1)
            FirstPicture(&timings);
        else
            HoldEnd(&timings);

        const auto start = std::chrono::steady_clock::now();
        while (!RevealTick().completed) {
        }
        FrameGraphics->Flush();
        const double reveal = std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count();

        std::printf(
            "picture %d: size %dx%d mode %s algorithm %d background %d brightness %d seed %u | "
            "snowflake %.1f ms, background %.1f ms, colouring %.1f ms, reveal %.1f ms\n",
            index, options->width, options->height, options->preview ? "preview" : "saver", SaverSettings.Algorithm,
            SaverSettings.Background, SaverSettings.Brightness, seed, timings.snowflake, timings.background,
            timings.colouring, reveal);
        std::fflush(stdout);
        if (!WriteFiles(*options, index)) return 1;
    }
    return 0;
}
