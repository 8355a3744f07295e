// The engine's entry points for the web page. One module serves two roles:
// in a Web Worker it makes layers (a snowflake, or bands of a background
// and the background laid over a frame) and still pictures; on the page's thread it only draws the numbers
// from the one random generator and reveals the snowflake over the frame,
// which costs a few hundred cells a tick. The page copies the layers a
// worker made into this module's planes, as the picture cycle takes them.
#include <emscripten/emscripten.h>

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <memory>
#include <vector>

#include "engine/pictures/background_colouring.h"
#include "engine/pictures/background_field.h"
#include "host/mouse_jump.h"
#include "engine/pictures/parallel_rows.h"
#include "engine/cycle/picture_numbers.h"
#include "engine/cycle/picture_steps.h"
#include "engine/cycle/random.h"
#include "engine/cycle/reveal.h"
#include "engine/pictures/snowflake.h"
#include "engine/pictures/surfaces.h"

using namespace nivora;

namespace {

Scene scene;
RandomGenerator generator;
SaverSettings settings = kDefaultSettings;  // the page's settings, numbers of the picture on screen included
RowSpan changed;
std::vector<std::uint8_t> pristine;  // the frame with the field laid, before any cell of the reveal
std::vector<std::uint8_t> rgba;      // rows converted for the canvas
std::vector<Argb> colours;           // a worker's band of field colours, or a whole field's
SaverSettings guess;                 // the next picture's numbers, drawn from a copy of the generator

// Makes the scene's geometry and surfaces for width x height, unless it has them.
void EnsureScene(int width, int height) {
    if (scene.FrameDib && scene.FrameDib->Width() == width && scene.FrameDib->Height() == height) return;
    SetGeneratorThreads(1);  // a worker is one thread; the page runs several
    scene = Scene{};
    SetSaverGeometry(scene, width, height);
    CreateSurfaces(scene, SoftwareImaging(), width, height);
}

std::size_t FrameBytes() { return static_cast<std::size_t>(scene.FrameDib->Stride()) * scene.FrameDib->Height(); }

}  // namespace

