// bench_transport: the stream session's cost per byte. In one run it times
// (a) a reference that only copies the same stream in 4096-byte reads into a
// buffer and out again in 4096-byte blocks, and (b) the session: Fill,
// DropBacklog, ParseHeader and the decoder's Read over 640x480-sized parts.
// It prints MB/s of each and "ratio R" = session time / reference time.
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <random>
#include <string>
#include <vector>

#include "tests/support/ByteFeed.h"
#include "transport/StreamSessionCore.h"

namespace {

using Clock = std::chrono::steady_clock;

std::string Stream(int parts) {
  std::mt19937 rng(7);
  std::string s;
  for (int i = 0; i < parts; ++i)
    s += qern::test::Part(qern::test::FakeJpeg(28000 + rng() % 8000, rng()), camsim::FrameStamp{10, 1600000000, 12345});
  return s;
}

double Reference(const std::string& data, uint64_t& sink) {
  qern::test::PieceStream stream(data, {1 << 30});
  const auto start = Clock::now();
  std::vector<uint8_t> ring(131072), out(4096);
  size_t w = 0;
  for (int32_t n; (n = stream.Read(ring.data() + w, int32_t(std::min<size_t>(4096, ring.size() - w)))) > 0;) {
    std::memcpy(out.data(), ring.data() + w, size_t(n));
    sink += out[size_t(n) - 1];
    w = (w + size_t(n)) % ring.size();
  }
  return std::chrono::duration<double>(Clock::now() - start).count();
}

double Session(const std::string& data, int parts, uint64_t& sink) {
  qern::test::PieceStream stream(data, {1 << 30});
  const auto start = Clock::now();
  StreamSessionCore session;
  session.SetVideoStream(&stream);
  session.SetThreshold(50000);
  std::vector<uint8_t> buf(4096);
  int frames = 0;
  while (frames < parts) {
    const int32_t got = session.Fill();
    if (session.DropBacklog()) continue;
    if (session.ParseHeader(nullptr, nullptr) < 0) {
      if (got == 0 && session.StreamEnded()) break;
      continue;
    }
    bool end = false;
    while (!end) sink += uint64_t(session.Read(buf.data(), 4096, &end));
    ++frames;
  }
  if (frames != parts) std::printf("only %d of %d frames\n", frames, parts);
  return std::chrono::duration<double>(Clock::now() - start).count();
}

}  // namespace

int main() {
  const int parts = 600;
  const std::string data = Stream(parts);
  uint64_t sink = 0;
  double ref = 1e9, ses = 1e9;
  for (int round = 0; round < 5; ++round) {
    ref = std::min(ref, Reference(data, sink));
    ses = std::min(ses, Session(data, parts, sink));
  }
  const double mb = double(data.size()) / 1e6;
  std::printf("stream %.1f MB in %d parts\n", mb, parts);
  std::printf("reference copy: %.0f MB/s\n", mb / ref);
  std::printf("session:        %.0f MB/s (%.0f frames/s)\n", mb / ses, parts / ses);
  std::printf("ratio %.2f (checksum %llu)\n", ses / ref, static_cast<unsigned long long>(sink % 1000));
  return 0;
}
