#include "liveview/pipeline/VideoWorker.h"

#include <memory>
#include <new>

#include "jpeg/JpegDecoder.h"
#include "liveview/pipeline/DibRowWriter.h"
#include "transport/StreamSessionCore.h"
#include "common/Trace.h"

namespace qern {

VideoWorker::VideoWorker(LiveViewState& state, StreamSessionCore& session, VideoWorkerHost& host)
    : m_state(state), m_session(session), m_host(host) {}

VideoWorker::RunEnd VideoWorker::ProceedingVideoStream() {
    ++m_state.stats.workerRuns;
    bool haveAddress = false;
    for (int i = 0; i < kAddressChecks && m_state.m_bStreaming; ++i) {
        if (m_host.HasCameraAddress()) {
            haveAddress = true;
            break;
        }
        m_host.Pause(kAddressCheckMs);
    }
    if (!m_state.m_bStreaming) return RunEnd::Stopped;
    if (!haveAddress) {
        QernTrace("ProceedingVideoStream..no address\n");
        return RunEnd::NoAddress;
    }

    std::unique_ptr<JpegDecoder> decoder(new (std::nothrow) JpegDecoder);
    if (!decoder) {
        QernTrace("ProceedingVideoStream..no memory for the decoder\n");
        m_state.m_bStreaming = false;
        return RunEnd::NoMemory;
    }
    m_limits = FillLimits();
    m_missing = 0;
    m_host.CloseVideo();
    // The flag was set by whoever started this worker; a stop since then wins.
    if (!m_host.PrepareSession() || !m_state.m_bStreaming || !m_host.OpenVideo()) {
        if (!m_state.m_bStreaming) return RunEnd::Stopped;
        QernTrace("ProceedingVideoStream..OpenVideo failed\n");
        m_state.m_bStreaming = false;
        return RunEnd::OpenFailed;
    }
    ++m_state.stats.streamsOpened;

    m_rate = FrameRateCounter();
    for (int i = 0; i < kAudioChecks && !m_host.AudioStarted(); ++i) {
        if (!m_state.m_bStreaming) return RunEnd::Stopped;
        m_host.Pause(kAudioCheckMs);
    }
    return StreamLoop(*decoder);
}

VideoWorker::RunEnd VideoWorker::StreamLoop(JpegDecoder& decoder) {
    bool ended = false;
    while (m_state.m_bStreaming) {
        m_state.m_watchdog = 0;
        m_state.m_wd_timeout = LiveViewState::kWatchdogBaseLimit;

        m_session.Fill();
        // Fill stops short of its threshold only when the stream gave nothing more: the camera
        // closed it or it was closed underneath us. What is buffered is still shown.
        if (m_session.FellShort()) ended = true;
        if (m_session.DropBacklog()) continue;
        int32_t budget = 0;
        if (m_session.ParseHeader(&m_missing, &budget) < 0) {
            if (ended) break;
            continue;
        }
        ++m_state.stats.framesParsed;
        // The session completes a part with a length from the stream before the decoder sees
        // it, so a frame reported short is whole once its bytes are buffered.
        const PartInfo& part = m_session.Part();
        const bool whole = part.whole;
        const bool lengthDeclared = part.hasLength;
        decoder.ReadHeader(&m_session, 1);

        const int32_t mode = m_state.m_mode;
        switch (mode) {
            case kMode640:
                ShowFrame640(decoder, whole);
                m_session.SetThreshold(m_limits.AfterFrame(kMode640, lengthDeclared));
                break;
            case kMode320:
                ShowFrame320(decoder, whole);
                m_session.SetThreshold(m_limits.AfterFrame(kMode320, lengthDeclared));
                break;
            case kMode176:
                ShowFrame176(decoder, whole);
                m_session.SetThreshold(m_limits.AfterFrame(kMode176, lengthDeclared));
                break;
            default:
                if (decoder.StartDecompress() == 0 && decoder.ImageWidth() != 0) {
                    const int32_t seen = ModeFromWidth(decoder.ImageWidth());
                    if (seen != kModeUnknown) {
                        m_state.m_modeChanged = 1;
                        m_state.m_mode = seen;
                    }
                }
                break;
        }

        const int32_t now = m_state.m_mode;
        if (m_state.m_modeChanged) {
            if (IsKnownMode(now)) m_session.SetThreshold(m_limits.Limit(now));
            ++m_state.stats.modeChanges;
            m_host.EraseView();
            m_state.m_modeChanged = 0;
        } else if (m_missing > 0) {
            // A frame the session completed needs no more buffering next time.
            if (IsKnownMode(now) && !whole) m_session.SetThreshold(m_limits.AddShortfall(now, m_missing));
            m_missing = 0;
        }
        decoder.Release();
    }
    if (!m_state.m_bStreaming) return RunEnd::Stopped;
    QernTrace("ProceedingVideoStream..the camera closed the stream\n");
    m_state.m_bStreaming = false;
    return RunEnd::StreamEnded;
}

int32_t VideoWorker::DecodeToDib(JpegDecoder& decoder, uint8_t* pixels, int32_t expectedWidth, int32_t expectedHeight) {
    if (decoder.Error() != 0) return kHeaderFailed;
    if (decoder.StartDecompress() != 0) return kStartFailed;
    const uint32_t width = decoder.ImageWidth();
    const uint32_t height = decoder.ImageHeight();
    // A frame counts as the expected size when its width or its height matches.
    if (width != static_cast<uint32_t>(expectedWidth) && height != static_cast<uint32_t>(expectedHeight)) {
        const int32_t seen = ModeFromWidth(width);
        if (seen != kModeUnknown) {
            m_state.m_modeChanged = 1;
            m_host.OnFrameSizeChanged();
            return kSize640 + seen;
        }
    }
    // Only a frame of the buffer's width and at most its height is copied.
    if (width != static_cast<uint32_t>(expectedWidth) || height > static_cast<uint32_t>(expectedHeight))
        return kDoesNotFit;
    if (!pixels) return kNoBuffer;

    DibRowWriter writer(pixels, expectedWidth, expectedHeight, m_state.m_bUpsideDown, m_state.m_bMirror);
    const int bytesPerPixel = decoder.BytesPerPixel();
    const uint8_t* row = nullptr;
    int32_t length = 0;
    // Rows not delivered (decoding failed part-way) keep the buffer's earlier content.
    while (decoder.ReadScanline(&row, &length) == 0) writer.PutRow(row, length, bytesPerPixel);

    m_host.ProcessImage(pixels, static_cast<size_t>(expectedWidth) * static_cast<size_t>(expectedHeight) * 4);
    return kDecoded;
}

void VideoWorker::ShowFrame(int32_t mode, JpegDecoder& decoder, bool whole) {
    const FrameSize size = ModeSize(mode);
    std::atomic<int32_t>& shown = m_state.Shown(mode);
    const int32_t target = (shown + TargetOffset(mode)) % 3;
    const int32_t r = DecodeToDib(decoder, m_host.FrameBits(mode, target), size.width, size.height);
    if (r >= kSize640 && r <= kSize176) {
        m_state.m_mode = r - kSize640;
        return;
    }
    if (r != kDecoded) {
        ++m_state.stats.framesDropped;
        return;
    }
    ++m_state.stats.framesDecoded;

    int32_t fps = m_state.m_fps;
    if (m_rate.Count(m_session.Part().stamped, m_session.cameraMicros, fps)) m_state.m_fps = fps;
    char text[kOverlayTextSize];
    FormatOverlayText(text, m_session.cameraTime, m_session.cameraMicros, m_state.m_fps, mode == kMode176);
    m_state.m_overlayText.Set(text);

    shown = (shown + 1) % 3;
    if (whole) {
        m_host.ShowFrame();
        ++m_state.stats.framesPainted;
    }
}

}  // namespace qern