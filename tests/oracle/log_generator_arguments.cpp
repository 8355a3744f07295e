// Records the arguments the generators pass to Ln, ArcTan2, Sin and Cos (the
// calls are diverted by the linker's --wrap) over a 960x540 field of every
// recipe, coloured, and a 1080p snowflake of every rule, and writes a sample
// of each function's distinct arguments (those of the smallest hashes: an
// even sample however often a value recurs), as exact hexadecimal values.
// Usage: log_generator_arguments [per-function] > tests/oracle/data/generator_arguments.txt
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <iterator>
#include <map>
#include <utility>

#include "engine/pictures/background_colouring.h"
#include "engine/pictures/background_field.h"
#include "engine/pictures/parallel_rows.h"
#include "engine/pictures/scene.h"
#include "engine/pictures/snowflake.h"
#include "engine/pictures/surfaces.h"
#include "oracle/mpfr_reference.h"

namespace {

using Pair = std::pair<long double, long double>;

// The `limit` distinct arguments of the smallest hashes seen so far.
struct Sample {
    static inline std::size_t limit = 3000;
    std::map<std::uint64_t, Pair> kept;
    std::uint64_t calls = 0;

    void Add(long double x, long double y = 0) {
        ++calls;
        const std::uint64_t h = Hash(x) * 31 + Hash(y);
        if (kept.size() >= limit && h >= kept.rbegin()->first) return;
        kept.emplace(h, Pair{x, y});
        if (kept.size() > limit) kept.erase(std::prev(kept.end()));
    }
    static std::uint64_t Hash(long double v) {
        unsigned char bytes[10];
        std::memcpy(bytes, &v, sizeof bytes);
        std::uint64_t h = 1469598103934665603ull;
        for (unsigned char b : bytes) h = (h ^ b) * 1099511628211ull;
        return h ^ (h >> 29);
    }
};
Sample g_ln, g_sin, g_cos, g_atan2;

}  // namespace

extern "C" {
long double __real__ZN6nivora5xmath2LnEe(long double);
long double __real__ZN6nivora5xmath3SinEe(long double);
long double __real__ZN6nivora5xmath3CosEe(long double);
long double __real__ZN6nivora5xmath7ArcTan2Eee(long double, long double);
long double __wrap__ZN6nivora5xmath2LnEe(long double x) {
    g_ln.Add(x);
    return __real__ZN6nivora5xmath2LnEe(x);
}
long double __wrap__ZN6nivora5xmath3SinEe(long double x) {
    g_sin.Add(x);
    return __real__ZN6nivora5xmath3SinEe(x);
}
long double __wrap__ZN6nivora5xmath3CosEe(long double x) {
    g_cos.Add(x);
    return __real__ZN6nivora5xmath3CosEe(x);
}
long double __wrap__ZN6nivora5xmath7ArcTan2Eee(long double y, long double x) {
    g_atan2.Add(y, x);
    return __real__ZN6nivora5xmath7ArcTan2Eee(y, x);
}
}

int main(int argc, char** argv) {
    using namespace nivora;
    if (argc > 1) Sample::limit = std::strtoul(argv[1], nullptr, 10);
    SetGeneratorThreads(1);  // the samples are not shared between threads
    Scene scene;
    scene.FieldWidth = 960;
    scene.FieldHeight = 540;
    scene.FieldBitmap = SoftwareImaging().CreateBitmap(scene.FieldWidth, scene.FieldHeight);
    scene.Settings.Brightness = 14;
    for (int recipe = 1; recipe <= 20; ++recipe) {
        scene.Settings.Background = recipe;
        Background0(scene);
        Background1(scene);
    }
    Scene saver;
    SetSaverGeometry(saver, 1920, 1080);
    CreateSurfaces(saver, SoftwareImaging(), 1920, 1080);
    for (int rule = 1; rule <= 20; ++rule) {
        saver.Settings.Algorithm = static_cast<std::uint8_t>(rule);
        Snowflake(saver);
    }
    std::fprintf(stderr, "calls: ln %llu, sin %llu, cos %llu, atan2 %llu\n",
                 static_cast<unsigned long long>(g_ln.calls), static_cast<unsigned long long>(g_sin.calls),
                 static_cast<unsigned long long>(g_cos.calls), static_cast<unsigned long long>(g_atan2.calls));
    std::printf("# Arguments the generators pass, a sample of the distinct ones: a 960x540\n");
    std::printf("# field of every recipe and a 1080p snowflake of every rule.\n");
    std::printf("# Written by tests/oracle/log_generator_arguments.cpp.\n");
    const std::pair<const char*, const Sample*> samples[] = {
        {"ln", &g_ln}, {"sin", &g_sin}, {"cos", &g_cos}, {"atan2", &g_atan2}};
    for (const auto& [name, sample] : samples)
        for (const auto& kept : sample->kept) {
            const Pair& p = kept.second;
            if (sample == &g_atan2)
                std::printf("%s %s %s\n", name, oracle::Hex(p.first).c_str(), oracle::Hex(p.second).c_str());
            else
                std::printf("%s %s\n", name, oracle::Hex(p.first).c_str());
        }
    return 0;
}
