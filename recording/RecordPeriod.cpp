#include "recording/RecordPeriod.h"

#include <cstdlib>

namespace qern {

uint32_t RecordPeriod::Milliseconds(int32_t minutes, const char* minuteText) {
    int64_t minute = kMinuteMs;
    if (minuteText && *minuteText) {
        char* end = nullptr;
        const long value = std::strtol(minuteText, &end, 10);
        if (*end == '\0' && value >= 1 && value <= static_cast<long>(kMinuteMs)) minute = value;
    }
    if (minutes <= 0) return 0;
    const int64_t ms = static_cast<int64_t>(minutes) * minute;
    return ms > kLongestMs ? kLongestMs : static_cast<uint32_t>(ms);
}

}  // namespace qern
