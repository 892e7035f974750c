#include <gtest/gtest.h>

#include <cstdlib>
#include <ctime>
#include <string>
#include <vector>

#include "CollectingSink.h"
#include "tests/support/ByteFeed.h"
#include "transport/StreamSessionCore.h"

namespace qern {

namespace {

using qern::test::FakeJpeg;
using qern::test::PieceStream;

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
    StreamSessionCore s;
    int32_t fill;
};

// Reads the current frame as a decoder would, in blocks of `block` bytes.
std::string ReadFrame(StreamSessionCore& s, int32_t block = 4096) {
    std::string out;
    std::vector<uint8_t> buf(size_t(block) + 1);
    bool end = false;
    for (int guard = 0; !end && guard < 100000; ++guard)
        out.append(buf.begin(), buf.begin() + s.Read(buf.data(), block, &end));
    EXPECT_TRUE(end);
    return out;
}

bool StartsWith(const std::string& got, const std::string& frame) { return got.compare(0, frame.size(), frame) == 0; }

TEST(StreamSessionCoreTest, OnlyAWholeStampChangesTheTimeEvenWithTheHeaderSplitAcrossReads) {
    putenv(const_cast<char*>("TZ=UTC0"));
    tzset();
    // The first read ends right after the type line; the other headers come 3 bytes at a time.
    for (const char* stamp :
         {static_cast<const char*>(nullptr), "0A5F5E1000", "", "zz", " 0A 5F5E1000 03039", kStamp}) {
        const std::string jpeg = FakeJpeg(100, 5), part = Part(jpeg, stamp);
        const int32_t typeEnd = int32_t(part.find("/jpeg\r\n") + 7);
        Fed f(part, typeEnd, {typeEnd, 3});
        ASSERT_EQ(f.fill, typeEnd);
        f.s.cameraMicros = 7;
        f.s.cameraTime.year = 99;
        const char* name = stamp ? stamp : "none";
        EXPECT_EQ(f.s.ParseHeader(nullptr, nullptr), int32_t(part.size() - jpeg.size() - 2)) << name;
        const bool whole = stamp && std::string(stamp).size() >= 15;  // kStamp, and the spaced one
        EXPECT_EQ(f.s.Part().stamped, whole) << name;
        EXPECT_EQ(f.s.cameraMicros, whole ? 12345 : 7) << name;
        const CameraTime& t = f.s.cameraTime;  // 2020-09-13 12:26:40 UTC, a Sunday
        EXPECT_EQ(
            std::vector<int32_t>({t.year, t.month, t.dayOfMonth, t.hours, t.minutes, t.seconds, t.dayOfWeek}),
            whole ? std::vector<int32_t>({120, 8, 13, 12, 26, 40, 0}) : std::vector<int32_t>({99, 0, 0, 0, 0, 0, 0}))
            << name;
        EXPECT_TRUE(StartsWith(ReadFrame(f.s, 64), jpeg)) << name;
    }
}

TEST(StreamSessionCoreTest, ShortfallIsCompletedAndAnEndedStreamEndsTheFrame) {
    const std::string jpeg = FakeJpeg(30000, 6), part = Part(jpeg);
    const int32_t header = int32_t(part.size() - jpeg.size() - 2);
    // The first fill stops at 10000 bytes; the rest comes in odd pieces, without the trailing CR LF.
    Fed f(part.substr(0, part.size() - 2), 10000, {4096, 4096, 1808, 7, 1, 333, 4096});
    EXPECT_EQ(f.fill, 10000);
    int32_t missing = 0, budget = 0;
    EXPECT_EQ(f.s.ParseHeader(&missing, &budget), header);
    EXPECT_EQ(budget, 30014);
    EXPECT_EQ(missing, 30014 - (10000 - header));
    EXPECT_EQ(f.s.ring.Available(), 30000);  // completed up to the Content-Length
    EXPECT_TRUE(ReadFrame(f.s) == jpeg);
    EXPECT_EQ(f.stream.overreads, 0);  // waiting for the CR LF that never comes would block

    Fed cut(part.substr(0, 3000), 1000);
    EXPECT_FALSE(cut.s.StreamEnded());
    EXPECT_GT(cut.s.ParseHeader(nullptr, nullptr), 0);
    const std::string got = ReadFrame(cut.s);  // ends although the budget is not used up
    EXPECT_TRUE(cut.s.StreamEnded());
    EXPECT_EQ(got, jpeg.substr(0, 3000 - size_t(header)));
    bool end = false;
    uint8_t byte;
    EXPECT_EQ(cut.s.Read(&byte, 1, &end), 0);
    EXPECT_TRUE(end);
}

TEST(StreamSessionCoreTest, LengthLinesAndCutParts) {
    // At most 8 characters of a length are read; without one the budget is 51200 and the data starts
    // at the empty line. A part cut short by the next part's headers is dropped.
    const std::string a = FakeJpeg(6000, 20), b = FakeJpeg(7000, 21), c = FakeJpeg(5000, 22), j = FakeJpeg(321, 4);
    const auto lengthLine = [&](const std::string& text, size_t size) {
        return Header(text, nullptr) + FakeJpeg(size, 4) + "\r\n" + Part(c);
    };
    // A JPEG with padding after its end whose data holds a type line without a length header is not cut.
    std::string odd = FakeJpeg(3000, 23) + std::string(5, '\0');
    odd.replace(1000, 9, "/jpeg\r\nxy");
    // One that ends with its end marker is whole, even with a part header in its data.
    std::string inner = FakeJpeg(3000, 24);
    inner.replace(1000, Header("100", nullptr).size(), Header("100", nullptr));
    struct Case {
        std::string name, stream;
        std::vector<std::pair<std::string, int32_t>> frames;  // what the decoder gets, in order, and the budget
    } cases[] = {
        {" 321", lengthLine(" 321", 321), {{j, 335}, {c, 5014}}},
        {"321", lengthLine("321", 321), {{j, 335}}},
        {"0000321", lengthLine("0000321", 321), {{j, 335}}},
        {"51186", lengthLine("51186", 51186), {{FakeJpeg(51186, 4), 51200}, {c, 5014}}},
        {"00000321", lengthLine("00000321", 321), {{"\r\n" + j, 51200}}},
        {"123456789", lengthLine("123456789", 321), {{"\r\n" + j, 51200}}},
        {"131072", lengthLine("131072", 131072), {{FakeJpeg(131072, 4), 131086}}},  // the most the ring holds
        {"-5", lengthLine("-5", 2000), {{c, 5014}}},
        {"-1", lengthLine("-1", 2000), {{c, 5014}}},
        {"131073", lengthLine("131073", 2000), {{c, 5014}}},
        {"cut in half",
         Header("6000", kStamp) + a.substr(0, 3000) + "\r\n" + Part(b) + Part(c),
         {{b, 7014}, {c, 5014}}},
        {"length too long", Header("6512", kStamp) + a + "\r\n" + Part(b), {{b, 7014}}},
        {"two cut in a row",
         Header("6000", nullptr) + a.substr(0, 100) + Header("7000", nullptr) + b.substr(0, 50) + "\r\n" + Part(c),
         {{c, 5014}}},
        {"type line inside", Part(odd) + Part(c), {{odd, 3019}, {c, 5014}}},
        {"header inside a whole JPEG", Part(inner) + Part(c), {{inner, 3014}, {c, 5014}}},
    };
    for (const auto& k : cases) {
        for (int32_t piece : {1 << 30, 777}) {
            Fed f(k.stream + std::string(60000, 'x'), 1000, {piece});
            for (const auto& [frame, budget] : k.frames) {
                int32_t got = -1;
                for (int pass = 0; pass < 100 && got < 0; ++pass) {
                    f.s.Fill();
                    got = f.s.ParseHeader(nullptr, nullptr);
                }
                ASSERT_GT(got, 0) << k.name;
                EXPECT_EQ(f.s.Part().budget, budget) << k.name;
                const bool hasLength = budget == int32_t(frame.size()) + 14;
                EXPECT_EQ(f.s.Part().hasLength, hasLength) << k.name;
                EXPECT_TRUE(!hasLength || f.s.Part().whole) << k.name;
                EXPECT_TRUE(StartsWith(ReadFrame(f.s), frame)) << k.name << " piece " << piece;
            }
        }
    }
}

TEST(StreamSessionCoreTest, GarbageIsDroppedChunkByChunk) {
    Fed f(std::string(5000, 'g'), 5000);
    EXPECT_EQ(f.s.ParseHeader(nullptr, nullptr), -1);
    EXPECT_EQ(f.s.ring.Available(), 5000 - 4096);
    EXPECT_EQ(f.s.ParseHeader(nullptr, nullptr), -1);  // the rest, except a tail that could start a match
    EXPECT_EQ(f.s.ring.Available(), 6);
    Fed more(std::string(10000, 'g') + "/jp" + Part(FakeJpeg(9000, 9)), 30000);
    EXPECT_EQ(more.s.ParseHeader(nullptr, nullptr), 10003 + int32_t(Header("9000", kStamp).size()));
    EXPECT_TRUE(StartsWith(ReadFrame(more.s), FakeJpeg(9000, 9)));
    // With less than 8192 bytes after the scanned chunk the call gives up.
    Fed less(std::string(10000, 'g') + Part(FakeJpeg(200, 9)), 30000);
    EXPECT_EQ(less.s.ParseHeader(nullptr, nullptr), -1);
    EXPECT_EQ(less.s.ParseHeader(nullptr, nullptr), -1);
    EXPECT_EQ(less.s.ParseHeader(nullptr, nullptr), 10000 - 8192 + int32_t(Header("200", kStamp).size()));
}

TEST(StreamSessionCoreTest, PartsGarbageAndABadLengthStraddlingTheWrapAreRecorded) {
    // Headers, frames and marker searches cross the wrap of a small ring.
    std::string data;
    std::vector<std::string> parts, recorded;
    for (uint32_t i = 0; i < 40; ++i) {
        if (i % 7 == 3) data += std::string(300 * i, 'q') + Header("-3", nullptr);
        const std::string jpeg = FakeJpeg(1000 + i * 97, 100 + i);
        parts.push_back(i == 20      ? std::string(300, 'n')
                        : i % 5 == 1 ? std::string(37, '\0') + jpeg + std::string(50, '\0')
                                     : jpeg);
        if (i != 20) recorded.push_back(jpeg);
        data += Part(parts.back(), i % 2 ? kStamp : nullptr);
    }
    Fed f(data, 1000, {1500, 333, 4096}, 8192);
    CollectingSink sink;
    f.s.AttachRecordSink(&sink);
    f.s.recording = 1;
    size_t next = 0;
    for (int pass = 0; pass < 1000 && next < parts.size(); ++pass) {
        f.s.Fill();
        if (f.s.ParseHeader(nullptr, nullptr) < 0) continue;
        ASSERT_EQ(f.s.Part().budget, int32_t(parts[next].size()) + 14) << next;
        EXPECT_TRUE(StartsWith(ReadFrame(f.s, 1024), parts[next])) << next;
        ++next;
    }
    EXPECT_EQ(next, parts.size());
    EXPECT_TRUE(sink.frames == recorded);
    f.s.DetachRecordSink();  // nothing more is written
    PieceStream more(Part(FakeJpeg(500, 1)));
    f.s.SetVideoStream(&more);
    f.s.Fill();
    ASSERT_GT(f.s.ParseHeader(nullptr, nullptr), 0);
    EXPECT_EQ(sink.frames.size(), recorded.size());
}

TEST(StreamSessionCoreTest, BacklogKeepsTheNewestAndReadPushesTheOvershootBack) {
    std::string data(100001, 'a');
    for (size_t i = 0; i < data.size(); ++i) data[i] = char(i % 251);
    std::vector<int32_t> pieces(24, 4096);  // 99999 bytes, then 2 more
    pieces.insert(pieces.end(), {1695, 2});
    Fed backlog(data, 99999, pieces);
    EXPECT_FALSE(backlog.s.DropBacklog());
    EXPECT_EQ(backlog.s.ring.Available(), 99999);
    backlog.s.SetThreshold(100001);
    backlog.s.Fill();
    EXPECT_TRUE(backlog.s.DropBacklog());
    EXPECT_EQ(backlog.s.ring.Available(), 997);
    EXPECT_EQ(backlog.s.ring.At(0), uint8_t((100001 - 997) % 251));
    backlog.s.ResetStream();
    EXPECT_EQ(backlog.s.ring.Available(), 0);

    Fed over(Header("86", nullptr) + std::string(6000, 'r'), 7000);  // a budget of 100
    ASSERT_GT(over.s.ParseHeader(nullptr, nullptr), 0);
    std::vector<uint8_t> buf(4096);
    bool end = false;
    EXPECT_EQ(over.s.Read(buf.data(), 4096, &end), 4096);
    EXPECT_TRUE(end);
    EXPECT_EQ(over.s.ring.Available(), 5900);  // 3996 of the 4096 stay buffered
    EXPECT_EQ(over.s.Read(buf.data(), 4096, &end), 0);
    EXPECT_TRUE(end);
}

}  // namespace

}  // namespace qern
