// One wl_buffer of XRGB8888 pixels in a memfd of its own, mapped here. The
// compositor holds it from the commit that attaches it until it sends
// `release`; nothing is written into it meanwhile.
#pragma once

#include <wayland-client.h>

#include <cstdint>

namespace nivora::wayland {

class ShmBuffer {
public:
    ShmBuffer(wl_shm* shm, int width, int height);  // throws std::runtime_error
    ~ShmBuffer();
    ShmBuffer(const ShmBuffer&) = delete;
    ShmBuffer& operator=(const ShmBuffer&) = delete;

    wl_buffer* Buffer() const { return buffer_; }
    std::uint8_t* Pixels() const { return pixels_; }
    int Stride() const { return stride_; }
    bool Held() const { return held_; }
    void Attached() { held_ = true; }

    // Called (from the event dispatch) when the compositor lets the buffer go.
    void (*onRelease)(void* data) = nullptr;
    void* releaseData = nullptr;

private:
    static void OnRelease(void* data, wl_buffer* buffer);

    wl_buffer* buffer_ = nullptr;
    std::uint8_t* pixels_ = nullptr;
    std::size_t size_ = 0;
    int stride_ = 0;
    bool held_ = false;
};

}  // namespace nivora::wayland
