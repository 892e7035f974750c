#include "tools/camsim/EventLog.h"

namespace camsim {

bool LineLog::Open(const std::string& fileName) {
    std::FILE* f = std::fopen(fileName.c_str(), "w");
    if (!f) return false;
    std::lock_guard<std::mutex> lock(m_mutex);
    m_file.reset(f);
    return true;
}

void LineLog::Write(std::string_view line) {
    std::lock_guard<std::mutex> lock(m_mutex);
    if (!m_file) return;
    std::fwrite(line.data(), 1, line.size(), m_file.get());
    std::fputc('\n', m_file.get());
    std::fflush(m_file.get());
}

std::string RequestLogLine(uint64_t connection, bool authMatched, std::string_view method, std::string_view target) {
    return "conn=" + std::to_string(connection) + " auth=" + (authMatched ? "yes " : "no ") + std::string(method) +
           " " + std::string(target);
}

std::string FrameLogLine(uint64_t connection, uint64_t frameIndex, size_t size, uint32_t crc, const PartFault& fault) {
    char crcText[16];
    std::snprintf(crcText, sizeof crcText, "%08X", crc);
    std::string line = "conn=" + std::to_string(connection) + " frame=" + std::to_string(frameIndex) +
                       " size=" + std::to_string(size) + " crc32=" + crcText;
    if (fault.truncate) line += " truncated";
    if (fault.wrongLength) line += " wrong-length";
    return line;
}

}  // namespace camsim
