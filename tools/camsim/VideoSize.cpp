#include "tools/camsim/VideoSize.h"

namespace camsim {

std::optional<VideoSize> SizeFromResl(int resl) {
    switch (resl) {
        case 1:
            return VideoSize{640, 480};
        case 2:
            return VideoSize{320, 240};
        case 3:
            return VideoSize{176, 144};
        default:
            return std::nullopt;
    }
}

int ReslFromSize(const VideoSize& size) {
    for (int resl = 1; resl <= 3; ++resl) {
        if (*SizeFromResl(resl) == size) return resl;
    }
    return 0;
}

std::optional<VideoSize> ParseSize(std::string_view text) {
    for (int resl = 1; resl <= 3; ++resl) {
        VideoSize size = *SizeFromResl(resl);
        if (text == SizeText(size)) return size;
    }
    return std::nullopt;
}

std::string SizeText(const VideoSize& size) { return std::to_string(size.width) + "x" + std::to_string(size.height); }

}  // namespace camsim
