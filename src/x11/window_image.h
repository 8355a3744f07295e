// The picture as the X server takes it: an XImage in the window's visual,
// in memory shared with the server (MIT-SHM) where the server offers it, or
// sent over the connection where it does not (a remote display). The engine's
// frame is 24-bit BGR; the rows it changed are converted into the image and
// only those are sent.
#pragma once

#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <X11/extensions/XShm.h>

#include "engine/pictures/imaging.h"

namespace nivora::x11 {

class WindowImage {
public:
    WindowImage(Display* display, Visual* visual, int depth, int width, int height);
    ~WindowImage();
    WindowImage(const WindowImage&) = delete;
    WindowImage& operator=(const WindowImage&) = delete;

    int Width() const { return image_->width; }
    int Height() const { return image_->height; }
    bool Shared() const { return shared_; }

    // Converts frame rows first..last (clipped to both) into the image.
    void CopyRows(const Frame& frame, int first, int last);

    // Sends a rectangle of the image to the drawable; clipped to the image.
    void Put(Drawable drawable, GC gc, int x, int y, int width, int height);

private:
    void ConvertRow(const std::uint8_t* bgr, int y, int width);

    Display* display_;
    XImage* image_ = nullptr;
    XShmSegmentInfo shm_{};
    bool shared_ = false;
    // 32 bits per pixel with 8-bit channels at byte positions: the common
    // TrueColor layout, copied without XPutPixel.
    bool fastLayout_ = false;
    int redByte_ = 0, greenByte_ = 0, blueByte_ = 0;
    int redShift_ = 0, greenShift_ = 0, blueShift_ = 0;
    int redBits_ = 0, greenBits_ = 0, blueBits_ = 0;
};

}  // namespace nivora::x11
