#include "tools/camsim/PartHeader.h"

#include <chrono>
#include <cstdio>

namespace camsim {

std::string FormatStamp(const FrameStamp& stamp) {
    char text[32];
    std::snprintf(text, sizeof text, "%02X%08X%05X", stamp.tag & 0xFFu, stamp.seconds, stamp.micros % 1000000u);
    return text;
}

FrameStamp ExactStamp(uint32_t startSeconds, uint64_t frameIndex, int fps) {
    FrameStamp stamp;
    stamp.tag = static_cast<uint32_t>(frameIndex & 0xFF);
    uint64_t whole = frameIndex / static_cast<uint64_t>(fps);
    uint64_t rest = frameIndex % static_cast<uint64_t>(fps);
    stamp.seconds = static_cast<uint32_t>(startSeconds + whole);
    stamp.micros = static_cast<uint32_t>(rest * 1000000u / static_cast<uint64_t>(fps));
    return stamp;
}

FrameStamp ClockStamp(uint64_t frameIndex) {
    using namespace std::chrono;
    auto now = duration_cast<microseconds>(system_clock::now().time_since_epoch()).count();
    FrameStamp stamp;
    stamp.tag = static_cast<uint32_t>(frameIndex & 0xFF);
    stamp.seconds = static_cast<uint32_t>(now / 1000000);
    stamp.micros = static_cast<uint32_t>(now % 1000000);
    return stamp;
}

std::string FormatPartHeader(size_t declaredLength, const std::optional<FrameStamp>& stamp) {
    std::string out = "--";
    out += kBoundary;
    out += "\r\nContent-Type: image/jpeg\r\nContent-Length: " + std::to_string(declaredLength) + "\r\n";
    if (stamp) out += "Content-Auth: " + FormatStamp(*stamp) + "\r\n";
    out += "\r\n";
    return out;
}

std::string VideoContentType() { return std::string("multipart/x-mixed-replace; boundary=") + kBoundary; }

}  // namespace camsim
