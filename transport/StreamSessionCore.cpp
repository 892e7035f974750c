#include "transport/StreamSessionCore.h"

#include <algorithm>

namespace qern {

StreamSessionCore::StreamSessionCore(int32_t capacity) : ring(capacity) {}

void StreamSessionCore::ResetStream() {
    ring.Clear();
    m_parser.Reset();
    soi = eoi = -1;
    m_streamEnded = false;
}

int32_t StreamSessionCore::PullOnce() {
    if (!m_video) return 0;
    const int32_t room = std::min(ring.ContiguousFree(), kChunk);
    if (room <= 0) return 0;
    const int32_t n = m_video->Read(ring.WritePointer(), room);
    if (n < 1) {
        m_streamEnded = true;
        return 0;
    }
    ring.AdvanceWrite(std::min(n, room));
    return std::min(n, room);
}

bool StreamSessionCore::Ensure(int32_t bytes) {
    bytes = std::min(bytes, ring.Capacity());
    while (ring.Available() < bytes) {
        if (PullOnce() < 1) return false;
    }
    return true;
}

int32_t StreamSessionCore::Fill() {
    if (ring.Available() >= ring.Threshold()) return 0;
    int32_t total = 0;
    do {
        const int32_t n = PullOnce();
        if (n < 1) break;
        total += n;
    } while (ring.Available() < ring.Threshold());
    return total;
}

bool StreamSessionCore::DropBacklog() {
    const int32_t held = ring.Available();
    if (held < kBacklogLimit) return false;
    // Whole 4-byte steps until fewer than 1001 bytes are left.
    const int32_t steps = (held - (kBacklogKeep + 1)) / 4 + 1;
    ring.AdvanceRead(steps * 4);
    return true;
}

int32_t StreamSessionCore::ParseHeader(int32_t* missing, int32_t* budget) {
    soi = eoi = -1;
    const int32_t consumed = m_parser.Next();
    if (consumed < 0) return -1;
    const PartInfo& part = m_parser.Part();
    if (part.stamped) {
        cameraTime = part.time;
        cameraMicros = part.micros;
    }
    if (part.shortfall > 0) {
        if (missing) *missing = part.shortfall;
        if (budget) *budget = part.budget;
    }
    if (recording.load()) {
        FindJpegMarkers(0, part.hasLength ? part.length : -1);
        WriteRecordedFrame();
    }
    return consumed;
}

void StreamSessionCore::FindJpegMarkers(int32_t start, int32_t dataEnd) {
    soi = eoi = -1;
    const int32_t held = ring.Available();
    for (int32_t s = start; s <= start + 200 && s + 1 < held; ++s) {
        if (ring.At(s) == 0xFF && ring.At(s + 1) == 0xD8) {
            soi = s;
            break;
        }
    }
    if (soi < 0) return;
    if (dataEnd >= 0) {
        // The frame's own end marker: the last FF D9 in the final 200 bytes of its data.
        const int32_t lowest = std::max(soi + 2, dataEnd - 2 - 200);
        for (int32_t e = std::min(dataEnd, held) - 2; e >= lowest; --e) {
            if (ring.At(e) == 0xFF && ring.At(e + 1) == 0xD9) {
                eoi = e;
                return;
            }
        }
    } else {
        // No length: the first end marker after the start, within the budget.
        for (int32_t e = soi + 2; e + 1 < held && e - start < m_parser.Part().budget; ++e) {
            if (ring.At(e) == 0xFF && ring.At(e + 1) == 0xD9) {
                eoi = e;
                return;
            }
        }
    }
}

void StreamSessionCore::WriteRecordedFrame() {
    if (soi < 0 || eoi < 0) return;
    const int32_t size = eoi - soi + 2;
    {
        std::lock_guard<std::mutex> lock(m_recordLock);
        if (m_recordSink && size < m_parser.Part().budget) {
            const uint8_t* data = ring.Contiguous(soi, size, m_recordScratch);
            if (data) m_recordSink->WriteFrame(data, static_cast<size_t>(size));
        }
    }
    OnFrameRecorded();
}

void StreamSessionCore::AttachRecordSink(RecordSink* sink) {
    std::lock_guard<std::mutex> lock(m_recordLock);
    m_recordSink = sink;
}

void StreamSessionCore::DetachRecordSink() {
    std::lock_guard<std::mutex> lock(m_recordLock);
    m_recordSink = nullptr;
}

int32_t StreamSessionCore::Read(uint8_t* dst, int32_t max, bool* end) { return m_parser.Read(dst, max, end); }

}  // namespace qern
