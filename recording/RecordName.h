// File names of recordings: the camera's stamp, "_REC" and ".avi" in the chosen folder.
#pragma once

#include <cstddef>
#include <functional>
#include <string>

#include "transport/StreamSessionCore.h"

namespace qern {

class RecordName {
public:
    static constexpr size_t kMaxPath = 260;  // the whole path, its terminating zero included

    // "YYYY_MM_DD_hh_mm_ss" from the stamp, or "RADAZ" before the first stamp (year 2000 or
    // earlier). Writes at most size bytes, always terminated.
    static void Format(const CameraTime& time, char* buffer, size_t size);

    // folder "\" name "_REC.avi"; when that file exists already, "_REC_2.avi", "_REC_3.avi", ...
    // so that a restart within the same second never overwrites the file before it. Empty when
    // the path would not fit in kMaxPath bytes.
    static std::string Path(const std::string& folder, const std::string& name,
                            const std::function<bool(const std::string&)>& exists);

    // The folder part of a path built by Path (up to its last backslash, without it).
    static std::string Folder(const std::string& path);
};

}  // namespace qern
