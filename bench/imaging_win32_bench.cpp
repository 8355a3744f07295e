// Times the saver's two imaging-heavy steps through each backend on a picture
// of the given size (default 1280 x 720): laying the field (one stretch of the
// the FieldBitmap over the frame) and the reveal ticks of one whole picture.
// Prints medians over several runs, measured with QueryPerformanceCounter.
#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <vector>

#include "engine/cycle/picture_steps.h"
#include "engine/cycle/random.h"
#include "engine/cycle/reveal.h"
#include "engine/pictures/scene.h"
#include "engine/pictures/surfaces.h"
#include "win32/imaging_win32.h"

using namespace nivora;
using namespace nivora::win32;

namespace {

double Now() {
    LARGE_INTEGER counter, frequency;
    QueryPerformanceCounter(&counter);
    QueryPerformanceFrequency(&frequency);
    return static_cast<double>(counter.QuadPart) * 1000.0 / static_cast<double>(frequency.QuadPart);
}

double Median(std::vector<double> values) {
    if (values.empty()) return 0;
    std::sort(values.begin(), values.end());
    const std::size_t n = values.size();
    return n % 2 ? values[n / 2] : (values[n / 2 - 1] + values[n / 2]) / 2;
}

struct Run {
    double layField = 0;      // ms, one stretch
    double tickMedian = 0;    // ms, median over the picture's ticks
    double tickMax = 0;       // ms, the dearest tick (rows through the disc)
    double reveal = 0;        // ms, all ticks of the picture
    int ticks = 0;
};

Run Measure(DibDrawing& drawing, int width, int height, std::uint32_t seed) {
    WindowFrames frames(drawing);
    Scene scene;
    RandomGenerator random;
    scene.Settings.Background = 7;
    scene.Settings.Algorithm = 12;
    scene.Settings.Brightness = 14;
    SetSaverGeometry(scene, width, height);
    CreateSurfaces(scene, frames, width, height);
    random.Seed = seed;
    MakeFirstPictureNow(scene, random);

    Run run;
    const double start = Now();
    LayField(scene);
    scene.FrameGraphics->Flush();
    run.layField = Now() - start;

    std::vector<double> ticks;
    for (;;) {
        const double t0 = Now();
        const bool completed = RevealTick(scene).completed;
        scene.FrameGraphics->Flush();
        ticks.push_back(Now() - t0);
        if (completed) break;
    }
    run.ticks = static_cast<int>(ticks.size());
    run.tickMedian = Median(ticks);
    run.tickMax = *std::max_element(ticks.begin(), ticks.end());
    for (double t : ticks) run.reveal += t;
    return run;
}

}  // namespace

int main(int argc, char** argv) {
    const int width = argc > 2 ? std::atoi(argv[1]) : 1280;
    const int height = argc > 2 ? std::atoi(argv[2]) : 720;
    const int runs = argc > 3 ? std::atoi(argv[3]) : 5;

    WindowsImaging imaging;
    std::printf("picture %d x %d, %d runs per backend, medians over runs\n", width, height, runs);
    for (ImagingBackend backend : {ImagingBackend::Software, ImagingBackend::GdiPlus}) {
        std::vector<double> lay, tick, tickMax, reveal;
        int ticks = 0;
        for (int r = 0; r < runs; ++r) {
            const Run run = Measure(imaging.Drawing(backend), width, height, 1234u + static_cast<unsigned>(r));
            lay.push_back(run.layField);
            tick.push_back(run.tickMedian);
            tickMax.push_back(run.tickMax);
            reveal.push_back(run.reveal);
            ticks = run.ticks;
        }
        std::printf("%-8s lay field %9.3f ms | reveal tick median %8.3f ms, dearest %8.3f ms | "
                    "whole reveal (%d ticks) %9.1f ms\n",
                    BackendName(backend), Median(lay), Median(tick), Median(tickMax), ticks, Median(reveal));
    }
    return 0;
}
