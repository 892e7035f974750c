#pragma once
// Camera streams made in memory for the worker's tests: JPEG frames whose pictures show
// which frame they are and which way up they are, wrapped in the camera's part headers.
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "tools/camsim/JpegEncoder.h"
#include "tools/camsim/PartHeader.h"
#include "transport/ByteStream.h"

namespace liveview::test {

// Four quadrants: top-left red with a level that tells the frame index (60 + 30 x (index mod 6)),
// top-right green, bottom-left blue, bottom-right white.
std::vector<uint8_t> QuadrantJpeg(int width, int height, int index,
                                  camsim::Subsampling subsampling = camsim::Subsampling::S444);
// Index (mod 6) told by a red level; -1 when the level is none of them.
int IndexFromRed(int red);

// One part: header (with a stamp when given), the JPEG, the trailer.
std::string Part(const std::vector<uint8_t>& jpeg, const std::optional<camsim::FrameStamp>& stamp);

// Hands out a byte string in pieces of at most `piece` bytes, then reports the end.
class MemoryStream : public ByteStream {
public:
    explicit MemoryStream(std::string bytes, int32_t piece = 4096) : data_(std::move(bytes)), piece_(piece) {}
    int32_t Read(uint8_t* buffer, int32_t size) override;
    size_t Remaining() const { return data_.size() - pos_; }

private:
    std::string data_;
    int32_t piece_;
    size_t pos_ = 0;
};

}  // namespace liveview::test
