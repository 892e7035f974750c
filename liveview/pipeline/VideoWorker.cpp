#include "liveview/pipeline/VideoWorker.h"

#include <memory>
#include <new>

#include "jpeg/JpegDecoder.h"
#include "liveview/pipeline/DibRowWriter.h"
#include "transport/StreamSessionCore.h"
#include "common/Trace.h"

namespace liveview {

VideoWorker::VideoWorker(LiveViewState& state, StreamSessionCore& session, VideoWorkerHost& host)
    : state_(state), session_(session), host_(host) {}

VideoWorker::RunEnd VideoWorker::ProceedingVideoStream() {
    ++state_.stats.workerRuns;
    bool haveAddress = false;
    for (int i = 0; i < kAddressChecks && state_.m_bStreaming; ++i) {
        if (host_.HasCameraAddress()) {
            haveAddress = true;
            break;
        }
        host_.Pause(kAddressCheckMs);
    }
    if (!state_.m_bStreaming) return RunEnd::Stopped;
    if (!haveAddress) {
        QernTrace("ProceedingVideoStream..no address\n");
        return RunEnd::NoAddress;
    }

    std::unique_ptr<JpegDecoder> decoder(new (std::nothrow) JpegDecoder);
    if (!decoder) {
        QernTrace("ProceedingVideoStream..no memory for the decoder\n");
        state_.m_bStreaming = false;
        return RunEnd::NoMemory;
    }
    limits_ = FillLimits();
    missing_ = 0;
    host_.CloseVideo();
    // The flag was set by whoever started this worker; a stop since then wins.
    if (!host_.PrepareSession() || !state_.m_bStreaming || !host_.OpenVideo()) {
        if (!state_.m_bStreaming) return RunEnd::Stopped;
        QernTrace("ProceedingVideoStream..OpenVideo failed\n");
        state_.m_bStreaming = false;
        return RunEnd::OpenFailed;
    }
    ++state_.stats.streamsOpened;

    rate_ = FrameRateCounter();
    for (int i = 0; i < kAudioChecks && !host_.AudioStarted(); ++i) {
        if (!state_.m_bStreaming) return RunEnd::Stopped;
        host_.Pause(kAudioCheckMs);
    }
    return StreamLoop(*decoder);
}

VideoWorker::RunEnd VideoWorker::StreamLoop(JpegDecoder& decoder) {
    bool ended = false;
    while (state_.m_bStreaming) {
        state_.m_watchdog = 0;
        state_.m_wd_timeout = LiveViewState::kWatchdogBaseLimit;

        session_.Fill();
        // Fill stops short of its threshold only when the stream gave nothing more: the camera
        // closed it or it was closed underneath us. What is buffered is still shown.
        if (session_.FellShort()) ended = true;
        if (session_.DropBacklog()) continue;
        int32_t budget = 0;
        if (session_.ParseHeader(&missing_, &budget) < 0) {
            if (ended) break;
            continue;
        }
        ++state_.stats.framesParsed;
        // The session completes a part with a length from the stream before the decoder sees
        // it, so a frame reported short is whole once its bytes are buffered.
        const PartInfo& part = session_.Part();
        const bool whole = part.whole;
        const bool lengthDeclared = part.hasLength;
        decoder.ReadHeader(&session_, 1);

        const int32_t mode = state_.m_mode;
        switch (mode) {
        case kMode640:
            ShowFrame640(decoder, whole);
            session_.SetThreshold(limits_.AfterFrame(kMode640, lengthDeclared));
            break;
        case kMode320:
            ShowFrame320(decoder, whole);
            session_.SetThreshold(limits_.AfterFrame(kMode320, lengthDeclared));
            break;
        case kMode176:
            ShowFrame176(decoder, whole);
            session_.SetThreshold(limits_.AfterFrame(kMode176, lengthDeclared));
            break;
        default:
            if (decoder.StartDecompress() == 0 && decoder.ImageWidth() != 0) {
                const int32_t seen = ModeFromWidth(decoder.ImageWidth());
                if (seen != kModeUnknown) {
                    state_.m_modeChanged = 1;
                    state_.m_mode = seen;
                }
            }
            break;
        }

        const int32_t now = state_.m_mode;
        if (state_.m_modeChanged) {
            if (IsKnownMode(now)) session_.SetThreshold(limits_.Limit(now));
            ++state_.stats.modeChanges;
            host_.EraseView();
            state_.m_modeChanged = 0;
        } else if (missing_ > 0) {
            // A frame the session completed needs no more buffering next time.
            if (IsKnownMode(now) && !whole) session_.SetThreshold(limits_.AddShortfall(now, missing_));
            missing_ = 0;
        }
        decoder.Release();
    }
    if (!state_.m_bStreaming) return RunEnd::Stopped;
    QernTrace("ProceedingVideoStream..the camera closed the stream\n");
    state_.m_bStreaming = false;
    return RunEnd::StreamEnded;
}

int32_t VideoWorker::DecodeToDib(JpegDecoder& decoder, uint8_t* pixels, int32_t expectedWidth,
                                 int32_t expectedHeight) {
    if (decoder.Error() != 0) return kHeaderFailed;
    if (decoder.StartDecompress() != 0) return kStartFailed;
    const uint32_t width = decoder.ImageWidth();
    const uint32_t height = decoder.ImageHeight();
    // A frame counts as the expected size when its width or its height matches.
    if (width != static_cast<uint32_t>(expectedWidth) && height != static_cast<uint32_t>(expectedHeight)) {
        const int32_t seen = ModeFromWidth(width);
        if (seen != kModeUnknown) {
            state_.m_modeChanged = 1;
            host_.OnFrameSizeChanged();
            return kSize640 + seen;
        }
    }
    // Only a frame of the buffer's width and at most its height is copied.
    if (width != static_cast<uint32_t>(expectedWidth) || height > static_cast<uint32_t>(expectedHeight))
        return kDoesNotFit;
    if (!pixels) return kNoBuffer;

    DibRowWriter writer(pixels, expectedWidth, expectedHeight, state_.m_bUpsideDown, state_.m_bMirror);
    const int bytesPerPixel = decoder.BytesPerPixel();
    const uint8_t* row = nullptr;
    int32_t length = 0;
    // Rows not delivered (decoding failed part-way) keep the buffer's earlier content.
    while (decoder.ReadScanline(&row, &length) == 0) writer.PutRow(row, length, bytesPerPixel);

    host_.ProcessImage(pixels, static_cast<size_t>(expectedWidth) * static_cast<size_t>(expectedHeight) * 4);
    return kDecoded;
}

void VideoWorker::ShowFrame(int32_t mode, JpegDecoder& decoder, bool whole) {
    const FrameSize size = ModeSize(mode);
    std::atomic<int32_t>& shown = state_.Shown(mode);
    const int32_t target = (shown + TargetOffset(mode)) % 3;
    const int32_t r = DecodeToDib(decoder, host_.FrameBits(mode, target), size.width, size.height);
    if (r >= kSize640 && r <= kSize176) {
        state_.m_mode = r - kSize640;
        return;
    }
    if (r != kDecoded) {
        ++state_.stats.framesDropped;
        return;
    }
    ++state_.stats.framesDecoded;

    int32_t fps = state_.m_fps;
    if (rate_.Count(session_.cameraMicros, fps)) state_.m_fps = fps;
    char text[kOverlayTextSize];
    FormatOverlayText(text, session_.cameraTime, session_.cameraMicros, state_.m_fps, mode == kMode176);
    state_.m_overlayText.Set(text);

    shown = (shown + 1) % 3;
    if (whole) {
        host_.ShowFrame();
        ++state_.stats.framesPainted;
    }
}

}  // namespace liveview
