#include "recording/RecordName.h"

#include <cstdio>

namespace qern {

void RecordName::Format(const CameraTime& time, char* buffer, size_t size) {
    if (!buffer || size == 0) return;
    const long long year = 1900LL + time.year;
    if (year > 2000) {
        std::snprintf(buffer, size, "%04lld_%02lld_%02d_%02d_%02d_%02d", year, 1LL + time.month,
                      static_cast<int>(time.dayOfMonth), static_cast<int>(time.hours), static_cast<int>(time.minutes),
                      static_cast<int>(time.seconds));
    } else {
        std::snprintf(buffer, size, "RADAZ");
    }
}

std::string RecordName::Path(const std::string& folder, const std::string& name,
                             const std::function<bool(const std::string&)>& exists) {
    const std::string stem = folder + "\\" + name + "_REC";
    std::string path = stem + ".avi";
    // Bounded: a folder full of one second's names is not worth searching further.
    for (int n = 2; exists && exists(path) && n < 1000; ++n) path = stem + "_" + std::to_string(n) + ".avi";
    if (exists && exists(path)) return std::string();
    return path.size() < kMaxPath ? path : std::string();
}

std::string RecordName::Folder(const std::string& path) {
    const size_t slash = path.rfind('\\');
    return slash == std::string::npos ? std::string() : path.substr(0, slash);
}

}  // namespace qern
