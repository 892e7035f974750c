// jpegtime FILE.jpg [ITERATIONS]: decodes a frame many times the way the live view does (one decoder,
// every row copied into a 32-bit frame buffer) and prints the median time per frame. For builds without
// libjpeg-turbo, such as the Windows one under Wine.
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <iterator>
#include <memory>
#include <vector>

#include "jpeg/JpegDecoder.h"
#include "jpeg/MemoryJpegSource.h"

int main(int argc, char** argv) {
    if (argc < 2) {
        std::fprintf(stderr, "usage: jpegtime FILE.jpg [ITERATIONS]\n");
        return 2;
    }
    std::ifstream in(argv[1], std::ios::binary);
    const std::vector<uint8_t> data((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    const int iterations = argc > 2 ? std::max(1, std::atoi(argv[2])) : 200;
    auto decoder = std::make_unique<qern::JpegDecoder>();
    std::vector<uint8_t> frame(8192u * 4u * 16u);
    std::vector<double> times;
    for (int i = 0; i < iterations; ++i) {
        const auto start = std::chrono::steady_clock::now();
        qern::MemoryJpegSource source(data.data(), data.size());
        decoder->ReadHeader(&source, 1);
        if (decoder->StartDecompress() != 0) {
            std::fprintf(stderr, "%d\n", decoder->Error());
            return 1;
        }
        frame.resize(static_cast<size_t>(decoder->ImageWidth()) * decoder->ImageHeight() * 4);
        const uint8_t* row = nullptr;
        int32_t length = 0;
        uint8_t* dst = frame.data();
        while (decoder->ReadScanline(&row, &length) == 0) {
            std::memcpy(dst, row, static_cast<size_t>(length));
            dst += length;
        }
        decoder->Release();
        times.push_back(std::chrono::duration<double, std::micro>(std::chrono::steady_clock::now() - start).count());
    }
    std::sort(times.begin(), times.end());
    std::printf("%s: %zu bytes, %ux%u, median %.1f us per frame, fastest %.1f us (%d frames)\n", argv[1], data.size(),
                decoder->ImageWidth(), decoder->ImageHeight(), times[times.size() / 2], times.front(), iterations);
    return 0;
}
