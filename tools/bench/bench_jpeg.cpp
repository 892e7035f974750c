// bench_jpeg: decodes camera-like frames with JpegDecoder and with libjpeg-turbo (tjDecompress2 to BGRX with
// TJFLAG_FASTDCT | TJFLAG_FASTUPSAMPLE, the same transform family and plain upsampling) in the same run, and
// prints for each frame type one line ending in "ratio R", R = our median time / libjpeg-turbo's.
#include <benchmark/benchmark.h>
#include <turbojpeg.h>

#include <cmath>
#include <cstdio>
#include <cstring>
#include <map>
#include <memory>
#include <random>
#include <string>
#include <vector>

#include "jpeg/JpegDecoder.h"
#include "jpeg/MemoryJpegSource.h"

namespace {

struct FrameType {
    const char* name;
    int width, height;
    int subsamp;  // TJSAMP_*
    bool progressive;
};

const FrameType kFrames[] = {
    {"640x480_422_q75", 640, 480, TJSAMP_422, false},
    {"640x480_420_q75", 640, 480, TJSAMP_420, false},
    {"320x240_422_q75", 320, 240, TJSAMP_422, false},
    {"176x144_422_q75", 176, 144, TJSAMP_422, false},
    {"640x480_422_q75_progressive", 640, 480, TJSAMP_422, true},
};

// A camera-like scene: lit gradients, edges, texture and sensor noise (noise makes frames ~70 KB at q75).
std::vector<unsigned char> Scene(int w, int h) {
    std::mt19937 rng(42);
    std::vector<unsigned char> rgb(static_cast<size_t>(w) * h * 3);
    for (int y = 0; y < h; ++y) {
        for (int x = 0; x < w; ++x) {
            const double fx = static_cast<double>(x) / w;
            const double fy = static_cast<double>(y) / h;
            double base[3] = {70 + 120 * fx, 60 + 140 * fy, 100 + 60 * std::sin(7 * fx + 4 * fy)};
            if (((x / 40) + (y / 30)) % 4 == 0) base[0] = base[1] = base[2] = 40;
            const double texture = 10 * std::sin(x * 0.8) * std::cos(y * 0.6);
            for (int c = 0; c < 3; ++c) {
                const double v = base[c] + texture + static_cast<int>(rng() % 41) - 20;
                rgb[(static_cast<size_t>(y) * w + x) * 3 + c] = static_cast<unsigned char>(v < 0     ? 0
                                                                                           : v > 255 ? 255
                                                                                                     : v);
            }
        }
    }
    return rgb;
}

std::vector<unsigned char> Encode(const FrameType& f) {
    const std::vector<unsigned char> rgb = Scene(f.width, f.height);
    tjhandle tj = tjInitCompress();
    unsigned char* jpeg = nullptr;
    unsigned long size = 0;
    const int flags = f.progressive ? TJFLAG_PROGRESSIVE : 0;
    if (tjCompress2(tj, rgb.data(), f.width, 0, f.height, TJPF_RGB, &jpeg, &size, f.subsamp, 75, flags) != 0) {
        std::fprintf(stderr, "tjCompress2: %s\n", tjGetErrorStr2(tj));
        std::exit(1);
    }
    std::vector<unsigned char> out(jpeg, jpeg + size);
    tjFree(jpeg);
    tjDestroy(tj);
    return out;
}

const std::vector<unsigned char>& Frame(int i) {
    static std::vector<std::vector<unsigned char>> frames = [] {
        std::vector<std::vector<unsigned char>> v;
        for (const FrameType& f : kFrames) v.push_back(Encode(f));
        return v;
    }();
    return frames[static_cast<size_t>(i)];
}

// Like the live view: one decoder for every frame, each row copied into a 32-bit frame buffer.
void BM_Ours(benchmark::State& state) {
    const int i = static_cast<int>(state.range(0));
    const std::vector<unsigned char>& jpeg = Frame(i);
    auto decoder = std::make_unique<qern::JpegDecoder>();
    std::vector<uint8_t> frame(static_cast<size_t>(kFrames[i].width) * kFrames[i].height * 4);
    for (auto _ : state) {
        qern::MemoryJpegSource source(jpeg.data(), jpeg.size());
        decoder->ReadHeader(&source, 1);
        if (decoder->StartDecompress() != 0) {
            state.SkipWithError("decode failed");
            break;
        }
        const uint8_t* row = nullptr;
        int32_t length = 0;
        uint8_t* dst = frame.data();
        while (decoder->ReadScanline(&row, &length) == 0) {
            std::memcpy(dst, row, static_cast<size_t>(length));
            dst += length;
        }
        decoder->Release();
        benchmark::DoNotOptimize(frame.data());
    }
    state.SetLabel(std::to_string(jpeg.size()) + " bytes");
}

void BM_LibjpegTurbo(benchmark::State& state) {
    const int i = static_cast<int>(state.range(0));
    const std::vector<unsigned char>& jpeg = Frame(i);
    tjhandle tj = tjInitDecompress();
    std::vector<uint8_t> frame(static_cast<size_t>(kFrames[i].width) * kFrames[i].height * 4);
    for (auto _ : state) {
        if (tjDecompress2(tj, jpeg.data(), static_cast<unsigned long>(jpeg.size()), frame.data(), kFrames[i].width, 0,
                          kFrames[i].height, TJPF_BGRX, TJFLAG_FASTDCT | TJFLAG_FASTUPSAMPLE) != 0) {
            state.SkipWithError("tjDecompress2 failed");
            break;
        }
        benchmark::DoNotOptimize(frame.data());
    }
    tjDestroy(tj);
    state.SetLabel(std::to_string(jpeg.size()) + " bytes");
}

// Collects the median CPU time of each benchmark (the build machine is shared, so wall time is noisy)
// to print the ratios at the end.
class RatioReporter : public benchmark::ConsoleReporter {
public:
    void ReportRuns(const std::vector<Run>& runs) override {
        for (const Run& r : runs) {
            if (r.run_type == Run::RT_Aggregate && r.aggregate_name == "median")
                medians[r.run_name.function_name + "/" + r.run_name.args] = r.GetAdjustedCPUTime();
        }
        ConsoleReporter::ReportRuns(runs);
    }
    std::map<std::string, double> medians;  // in the reporter's time unit
};

}  // namespace

