// Files made by cjpeg and ffmpeg against libjpeg-turbo with plain upsampling, fast IDCT against fast, accurate
// against accurate. Bound: per channel mean square error <= 0.65025 (PSNR >= 50 dB), no sample more than 4 off
// (measured: fast 52.0 dB / 3, accurate 58.2 dB / 3). Not 0: libjpeg-turbo's fast IDCT uses 8-bit constants in
// 32-bit arithmetic, ours 16-bit ones in 16-bit arithmetic, unrounded before the last shift; green rounds twice.
#include <gtest/gtest.h>
#include <turbojpeg.h>

#include <cstdlib>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <memory>
#include <string>

#include "JpegTestStream.h"

namespace qern {

using namespace jpegtest;

namespace {

// A camera-like picture (gradients, hard edges, text, sensor noise) of w x h, piped into `encoder`.
Bytes Encode(int w, int h, const std::string& encoder) {
    const std::string command =
        "ffmpeg -nostdin -loglevel error -f lavfi -i 'testsrc2=s=656x496,format=rgb24,crop=" + std::to_string(w) + ":" +
        std::to_string(h) + ":5:7,noise=alls=12:allf=t' -frames:v 1 " + encoder;
    Bytes out;
    FILE* p = popen(command.c_str(), "r");
    uint8_t buffer[65536];
    for (size_t n; p != nullptr && (n = fread(buffer, 1, sizeof buffer, p)) > 0;)
        out.insert(out.end(), buffer, buffer + n);
    EXPECT_TRUE(p != nullptr && pclose(p) == 0) << command;
    return out;
}

Bytes Cjpeg(const std::string& args, int w, int h) { return Encode(w, h, "-c:v ppm -f image2pipe - | cjpeg " + args); }

void ExpectMatchesReference(const Bytes& jpeg, const std::string& what) {
    ASSERT_FALSE(jpeg.empty()) << what;
    EXPECT_EQ(DecodeAll(jpeg, 7).pixels, DecodeAll(jpeg).pixels) << what;  // pieces change nothing
    for (const uint8_t accelerate : {1, 0}) {
        const Decoded d = DecodeAll(jpeg, 0, accelerate);
        ASSERT_EQ(d.last, 1) << what << ": error " << d.error;
        const bool grey = d.header == 1;
        Bytes ref(static_cast<size_t>(d.width) * d.height * (grey ? 1 : 4));
        tjhandle tj = tjInitDecompress();
        const int rc =
            tjDecompress2(tj, jpeg.data(), static_cast<unsigned long>(jpeg.size()), ref.data(),
                          static_cast<int>(d.width), 0, static_cast<int>(d.height), grey ? TJPF_GRAY : TJPF_BGRX,
                          TJFLAG_FASTUPSAMPLE | (accelerate ? TJFLAG_FASTDCT : 0));
        tjDestroy(tj);
        ASSERT_EQ(rc, 0) << what;
        ASSERT_EQ(d.pixels.size(), ref.size()) << what;
        const size_t n = grey ? 1 : 4;
        for (size_t ch = 0; ch < n; ++ch) {
            double sq = 0;
            int maxDiff = 0;
            for (size_t i = ch; i < ref.size(); i += n) {
                maxDiff = std::max(maxDiff, std::abs(d.pixels[i] - ref[i]));
                sq += (d.pixels[i] - ref[i]) * (d.pixels[i] - ref[i]);
            }
            EXPECT_TRUE(sq * n / ref.size() <= 0.65025 && maxDiff <= 4)
                << what << " " << int(accelerate) << " ch " << ch << " " << sq * n / ref.size() << " " << maxDiff;
        }
    }
}

}  // namespace

TEST(JpegReference, CjpegAndFfmpegFiles) {
    for (const auto& [w, h] : {std::pair<int, int>{1, 1}, {17, 13}, {175, 143}, {641, 479}}) {
        for (const std::string layout : {"-sample 1x1", "-sample 2x1", "-sample 1x2", "-sample 2x2", "-grayscale"})
            ExpectMatchesReference(Cjpeg(layout + " -quality 75", w, h), layout + " " + std::to_string(w));
        ExpectMatchesReference(Encode(w, h, "-pix_fmt yuvj420p -q:v 4 -c:v mjpeg -f mjpeg -"),
                               "ffmpeg " + std::to_string(w));
    }
    const std::pair<int, int> kSizes[] = {{640, 480}, {175, 143}, {17, 13},  {64, 48},
                                          {641, 479}, {320, 240}, {176, 144}};
    const char* const kVariants[] = {
        "-progressive -sample 2x1", "-progressive -sample 2x2",         "-progressive -sample 1x1",
        "-progressive -sample 1x2", "-progressive -grayscale",          "-progressive -sample 2x2 -restart 2B",
        "-restart 1 -grayscale",    "-restart 1B -sample 2x1",          "-restart 3B -sample 2x2",
        "-optimize -sample 2x1",    "-quality 50 -sample 2x1",          "-quality 90 -sample 2x1",
        "-quality 30 -sample 2x2",  "-baseline -quality 10 -sample 2x1"};
    for (size_t i = 0; i < std::size(kVariants); ++i)
        ExpectMatchesReference(Cjpeg(kVariants[i], kSizes[i % 7].first, kSizes[i % 7].second), kVariants[i]);
}

// Files that crashed or hung other decoders: each must end with rows or a failure code, the same whether
// the source hands it over in one piece or in small pieces.
TEST(JpegCrashers, EveryFileDecodesOrIsRefused) {
    const std::filesystem::path root = std::filesystem::path(QERN_CORPORA) / "jpeg-crashers";
    const auto d = std::make_unique<JpegDecoder>();
    int files = 0;
    for (const auto& entry : std::filesystem::recursive_directory_iterator(root)) {
        if (!entry.is_regular_file() || entry.path().filename() == "README.md") continue;
        std::ifstream f(entry.path(), std::ios::binary);
        const Bytes data((std::istreambuf_iterator<char>(f)), std::istreambuf_iterator<char>());
        ++files;
        const Decoded whole = DecodeAll(data, 0, 1, d.get()), pieces = DecodeAll(data, 61, 1, d.get());
        EXPECT_TRUE(whole.last == 1 ? whole.rows == static_cast<int>(whole.height)
                                    : whole.code <= -200 && whole.code >= -233)
            << entry.path() << " ended with " << whole.last << " / " << whole.code;
        EXPECT_EQ(pieces.code, whole.code) << entry.path();
        EXPECT_EQ(pieces.pixels, whole.pixels) << entry.path();
        EXPECT_EQ(DecodeAll(data, 0, 0, d.get()).last, whole.last) << entry.path();
    }
    EXPECT_GT(files, 200);
}

}  // namespace qern
