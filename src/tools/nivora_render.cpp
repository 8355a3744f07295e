// nivora-render: makes Nivora Glade pictures without any window, as PNG files.
#include <chrono>
#include <cstdio>
#include <string>
#include <system_error>
#include <vector>

#include "engine/cycle/picture_numbers.h"
#include "engine/cycle/picture_steps.h"
#include "engine/cycle/reveal.h"
#include "engine/pictures/surfaces.h"
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

// Writes every file asked for, also after one fails, so that a failure of
// one costs no other; each failure is a line on stderr.
bool WriteFiles(const RenderOptions& options, const Scene& scene, int index) {
    bool ok = true;
    // Numbered by the picture's place in the run, so that a file names the
    // --start that makes it again.
    const int count = options.count > 1 ? options.count : 0;
    auto path = [&](const std::string& name) { return count ? NumberedPath(name, index, 2) : name; };
    auto report = [&](bool written, const std::string& error) {
        if (!written) std::fprintf(stderr, "nivora-render: %s\n", error.c_str());
        ok = ok && written;
    };
    std::string error;
    if (!options.out.empty()) report(WriteFramePng(path(options.out), *scene.FrameDib, error), error);
    if (!options.field.empty()) report(WriteBitmapPng(path(options.field), *scene.FieldBitmap, error), error);
    if (!options.alpha.empty())
        report(WriteGreyPgm16(path(options.alpha), scene.FlakeSize + 1, scene.FlakeSize + 1, AlphaSamples(scene), error),
               error);
    return ok;
}

int Render(const RenderOptions& options, Scene& scene);

}  // namespace

int main(int argc, char** argv) {
    std::string error;
    const auto options = ParseRenderOptions(std::vector<std::string>(argv + 1, argv + argc), error);
    if (!options) {
        std::fprintf(stderr, "nivora-render: %s\n", error.c_str());
        return 2;
    }
    Scene scene;
    try {
        return Render(*options, scene);
    } catch (const std::bad_alloc&) {
        // The planes of a large picture are many gigabytes (a 16384 x 16384
        // preview needs about 20 GB); whichever allocation failed, say what
        // the picture needs.
        const PictureMemoryError failure(options->width, options->height,
                                         PictureMemoryBytes(scene, options->width, options->height, 1));
        std::fprintf(stderr, "nivora-render: %s\n", failure.what());
        return 1;
    } catch (const std::system_error& e) {
        std::fprintf(stderr, "nivora-render: %s\n", e.what());  // no thread for the generators
        return 1;
    }
}

namespace {

int Render(const RenderOptions& options, Scene& scene) {
    RandomGenerator generator;
    if (options.seed)
        generator.Seed = *options.seed;
    else
        generator.Randomize();
    const std::uint32_t runSeed = generator.Seed;
    SetUpScene(options, scene);

    // The pictures before --start only draw their numbers: a picture is made
    // from the generator's state and its own numbers alone.
    if (options.start > 1) DrawFirstPictureNumbers(scene.Settings, generator);
    for (int index = 2; index < options.start; ++index) DrawNextPictureNumbers(scene.Settings, generator);

    const int last = options.start + options.count - 1;
    for (int index = options.start; index <= last; ++index) {
        PictureTimings timings;
        if (index == 1)
            MakeFirstPictureNow(scene, generator, &timings);
        else
            MakeNextPictureNow(scene, generator, &timings);

        const auto start = std::chrono::steady_clock::now();
        // Every tick reveals 2 x FlakeSize + 1 cells of (FlakeSize + 1)^2, so
        // a picture completes within FlakeSize + 2 ticks; a reveal that does
        // not is a fault, not a reason to spin for ever.
        const long long tickLimit = static_cast<long long>(scene.FlakeSize) + 2;
        long long ticks = 0;
        while (!RevealTick(scene).completed) {
            if (++ticks > tickLimit) {
                std::fprintf(stderr, "nivora-render: picture %d did not complete in %lld reveal ticks\n", index,
                             tickLimit);
                return 1;
            }
        }
        scene.FrameGraphics->Flush();
        const double reveal = std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count();

        std::printf(
            "picture %d: size %dx%d mode %s algorithm %d background %d brightness %d | again: --seed %u --start %d | "
            "snowflake %.1f ms, background %.1f ms, colouring %.1f ms, reveal %.1f ms\n",
            index, options.width, options.height, options.preview ? "preview" : "saver", scene.Settings.Algorithm,
            scene.Settings.Background, scene.Settings.Brightness, runSeed, index, timings.snowflake,
            timings.background, timings.colouring, reveal);
        std::fflush(stdout);
        if (!WriteFiles(options, scene, index)) return 1;
    }
    return 0;
}

}  // namespace
