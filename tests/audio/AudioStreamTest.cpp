// The audio frame parser and the sample queue, on byte streams and refill patterns built here.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <vector>

#include "audio/AudioFrameParser.h"
#include "audio/AudioSampleQueue.h"

namespace qern {

namespace {

using Bytes = std::vector<uint8_t>;

// Samples k .. k + n - 1 of a counter, as the camera sends them.
Bytes Counter(uint32_t k, uint32_t n) {
    Bytes b;
    for (uint32_t i = 0; i < n; ++i) b.insert(b.end(), {uint8_t((k + i) & 0xFF), uint8_t((k + i) >> 8 & 0xFF)});
    return b;
}

Bytes operator+(Bytes a, const Bytes& b) {
    a.insert(a.end(), b.begin(), b.end());
    return a;
}

// A frame whose samples count on from first; declared: the length its header gives.
Bytes Frame(uint8_t seq, size_t samples = 128, uint16_t first = 0, int declared = -1) {
    const size_t len = declared < 0 ? samples * 2 : size_t(declared);
    return Bytes{0x1A, 0x2B, 0x3C, 0x4D, 7, seq, uint8_t(len >> 8), uint8_t(len & 0xFF)} +
           Counter(first, uint32_t(samples));
}

Bytes Head(const Bytes& b, size_t n) { return Bytes(b.begin(), b.begin() + n); }
Bytes Tail(const Bytes& b, size_t n) { return Bytes(b.begin() + n, b.end()); }

Bytes Frames(uint8_t seq, int count) {
    Bytes out;
    for (int i = 0; i < count; ++i) out = out + Frame(uint8_t(seq + i), 128, uint16_t(128 * i));
    return out;
}

Bytes Feed(AudioFrameParser& p, const std::vector<Bytes>& blocks) {
    Bytes all, out(AudioFrameParser::kBlockBytes);
    for (const Bytes& b : blocks) {
        EXPECT_LE(b.size(), p.Room());
        std::memcpy(p.Space(), b.data(), b.size());
        const size_t n = p.Commit(b.size(), out.data());
        all.insert(all.end(), out.begin(), out.begin() + n);
    }
    return all;
}

TEST(AudioFrameParser, CutsFramesCarriesAndChecksSequences) {
    const Bytes sixtyAndPart = Frames(0, 61);  // 61 x 264 = 16104: the block takes 16000
    struct Case {
        const char* name;
        std::vector<Bytes> blocks;
        size_t payload, carried, lost, tooLong;
    } cases[] = {
        {"60 frames and 160 bytes", {Head(sixtyAndPart, 16000)}, 15360, 160, 0, 0},
        {"garbage before the first magic", {Bytes{1, 2, 0x1A, 3, 0x4D} + Frames(5, 2)}, 512, 0, 0, 0},
        {"254 255 0 1", {Frames(254, 4)}, 1024, 0, 0, 0},
        {"3 after 1, then on", {Frame(1) + Frame(3) + Frame(4) + Frame(5)}, 1024, 0, 1, 0},
        {"no magic at all", {Bytes(5000, 0x55)}, 0, 0, 0, 0},
        {"split magic carried", {Head(Frames(9, 2), 266), Tail(Frames(9, 2), 266)}, 512, 0, 0, 0},
        {"header cut short", {Head(Frame(9), 6)}, 0, 6, 0, 0},
        {"too long while searching", {Frame(0, 150, 0) + Frame(1)}, 256, 0, 0, 1},
        {"too long while following", {Frame(0) + Frame(1, 200, 0, 400) + Frame(2) + Frame(3)}, 768, 0, 0, 1},
        {"odd payload keeps later samples whole", {Frame(0, 0, 0, 3) + Bytes{1, 2, 3} + Frames(1, 2)}, 514, 0, 0, 0},
    };
    for (const Case& c : cases) {
        AudioFrameParser p;
        const Bytes got = Feed(p, c.blocks);
        EXPECT_EQ(got.size(), c.payload) << c.name;
        EXPECT_EQ(p.Carried(), c.carried) << c.name;
        EXPECT_EQ(p.FramesLost(), c.lost) << c.name;
        EXPECT_EQ(p.FramesTooLong(), c.tooLong) << c.name;
        EXPECT_LT(p.Carried(), AudioFrameParser::kMaxFrame) << c.name;
    }
}

TEST(AudioFrameParser, CarryJoinsTheNextBlockInOrder) {
    AudioFrameParser p, q;
    const Bytes stream = Frames(250, 70);
    EXPECT_EQ(Feed(p, {Head(stream, 16000), Tail(stream, 16000)}), Counter(0, 70 * 128));
    EXPECT_EQ(p.FramesLost(), 0u);
    std::vector<Bytes> bytes;  // byte by byte, the same samples
    for (uint8_t b : stream) bytes.push_back(Bytes{b});
    EXPECT_EQ(Feed(q, bytes), Counter(0, 70 * 128));
}

struct Played {
    Bytes sound;
    std::vector<double> delays;
    AudioSampleQueue::Counters counters;
};
// Drives the queue as the camera and the player would: the camera adds 8000 samples a second
// in 128-sample frames from time 0; second k of the player starts at k + 1 and is asked for
// leads[k] before. The camera sends nothing from cameraStops to cameraBack; with newStream it
// comes back on a new connection whose counter starts at 0 again.
Played Drive(const std::vector<double>& leads, double cameraStops = 1e9, double cameraBack = 1e9,
             bool newStream = false) {
    AudioSampleQueue q(8000);
    Played r;
    uint32_t sent = 0, first = 0;
    Bytes second(16000);
    for (size_t k = 0; k < leads.size(); ++k) {
        const double now = k + 1 - leads[k];
        while ((sent + 128) / 8000.0 <= now) {
            const double at = (sent + 128) / 8000.0;
            if (newStream && at >= cameraBack && first == 0) {
                q.NewStream();
                first = sent;
            }
            if (at < cameraStops || at >= cameraBack) q.Push(Counter(sent - first, 128).data(), 128);
            sent += 128;
        }
        const uint32_t n = q.Fill(second.data(), 8000, int32_t(std::lround(leads[k] * 1000)));
        std::memset(second.data() + n * 2, 0, 16000 - n * 2);
        // The counter wraps every 65536 samples (8.192 s).
        if (n == 8000 && (second[0] | second[1]) != 0)
            r.delays.push_back(std::fmod(k + 1 - (first + (second[0] | second[1] << 8)) / 8000.0 + 100 * 8.192, 8.192));
        r.sound.insert(r.sound.end(), second.begin(), second.end());
    }
    r.counters = q.Snapshot();
    return r;
}

// Counts the silent stretches of at least 2 samples between sound, and checks the counter
// goes up by one between neighbours that are not silent.
int Gaps(const Bytes& played, bool& ordered) {
    int gaps = 0, silent = 0, prev = -1;
    ordered = true;
    for (size_t i = 0; i + 1 < played.size(); i += 2) {
        const int v = played[i] | played[i + 1] << 8;
        if (v == 0 && prev != 65535) {
            ++silent;
            continue;
        }
        if (prev >= 0 && silent >= 2) ++gaps;
        if (prev >= 0 && silent == 0 && v != (prev + 1) % 65536) ordered = false;
        silent = 0;
        prev = v;
    }
    return gaps;
}

TEST(AudioSampleQueue, WholeSecondsSteadyDelayAndSilenceOnlyWhileTheCameraStops) {
    // Leads: the event half a second ahead and up to 0.3 s more for the poll; a loaded machine
    // makes the first refill late (the second already playing).
    std::vector<double> steady(40, 0.4), wobbly, late;
    for (int i = 0; i < 40; ++i) {
        wobbly.push_back(0.5 - (i % 3) * 0.14);
        late.push_back(i == 1 ? -0.1 : i % 2 ? 0.2 : 0.5);
    }
    struct Case {
        const std::vector<double>& leads;
        double stops, back;
        bool newStream;
        int gaps;
        uint32_t shortRefills, seconds;
    } cases[] = {
        {steady, 1e9, 1e9, false, 0, 0, 37},
        {wobbly, 1e9, 1e9, false, 0, 0, 37},
        {late, 1e9, 1e9, false, 0, 0, 37},
        {wobbly, 15.0, 25.0, false, 1, 1, 27},  // the camera stops from 15 s to 25 s
        // A new connection 0.3 s after the old one ended, while the old one still plays: it
        // follows after 0.3 s of silence, every sample of both played.
        {wobbly, 15.0, 15.3, true, 1, 0, 36},
    };
    for (const Case& c : cases) {
        const Played r = Drive(c.leads, c.stops, c.back, c.newStream);
        bool ordered = false;
        EXPECT_EQ(Gaps(r.sound, ordered), c.gaps) << c.stops;
        EXPECT_TRUE(ordered) << c.stops;
        EXPECT_EQ(r.counters.shortRefills, c.shortRefills) << c.stops;
        EXPECT_EQ(r.counters.dropped, 0u) << c.stops;
        EXPECT_GE(r.counters.played, 8000u * c.seconds) << c.stops;
        ASSERT_FALSE(r.delays.empty());
        for (double d : r.delays) EXPECT_NEAR(d, 1.75, 0.02) << c.stops;
    }
}

TEST(AudioSampleQueue, FallsNoFurtherThanASecondBehind) {
    AudioSampleQueue q(8000);
    Bytes out(16000);
    q.Push(Counter(0, 6000).data(), 6000);
    ASSERT_EQ(q.Fill(out.data(), 8000, 500), 8000u);  // 0.75 s of silence, then the counter
    // The player stalled while 2 s more came; after this second only the newest are kept, so
    // that the next sample plays at the usual delay again.
    q.Push(Counter(6000, 16000).data(), 16000);
    uint32_t queued = 0;
    EXPECT_EQ(q.Fill(out.data(), 8000, 500, &queued), 8000u);
    EXPECT_EQ(queued, 18000u);
    EXPECT_EQ(q.Queued(), q.Delay() - 4000 - 8000);
    q.Push(Counter(22000, 8000).data(), 8000);
    EXPECT_EQ(q.Fill(out.data(), 8000, 500), 8000u);
    EXPECT_EQ(out[0] | out[1] << 8, int(22000 - (q.Delay() - 4000 - 8000)));
    EXPECT_GT(q.Snapshot().dropped, 0u);
    // Far more than the queue holds: the oldest go, memory stays bounded.
    q.Push(Counter(0, 50000).data(), 50000);
    EXPECT_EQ(q.Queued(), q.Capacity());
}

}  // namespace

}  // namespace qern
