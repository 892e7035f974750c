#pragma once
#include <cstdint>

namespace camsim {

// The picture controls a camera client can set, on the camera's own scales.
struct PictureControls {
    int brightness = 4;  // 1..7
    int contrast = 6;    // 1..11
    int saturation = 6;  // 1..11
    int hue = 50;        // 1..99
};

struct Rgb {
    uint8_t r = 0, g = 0, b = 0;
};

// Applies the controls to one colour the way the sensor pipeline would: brightness
// shifts and contrast stretches the luma around mid-grey, saturation scales the chroma
// (1 gives grey, 6 leaves it, 11 doubles it), hue turns the chroma plane (50 leaves
// it, each step 3.6 degrees).
Rgb AdjustColour(Rgb in, const PictureControls& controls);

}  // namespace camsim
