#include <gtest/gtest.h>

#include <cstring>

#include "liveview/DibBuffer.h"

TEST(DibBuffer, CreateWritesTheHeaderFillsTheBlockAndRecreateReplacesIt) {
    DibBuffer dib;
    ASSERT_TRUE(dib.Create(320, 240, 32));
    const BITMAPINFOHEADER want{40, 320, 240, 1, 32, BI_RGB, 307200, 3780, 3780, 0, 0};
    EXPECT_EQ(std::memcmp(dib.Header(), &want, sizeof want), 0);
    EXPECT_EQ(dib.Size(), 40 + 307200);
    uint8_t* bits = dib.GetBits();
    ASSERT_EQ(bits, reinterpret_cast<const uint8_t*>(dib.Header()) + 40);
    for (int i : {0, 1, 307199}) EXPECT_EQ(bits[i], 0x50) << i;
    ASSERT_TRUE(dib.Create(176, 144, 32));
    EXPECT_EQ(dib.Size(), 40 + 101376);
    EXPECT_TRUE(dib.IsValid());
}

TEST(DibBuffer, InvalidBuffersGiveNoPixelsAndNoBitmap) {
    DibBuffer empty;
    EXPECT_FALSE(empty.IsValid());
    EXPECT_EQ(empty.GetBits(), nullptr);
    EXPECT_EQ(empty.GetBitmap(nullptr), nullptr);
    EXPECT_FALSE(empty.Create(0, 10, 32));
    EXPECT_FALSE(empty.Create(100000, 100000, 32));  // more than a block can hold
    EXPECT_FALSE(empty.IsValid());

    // A header that no longer matches the block is not trusted.
    DibBuffer dib;
    ASSERT_TRUE(dib.Create(16, 16, 32));
    auto* h = const_cast<BITMAPINFOHEADER*>(dib.Header());
    for (auto spoil : {+[](BITMAPINFOHEADER& x) { x.biBitCount = 12; }, +[](BITMAPINFOHEADER& x) { x.biSizeImage += 4; },
                       +[](BITMAPINFOHEADER& x) { x.biHeight = 32; }, +[](BITMAPINFOHEADER& x) { x.biCompression = BI_BITFIELDS; }}) {
        const BITMAPINFOHEADER good = *h;
        spoil(*h);
        EXPECT_FALSE(dib.IsValid());
        EXPECT_EQ(dib.GetBits(), nullptr);
        *h = good;
        EXPECT_TRUE(dib.IsValid());
    }
}
