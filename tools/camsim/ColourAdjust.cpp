#include "tools/camsim/ColourAdjust.h"

#include <algorithm>
#include <cmath>

namespace camsim {
namespace {

uint8_t Clamp(double v) { return static_cast<uint8_t>(std::clamp(std::lround(v), 0L, 255L)); }

}  // namespace

Rgb AdjustColour(Rgb in, const PictureControls& controls) {
    constexpr double kPi = 3.14159265358979323846;
    double y = 0.299 * in.r + 0.587 * in.g + 0.114 * in.b;
    double cb = -0.168736 * in.r - 0.331264 * in.g + 0.5 * in.b;
    double cr = 0.5 * in.r - 0.418688 * in.g - 0.081312 * in.b;

    double contrast = 1.0 + (controls.contrast - 6) * 0.15;
    y = (y - 128.0) * contrast + 128.0 + (controls.brightness - 4) * 24.0;

    double saturation = (controls.saturation - 1) / 5.0;
    double angle = (controls.hue - 50) * 3.6 * kPi / 180.0;
    double c = std::cos(angle), s = std::sin(angle);
    double cb2 = saturation * (cb * c - cr * s);
    double cr2 = saturation * (cb * s + cr * c);

    return Rgb{Clamp(y + 1.402 * cr2), Clamp(y - 0.344136 * cb2 - 0.714136 * cr2), Clamp(y + 1.772 * cb2)};
}

}  // namespace camsim
