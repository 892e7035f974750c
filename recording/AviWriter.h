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

    bool IsOpen() const { return static_cast<bool>(stream_); }
    // What the stream thread's writes cost it, for the benchmark: writes, their total and the longest.
    struct WriteTimes {
        uint32_t writes = 0;
        double totalMs = 0;
        double longestMs = 0;
    };
    WriteTimes Times() const { return times_; }
    const std::string& Path() const { return path_; }
    int32_t LastPosition() const { return lastPosition_; }
    const AVISTREAMINFOA& StreamInfo() const { return info_; }
    const BITMAPINFOHEADER& Format() const { return format_; }

private:
    bool Open(const char* path);
    void ReleaseFile();
    bool RollOver();

    qern::ComPtr<IAVIFile> file_;
    qern::ComPtr<IAVIStream> stream_;
    AVISTREAMINFOA info_{};
    BITMAPINFOHEADER format_{};
    FrameClock::Timer clock_;
    bool initialised_ = false;  // this writer holds one AVIFileInit

    std::string path_;
    int32_t lastPosition_ = -1;
    RolloverPolicy rollover_;
    std::function<std::string()> nextPath_;
    WriteTimes times_;
};