extern "C" {

// Memory a worker's one scene needs for a picture of width x height: what
// the page checks against what a browser's module can hold.
EMSCRIPTEN_KEEPALIVE double nv_picture_bytes(int width, int height) {
    Scene geometry;
    SetSaverGeometry(geometry, width, height);
    return static_cast<double>(PictureMemoryBytes(geometry, width, height, 1));
}

// ---- In a worker ----

// Makes the snowflake of a picture of width x height with this algorithm.
EMSCRIPTEN_KEEPALIVE void nv_snowflake(int width, int height, int algorithm) {
    EnsureScene(width, height);
    scene.Settings.Algorithm = static_cast<std::uint8_t>(algorithm);
    Snowflake(scene);
}

// A background is made in bands of field rows, shared between the workers;
// a band comes back coloured, 4 bytes a point instead of the field's three
// extended numbers, and one worker lays the gathered colours over its frame.

// Fills and colours field rows first..last-1 (within 0..nv_field_height())
// of a background; their colours (ARGB, nv_field_width() a row) are returned.
EMSCRIPTEN_KEEPALIVE Argb* nv_field_band(int width, int height, int background, int brightness, int first, int last) {
    EnsureScene(width, height);
    scene.Settings.Background = background;
    scene.Settings.Brightness = static_cast<std::uint8_t>(brightness);
    first = std::clamp(first, 0, scene.FieldHeight);
    last = std::clamp(last, first, scene.FieldHeight);
    colours.resize(static_cast<std::size_t>(scene.FieldWidth) * (last - first));
    FillFieldRows(scene, first, last);
    ColourFieldRows(scene, first, last, colours.data());
    return colours.data();
}

EMSCRIPTEN_KEEPALIVE int nv_field_width() { return scene.FieldWidth; }
EMSCRIPTEN_KEEPALIVE int nv_field_height() { return scene.FieldHeight; }

// Where the colours of a whole field go before nv_lay.
EMSCRIPTEN_KEEPALIVE Argb* nv_field_colours(int width, int height) {
    EnsureScene(width, height);
    colours.resize(static_cast<std::size_t>(scene.FieldWidth) * scene.FieldHeight);
    return colours.data();
}

// Sets the field's colours into its bitmap and lays it over the frame.
EMSCRIPTEN_KEEPALIVE void nv_lay() {
    const int W = scene.FieldWidth;
    for (int y = 0; y < scene.FieldHeight; ++y)
        scene.FieldBitmap->SetRow(y, colours.data() + static_cast<std::size_t>(y) * W, W);
    LayField(scene);
}

// The still picture `picture` of a run from `seed`, revealed to its last
// cell, as nivora-render --seed makes it: numbers below 0 are drawn at random.
EMSCRIPTEN_KEEPALIVE void nv_still(int width, int height, std::uint32_t seed, int picture, int algorithm,
                                   int background, int brightness) {
    EnsureScene(width, height);
    scene.Settings.Brightness = static_cast<std::uint8_t>(brightness);
    scene.Settings.Algorithm = static_cast<std::uint8_t>(std::max(algorithm, 0));
    scene.Settings.Background = std::max(background, 0);
    scene.Settings.RandsAlgorithm = algorithm < 0;
    scene.Settings.BackgroundRands = background < 0;
    RandomGenerator run;
    run.Seed = seed;
    if (picture > 1) DrawFirstPictureNumbers(scene.Settings, run);
    for (int index = 2; index < picture; ++index) DrawNextPictureNumbers(scene.Settings, run);
    if (picture <= 1)
        MakeFirstPictureNow(scene, run);
    else
        MakeNextPictureNow(scene, run);
    while (!RevealTick(scene).completed) {
    }
    changed = RowSpan::Whole(height);
}

EMSCRIPTEN_KEEPALIVE int nv_algorithm_of_scene() { return scene.Settings.Algorithm; }
EMSCRIPTEN_KEEPALIVE int nv_background_of_scene() { return scene.Settings.Background; }

// The frame (blue, green, red, rows padded to 4 bytes) and the snowflake's
// planes, where a worker's results are read and the page's are written.
EMSCRIPTEN_KEEPALIVE std::uint8_t* nv_frame() { return scene.FrameDib->Bits(); }
EMSCRIPTEN_KEEPALIVE int nv_frame_bytes() { return static_cast<int>(FrameBytes()); }
EMSCRIPTEN_KEEPALIVE int nv_flake_cells() { return static_cast<int>(scene.FlakeLayer.Red.size()); }
EMSCRIPTEN_KEEPALIVE void* nv_flake_plane(int plane) {
    switch (plane) {
        case 0: return scene.FlakeLayer.Red.data();
        case 1: return scene.FlakeLayer.Green.data();
        case 2: return scene.FlakeLayer.Blue.data();
        default: return scene.FlakeLayer.Alpha.data();
    }
}

// ---- On the page ----

EMSCRIPTEN_KEEPALIVE void nv_display(int width, int height) {
    EnsureScene(width, height);
    pristine.assign(FrameBytes(), 0);
    changed = RowSpan{};
}

// Where the page puts a new background's frame; nv_restart lays it.
EMSCRIPTEN_KEEPALIVE std::uint8_t* nv_pristine() { return pristine.data(); }

// The frame as the new field left it, the reveal from the first cell.
EMSCRIPTEN_KEEPALIVE void nv_restart() {
    std::memcpy(scene.FrameDib->Bits(), pristine.data(), pristine.size());
    RewindReveal(scene);
    changed = RowSpan::Whole(scene.FrameDib->Height());
}

// One reveal tick; 1 when it completed the picture.
EMSCRIPTEN_KEEPALIVE int nv_tick() {
    const RevealTickResult result = RevealTick(scene);
    changed.Add(result.rows);
    return result.completed ? 1 : 0;
}

EMSCRIPTEN_KEEPALIVE int nv_changed_first() { return changed.first; }
EMSCRIPTEN_KEEPALIVE int nv_changed_last() { return changed.last; }

// Up to `maxRows` of the changed rows as RGBA for the canvas (opaque), from
// the first changed row on; the rest stay for the next call. A whole new
// frame goes to the canvas in bands, so that no animation frame of the
// page's thread converts and draws millions of pixels at once.
EMSCRIPTEN_KEEPALIVE std::uint8_t* nv_take_changed_rgba(int maxRows) {
    if (changed.Empty()) return nullptr;
    const Frame& frame = *scene.FrameDib;
    const int width = frame.Width();
    const int last = std::min(changed.last, changed.first + std::max(maxRows, 1) - 1);
    rgba.resize(static_cast<std::size_t>(width) * 4 * (last - changed.first + 1));
    std::uint8_t* out = rgba.data();
    for (int y = changed.first; y <= last; ++y) {
        const std::uint8_t* in = frame.Bits() + static_cast<std::size_t>(y) * frame.Stride();
        for (int x = 0; x < width; ++x, in += 3, out += 4) {
            out[0] = in[2];
            out[1] = in[1];
            out[2] = in[0];
            out[3] = 255;
        }
    }
    changed.first = last + 1;
    return rgba.data();
}

// The settings and the numbers: the one generator of the page, drawn in the
// order every saver draws it.
EMSCRIPTEN_KEEPALIVE void nv_settings(int algorithm, int background, int brightness, int timeShow,
                                      int backgroundRands, int randsAlgorithm) {
    settings.Algorithm = static_cast<std::uint8_t>(algorithm);
    settings.Background = background;
    settings.Brightness = static_cast<std::uint8_t>(brightness);
    settings.TimeShow = timeShow;
    settings.BackgroundRands = backgroundRands != 0;
    settings.RandsAlgorithm = randsAlgorithm != 0;
}
EMSCRIPTEN_KEEPALIVE void nv_seed(std::uint32_t seed) { generator.Seed = seed; }
EMSCRIPTEN_KEEPALIVE std::uint32_t nv_randomize() {
    generator.Randomize();
    return generator.Seed;
}
EMSCRIPTEN_KEEPALIVE void nv_draw_first() { DrawFirstPictureNumbers(settings, generator); }
EMSCRIPTEN_KEEPALIVE void nv_draw_next() { DrawNextPictureNumbers(settings, generator); }
// The next picture's numbers from a copy of the generator, into the guess.
EMSCRIPTEN_KEEPALIVE void nv_guess_next() {
    RandomGenerator copy = generator;
    guess = settings;
    DrawNextPictureNumbers(guess, copy);
}
EMSCRIPTEN_KEEPALIVE int nv_algorithm(int ofGuess) { return (ofGuess ? guess : settings).Algorithm; }
EMSCRIPTEN_KEEPALIVE int nv_background(int ofGuess) { return (ofGuess ? guess : settings).Background; }
EMSCRIPTEN_KEEPALIVE double nv_hold_ms() { return HoldIntervalMs(settings.TimeShow); }
EMSCRIPTEN_KEEPALIVE int nv_mouse_jump(double fromX, double fromY, double toX, double toY) {
    return IsMouseJump(fromX, fromY, toX, toY) ? 1 : 0;
}

}  // extern "C"
