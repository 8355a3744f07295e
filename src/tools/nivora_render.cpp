// nivora-render: makes Nivora Glade pictures without any window, as PNG files.
#include <chrono>
#include <cstdio>
#include <string>
#include <vector>

#include "engine/picture_steps.h"
#include "tools/image_files.h"
#include "tools/render_options.h"

using namespace nivora;

namespace {

void SetUpScene(const RenderOptions& options, Scene& scene) {
    scene.Settings.Brightness = static_cast<std::uint8_t>(options.brightness);
    scene.Settings.Algorithm = static_cast<std::uint8_t>(options.algorithm.value_or(0));
    scene.Settings.Background = options.background.value_or(0);
    // A number not given is drawn for every picture, as the saver does with its random flags.
    scene.Settings.RandsAlgorithm = !options.algorithm;
    scene.Settings.BackgroundRands = !options.background;
    if (options.preview)
        SetPreviewGeometry(scene, options.width, options.height);
    else
        SetSaverGeometry(scene, options.width, options.height);
    CreateSurfaces(scene, SoftwareImaging(), options.width, options.height);
}

std::vector<std::uint16_t> AlphaSamples(const Scene& scene) {
    std::vector<std::uint16_t> samples;
    samples.reserve(static_cast<std::size_t>(scene.FlakeSize + 1) * (scene.FlakeSize + 1));
    for (int row = 0; row <= scene.FlakeSize; ++row)
        for (int col = 0; col <= scene.FlakeSize; ++col)
            samples.push_back(static_cast<std::uint16_t>(scene.FlakeLayer.Alpha[scene.FlakeLayer.Index(row, col)]));
    return samples;
}

bool WriteFiles(const RenderOptions& options, const Scene& scene, int index) {
    std::string error;
    bool ok = true;
    // Numbered by the picture's place in the run, so that a file names the
    // --start that makes it again.
    const int count = options.count > 1 ? options.count : 0;
    auto path = [&](const std::string& name) { return count ? NumberedPath(name, index, 2) : name; };
    if (ok && !options.out.empty()) ok = WriteFramePng(path(options.out), *scene.FrameDib, error);
    if (ok && !options.field.empty()) ok = WriteBitmapPng(path(options.field), *scene.FieldBitmap, error);
    if (ok && !options.alpha.empty())
        ok = WriteGreyPgm16(path(options.alpha), scene.FlakeSize + 1, scene.FlakeSize + 1, AlphaSamples(scene), error);
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

    Scene scene;
    RandomGenerator generator;
    if (options->seed)
        generator.Seed = *options->seed;
    else
        generator.Randomize();
    const std::uint32_t runSeed = generator.Seed;
    SetUpScene(*options, scene);

    // The pictures before --start only draw their numbers: a picture is made
    // from the generator's state and its own numbers alone.
    if (options->start > 1) DrawFirstPictureNumbers(scene.Settings, generator);
    for (int index = 2; index < options->start; ++index) DrawNextPictureNumbers(scene.Settings, generator);

    const int last = options->start + options->count - 1;
    for (int index = options->start; index <= last; ++index) {
        PictureTimings timings;
        if (index == 1)
            FirstPicture(scene, generator, &timings);
        else
            HoldEnd(scene, generator, &timings);

        const auto start = std::chrono::steady_clock::now();
        while (!RevealTick(scene).completed) {
        }
        scene.FrameGraphics->Flush();
        const double reveal = std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count();

        std::printf(
            "picture %d: size %dx%d mode %s algorithm %d background %d brightness %d | again: --seed %u --start %d | "
            "snowflake %.1f ms, background %.1f ms, colouring %.1f ms, reveal %.1f ms\n",
            index, options->width, options->height, options->preview ? "preview" : "saver", scene.Settings.Algorithm,
            scene.Settings.Background, scene.Settings.Brightness, runSeed, index, timings.snowflake,
            timings.background, timings.colouring, reveal);
        std::fflush(stdout);
        if (!WriteFiles(*options, scene, index)) return 1;
    }
    return 0;
}
