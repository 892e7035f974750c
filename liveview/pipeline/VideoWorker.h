#pragma once
// The live view's video worker: waits for the camera's address, opens the video stream, cuts
// it into frames with the stream session, decodes each frame into the next buffer of its
// size's triple, keeps the frame rate and overlay text and hands whole frames to painting.
#include <cstddef>
#include <cstdint>

#include "liveview/pipeline/FrameMode.h"
#include "liveview/pipeline/LiveViewState.h"
#include "liveview/pipeline/OverlayText.h"

namespace qern {

class JpegDecoder;
class StreamSessionCore;

// What the worker needs from its live view.
class VideoWorkerHost {
public:
    virtual bool HasCameraAddress() = 0;
    // Copies the address, user name, password and video path into the session; false when
    // one of them cannot be used.
    virtual bool PrepareSession() = 0;
    virtual bool OpenVideo() = 0;
    virtual void CloseVideo() = 0;
    // True once the audio reader has started playing.
    virtual bool AudioStarted() = 0;
    // Sleeps up to ms; returns at once when the stream is being stopped.
    virtual void Pause(uint32_t ms) = 0;
    // The pixels (bottom-up, 32 bits) of buffer index (0..2) of a mode's triple; null when that
    // buffer could not be allocated.
    virtual uint8_t* FrameBits(int32_t mode, int32_t index) = 0;
    // Clears the window after a change of picture size.
    virtual void EraseView() = 0;
    // Paints the shown buffer and waits (briefly) until the paint is done.
    virtual void ShowFrame() = 0;
    // A frame of another size arrived: ends a recording of the old size (and restarts it).
    virtual void OnFrameSizeChanged() = 0;
    // Lets the in-process frame hook see and change the decoded frame.
    virtual void ProcessImage(uint8_t* pixels, size_t bytes) = 0;

protected:
    ~VideoWorkerHost() = default;
};

class VideoWorker {
public:
    // Address checks, 500 ms apart; audio checks, 300 ms apart.
    static constexpr int kAddressChecks = 15;
    static constexpr uint32_t kAddressCheckMs = 500;
    static constexpr int kAudioChecks = 9;
    static constexpr uint32_t kAudioCheckMs = 300;

    enum class RunEnd {
        NoAddress,    // no address within the checks; m_bStreaming left as it was
        Stopped,      // m_bStreaming was cleared
        OpenFailed,   // the stream could not be opened; m_bStreaming cleared
        StreamEnded,  // the camera closed the stream; m_bStreaming cleared
        NoMemory,     // the decoder could not be allocated; m_bStreaming cleared
    };

    // What DecodeToDib made of a frame.
    enum DecodeResult : int32_t {
        kDecoded = 0,
        kHeaderFailed = 1,
        kStartFailed = 2,
        kSize640 = 3,  // a frame of another size: 640 x 480
        kSize320 = 4,
        kSize176 = 5,
        kDoesNotFit = 6,  // wider than the buffer's width or taller than it: dropped
        kNoBuffer = 7,    // the target buffer was never allocated
    };

    VideoWorker(LiveViewState& state, StreamSessionCore& session, VideoWorkerHost& host);

    RunEnd ProceedingVideoStream();

    int32_t DecodeToDib(JpegDecoder& decoder, uint8_t* pixels, int32_t expectedWidth, int32_t expectedHeight);
    void ShowFrame640(JpegDecoder& decoder, bool whole) { ShowFrame(kMode640, decoder, whole); }
    void ShowFrame320(JpegDecoder& decoder, bool whole) { ShowFrame(kMode320, decoder, whole); }
    void ShowFrame176(JpegDecoder& decoder, bool whole) { ShowFrame(kMode176, decoder, whole); }

    // Which buffer of its triple a mode decodes into: the shown one plus 1, 2 or 3.
    static int32_t TargetOffset(int32_t mode) { return mode + 1; }

private:
    void ShowFrame(int32_t mode, JpegDecoder& decoder, bool whole);
    RunEnd StreamLoop(JpegDecoder& decoder);

    LiveViewState& m_state;
    StreamSessionCore& m_session;
    VideoWorkerHost& m_host;
    FillLimits m_limits;
    FrameRateCounter m_rate;
    int32_t m_missing = 0;
};

}  // namespace qern