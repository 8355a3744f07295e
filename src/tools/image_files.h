// Writing pictures to files: 8-bit RGB PNG and 16-bit binary PGM.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace nivora {

class Frame;
class Bitmap;

// Each returns false (with errno-style text in `error`) when the file cannot
// be written.
bool WriteFramePng(const std::string& path, const Frame& frame, std::string& error);
bool WriteBitmapPng(const std::string& path, const Bitmap& bitmap, std::string& error);
// A P5 grey map with maxval 65535, samples big-endian, row-major.
bool WriteGreyPgm16(const std::string& path, int width, int height, const std::vector<std::uint16_t>& samples,
                    std::string& error);

}  // namespace nivora
