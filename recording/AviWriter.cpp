#include "recording/AviWriter.h"

#include <mmsystem.h>

#include <cstring>

#include "recording/JpegFrameSize.h"
#include "common/Trace.h"

namespace qern {

bool AviWriter::Create(const char* path, uint32_t rate, int32_t width, int32_t height, bool withClock) {
    QernTrace("AviWriter::Create()..%s\n", path ? path : "");
    if (!path || rate == 0) return false;
    Close(withClock);

    std::memset(&m_format, 0, sizeof m_format);
    std::memset(&m_info, 0, sizeof m_info);
    m_info.fccType = mmioStringToFOURCCA("vids", 0);
    m_info.fccHandler = mmioFOURCC('M', 'J', 'P', 'G');
    m_info.dwScale = 1;
    m_info.dwRate = rate;
    m_info.dwSuggestedBufferSize = 0;
    m_info.dwQuality = 0;
    SetRect(&m_info.rcFrame, 0, 0, width, height);
    m_format.biSize = sizeof(BITMAPINFOHEADER);
    m_format.biWidth = width;
    m_format.biHeight = height;
    m_format.biPlanes = 1;
    m_format.biBitCount = 24;
    m_format.biCompression = mmioFOURCC('M', 'J', 'P', 'G');
    m_format.biSizeImage = static_cast<DWORD>(width) * static_cast<DWORD>(height) * 3;

    if (!Open(path)) return false;
    FrameClock::Reset();
    if (withClock) {
        m_clock.Start(1000 / rate - 10);
        m_times = WriteTimes();
    }
    return true;
}

bool AviWriter::Open(const char* path) {
    AVIFileInit();
    m_initialised = true;
    if (AVIFileOpenA(m_file.put(), path, kOpenWriteCreate, nullptr) != AVIERR_OK || !m_file ||
        AVIFileCreateStreamA(m_file.get(), m_stream.put(), &m_info) != AVIERR_OK || !m_stream ||
        AVIStreamSetFormat(m_stream.get(), 0, &m_format, sizeof m_format) != AVIERR_OK) {
        QernTrace("AviWriter::Create()..failed\n");
        ReleaseFile();
        return false;
    }
    m_path = path;
    m_lastPosition = -1;
    m_rollover.Begin();
    return true;
}

void AviWriter::ReleaseFile() {
    m_stream.reset();
    m_file.reset();  // the last release writes the index and the headers
    if (m_initialised) AVIFileExit();
    m_initialised = false;
}

bool AviWriter::WriteFrame(int32_t position, size_t size, const void* data, int32_t* outPosition) {
    if (position == -1) position = FrameClock::Now();
    if (outPosition) *outPosition = position;
    if (!m_stream || !data || size > 0x7FFFFFFF) return false;
    const bool ok = AVIStreamWrite(m_stream.get(), position, 1, const_cast<void*>(data), static_cast<LONG>(size),
                                   AVIIF_KEYFRAME, nullptr, nullptr) == AVIERR_OK;
    if (ok) {
        m_rollover.Add(position, size);
        m_lastPosition = position;
    }
    return ok;
}

bool AviWriter::Close(bool stopClock) {
    ReleaseFile();
    if (stopClock) m_clock.Stop();
    return true;
}

void AviWriter::SetRollover(uint64_t limit, std::function<std::string()> nextPath) {
    m_rollover = RolloverPolicy(limit);
    m_nextPath = std::move(nextPath);
}

bool AviWriter::WriteFrame(const uint8_t* data, size_t size) {
    if (!m_stream) return false;
    // The first frame of a new size arrives before the live view notices the change: it does
    // not belong in a file whose header gives the old size.
    int32_t width = 0, height = 0;
    if (m_format.biWidth != 0 && JpegFrameSize::Read(data, size, &width, &height) &&
        (width != m_format.biWidth || height != m_format.biHeight))
        return false;
    LARGE_INTEGER start, end, frequency;
    QueryPerformanceCounter(&start);
    const bool written =
        (!m_rollover.NeedsNewFile(FrameClock::Now(), size) || RollOver()) && WriteFrame(-1, size, data, nullptr);
    QueryPerformanceCounter(&end);
    QueryPerformanceFrequency(&frequency);
    const double ms = 1000.0 * double(end.QuadPart - start.QuadPart) / double(frequency.QuadPart);
    ++m_times.writes;
    m_times.totalMs += ms;
    if (ms > m_times.longestMs) m_times.longestMs = ms;
    return written;
}

// The clock keeps running and restarts at 0 for the new file, as after a change of size.
bool AviWriter::RollOver() {
    const std::string next = m_nextPath ? m_nextPath() : std::string();
    QernTrace("AviWriter::RollOver()..%s\n", next.c_str());
    ReleaseFile();
    if (next.empty() || !Open(next.c_str())) return false;
    FrameClock::Reset();
    return true;
}

}  // namespace qern
