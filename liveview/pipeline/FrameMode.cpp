#include "liveview/pipeline/FrameMode.h"

#include <algorithm>
#include <limits>

namespace qern {

namespace {
constexpr FrameSize kSizes[kModeCount] = {{640, 480}, {320, 240}, {176, 144}};
}

bool IsKnownMode(int32_t mode) { return mode >= 0 && mode < kModeCount; }

FrameSize ModeSize(int32_t mode) { return IsKnownMode(mode) ? kSizes[mode] : FrameSize{0, 0}; }

int32_t ModeFromWidth(uint32_t width) {
    for (int32_t m = 0; m < kModeCount; ++m) {
        if (width == static_cast<uint32_t>(kSizes[m].width)) return m;
    }
    return kModeUnknown;
}

int32_t FillLimits::Cap(int32_t mode) {
    switch (mode) {
        case kMode640:
            return kCap640;
        case kMode320:
            return kCap320;
        case kMode176:
            return kCap176;
        default:
            return 0;
    }
}

int32_t FillLimits::Limit(int32_t mode) const { return IsKnownMode(mode) ? m_limits[mode] : 0; }

int32_t FillLimits::AfterFrame(int32_t mode, bool lengthDeclared) {
    if (!IsKnownMode(mode)) return 0;
    m_limits[mode] = lengthDeclared ? std::min(Cap(mode), kHeaderBytes) : Cap(mode);
    return m_limits[mode];
}

int32_t FillLimits::AddShortfall(int32_t mode, int32_t missing) {
    if (!IsKnownMode(mode)) return 0;
    if (missing > 0) {
        const int64_t raised = int64_t{m_limits[mode]} + missing;
        m_limits[mode] = static_cast<int32_t>(std::min<int64_t>(raised, std::numeric_limits<int32_t>::max()));
    }
    return m_limits[mode];
}

}  // namespace qern