// nivora-render's option parser over any arguments (separated by zero bytes).
#include <cstdint>
#include <string>
#include <vector>

#include "fuzz_check.h"
#include "tools/render_options.h"

using namespace nivora;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    std::vector<std::string> args(1);
    for (std::size_t i = 0; i < size; ++i) {
        if (data[i] == 0)
            args.emplace_back();
        else
            args.back() += static_cast<char>(data[i]);
    }
    if (size == 0) args.clear();

    std::string error;
    const auto options = ParseRenderOptions(args, error);
    if (!options) {
        // One line on stderr, whatever the arguments held.
        FUZZ_CHECK(!error.empty());
        FUZZ_CHECK(error.find_first_of("\r\n") == std::string::npos);
        return 0;
    }
    FUZZ_CHECK(options->width >= 1 && options->width <= kMaxRenderSide);
    FUZZ_CHECK(options->height >= 1 && options->height <= kMaxRenderSide);
    FUZZ_CHECK(options->count >= 1 && options->count <= kMaxRenderCount);
    FUZZ_CHECK(options->start >= 1 && options->start <= kMaxRenderCount);
    FUZZ_CHECK(options->brightness >= 0 && options->brightness <= 255);
    FUZZ_CHECK(!options->algorithm || (*options->algorithm >= 0 && *options->algorithm <= 255));
    for (const std::string* path : {&options->out, &options->field, &options->alpha}) {
        if (path->empty()) continue;
        for (const int count : {1, options->count})
            FUZZ_CHECK(!NumberedPath(*path, options->start, count).empty());
    }
    return 0;
}
