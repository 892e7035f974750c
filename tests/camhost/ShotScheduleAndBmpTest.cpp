// Screenshot times and file names, and the BMP files they are written to.
#include <gtest/gtest.h>

#include <cstdio>
#include <fstream>
#include <iterator>

#include "tools/camhost/BmpFile.h"
#include "tools/camhost/ShotSchedule.h"

using namespace camhost;

namespace {

uint32_t Le32(const std::vector<uint8_t>& b, size_t at) {
    return b[at] | b[at + 1] << 8 | b[at + 2] << 16 | static_cast<uint32_t>(b[at + 3]) << 24;
}

}  // namespace

TEST(ShotSchedule, OnceAtATimeRepeatedAndAtTheEnd) {
    std::vector<ScreenshotSpec> specs(3);
    specs[0].file = "once.bmp";
    specs[0].after = 2;
    specs[1].file = "end.bmp";
    specs[2].file = "out/run.1/many.bmp";
    specs[2].after = 1;
    specs[2].every = 0.5;
    ShotSchedule s(specs);
    EXPECT_TRUE(s.TakeDue(0.9).empty());
    EXPECT_EQ(s.TakeDue(1.0), std::vector<std::string>{"out/run.1/many-001.bmp"});
    EXPECT_TRUE(s.TakeDue(1.2).empty());
    EXPECT_EQ(s.TakeDue(1.5), std::vector<std::string>{"out/run.1/many-002.bmp"});
    // A late tick takes one picture and skips the turns it missed.
    std::vector<std::string> late = s.TakeDue(3.1);
    EXPECT_EQ(late, (std::vector<std::string>{"once.bmp", "out/run.1/many-003.bmp"}));
    EXPECT_TRUE(s.TakeDue(3.4).empty());
    EXPECT_EQ(s.TakeDue(3.5), std::vector<std::string>{"out/run.1/many-004.bmp"});
    EXPECT_EQ(s.AtEnd(), std::vector<std::string>{"end.bmp"});
}

TEST(ShotSchedule, NumberedNamesKeepTheExtensionAndFolder) {
    EXPECT_EQ(ShotSchedule::NumberedName("shot.bmp", 7), "shot-007.bmp");
    EXPECT_EQ(ShotSchedule::NumberedName("shot", 12), "shot-012");
    EXPECT_EQ(ShotSchedule::NumberedName("a.dir\\shot", 1), "a.dir\\shot-001");
    EXPECT_EQ(ShotSchedule::NumberedName("a.dir/s.x.bmp", 1000), "a.dir/s.x-1000.bmp");
}

TEST(BmpFile, RowsAreStoredBottomUpPaddedToFourBytes) {
    Picture p;
    p.width = 3;  // 9 bytes a row, padded to 12
    p.height = 2;
    p.bgrx = {1, 2, 3, 0, 4, 5, 6, 0, 7, 8, 9, 0,  // top row
              10, 11, 12, 0, 13, 14, 15, 0, 16, 17, 18, 0};
    std::vector<uint8_t> b = EncodeBmp(p);
    ASSERT_EQ(b.size(), 54u + 24u);
    EXPECT_EQ(b[0], 'B');
    EXPECT_EQ(b[1], 'M');
    EXPECT_EQ(Le32(b, 2), b.size());
    EXPECT_EQ(Le32(b, 10), 54u);
    EXPECT_EQ(Le32(b, 14), 40u);
    EXPECT_EQ(Le32(b, 18), 3u);
    EXPECT_EQ(Le32(b, 22), 2u);
    EXPECT_EQ(b[28], 24);
    EXPECT_EQ(Le32(b, 34), 24u);
    const std::vector<uint8_t> bottom(b.begin() + 54, b.begin() + 66);
    const std::vector<uint8_t> top(b.begin() + 66, b.end());
    EXPECT_EQ(bottom, (std::vector<uint8_t>{10, 11, 12, 13, 14, 15, 16, 17, 18, 0, 0, 0}));
    EXPECT_EQ(top, (std::vector<uint8_t>{1, 2, 3, 4, 5, 6, 7, 8, 9, 0, 0, 0}));
}

TEST(BmpFile, InconsistentPicturesAreRefusedAndFilesMatchTheEncoding) {
    Picture empty;
    EXPECT_TRUE(EncodeBmp(empty).empty());
    Picture shortPixels;
    shortPixels.width = 4;
    shortPixels.height = 4;
    shortPixels.bgrx.resize(4 * 4 * 4 - 1);
    EXPECT_TRUE(EncodeBmp(shortPixels).empty());
    EXPECT_FALSE(WriteBmp("camhost_never_written.bmp", shortPixels));

    Picture p;
    p.width = 2;
    p.height = 2;
    p.bgrx.assign(16, 0x7F);
    const std::string path = "camhost_bmp_test.bmp";
    ASSERT_TRUE(WriteBmp(path, p));
    std::ifstream in(path, std::ios::binary);
    std::vector<uint8_t> file((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    EXPECT_EQ(file, EncodeBmp(p));
    in.close();
    std::remove(path.c_str());
    EXPECT_FALSE(WriteBmp("no/such/folder/x.bmp", p));
}
