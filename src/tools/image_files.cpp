#include "tools/image_files.h"

#include <png.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <functional>

#include "engine/pictures/imaging.h"

namespace nivora {
namespace {

struct File {
    std::FILE* f = nullptr;
    ~File() {
        if (f) std::fclose(f);
    }
};

bool OpenForWriting(const std::string& path, File& file, std::string& error) {
    file.f = std::fopen(path.c_str(), "wb");
    if (!file.f) error = path + ": " + std::strerror(errno);
    return file.f != nullptr;
}

bool CloseChecked(const std::string& path, File& file, std::string& error) {
    const bool ok = std::fclose(file.f) == 0;
    file.f = nullptr;
    if (!ok) error = path + ": " + std::strerror(errno);
    return ok;
}

// Writes an RGB PNG whose rows come from fillRow(y, rgb).
bool WriteRgbPng(const std::string& path, int width, int height,
                 const std::function<void(int, std::uint8_t*)>& fillRow, std::string& error) {
    File file;
    if (!OpenForWriting(path, file, error)) return false;
    png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
    png_infop info = png ? png_create_info_struct(png) : nullptr;
    if (!info) {
        png_destroy_write_struct(&png, nullptr);
        error = path + ": out of memory";
        return false;
    }
    std::vector<std::uint8_t> row(static_cast<std::size_t>(width) * 3);
    if (setjmp(png_jmpbuf(png))) {
        png_destroy_write_struct(&png, &info);
        error = path + ": PNG encoding failed";
        return false;
    }
    png_init_io(png, file.f);
    png_set_IHDR(png, info, width, height, 8, PNG_COLOR_TYPE_RGB, PNG_INTERLACE_NONE, PNG_COMPRESSION_TYPE_DEFAULT,
                 PNG_FILTER_TYPE_DEFAULT);
    png_write_info(png, info);
    for (int y = 0; y < height; ++y) {
        fillRow(y, row.data());
        png_write_row(png, row.data());
    }
    png_write_end(png, nullptr);
    png_destroy_write_struct(&png, &info);
    return CloseChecked(path, file, error);
}

}  // namespace

bool WriteFramePng(const std::string& path, const Frame& frame, std::string& error) {
    return WriteRgbPng(
        path, frame.Width(), frame.Height(),
        [&](int y, std::uint8_t* rgb) {
            const std::uint8_t* bgr = frame.Bits() + static_cast<std::size_t>(y) * frame.Stride();
            for (int x = 0; x < frame.Width(); ++x, bgr += 3, rgb += 3) {
                rgb[0] = bgr[2];
                rgb[1] = bgr[1];
                rgb[2] = bgr[0];
            }
        },
        error);
}

bool WriteBitmapPng(const std::string& path, const Bitmap& bitmap, std::string& error) {
    return WriteRgbPng(
        path, bitmap.Width(), bitmap.Height(),
        [&](int y, std::uint8_t* rgb) {
            for (int x = 0; x < bitmap.Width(); ++x, rgb += 3) {
                const Argb c = bitmap.GetPixel(x, y);
                rgb[0] = static_cast<std::uint8_t>(c >> 16);
                rgb[1] = static_cast<std::uint8_t>(c >> 8);
                rgb[2] = static_cast<std::uint8_t>(c);
            }
        },
        error);
}

bool WriteGreyPgm16(const std::string& path, int width, int height, const std::vector<std::uint16_t>& samples,
                    std::string& error) {
    File file;
    if (!OpenForWriting(path, file, error)) return false;
    std::fprintf(file.f, "P5\n%d %d\n65535\n", width, height);
    std::vector<std::uint8_t> bytes;
    bytes.reserve(samples.size() * 2);
    for (std::uint16_t s : samples) {
        bytes.push_back(static_cast<std::uint8_t>(s >> 8));
        bytes.push_back(static_cast<std::uint8_t>(s));
    }
    if (std::fwrite(bytes.data(), 1, bytes.size(), file.f) != bytes.size()) {
        error = path + ": " + std::strerror(errno);
        return false;
    }
    return CloseChecked(path, file, error);
}

}  // namespace nivora
