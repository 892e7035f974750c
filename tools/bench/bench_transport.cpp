// bench_transport: MB/s of a plain copy of the stream in 4096-byte blocks through a ring (the
// reference) and of the session's Fill, DropBacklog, ParseHeader and Read over 640x480-sized parts,
// timed in the same run; "ratio R" = session time / reference time.
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <functional>
#include <random>
#include <string>
#include <vector>

#include "tests/support/ByteFeed.h"
#include "transport/StreamSessionCore.h"

// Seconds one `pass` takes over a stream of `data` in one piece.
static double Time(const std::string& data, const std::function<void(qern::test::PieceStream&)>& pass) {
    qern::test::PieceStream stream(data, {1 << 30});
    const auto start = std::chrono::steady_clock::now();
    pass(stream);
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

int main() {
    const int parts = 600;
    std::mt19937 rng(7);
    std::string data;
    for (int i = 0; i < parts; ++i)
        data +=
            qern::test::Part(qern::test::FakeJpeg(28000 + rng() % 8000, rng()), camsim::FrameStamp{10, 1600000000, 1});
    uint64_t sink = 0;
    int frames = 0;
    const auto copy = [&](qern::test::PieceStream& stream) {
        std::vector<uint8_t> ring(131072), out(4096);
        for (int32_t n, w = 0; (n = stream.Read(ring.data() + w, 4096)) > 0; w = (w + n) % 131072) {
            std::memcpy(out.data(), ring.data() + w, size_t(n));
            sink += out[size_t(n) - 1];
        }
    };
    const auto parse = [&](qern::test::PieceStream& stream) {
        qern::StreamSessionCore session;
        std::vector<uint8_t> out(4096);
        session.SetVideoStream(&stream);
        session.SetThreshold(50000);
        for (frames = 0; frames < parts;) {
            const int32_t got = session.Fill();
            if (session.DropBacklog()) continue;
            if (session.ParseHeader(nullptr, nullptr) < 0) {
                if (got == 0 && session.StreamEnded()) break;
                continue;
            }
            bool end = false;
            while (!end) sink += uint64_t(session.Read(out.data(), 4096, &end));
            ++frames;
        }
    };
    double ref = 1e9, ses = 1e9;
    for (int round = 0; round < 5; ++round) {  // alternating, so that a busy moment hits both
        ref = std::min(ref, Time(data, copy));
        ses = std::min(ses, Time(data, parse));
    }
    if (frames != parts) std::printf("only %d of %d frames\n", frames, parts);
    const double mb = double(data.size()) / 1e6;
    std::printf(
        "stream %.1f MB in %d parts\nreference copy: %.0f MB/s\nsession:        %.0f MB/s (%.0f frames/s)\n"
        "ratio %.2f (checksum %llu)\n",
        mb, parts, mb / ref, mb / ses, parts / ses, ses / ref, static_cast<unsigned long long>(sink % 1000));
    return 0;
}
