// The platform-free half of the stream session: the ring of video bytes, the
// multipart part parser, the per-frame budget through which the JPEG decoder
// reads one frame, the camera's time stamp and the hand-off to a recording.
// Bytes come from a ByteStream; on Windows that is the video HttpClient.
#pragma once

#include <atomic>
#include <cstdint>
#include <mutex>
#include <vector>

#include "jpeg/JpegSource.h"
#include "transport/ByteStream.h"
#include "transport/PartParser.h"
#include "transport/RecordSink.h"
#include "transport/RingBuffer.h"

namespace qern {

class StreamSessionCore : public JpegSource {
public:
    static constexpr int32_t kRingCapacity = 131072;
    static constexpr int32_t kDefaultBudget = PartParser::kDefaultBudget;
    static constexpr int32_t kBudgetSlack = PartParser::kBudgetSlack;
    static constexpr int32_t kChunk = PartParser::kChunk;
    static constexpr int32_t kBacklogLimit = 100000;
    static constexpr int32_t kBacklogKeep = 1000;

    explicit StreamSessionCore(int32_t capacity = kRingCapacity);
    ~StreamSessionCore() override = default;
    StreamSessionCore(const StreamSessionCore&) = delete;
    StreamSessionCore& operator=(const StreamSessionCore&) = delete;

    // The source of video bytes; not owned. Null reads as an ended stream.
    void SetVideoStream(ByteStream* stream) {
        m_video = stream;
        m_streamEnded = false;
    }
    // Drops buffered bytes and the current frame: a new stream begins.
    void ResetStream();
    // True once the source gave nothing (its end, a failure or a close).
    bool StreamEnded() const { return m_streamEnded; }

    // Reads until the threshold is buffered, the ring is full or the stream
    // gives nothing; returns the bytes read by this call.
    int32_t Fill();
    void SetThreshold(int32_t n) { ring.SetThreshold(n); }
    // Keeps only the newest 997..1000 bytes once 100000 or more are buffered.
    bool DropBacklog();

    // True when the last Fill stopped short of the threshold: the stream gave
    // nothing more (the camera closed it or it was closed underneath).
    bool FellShort() const { return ring.Available() < ring.Threshold(); }

    // Finds the next JPEG part (PartParser::Next), keeps its stamp and hands a
    // recording its frame. Returns the bytes consumed or -1. A part that was
    // not yet whole after its headers is reported through missing (budget
    // minus the bytes held) and budget; Part() describes it.
    int32_t ParseHeader(int32_t* missing, int32_t* budget);
    const PartInfo& Part() const { return m_parser.Part(); }

    // The decoder's byte source: hands out up to max received bytes of the
    // current frame; *end becomes true once the frame's budget is used up (the
    // bytes beyond it stay buffered for the next part) or the stream ended
    // before the frame was whole. Never hands out a byte not received.
    int32_t Read(uint8_t* dst, int32_t max, bool* end) override;
    void Close() override {}

    // Recording hand-off. The sink is not owned; after DetachRecordSink
    // returns no WriteFrame is in progress or will start.
    void AttachRecordSink(RecordSink* sink);
    void DetachRecordSink();

    RingBuffer ring;
    std::atomic<int32_t> recording{0};
    int32_t soi = -1;  // frame markers found for recording: offsets from the read position
    int32_t eoi = -1;
    CameraTime cameraTime;
    int32_t cameraMicros = 0;

protected:
    // Called after each frame handed to the recording (the RecFinish signal).
    virtual void OnFrameRecorded() {}

    // Offsets of FF D8 at most 200 bytes after start and of the FF D9 that ends
    // the frame; -1 each when not found in the received bytes.
    void FindJpegMarkers(int32_t start, int32_t dataEnd);
    void WriteRecordedFrame();

private:
    int32_t PullOnce();
    bool Ensure(int32_t bytes);

    ByteStream* m_video = nullptr;
    bool m_streamEnded = false;
    PartParser m_parser{ring, [this](int32_t bytes) { return Ensure(bytes); }};
    std::mutex m_recordLock;
    RecordSink* m_recordSink = nullptr;
    std::vector<uint8_t> m_recordScratch;
};

}  // namespace qern
