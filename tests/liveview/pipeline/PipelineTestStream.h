#pragma once
// JPEG frames for the worker's tests whose pictures show which frame they are and which way up.
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "tools/camsim/JpegEncoder.h"

namespace liveview::test {

// Four quadrants: top-left red with a level that tells the frame index (60 + 30 x (index mod 6)),
// top-right green, bottom-left blue, bottom-right white.
std::vector<uint8_t> QuadrantJpeg(int width, int height, int index,
                                  camsim::Subsampling subsampling = camsim::Subsampling::S444);
// Index (mod 6) told by a red level; -1 when the level is none of them.
int IndexFromRed(int red);

}  // namespace liveview::test
