#include <gtest/gtest.h>

#include <cstdlib>
#include <ctime>
#include <random>
#include <string>
#include <vector>

#include "tests/support/ByteFeed.h"
#include "transport/StreamSessionCore.h"

namespace {

class CollectingSink : public RecordSink {
 public:
  bool WriteFrame(const uint8_t* data, size_t size) override {
    frames.emplace_back(reinterpret_cast<const char*>(data), size);
    return true;
  }
  std::vector<std::string> frames;
};

class CountingSession : public StreamSessionCore {
 public:
  using StreamSessionCore::StreamSessionCore;
  int recordedSignals = 0;

 protected:
  void OnFrameRecorded() override { ++recordedSignals; }
};

using qern::test::PieceStream;

std::string Jpeg(size_t size, uint32_t seed) { return qern::test::FakeJpeg(size, seed); }

const char kStamp[] = "0A5F5E100003039";  // seconds 0x5F5E1000 = 1600000000, micros 0x3039 = 12345

std::string Header(const std::string& lengthText, const char* stamp) {
  std::string h = "--myboundary\r\nContent-Type: image/jpeg\r\nContent-Length: " + lengthText + "\r\n";
  if (stamp) h += std::string("Content-Auth: ") + stamp + "\r\n";
  return h + "\r\n";
}

std::string Part(const std::string& jpeg, const char* stamp = kStamp) {
  return Header(std::to_string(jpeg.size()), stamp) + jpeg + "\r\n";
}

// A session reading `data` in `pieces`, filled once up to `threshold`.
struct Fed {
  Fed(std::string data, int32_t threshold, std::vector<int32_t> pieces = {4096},
      int32_t capacity = StreamSessionCore::kRingCapacity)
      : stream(std::move(data), std::move(pieces)), s(capacity) {
    s.SetVideoStream(&stream);
    s.SetThreshold(threshold);
    fill = s.Fill();
  }
  PieceStream stream;
  CountingSession s;
  int32_t fill;
};

// Reads the current frame as a decoder would, in blocks of `block` bytes.
std::string ReadFrame(StreamSessionCore& s, int32_t block = 4096) {
  std::string out;
  std::vector<uint8_t> buf(size_t(block) + 1);
  bool end = false;
  for (int guard = 0; !end && guard < 100000; ++guard) {
    const int32_t n = s.Read(buf.data(), block, &end);
    out.append(buf.begin(), buf.begin() + n);
  }
  EXPECT_TRUE(end);
  return out;
}

class StreamSessionCoreTest : public ::testing::Test {
 protected:
  void SetUp() override {
#ifdef _WIN32
    _putenv("TZ=UTC0");
    _tzset();
#else
    setenv("TZ", "UTC", 1);
    tzset();
#endif
  }
};

TEST_F(StreamSessionCoreTest, PartWithStamp) {
  const std::string jpeg = Jpeg(12345, 1);
  Fed f(Part(jpeg) + Part(Jpeg(500, 2)), 20000);
  CountingSession& s = f.s;
  EXPECT_GT(f.fill, 12345);
  int32_t missing = 0, budget = 0;
  EXPECT_EQ(s.ParseHeader(&missing, &budget), int32_t(Header("12345", kStamp).size()));
  EXPECT_EQ(missing, 0);
  EXPECT_EQ(s.Part().budget, 12359);
  EXPECT_TRUE(s.Part().hasLength);
  EXPECT_EQ(s.Part().length, 12345);
  EXPECT_TRUE(s.Part().stamped);
  EXPECT_EQ(s.cameraMicros, 12345);
  const CameraTime& t = s.cameraTime;  // 2020-09-13 12:26:40 UTC, a Sunday
  EXPECT_EQ(std::vector<int32_t>({t.year, t.month, t.dayOfMonth, t.hours, t.minutes, t.seconds, t.dayOfWeek}),
            std::vector<int32_t>({120, 8, 13, 12, 26, 40, 0}));
  EXPECT_TRUE(ReadFrame(s).substr(0, jpeg.size()) == jpeg);
  // The bytes beyond the budget stay for the next part.
  EXPECT_GT(s.ParseHeader(nullptr, nullptr), 0);
  EXPECT_EQ(s.Part().budget, 514);
}

TEST_F(StreamSessionCoreTest, LengthLineShapes) {
  // Without a usable length the budget is 51200 and Read fetches what it needs; the headers then
  // end with the length line, so the empty line leads the data.
  const std::string jpeg = Jpeg(321, 4);
  const struct {
    std::string length;
    int32_t budget;
  } cases[] = {{" 321", 335}, {"321", 335}, {"  321", 335}, {"0000321", 335}, {"00000321", 51200},
                 {"123456789", 51200}};  // at most 8 characters after the name are read
  for (const auto& c : cases) {
    Fed f(Header(c.length, nullptr) + jpeg + "\r\n" + std::string(60000, 'x'), 1000, {700});
    EXPECT_GT(f.s.ParseHeader(nullptr, nullptr), 0) << c.length;
    EXPECT_EQ(f.s.Part().budget, c.budget) << c.length;
    const bool hasLength = c.budget != 51200;
    EXPECT_EQ(f.s.Part().hasLength, hasLength) << c.length;
    const std::string got = ReadFrame(f.s);
    EXPECT_GE(got.size(), size_t(c.budget)) << c.length;
    EXPECT_TRUE(hasLength ? got.substr(0, 321) == jpeg : got.substr(0, 323) == "\r\n" + jpeg) << c.length;
  }
}

TEST_F(StreamSessionCoreTest, OnlyAWholeStampChangesTheTime) {
  // No stamp line, or a stamp short of its three fields, keeps the time of the part before.
  for (const char* stamp : {static_cast<const char*>(nullptr), "0A5F5E1000", "", "zz", " 0A 5F5E1000 03039", kStamp}) {
    const std::string jpeg = Jpeg(100, 5);
    PieceStream stream(Part(jpeg, stamp));
    StreamSessionCore s;
    s.SetVideoStream(&stream);
    s.cameraMicros = 7;
    s.cameraTime.year = 99;
    s.Fill();
    const char* name = stamp ? stamp : "none";
    EXPECT_GT(s.ParseHeader(nullptr, nullptr), 0) << name;
    const bool whole = stamp && std::string(stamp).size() >= 15;  // kStamp, and the spaced one
    EXPECT_EQ(s.Part().stamped, whole) << name;
    EXPECT_EQ(s.cameraMicros, whole ? 12345 : 7) << name;
    EXPECT_EQ(s.cameraTime.year, whole ? 120 : 99) << name;
    EXPECT_TRUE(ReadFrame(s, 64).substr(0, jpeg.size()) == jpeg);
  }
}

TEST_F(StreamSessionCoreTest, ShortfallIsReportedAndCompleted) {
  const std::string jpeg = Jpeg(30000, 6);
  const std::string part = Part(jpeg);
  const int32_t header = int32_t(Header("30000", kStamp).size());
  // The first fill stops at 10000 bytes; the rest comes in odd pieces.
  Fed f(part.substr(0, part.size() - 2), 10000, {4096, 4096, 1808, 7, 1, 333, 4096});
  EXPECT_EQ(f.fill, 10000);
  int32_t missing = 0, budget = 0;
  EXPECT_EQ(f.s.ParseHeader(&missing, &budget), header);
  EXPECT_EQ(budget, 30014);
  EXPECT_EQ(missing, 30014 - (10000 - header));
  EXPECT_EQ(f.s.ring.Available(), 30000);  // completed up to the Content-Length
  EXPECT_TRUE(ReadFrame(f.s) == jpeg);
  EXPECT_EQ(f.stream.Remaining(), 0u);
  EXPECT_EQ(f.stream.overreads, 0);  // the trailing CR LF never comes: waiting for it would block
}

TEST_F(StreamSessionCoreTest, EndedStreamEndsTheFrame) {
  const std::string jpeg = Jpeg(5000, 8);
  Fed f(Part(jpeg).substr(0, 3000), 1000);
  CountingSession& s = f.s;
  EXPECT_FALSE(s.StreamEnded());
  int32_t missing = 0;
  EXPECT_GT(s.ParseHeader(&missing, nullptr), 0);
  EXPECT_GT(missing, 0);
  const std::string got = ReadFrame(s);  // ends although the budget is not used up
  EXPECT_TRUE(s.StreamEnded());
  EXPECT_LT(got.size(), jpeg.size());
  EXPECT_TRUE(got == jpeg.substr(0, got.size()));
  bool end = false;
  uint8_t byte;
  EXPECT_EQ(s.Read(&byte, 1, &end), 0);
  EXPECT_TRUE(end);
}

TEST_F(StreamSessionCoreTest, CutPartIsDroppedAndTheNextTakenWhole) {
  const std::string a = Jpeg(6000, 20), b = Jpeg(7000, 21), c = Jpeg(5000, 22);
  // A JPEG with padding after its end whose data holds a type line without a length header is not cut.
  std::string odd = Jpeg(3000, 23) + std::string(5, '\0');
  odd.replace(1000, 9, "/jpeg\r\nxy");
  // One that ends with its end marker is whole, even with a part header in its data.
  std::string inner = Jpeg(3000, 24);
  inner.replace(1000, Header("100", nullptr).size(), Header("100", nullptr));
  struct Case {
    const char* name;
    std::string stream;
    std::vector<std::string> frames;  // what the decoder gets, in order
  } cases[] = {
      {"cut in half", Header("6000", kStamp) + a.substr(0, 3000) + "\r\n" + Part(b) + Part(c), {b, c}},
      {"length too long", Header("6512", kStamp) + a + "\r\n" + Part(b), {b}},
      {"two cut in a row", Header("6000", nullptr) + a.substr(0, 100) + Header("7000", nullptr) + b.substr(0, 50) +
                               "\r\n" + Part(c), {c}},
      {"type line inside", Part(odd) + Part(c), {odd, c}},
      {"header inside a whole JPEG", Part(inner) + Part(c), {inner, c}},
  };
  for (const auto& k : cases) {
    for (int32_t piece : {1 << 30, 777}) {
      Fed f(k.stream, 1000, {piece});
      for (const std::string& frame : k.frames) {
        f.s.Fill();
        ASSERT_GT(f.s.ParseHeader(nullptr, nullptr), 0) << k.name;
        EXPECT_TRUE(f.s.Part().whole) << k.name;
        EXPECT_TRUE(ReadFrame(f.s).substr(0, frame.size()) == frame) << k.name << " piece " << piece;
      }
    }
  }
}

TEST_F(StreamSessionCoreTest, GarbageIsDroppedChunkByChunk) {
  Fed f(std::string(5000, 'g'), 5000);
  EXPECT_EQ(f.s.ParseHeader(nullptr, nullptr), -1);
  EXPECT_EQ(f.s.ring.Available(), 5000 - 4096);
  EXPECT_EQ(f.s.ParseHeader(nullptr, nullptr), -1);  // the rest, except a tail that could start a match
  EXPECT_EQ(f.s.ring.Available(), 6);
  EXPECT_EQ(f.s.ParseHeader(nullptr, nullptr), -1);
  EXPECT_EQ(f.s.ring.Available(), 6);
  // Much garbage is scanned through in one call, then the part is found.
  Fed more(std::string(10000, 'g') + "/jp" + Part(Jpeg(9000, 9)), 30000);
  EXPECT_EQ(more.s.ParseHeader(nullptr, nullptr), 10003 + int32_t(Header("9000", kStamp).size()));
  EXPECT_TRUE(ReadFrame(more.s).substr(0, 9000) == Jpeg(9000, 9));
  // With less than 8192 bytes after the scanned chunk the call gives up.
  Fed less(std::string(10000, 'g') + Part(Jpeg(200, 9)), 30000);
  EXPECT_EQ(less.s.ParseHeader(nullptr, nullptr), -1);
  EXPECT_EQ(less.s.ParseHeader(nullptr, nullptr), -1);
  EXPECT_EQ(less.s.ParseHeader(nullptr, nullptr), 10000 - 8192 + int32_t(Header("200", kStamp).size()));
}

TEST_F(StreamSessionCoreTest, HeaderSplitAcrossReads) {
  // The type line is buffered, the rest of the headers are still on the way.
  const std::string jpeg = Jpeg(800, 10);
  const std::string part = Part(jpeg);
  const int32_t typeEnd = int32_t(part.find("/jpeg\r\n") + 7);
  Fed f(part, typeEnd, {typeEnd, 3});
  EXPECT_EQ(f.s.ring.Available(), typeEnd);
  EXPECT_EQ(f.s.ParseHeader(nullptr, nullptr), int32_t(Header("800", kStamp).size()));
  EXPECT_EQ(f.s.cameraMicros, 12345);
  EXPECT_TRUE(ReadFrame(f.s, 64).substr(0, 800) == jpeg);
}

TEST_F(StreamSessionCoreTest, BadLengthsResynchronise) {
  const std::string good = Jpeg(400, 11);
  for (const std::string length : {"-5", "-1", "131073", "9999999"}) {
    // The rejected part's data holds no part header; its bytes are skipped as garbage.
    const std::string data = Header(length, kStamp) + Jpeg(2000, 12) + "\r\n" + Part(good, nullptr);
    Fed f(data, int32_t(data.size()));
    const int32_t badHeader = int32_t(data.find("\r\n", data.find("Content-Length")) + 2);
    EXPECT_EQ(f.s.ParseHeader(nullptr, nullptr), -1) << length;
    EXPECT_EQ(f.s.ring.Available(), int32_t(data.size()) - badHeader) << length;
    EXPECT_EQ(f.s.ParseHeader(nullptr, nullptr), int32_t(data.size() - good.size() - 2) - badHeader) << length;
    EXPECT_EQ(f.s.Part().budget, 414) << length;
    EXPECT_TRUE(ReadFrame(f.s).substr(0, 400) == good) << length;
  }
  // The largest length the ring can hold is accepted.
  Fed edge(Header("131072", nullptr), 1000);
  EXPECT_GT(edge.s.ParseHeader(nullptr, nullptr), 0);
  EXPECT_EQ(edge.s.Part().budget, 131086);
}

TEST_F(StreamSessionCoreTest, PartsStraddlingTheWrap) {
  // A small ring; every header, frame and marker search crosses the wrap at some point.
  std::string data;
  std::vector<std::string> frames;
  for (uint32_t i = 0; i < 40; ++i) {
    frames.push_back(Jpeg(1000 + i * 97, 100 + i));
    data += Part(frames.back(), i % 2 ? kStamp : nullptr);
  }
  Fed f(data, 1000, {1500, 333, 4096}, 8192);
  CollectingSink sink;
  f.s.AttachRecordSink(&sink);
  f.s.recording = 1;
  for (size_t i = 0; i < frames.size(); ++i) {
    f.s.Fill();
    ASSERT_GT(f.s.ParseHeader(nullptr, nullptr), 0) << i;
    ASSERT_EQ(f.s.Part().budget, int32_t(frames[i].size()) + 14) << i;
    EXPECT_TRUE(ReadFrame(f.s, 1024).substr(0, frames[i].size()) == frames[i]) << i;
    ASSERT_GE(f.s.ring.ReadPos(), 0);
    ASSERT_LT(f.s.ring.ReadPos(), 8192);
  }
  EXPECT_TRUE(sink.frames == frames);
  EXPECT_EQ(f.s.recordedSignals, 40);
}

TEST_F(StreamSessionCoreTest, RecordingFindsMarkersAroundTheData) {
  // Padding before FF D8 and after FF D9 inside the Content-Length.
  const std::string jpeg = Jpeg(5000, 13);
  const std::string padded = std::string(37, '\0') + jpeg + std::string(50, '\0');
  Fed f(Part(padded, nullptr) + Part(std::string(300, 'n')) + Part(jpeg), 20000);
  CountingSession& s = f.s;
  CollectingSink sink;
  s.AttachRecordSink(&sink);
  s.recording = 1;
  for (int i = 0; i < 3; ++i) {
    ASSERT_GT(s.ParseHeader(nullptr, nullptr), 0);
    ReadFrame(s);
  }
  EXPECT_TRUE(sink.frames == std::vector<std::string>({jpeg, jpeg}));  // the part without markers is not recorded
  EXPECT_EQ(s.recordedSignals, 2);
  // Detached: nothing more is written; not recording: nothing is searched.
  s.DetachRecordSink();
  PieceStream more(Part(jpeg) + Part(jpeg));
  s.SetVideoStream(&more);
  s.Fill();
  ASSERT_GT(s.ParseHeader(nullptr, nullptr), 0);
  ReadFrame(s);
  EXPECT_EQ(sink.frames.size(), 2u);
  EXPECT_EQ(s.recordedSignals, 3);
  s.recording = 0;
  ASSERT_GT(s.ParseHeader(nullptr, nullptr), 0);
  EXPECT_EQ(s.soi, -1);
  EXPECT_EQ(s.recordedSignals, 3);
}

TEST_F(StreamSessionCoreTest, DropBacklogKeepsTheNewest) {
  std::string data(100001, 'a');
  for (size_t i = 0; i < data.size(); ++i) data[i] = char(i % 251);
  std::vector<int32_t> pieces(24, 4096);  // 99999 bytes, then 2 more
  pieces.push_back(1695);
  pieces.push_back(2);
  Fed f(data, 99999, pieces);
  EXPECT_EQ(f.s.ring.Available(), 99999);
  EXPECT_FALSE(f.s.DropBacklog());
  EXPECT_EQ(f.s.ring.Available(), 99999);
  f.s.SetThreshold(100001);
  f.s.Fill();
  EXPECT_TRUE(f.s.DropBacklog());
  EXPECT_EQ(f.s.ring.Available(), 997);
  EXPECT_EQ(f.s.ring.At(0), uint8_t((100001 - 997) % 251));
}

TEST_F(StreamSessionCoreTest, ReadPushesTheOvershootBack) {
  Fed f(Header("86", nullptr) + std::string(6000, 'r'), 7000);  // a budget of 100
  ASSERT_GT(f.s.ParseHeader(nullptr, nullptr), 0);
  std::vector<uint8_t> buf(4096);
  bool end = false;
  EXPECT_EQ(f.s.Read(buf.data(), 4096, &end), 4096);
  EXPECT_TRUE(end);
  EXPECT_EQ(f.s.ring.Available(), 5900);  // 3996 of the 4096 stay buffered
  EXPECT_EQ(f.s.Read(buf.data(), 4096, &end), 0);
  EXPECT_TRUE(end);
}

TEST_F(StreamSessionCoreTest, FillStopsAtThresholdAndNeverOverwrites) {
  Fed f(std::string(300000, 'f'), 10000, {5000}, 16384);
  EXPECT_EQ(f.fill, 12288);   // 3 reads of 4096
  EXPECT_EQ(f.s.Fill(), 0);   // threshold already buffered
  f.s.SetThreshold(1 << 30);  // clamped to the capacity
  f.s.Fill();
  EXPECT_EQ(f.s.ring.Available(), 16384);
  EXPECT_EQ(f.s.Fill(), 0);
  EXPECT_EQ(f.stream.pos, 16384u);
  f.s.ResetStream();
  EXPECT_EQ(f.s.ring.Available(), 0);
  EXPECT_EQ(f.s.Part().budget, 0);
  StreamSessionCore none;
  EXPECT_EQ(none.Fill(), 0);
  EXPECT_EQ(none.ParseHeader(nullptr, nullptr), -1);
}

TEST_F(StreamSessionCoreTest, LongStreamInRandomPieces) {
  // The worker's loop over a long stream with garbage, a bad part and random piece sizes.
  std::mt19937 rng(42);
  std::string data;
  std::vector<std::string> frames;
  for (int i = 0; i < 300; ++i) {
    if (i % 50 == 7) data += std::string(rng() % 9000, 'q');
    if (i % 97 == 3) data += Header("-3", nullptr) + "\r\n";
    frames.push_back(Jpeg(200 + rng() % 20000, uint32_t(i)));
    data += Part(frames.back(), i % 3 ? kStamp : nullptr);
  }
  std::vector<int32_t> pieces;
  for (int i = 0; i < 64; ++i) pieces.push_back(int32_t(1 + rng() % 5000));
  Fed f(data, 18000, pieces);
  size_t next = 0;
  for (int pass = 0; pass < 5000 && next < frames.size(); ++pass) {
    f.s.Fill();
    if (f.s.DropBacklog()) continue;
    if (f.s.ParseHeader(nullptr, nullptr) < 0) continue;
    const std::string got = ReadFrame(f.s);
    ASSERT_GE(got.size(), frames[next].size()) << next;
    ASSERT_TRUE(got.substr(0, frames[next].size()) == frames[next]) << next;
    ++next;
  }
  EXPECT_EQ(next, frames.size());
}

}  // namespace
