// The period timer's interval: minutes from the dialog, as given (0 ends at the next timer
// message; a negative period counts as 0).
#pragma once

#include <cstdint>

namespace qern {

class RecordPeriod {
public:
    static constexpr uint32_t kMinuteMs = 60000;
    static constexpr uint32_t kLongestMs = 0x7FFFFFFF;  // the longest a timer waits
    static constexpr const char* kMinuteVariable = "QERN_RECORD_MINUTE_MS";

    // minuteText (decimal milliseconds, 1..60000) stands in for the minute; null for the real one.
    static uint32_t Milliseconds(int32_t minutes, const char* minuteText);
};

}  // namespace qern
