#pragma once
#include <optional>
#include <string>
#include <string_view>

namespace camsim {

// The three picture sizes of the camera, numbered as its "Resl" setting counts them.
struct VideoSize {
    int width = 640;
    int height = 480;
    bool operator==(const VideoSize& o) const { return width == o.width && height == o.height; }
};

std::optional<VideoSize> SizeFromResl(int resl);            // 1 = 640x480, 2 = 320x240, 3 = 176x144
int ReslFromSize(const VideoSize& size);                    // 0 for a size the camera has no number for
std::optional<VideoSize> ParseSize(std::string_view text);  // "640x480", "320x240", "176x144"
std::string SizeText(const VideoSize& size);

}  // namespace camsim
