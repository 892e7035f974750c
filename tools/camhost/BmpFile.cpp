#include "tools/camhost/BmpFile.h"

#include <cstdio>
#include <memory>

namespace camhost {
namespace {

void Put16(std::vector<uint8_t>& out, size_t at, uint32_t v) {
    out[at] = static_cast<uint8_t>(v);
    out[at + 1] = static_cast<uint8_t>(v >> 8);
}

void Put32(std::vector<uint8_t>& out, size_t at, uint32_t v) {
    Put16(out, at, v & 0xFFFF);
    Put16(out, at + 2, v >> 16);
}

}  // namespace

std::vector<uint8_t> EncodeBmp(const Picture& picture) {
    const int w = picture.width, h = picture.height;
    if (w <= 0 || h <= 0 || w > 32767 || h > 32767) return {};
    if (picture.bgrx.size() != static_cast<size_t>(w) * h * 4) return {};
    const size_t stride = (static_cast<size_t>(w) * 3 + 3) & ~static_cast<size_t>(3);
    const size_t headers = 14 + 40;
    std::vector<uint8_t> out(headers + stride * h, 0);
    out[0] = 'B';
    out[1] = 'M';
    Put32(out, 2, static_cast<uint32_t>(out.size()));
    Put32(out, 10, static_cast<uint32_t>(headers));
    Put32(out, 14, 40);
    Put32(out, 18, static_cast<uint32_t>(w));
    Put32(out, 22, static_cast<uint32_t>(h));  // positive: bottom row first
    Put16(out, 26, 1);
    Put16(out, 28, 24);
    Put32(out, 34, static_cast<uint32_t>(stride * h));
    Put32(out, 38, 3780);
    Put32(out, 42, 3780);
    for (int y = 0; y < h; ++y) {
        const uint8_t* src = picture.bgrx.data() + static_cast<size_t>(h - 1 - y) * w * 4;
        uint8_t* dst = out.data() + headers + static_cast<size_t>(y) * stride;
        for (int x = 0; x < w; ++x, src += 4, dst += 3) {
            dst[0] = src[0];
            dst[1] = src[1];
            dst[2] = src[2];
        }
    }
    return out;
}

bool WriteBmp(const std::string& path, const Picture& picture) {
    std::vector<uint8_t> bytes = EncodeBmp(picture);
    if (bytes.empty()) return false;
    std::unique_ptr<FILE, int (*)(FILE*)> f(std::fopen(path.c_str(), "wb"), &std::fclose);
    if (!f) return false;
    if (std::fwrite(bytes.data(), 1, bytes.size(), f.get()) != bytes.size()) return false;
    return std::fclose(f.release()) == 0;
}

}  // namespace camhost
