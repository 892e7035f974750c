#include "tools/camhost/ShotSchedule.h"

#include <cstdio>

namespace camhost {

ShotSchedule::ShotSchedule(const std::vector<ScreenshotSpec>& specs) {
    for (const ScreenshotSpec& s : specs) m_entries.push_back(Entry{s, s.after});
}

std::string ShotSchedule::NumberedName(const std::string& file, int turn) {
    size_t slash = file.find_last_of("/\\");
    size_t dot = file.rfind('.');
    if (dot == std::string::npos || (slash != std::string::npos && dot < slash)) dot = file.size();
    char number[16];
    std::snprintf(number, sizeof number, "-%03d", turn);
    return file.substr(0, dot) + number + file.substr(dot);
}

std::vector<std::string> ShotSchedule::TakeDue(double elapsed) {
    std::vector<std::string> due;
    for (Entry& e : m_entries) {
        if (e.next < 0 || e.next > elapsed) continue;
        if (e.spec.every > 0) {
            due.push_back(NumberedName(e.spec.file, ++e.turn));
            // A late tick skips the turns it missed rather than saving a burst of equal pictures.
            while (e.next <= elapsed) e.next += e.spec.every;
        } else {
            due.push_back(e.spec.file);
            e.next = -1;
            e.spec.after = -2;  // taken; not again at the end
        }
    }
    return due;
}

std::vector<std::string> ShotSchedule::AtEnd() const {
    std::vector<std::string> files;
    for (const Entry& e : m_entries)
        if (e.spec.after == -1 && e.spec.every <= 0) files.push_back(e.spec.file);
    return files;
}

}  // namespace camhost
