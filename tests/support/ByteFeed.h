#pragma once
// Camera streams in memory: a byte stream that hands its bytes out in pieces, and camera parts made
// with the simulator's own part header.
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "tools/camsim/PartHeader.h"
#include "transport/ByteStream.h"
#include "transport/PartParser.h"

namespace qern {

namespace test {

// Hands out `bytes` in pieces of the given sizes (cycled), then reports the end (0). Reads past the
// end are counted in `overreads`: a camera would block there.
class PieceStream : public ByteStream {
public:
    explicit PieceStream(std::string bytes = {}, std::vector<int32_t> pieces = {4096})
        : data(std::move(bytes)), sizes(std::move(pieces)) {}
    int32_t Read(uint8_t* buffer, int32_t size) override;

    std::string data;
    std::vector<int32_t> sizes;
    size_t pos = 0;
    int overreads = 0;

private:
    size_t m_next = 0;
};

// One part: the simulator's header (declaring `declared`, by default the JPEG's length; with a
// stamp when given), the JPEG, the trailer.
std::string Part(const std::string& jpeg, const std::optional<camsim::FrameStamp>& stamp = std::nullopt,
                 std::optional<size_t> declared = std::nullopt);
std::string Part(const std::vector<uint8_t>& jpeg, const std::optional<camsim::FrameStamp>& stamp = std::nullopt);

// A camera time stamp as the calendar reads it (month 1..12, the full year).
inline CameraTime CalendarTime(int year, int month, int day, int h, int m, int s) {
    CameraTime t;
    t.year = year - 1900;
    t.month = month - 1;
    t.dayOfMonth = day;
    t.hours = h;
    t.minutes = m;
    t.seconds = s;
    return t;
}

// A JPEG-shaped body of `size` bytes: FF D8, bytes without FF drawn from `seed`, FF D9.
std::string FakeJpeg(size_t size, uint32_t seed);

}  // namespace test

}  // namespace qern
