#pragma once
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>

namespace camsim {

constexpr const char* kBoundary = "camsimframe";

// The camera's time stamp of one frame: a free byte (the frame index modulo 256 here),
// seconds since 1970 UTC and the microseconds within that second.
struct FrameStamp {
    uint32_t tag = 0;
    uint32_t seconds = 0;
    uint32_t micros = 0;  // 0..999999, fits the five hex digits
};

// "%02X%08X%05X": 15 upper-case hex digits.
std::string FormatStamp(const FrameStamp& stamp);

// Frame n of a stream that starts at startSeconds runs at start + n/fps exactly.
FrameStamp ExactStamp(uint32_t startSeconds, uint64_t frameIndex, int fps);

// The stamp of the wall clock now.
FrameStamp ClockStamp(uint64_t frameIndex);

// The lines in front of one JPEG part, up to and including the empty line:
// boundary, Content-Type, Content-Length and, when given, Content-Auth.
std::string FormatPartHeader(size_t declaredLength, const std::optional<FrameStamp>& stamp);

// What ends a part before the next boundary.
constexpr const char* kPartTrailer = "\r\n";

// The Content-Type of the whole video response.
std::string VideoContentType();

}  // namespace camsim