int main(int argc, char** argv) {
    // --write-frames=DIR: only write the frames (NAME.jpg) for timing elsewhere, e.g. jpegtime under Wine.
    for (int i = 1; i < argc; ++i) {
        if (std::strncmp(argv[i], "--write-frames=", 15) != 0) continue;
        for (int f = 0; f < static_cast<int>(sizeof kFrames / sizeof kFrames[0]); ++f) {
            const std::string path = std::string(argv[i] + 15) + "/" + kFrames[f].name + ".jpg";
            std::FILE* out = std::fopen(path.c_str(), "wb");
            if (out == nullptr || std::fwrite(Frame(f).data(), 1, Frame(f).size(), out) != Frame(f).size()) {
                std::fprintf(stderr, "cannot write %s\n", path.c_str());
                return 1;
            }
            std::fclose(out);
            std::printf("%s\n", path.c_str());
        }
        return 0;
    }
    for (int i = 0; i < static_cast<int>(sizeof kFrames / sizeof kFrames[0]); ++i) {
        benchmark::RegisterBenchmark("BM_Ours", BM_Ours)->Arg(i)->Unit(benchmark::kMicrosecond);
        benchmark::RegisterBenchmark("BM_LibjpegTurbo", BM_LibjpegTurbo)->Arg(i)->Unit(benchmark::kMicrosecond);
    }
    std::vector<char*> args(argv, argv + argc);
    bool repetitionsGiven = false;
    for (int i = 1; i < argc; ++i) repetitionsGiven |= std::strncmp(argv[i], "--benchmark_repetitions", 23) == 0;
    std::string reps = "--benchmark_repetitions=9";
    std::string aggregates = "--benchmark_report_aggregates_only=true";
    if (!repetitionsGiven) {
        args.push_back(reps.data());
        args.push_back(aggregates.data());
    }
    int n = static_cast<int>(args.size());
    benchmark::Initialize(&n, args.data());
    RatioReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    for (int i = 0; i < static_cast<int>(sizeof kFrames / sizeof kFrames[0]); ++i) {
        const std::string arg = std::to_string(i);
        const auto ours = reporter.medians.find("BM_Ours/" + arg);
        const auto ref = reporter.medians.find("BM_LibjpegTurbo/" + arg);
        if (ours == reporter.medians.end() || ref == reporter.medians.end()) continue;
        std::printf("%-28s %6zu bytes: ours %8.1f us, libjpeg-turbo %8.1f us, ratio %.3f\n", kFrames[i].name,
                    Frame(i).size(), ours->second, ref->second, ours->second / ref->second);
    }
    benchmark::Shutdown();
    return 0;
}
