#include "x11/window_image.h"

#include <sys/ipc.h>
#include <sys/shm.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <stdexcept>

namespace nivora::x11 {

namespace {

bool attachFailed = false;

int NoteAttachError(Display*, XErrorEvent*) {
    attachFailed = true;
    return 0;
}

// Lowest set bit and width of a channel mask.
void MaskPlace(unsigned long mask, int& shift, int& bits) {
    shift = 0;
    bits = 0;
    if (!mask) return;
    while (!(mask & 1)) {
        mask >>= 1;
        ++shift;
    }
    while (mask & 1) {
        mask >>= 1;
        ++bits;
    }
}

}  // namespace

WindowImage::WindowImage(Display* display, Visual* visual, int depth, int width, int height) : display_(display) {
    if (XShmQueryExtension(display)) {
        image_ = XShmCreateImage(display, visual, depth, ZPixmap, nullptr, &shm_, width, height);
        if (image_) {
            shm_.shmid = shmget(IPC_PRIVATE, static_cast<std::size_t>(image_->bytes_per_line) * height, IPC_CREAT | 0600);
            void* memory = shm_.shmid >= 0 ? shmat(shm_.shmid, nullptr, 0) : reinterpret_cast<void*>(-1);
            if (memory != reinterpret_cast<void*>(-1)) {
                shm_.shmaddr = image_->data = static_cast<char*>(memory);
                shm_.readOnly = False;
                // A server on another machine (or in another IPC namespace)
                // refuses the segment with an X error, not a return value.
                XSync(display, False);
                attachFailed = false;
                auto* previous = XSetErrorHandler(NoteAttachError);
                const bool attached = XShmAttach(display, &shm_);
                XSync(display, False);
                XSetErrorHandler(previous);
                shared_ = attached && !attachFailed;
                if (!shared_) shmdt(memory);
            }
            // Marked for removal at once: the segment goes with the last
            // detach, even when the process is killed.
            if (shm_.shmid >= 0) shmctl(shm_.shmid, IPC_RMID, nullptr);
            if (!shared_) {
                image_->data = nullptr;
                XDestroyImage(image_);
                image_ = nullptr;
            }
        }
    }
    if (!image_) {
        image_ = XCreateImage(display, visual, depth, ZPixmap, 0, nullptr, width, height, 32, 0);
        if (!image_) throw std::runtime_error("cannot make an image for the window");
        image_->data = static_cast<char*>(std::calloc(static_cast<std::size_t>(image_->bytes_per_line), height));
        if (!image_->data) {
            XDestroyImage(image_);
            throw std::runtime_error("out of memory for the window image");
        }
    }

    MaskPlace(image_->red_mask, redShift_, redBits_);
    MaskPlace(image_->green_mask, greenShift_, greenBits_);
    MaskPlace(image_->blue_mask, blueShift_, blueBits_);
    const bool bytes = redBits_ == 8 && greenBits_ == 8 && blueBits_ == 8 && redShift_ % 8 == 0 &&
                       greenShift_ % 8 == 0 && blueShift_ % 8 == 0;
    fastLayout_ = image_->bits_per_pixel == 32 && bytes;
    if (fastLayout_) {
        auto byteOf = [this](int shift) { return image_->byte_order == LSBFirst ? shift / 8 : 3 - shift / 8; };
        redByte_ = byteOf(redShift_);
        greenByte_ = byteOf(greenShift_);
        blueByte_ = byteOf(blueShift_);
    }
}

WindowImage::~WindowImage() {
    if (shared_) {
        XShmDetach(display_, &shm_);
        XSync(display_, False);
        image_->data = nullptr;
        XDestroyImage(image_);
        shmdt(shm_.shmaddr);
    } else {
        XDestroyImage(image_);  // frees the calloc'd data
    }
}

void WindowImage::ConvertRow(const std::uint8_t* bgr, int y, int width) {
    if (fastLayout_) {
        auto* out = reinterpret_cast<std::uint8_t*>(image_->data) + static_cast<std::size_t>(y) * image_->bytes_per_line;
        for (int x = 0; x < width; ++x, bgr += 3, out += 4) {
            out[blueByte_] = bgr[0];
            out[greenByte_] = bgr[1];
            out[redByte_] = bgr[2];
            out[6 - blueByte_ - greenByte_ - redByte_] = 0;
        }
        return;
    }
    // Any other TrueColor layout: each channel scaled to its mask.
    auto place = [](unsigned value, int shift, int bits) {
        return bits >= 8 ? static_cast<unsigned long>(value) << (shift + bits - 8)
                         : static_cast<unsigned long>(value >> (8 - bits)) << shift;
    };
    for (int x = 0; x < width; ++x, bgr += 3)
        XPutPixel(image_, x, y,
                  place(bgr[2], redShift_, redBits_) | place(bgr[1], greenShift_, greenBits_) |
                      place(bgr[0], blueShift_, blueBits_));
}

void WindowImage::CopyRows(const Frame& frame, int first, int last) {
    first = std::max(first, 0);
    last = std::min({last, frame.Height() - 1, Height() - 1});
    const int width = std::min(frame.Width(), Width());
    for (int y = first; y <= last; ++y)
        ConvertRow(frame.Bits() + static_cast<std::size_t>(y) * frame.Stride(), y, width);
}

void WindowImage::Put(Drawable drawable, GC gc, int x, int y, int width, int height) {
    x = std::max(x, 0);
    y = std::max(y, 0);
    width = std::min(width, Width() - x);
    height = std::min(height, Height() - y);
    if (width <= 0 || height <= 0) return;
    if (shared_)
        XShmPutImage(display_, drawable, gc, image_, x, y, x, y, width, height, False);
    else
        XPutImage(display_, drawable, gc, image_, x, y, x, y, width, height);
}

}  // namespace nivora::x11
