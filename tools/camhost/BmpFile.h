#pragma once
// A 24-bit BMP file from rows of 4-byte blue-green-red pixels, the layout of a 32-bit DIB section.
#include <cstdint>
#include <string>
#include <vector>

namespace camhost {

struct Picture {
    int width = 0;
    int height = 0;
    // Top row first, 4 bytes per pixel: blue, green, red, unused.
    std::vector<uint8_t> bgrx;
};

// The bytes of the file; empty for an empty or inconsistent picture.
std::vector<uint8_t> EncodeBmp(const Picture& picture);
bool WriteBmp(const std::string& path, const Picture& picture);

}  // namespace camhost
