#pragma once
#include <cstdint>
#include <cstdio>
#include <memory>
#include <mutex>
#include <string>
#include <string_view>

#include "tools/camsim/Faults.h"

namespace camsim {

// A text file written one whole line at a time by any connection thread, flushed at
// once so that a test can read it while the simulator runs. Without a file name the
// log is off.
class LineLog {
public:
    LineLog() = default;
    bool Open(const std::string& fileName);  // truncates; false when it cannot be created
    bool IsOpen() const { return m_file != nullptr; }
    void Write(std::string_view line);

private:
    struct Closer {
        void operator()(std::FILE* f) const { std::fclose(f); }
    };
    std::mutex m_mutex;
    std::unique_ptr<std::FILE, Closer> m_file;
};

// "conn=<n> auth=<yes|no> <METHOD> <target>": the target comes last and as sent, so
// blanks in it are kept.
std::string RequestLogLine(uint64_t connection, bool authMatched, std::string_view method, std::string_view target);

// "conn=<n> frame=<index> size=<bytes> crc32=<8 hex digits>", followed by " truncated"
// and/or " wrong-length" when a fault changed how the frame went out. Size and CRC-32
// are those of the whole JPEG.
std::string FrameLogLine(uint64_t connection, uint64_t frameIndex, size_t size, uint32_t crc, const PartFault& fault);

}  // namespace camsim
