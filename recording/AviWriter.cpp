#include "recording/AviWriter.h"

#include <mmsystem.h>

#include <cstring>

#include "recording/JpegFrameSize.h"
#include "common/Trace.h"

bool AviWriter::Create(const char* path, uint32_t rate, int32_t width, int32_t height, bool withClock) {
    QernTrace("AviWriter::Create()..%s\n", path ? path : "");
    if (!path || rate == 0) return false;
    Close(withClock);

    std::memset(&format_, 0, sizeof format_);
    std::memset(&info_, 0, sizeof info_);
    info_.fccType = mmioStringToFOURCCA("vids", 0);
    info_.fccHandler = mmioFOURCC('M', 'J', 'P', 'G');
    info_.dwScale = 1;
    info_.dwRate = rate;
    info_.dwSuggestedBufferSize = 0;
    info_.dwQuality = 0;
    SetRect(&info_.rcFrame, 0, 0, width, height);
    format_.biSize = sizeof(BITMAPINFOHEADER);
    format_.biWidth = width;
    format_.biHeight = height;
    format_.biPlanes = 1;
    format_.biBitCount = 24;
    format_.biCompression = mmioFOURCC('M', 'J', 'P', 'G');
    format_.biSizeImage = static_cast<DWORD>(width) * static_cast<DWORD>(height) * 3;

    if (!Open(path)) return false;
    FrameClock::Reset();
    if (withClock) {
        clock_.Start(1000 / rate - 10);
        times_ = WriteTimes();
    }
    return true;
}

bool AviWriter::Open(const char* path) {
    AVIFileInit();
    initialised_ = true;
    if (AVIFileOpenA(file_.put(), path, kOpenWriteCreate, nullptr) != AVIERR_OK || !file_ ||
        AVIFileCreateStreamA(file_.get(), stream_.put(), &info_) != AVIERR_OK || !stream_ ||
        AVIStreamSetFormat(stream_.get(), 0, &format_, sizeof format_) != AVIERR_OK) {
        QernTrace("AviWriter::Create()..failed\n");
        ReleaseFile();
        return false;
    }
    path_ = path;
    lastPosition_ = -1;
    rollover_.Begin();
    return true;
}

void AviWriter::ReleaseFile() {
    stream_.reset();
    file_.reset();  // the last release writes the index and the headers
    if (initialised_) AVIFileExit();
    initialised_ = false;
}

bool AviWriter::WriteFrame(int32_t position, size_t size, const void* data, int32_t* outPosition) {
    if (position == -1) position = FrameClock::Now();
    if (outPosition) *outPosition = position;
    if (!stream_ || !data || size > 0x7FFFFFFF) return false;
    const bool ok = AVIStreamWrite(stream_.get(), position, 1, const_cast<void*>(data), static_cast<LONG>(size),
                                   AVIIF_KEYFRAME, nullptr, nullptr) == AVIERR_OK;
    if (ok) {
        rollover_.Add(position, size);
        lastPosition_ = position;
    }
    return ok;
}

bool AviWriter::Close(bool stopClock) {
    ReleaseFile();
    if (stopClock) clock_.Stop();
    return true;
}

void AviWriter::SetRollover(uint64_t limit, std::function<std::string()> nextPath) {
    rollover_ = RolloverPolicy(limit);
    nextPath_ = std::move(nextPath);
}

bool AviWriter::WriteFrame(const uint8_t* data, size_t size) {
    if (!stream_) return false;
    // The first frame of a new size arrives before the live view notices the change: it does
    // not belong in a file whose header gives the old size.
    int32_t width = 0, height = 0;
    if (format_.biWidth != 0 && JpegFrameSize::Read(data, size, &width, &height) &&
        (width != format_.biWidth || height != format_.biHeight))
        return false;
    LARGE_INTEGER start, end, frequency;
    QueryPerformanceCounter(&start);
    const bool written = (!rollover_.NeedsNewFile(FrameClock::Now(), size) || RollOver()) &&
                         WriteFrame(-1, size, data, nullptr);
    QueryPerformanceCounter(&end);
    QueryPerformanceFrequency(&frequency);
    const double ms = 1000.0 * double(end.QuadPart - start.QuadPart) / double(frequency.QuadPart);
    ++times_.writes;
    times_.totalMs += ms;
    if (ms > times_.longestMs) times_.longestMs = ms;
    return written;
}

// The clock keeps running and restarts at 0 for the new file, as after a change of size.
bool AviWriter::RollOver() {
    const std::string next = nextPath_ ? nextPath_() : std::string();
    QernTrace("AviWriter::RollOver()..%s\n", next.c_str());
    ReleaseFile();
    if (next.empty() || !Open(next.c_str())) return false;
    FrameClock::Reset();
    return true;
}
