// A fixed-size array of zero-initialised plain values. Large planes come from
// calloc, so the system hands out zero pages lazily: a plane sized for the
// largest picture costs memory only where a picture actually writes.
#pragma once

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <memory>
#include <new>
#include <type_traits>

namespace nivora {

// For tests of what a front-end does when memory runs out: a plane of more
// bytes than this fails as if the system had none left.
inline std::atomic<std::size_t> gPlaneBytesLimit{SIZE_MAX};

template <class T>
class ZeroedPlane {
    static_assert(std::is_trivially_copyable_v<T>, "zero bits must be a valid value");

public:
    ZeroedPlane() = default;
    explicit ZeroedPlane(std::size_t count) : data_(Allocate(count)), size_(count) {}

    T* data() { return data_.get(); }
    const T* data() const { return data_.get(); }
    std::size_t size() const { return size_; }
    T& operator[](std::size_t i) { return data_[i]; }
    const T& operator[](std::size_t i) const { return data_[i]; }

private:
    struct Free {
        void operator()(T* p) const { std::free(p); }
    };

    static T* Allocate(std::size_t count) {
        if (count == 0) return nullptr;
        if (count > gPlaneBytesLimit.load(std::memory_order_relaxed) / sizeof(T)) throw std::bad_alloc();
        void* p = std::calloc(count, sizeof(T));
        if (!p) throw std::bad_alloc();
        return static_cast<T*>(p);
    }

    std::unique_ptr<T[], Free> data_;
    std::size_t size_ = 0;
};

}  // namespace nivora
