#include "wayland/shm_buffer.h"

#include <fcntl.h>
#include <sys/mman.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <stdexcept>
#include <string>

namespace nivora::wayland {


ShmBuffer::ShmBuffer(wl_shm* shm, int width, int height) {
    stride_ = width * 4;
    size_ = static_cast<std::size_t>(stride_) * height;
    const int fd = memfd_create("nivoraglade-buffer", MFD_CLOEXEC | MFD_ALLOW_SEALING);
    if (fd < 0) throw std::runtime_error(std::string("memfd_create: ") + std::strerror(errno));
    if (ftruncate(fd, static_cast<off_t>(size_)) != 0) {
        const int error = errno;
        close(fd);
        throw std::runtime_error(std::string("cannot size a ") + std::to_string(width) + "x" + std::to_string(height) +
                                 " buffer: " + std::strerror(error));
    }
    // The compositor may not shrink it under us.
    fcntl(fd, F_ADD_SEALS, F_SEAL_SHRINK | F_SEAL_SEAL);
    void* memory = mmap(nullptr, size_, PROT_READ | PROT_WRITE, MAP_SHARED, fd, 0);
    if (memory == MAP_FAILED) {
        const int error = errno;
        close(fd);
        throw std::runtime_error(std::string("cannot map a buffer: ") + std::strerror(error));
    }
    pixels_ = static_cast<std::uint8_t*>(memory);
    wl_shm_pool* pool = wl_shm_create_pool(shm, fd, static_cast<std::int32_t>(size_));
    buffer_ = wl_shm_pool_create_buffer(pool, 0, width, height, stride_, WL_SHM_FORMAT_XRGB8888);
    wl_shm_pool_destroy(pool);  // the buffer keeps the memory
    close(fd);
    static const wl_buffer_listener listener = {.release = OnRelease};
    wl_buffer_add_listener(buffer_, &listener, this);
}

ShmBuffer::~ShmBuffer() {
    if (buffer_) wl_buffer_destroy(buffer_);
    if (pixels_) munmap(pixels_, size_);
}

void ShmBuffer::OnRelease(void* data, wl_buffer*) {
    auto* self = static_cast<ShmBuffer*>(data);
    self->held_ = false;
    if (self->onRelease) self->onRelease(self->releaseData);
}

}  // namespace nivora::wayland
