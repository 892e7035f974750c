#include "tests/liveview/pipeline/PipelineTestStream.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>

namespace liveview::test {

std::vector<uint8_t> QuadrantJpeg(int width, int height, int index, camsim::Subsampling subsampling) {
    std::vector<uint8_t> rgb(size_t(width) * height * 3);
    const uint8_t level = uint8_t(60 + 30 * (index % 6));
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x) {
            uint8_t* p = &rgb[(size_t(y) * width + x) * 3];
            const bool left = x < width / 2, top = y < height / 2;
            if (top && left) {
                p[0] = level, p[1] = 0, p[2] = 0;
            } else if (top) {
                p[0] = 0, p[1] = 200, p[2] = 0;
            } else if (left) {
                p[0] = 0, p[1] = 0, p[2] = 200;
            } else {
                p[0] = p[1] = p[2] = 255;
            }
        }
    camsim::JpegSettings settings;
    settings.subsampling = subsampling;
    settings.quality = 95;
    return camsim::JpegEncoder(settings).Encode(rgb.data(), width, height);
}

int IndexFromRed(int red) {
    for (int k = 0; k < 6; ++k)
        if (std::abs(red - (60 + 30 * k)) < 12) return k;
    return -1;
}

}  // namespace liveview::test
