// Record file names and the rollover rule that keeps AVI 1.0 files below 2 GiB.
#include <gtest/gtest.h>

#include <set>
#include <string>

#include "recording/RecordName.h"
#include "recording/RolloverPolicy.h"
#include "tests/support/ByteFeed.h"

namespace {

using qern::test::CalendarTime;

TEST(RecordName, NamePartFromTheStamp) {
    struct Case {
        CameraTime time;
        const char* name;
    } cases[] = {
        {CalendarTime(2008, 3, 1, 10, 20, 30), "2008_03_01_10_20_30"},
        {CalendarTime(2026, 12, 31, 23, 59, 59), "2026_12_31_23_59_59"},
        {CalendarTime(2001, 1, 1, 0, 0, 0), "2001_01_01_00_00_00"},
        {CalendarTime(2000, 6, 1, 1, 2, 3), "RADAZ"},
        {CameraTime(), "RADAZ"},
    };
    for (const Case& c : cases) {
        char buffer[32];
        RecordName::Format(c.time, buffer, sizeof buffer);
        EXPECT_STREQ(buffer, c.name);
    }
    char small[6];
    RecordName::Format(CalendarTime(2008, 3, 1, 10, 20, 30), small, sizeof small);
    EXPECT_STREQ(small, "2008_");
}

TEST(RecordName, PathNeverReusesAFileAndFitsMaxPath) {
    std::set<std::string> taken;
    auto exists = [&](const std::string& p) { return taken.count(p) != 0; };
    const std::string first = RecordName::Path("c:\\QERN\\REC\\", "2008_03_01_10_20_30", exists);
    EXPECT_EQ(first, "c:\\QERN\\REC\\\\2008_03_01_10_20_30_REC.avi");
    taken.insert(first);
    const std::string second = RecordName::Path("c:\\QERN\\REC\\", "2008_03_01_10_20_30", exists);
    EXPECT_EQ(second, "c:\\QERN\\REC\\\\2008_03_01_10_20_30_REC_2.avi");
    taken.insert(second);
    EXPECT_EQ(RecordName::Path("c:\\QERN\\REC\\", "2008_03_01_10_20_30", exists),
              "c:\\QERN\\REC\\\\2008_03_01_10_20_30_REC_3.avi");
    EXPECT_EQ(RecordName::Folder(second), "c:\\QERN\\REC\\");

    // 260 bytes with the terminating zero: a path of 259 characters fits, 260 does not.
    const std::string name = "RADAZ";
    const size_t fixed = 1 + name.size() + 8;  // "\" name "_REC.avi"
    EXPECT_EQ(RecordName::Path(std::string(259 - fixed, 'f'), name, exists).size(), 259u);
    EXPECT_EQ(RecordName::Path(std::string(260 - fixed, 'f'), name, exists), "");
}

TEST(RolloverPolicy, NewFileBeforeTheLimitWithGapsCounted) {
    EXPECT_EQ(RolloverPolicy::LimitFromText(nullptr), RolloverPolicy::kDefaultLimit);
    EXPECT_EQ(RolloverPolicy::LimitFromText("300000"), 300000u);
    for (const char* bad : {"", "-5", "12x", "100", "99999999999"})
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

}  // namespace

#include "recording/RecordPeriod.h"

namespace {

TEST(RecordPeriod, MinutesAsGivenWithoutOverflow) {
    struct Case {
        int32_t minutes;
        const char* minute;
        uint32_t ms;
    } cases[] = {
        {5, nullptr, 300000},  {1, nullptr, 60000},   {0, nullptr, 0},         {-3, nullptr, 0},
        {2, "500", 1000},      {2, "0", 120000},      {2, "junk", 120000},     {2, "60001", 120000},
        {40000, nullptr, 0x7FFFFFFF}, {0x7FFFFFFF, nullptr, 0x7FFFFFFF},
    };
    for (const Case& c : cases) EXPECT_EQ(RecordPeriod::Milliseconds(c.minutes, c.minute), c.ms) << c.minutes;
}

}  // namespace

#include <vector>

#include "recording/JpegFrameSize.h"

namespace {

TEST(JpegFrameSize, FromTheFrameHeaderWithinBounds) {
    // SOI, APP0 of 4 bytes, SOF0 320 x 240, then SOS.
    const std::vector<uint8_t> jpeg = {0xFF, 0xD8, 0xFF, 0xE0, 0x00, 0x04, 0x00, 0x00, 0xFF, 0xC0, 0x00,
                                       0x0B, 0x08, 0x00, 0xF0, 0x01, 0x40, 0x01, 0x01, 0x11, 0x00, 0xFF, 0xDA};
    int32_t w = 0, h = 0;
    ASSERT_TRUE(JpegFrameSize::Read(jpeg.data(), jpeg.size(), &w, &h));
    EXPECT_EQ(w, 320);
    EXPECT_EQ(h, 240);
    std::vector<uint8_t> progressive = jpeg;
    progressive[9] = 0xC2;
    EXPECT_TRUE(JpegFrameSize::Read(progressive.data(), progressive.size(), &w, &h));
    struct Case {
        size_t size;
        size_t at;
        uint8_t value;
    } broken[] = {
        {16, 0, 0xFF},           // cut inside the frame header
        {jpeg.size(), 1, 0xD9},  // no start marker
        {jpeg.size(), 9, 0xC4},  // a Huffman table is no frame header: the scan comes first
        {jpeg.size(), 5, 0x40},  // a segment length that runs past the end
        {jpeg.size(), 5, 0x01},  // a segment length below 2
    };
    for (const Case& c : broken) {
        std::vector<uint8_t> bad = jpeg;
        bad[c.at] = c.value;
        EXPECT_FALSE(JpegFrameSize::Read(bad.data(), c.size, &w, &h)) << c.at;
    }
}

}  // namespace
