// Record file names, the period, the frame size and the rollover that keeps AVI 1.0 below 2 GiB.
#include <gtest/gtest.h>

#include <set>
#include <string>
#include <vector>

#include "recording/JpegFrameSize.h"
#include "recording/RecordName.h"
#include "recording/RecordPeriod.h"
#include "recording/RolloverPolicy.h"
#include "tests/support/ByteFeed.h"

namespace qern {

namespace {

using qern::test::CalendarTime;

TEST(RecordName, StampNamesNeverReusedWithinMaxPath) {
    struct Case {
        CameraTime time;
        size_t size;
        const char* name;
    } cases[] = {
        {CalendarTime(2008, 3, 1, 10, 20, 30), 32, "2008_03_01_10_20_30"},
        {CalendarTime(2026, 12, 31, 23, 59, 59), 32, "2026_12_31_23_59_59"},
        {CalendarTime(2001, 1, 1, 0, 0, 0), 32, "2001_01_01_00_00_00"},
        {CalendarTime(2000, 6, 1, 1, 2, 3), 32, "RADAZ"},
        {CameraTime(), 32, "RADAZ"},
        {CalendarTime(2008, 3, 1, 10, 20, 30), 6, "2008_"},
    };
    for (const Case& c : cases) {
        char buffer[32];
        RecordName::Format(c.time, buffer, c.size);
        EXPECT_STREQ(buffer, c.name);
    }
    std::set<std::string> taken;
    auto exists = [&](const std::string& p) { return taken.count(p) != 0; };
    for (const char* suffix : {"", "_2", "_3"}) {
        const std::string path = RecordName::Path("c:\\QERN\\REC\\", "2008_03_01_10_20_30", exists);
        EXPECT_EQ(path, std::string("c:\\QERN\\REC\\\\2008_03_01_10_20_30_REC") + suffix + ".avi");
        EXPECT_EQ(RecordName::Folder(path), "c:\\QERN\\REC\\");
        taken.insert(path);
    }
    // 260 bytes with the terminating zero: a path of 259 characters fits, 260 does not.
    const size_t fixed = 1 + 5 + 8;  // "\" "RADAZ" "_REC.avi"
    EXPECT_EQ(RecordName::Path(std::string(259 - fixed, 'f'), "RADAZ", exists).size(), 259u);
    EXPECT_EQ(RecordName::Path(std::string(260 - fixed, 'f'), "RADAZ", exists), "");
}

TEST(RolloverPolicy, NewFileBeforeTheLimitWithGapsCounted) {
    EXPECT_EQ(RolloverPolicy::LimitFromText("300000"), 300000u);
    for (const char* bad : std::initializer_list<const char*>{nullptr, "", "-5", "12x", "100", "99999999999"})
        EXPECT_EQ(RolloverPolicy::LimitFromText(bad), RolloverPolicy::kDefaultLimit) << bad;
    EXPECT_LT(RolloverPolicy::kDefaultLimit, 2147483648ULL - 100000000ULL);

    // 4096 header bytes; a frame of 999 bytes costs 8 + 1000 + 16.
    RolloverPolicy p(4096 + 3 * 1024);
    EXPECT_FALSE(p.NeedsNewFile(0, 5000000));  // an empty file takes any frame
    p.Add(0, 999);
    p.Add(0, 999);  // same tick: appended, no gap
    EXPECT_EQ(p.Bytes(), 4096u + 2 * 1024);
    EXPECT_FALSE(p.NeedsNewFile(2, 999));
    EXPECT_TRUE(p.NeedsNewFile(3, 999));  // one empty sample (24 bytes) in between
    EXPECT_TRUE(p.NeedsNewFile(2, 1001));
    p.Begin();
    EXPECT_EQ(p.Bytes(), RolloverPolicy::kHeaderBytes);
    EXPECT_FALSE(p.NeedsNewFile(7, 999));
}

TEST(RecordPeriod, MinutesAsGivenWithoutOverflow) {
    struct Case {
        int32_t minutes;
        const char* minute;
        uint32_t ms;
    } cases[] = {
        {5, nullptr, 300000},
        {0, nullptr, 0},
        {-3, nullptr, 0},
        {2, "500", 1000},
        {2, "0", 120000},
        {2, "junk", 120000},
        {2, "60001", 120000},
        {40000, nullptr, 0x7FFFFFFF},
        {0x7FFFFFFF, nullptr, 0x7FFFFFFF},
    };
    for (const Case& c : cases) EXPECT_EQ(RecordPeriod::Milliseconds(c.minutes, c.minute), c.ms) << c.minutes;
}

TEST(JpegFrameSize, FromTheFrameHeaderWithinBounds) {
    // SOI, APP0 of 4 bytes, SOF0 320 x 240, then SOS; each case changes one byte or cuts the frame.
    const std::vector<uint8_t> jpeg = {0xFF, 0xD8, 0xFF, 0xE0, 0x00, 0x04, 0x00, 0x00, 0xFF, 0xC0, 0x00, 0x0B,
                                       0x08, 0x00, 0xF0, 0x01, 0x40, 0x01, 0x01, 0x11, 0x00, 0xFF, 0xDA};
    struct Case {
        size_t size, at;
        uint8_t value;
        bool read;
    } cases[] = {
        {jpeg.size(), 9, 0xC0, true},  {jpeg.size(), 9, 0xC2, true},  // baseline, progressive
        {16, 0, 0xFF, false},                                         // cut inside the frame header
        {jpeg.size(), 1, 0xD9, false},                                // no start marker
        {jpeg.size(), 9, 0xC4, false},  // a Huffman table is no frame header: the scan comes first
        {jpeg.size(), 5, 0x40, false},  // a segment length that runs past the end
        {jpeg.size(), 5, 0x01, false},  // a segment length below 2
    };
    for (const Case& c : cases) {
        std::vector<uint8_t> bytes = jpeg;
        bytes[c.at] = c.value;
        int32_t w = 0, h = 0;
        EXPECT_EQ(JpegFrameSize::Read(bytes.data(), c.size, &w, &h), c.read) << c.at;
        EXPECT_TRUE(!c.read || (w == 320 && h == 240)) << w << "x" << h;
    }
}

}  // namespace

}  // namespace qern
