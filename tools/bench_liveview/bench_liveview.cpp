// bench_liveview: the live view's frame pipeline around the decoder. For 640x480 camera-like
// frames it times, in the same run, (a) the decoder alone on each frame held in memory and
// (b) the whole worker loop: ring fill, part parsing, decoding, the copy into the 32-bit frame
// buffer (upright, and turned), frame rate and overlay text. It prints frames per second of
// each and "ratio R" = pipeline time per frame / decoder time per frame.
#include <turbojpeg.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <random>
#include <string>
#include <vector>

#include "jpeg/JpegDecoder.h"
#include "jpeg/MemoryJpegSource.h"
#include "liveview/pipeline/VideoWorker.h"
#include "transport/StreamSessionCore.h"

namespace {

using Clock = std::chrono::steady_clock;

std::vector<unsigned char> Scene(int w, int h, int frame) {
    std::mt19937 rng(42 + frame);
    std::vector<unsigned char> rgb(size_t(w) * h * 3);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) {
            const double fx = double(x) / w, fy = double(y) / h;
            double base[3] = {70 + 120 * fx, 60 + 140 * fy, 100 + 60 * std::sin(7 * fx + 4 * fy + frame * 0.1)};
            for (int c = 0; c < 3; ++c) {
                const double v = base[c] + int(rng() % 31) - 15;
                rgb[(size_t(y) * w + x) * 3 + c] = static_cast<unsigned char>(v < 0 ? 0 : v > 255 ? 255 : v);
            }
        }
    return rgb;
}

std::vector<unsigned char> Encode(int w, int h, int frame) {
    const std::vector<unsigned char> rgb = Scene(w, h, frame);
    tjhandle tj = tjInitCompress();
    unsigned char* jpeg = nullptr;
    unsigned long size = 0;
    tjCompress2(tj, rgb.data(), w, 0, h, TJPF_RGB, &jpeg, &size, TJSAMP_422, 75, TJFLAG_FASTDCT);
    std::vector<unsigned char> out(jpeg, jpeg + size);
    tjFree(jpeg);
    tjDestroy(tj);
    return out;
}

class MemoryStream : public qern::ByteStream {
public:
    explicit MemoryStream(const std::string& data) : m_data(data) {}
    int32_t Read(uint8_t* buffer, int32_t size) override {
        if (m_pos >= m_data.size()) return 0;
        const size_t n = std::min(size_t(size), m_data.size() - m_pos);
        std::memcpy(buffer, m_data.data() + m_pos, n);
        m_pos += n;
        return int32_t(n);
    }

private:
    const std::string& m_data;
    size_t m_pos = 0;
};

class NullHost : public qern::VideoWorkerHost {
public:
    NullHost() {
        for (auto& b : buffers) b.assign(size_t(640) * 480 * 4, 0xCC);
    }
    bool HasCameraAddress() override { return true; }
    bool PrepareSession() override { return true; }
    bool OpenVideo() override { return true; }
    void CloseVideo() override {}
    bool AudioStarted() override { return true; }
    void Pause(uint32_t) override {}
    uint8_t* FrameBits(int32_t mode, int32_t index) override { return mode == 0 ? buffers[index].data() : nullptr; }
    void EraseView() override {}
    void ShowFrame() override { ++shown; }
    void OnFrameSizeChanged() override {}
    void ProcessImage(uint8_t*, size_t) override {}
    std::vector<uint8_t> buffers[3];
    int shown = 0;
};

double Median(std::vector<double> v) {
    std::sort(v.begin(), v.end());
    return v[v.size() / 2];
}

}  // namespace

int main() {
    const int kFrames = 50, kRounds = 7;
    std::vector<std::vector<unsigned char>> frames;
    std::string stream;
    for (int i = 0; i < kFrames; ++i) {
        frames.push_back(Encode(640, 480, i));
        char header[160];
        std::snprintf(
            header, sizeof header,
            "--frame\r\nContent-Type: image/jpeg\r\nContent-Length: %zu\r\nContent-Auth: %02X%08X%05X\r\n\r\n",
            frames.back().size(), i & 0xFF, 1796592249u + unsigned(i / 25), unsigned(i % 25) * 40000u);
        stream += header;
        stream.append(reinterpret_cast<const char*>(frames.back().data()), frames.back().size());
        stream += "\r\n";
    }
    stream += "--frame\r\n";
    size_t bytes = 0;
    for (auto& f : frames) bytes += f.size();
    std::printf("640x480 4:2:2 q75, %d frames, %zu bytes a frame on average\n", kFrames, bytes / kFrames);

    std::vector<double> decoder, pipeline, turned;
    qern::JpegDecoder dec;
    for (int round = 0; round < kRounds; ++round) {
        auto t0 = Clock::now();
        for (auto& f : frames) {
            qern::MemoryJpegSource src(f.data(), f.size());
            dec.ReadHeader(&src, 1);
            dec.StartDecompress();
            const uint8_t* row;
            int32_t len;
            while (dec.ReadScanline(&row, &len) == 0) {
            }
            dec.Release();
        }
        auto t1 = Clock::now();
        decoder.push_back(std::chrono::duration<double, std::micro>(t1 - t0).count() / kFrames);

        for (int pass = 0; pass < 2; ++pass) {
            qern::LiveViewState state;
            state.m_bUpsideDown = pass == 1;
            state.m_bMirror = pass == 1;
            qern::StreamSessionCore session;
            MemoryStream in(stream);
            session.SetVideoStream(&in);
            NullHost host;
            auto p0 = Clock::now();
            qern::VideoWorker(state, session, host).ProceedingVideoStream();
            auto p1 = Clock::now();
            // The first frame only tells the size; the others are decoded and shown.
            const double per = std::chrono::duration<double, std::micro>(p1 - p0).count() / kFrames;
            (pass == 0 ? pipeline : turned).push_back(per);
            if (host.shown < kFrames - 2) std::printf("only %d frames shown\n", host.shown);
        }
    }
    const double d = Median(decoder), p = Median(pipeline), t = Median(turned);
    std::printf("decoder alone:            %8.1f us a frame, %6.0f frames/s\n", d, 1e6 / d);
    std::printf("pipeline, upright:        %8.1f us a frame, %6.0f frames/s, ratio %.2f\n", p, 1e6 / p, p / d);
    std::printf("pipeline, turned (UD+M):  %8.1f us a frame, %6.0f frames/s, ratio %.2f\n", t, 1e6 / t, t / d);
    return 0;
}
