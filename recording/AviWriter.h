// Writes the camera's JPEG frames unchanged into an AVI file through AVIFile: one "MJPG" video
// stream, every frame a key frame at the frame clock's position. A file about to outgrow what
// AVI 1.0 can address is closed and the recording goes on in a new one.
#pragma once

#include <windows.h>
#include <vfw.h>

#include <cstdint>
#include <functional>
#include <string>

#include "com/ComPtr.h"
#include "recording/FrameClock.h"
#include "recording/RolloverPolicy.h"
#include "transport/RecordSink.h"

namespace qern {

class AviWriter : public RecordSink {
public:
    static constexpr DWORD kOpenWriteCreate = 0x1001;  // OF_WRITE | OF_CREATE

    AviWriter() = default;
    ~AviWriter() override { Close(true); }
    AviWriter(const AviWriter&) = delete;
    AviWriter& operator=(const AviWriter&) = delete;

    bool Create(const char* path, uint32_t rate, int32_t width, int32_t height, bool withClock);
    // position -1 takes the frame clock.
    bool WriteFrame(int32_t position, size_t size, const void* data, int32_t* outPosition);
    bool Close(bool stopClock);

    // The stream thread's hand-off: at the clock, in a new file once this one is full.
    bool WriteFrame(const uint8_t* data, size_t size) override;
    // The limit of one file and where the next file goes (an empty path ends writing).
    void SetRollover(uint64_t limit, std::function<std::string()> nextPath);

    bool IsOpen() const { return static_cast<bool>(m_stream); }
    // What the stream thread's writes cost it, for the benchmark: writes, their total and the longest.
    struct WriteTimes {
        uint32_t writes = 0;
        double totalMs = 0;
        double longestMs = 0;
    };
    WriteTimes Times() const { return m_times; }
    const std::string& Path() const { return m_path; }
    int32_t LastPosition() const { return m_lastPosition; }
    const AVISTREAMINFOA& StreamInfo() const { return m_info; }
    const BITMAPINFOHEADER& Format() const { return m_format; }

private:
    bool Open(const char* path);
    void ReleaseFile();
    bool RollOver();

    ComPtr<IAVIFile> m_file;
    ComPtr<IAVIStream> m_stream;
    AVISTREAMINFOA m_info{};
    BITMAPINFOHEADER m_format{};
    FrameClock::Timer m_clock;
    bool m_initialised = false;  // this writer holds one AVIFileInit

    std::string m_path;
    int32_t m_lastPosition = -1;
    RolloverPolicy m_rollover;
    std::function<std::string()> m_nextPath;
    WriteTimes m_times;
};

}  // namespace qern
