#include "linux/saver_memory.h"

#include <sys/resource.h>
#include <unistd.h>

#include <algorithm>
#include <fstream>

#include "engine/pictures/imaging.h"

namespace nivora::linux_saver {

std::uint64_t SaverMemoryBytes(const Scene& geometry, int width, int height, int copies) {
    const auto w = static_cast<std::uint64_t>(std::max(width, 0)), h = static_cast<std::uint64_t>(std::max(height, 0));
    const std::uint64_t workerFrame = ((3 * w + 3) & ~std::uint64_t{3}) * h;
    return PictureMemoryBytes(geometry, width, height) + workerFrame + static_cast<std::uint64_t>(copies) * 4 * w * h;
}

std::uint64_t UsableMemoryBytes() {
    std::uint64_t usable = static_cast<std::uint64_t>(sysconf(_SC_PHYS_PAGES)) * sysconf(_SC_PAGESIZE);
    // A container's limit reads "max" when there is none.
    std::ifstream group("/sys/fs/cgroup/memory.max");
    std::uint64_t limit = 0;
    if (group >> limit && limit > 0) usable = std::min(usable, limit);
    rlimit space{};
    if (getrlimit(RLIMIT_AS, &space) == 0 && space.rlim_cur != RLIM_INFINITY)
        usable = std::min<std::uint64_t>(usable, space.rlim_cur);
    return usable;
}

std::optional<PictureMemoryError> MemoryRefusal(const Scene& geometry, int width, int height, int copies) {
    const std::uint64_t needs = SaverMemoryBytes(geometry, width, height, copies);
    if (needs <= UsableMemoryBytes()) return std::nullopt;
    return PictureMemoryError(width, height, needs);
}

void MakeSaverSurfaces(Scene& scene, int width, int height, int copies) {
    SetSaverGeometry(scene, width, height);
    if (auto refusal = MemoryRefusal(scene, width, height, copies)) throw *refusal;
    CreateSurfaces(scene, SoftwareImaging(), width, height);
}

}  // namespace nivora::linux_saver
