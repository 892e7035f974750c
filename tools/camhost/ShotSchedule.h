#pragma once
// When the host saves pictures of its window: once at a time, repeatedly at an interval, or when it leaves.
#include <string>
#include <vector>

#include "tools/camhost/HostOptions.h"

namespace camhost {

class ShotSchedule {
public:
    explicit ShotSchedule(const std::vector<ScreenshotSpec>& specs);
    // Files whose time has come by `elapsed` seconds, each returned once (a repeated one once per turn).
    std::vector<std::string> TakeDue(double elapsed);
    // Files to save when the host leaves: those without a time.
    std::vector<std::string> AtEnd() const;
    // "shot.bmp" turn 3 -> "shot-003.bmp".
    static std::string NumberedName(const std::string& file, int turn);

private:
    struct Entry {
        ScreenshotSpec spec;
        double next;
        int turn = 0;
    };
    std::vector<Entry> m_entries;
};

}  // namespace camhost
