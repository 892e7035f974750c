#include <gtest/gtest.h>

#include <cstring>

#include "liveview/DibBuffer.h"

TEST(DibBuffer, CreateWritesTheHeaderAndFillsTheBlock) {
    DibBuffer dib;
    ASSERT_TRUE(dib.Create(320, 240, 32));
    const BITMAPINFOHEADER* h = dib.Header();
    EXPECT_EQ(h->biSize, 40u);
    EXPECT_EQ(h->biWidth, 320);
    EXPECT_EQ(h->biHeight, 240);
    EXPECT_EQ(h->biPlanes, 1);
    EXPECT_EQ(h->biBitCount, 32);
    EXPECT_EQ(h->biCompression, static_cast<DWORD>(BI_RGB));
    EXPECT_EQ(h->biSizeImage, 307200u);
    EXPECT_EQ(h->biXPelsPerMeter, 3780);
    EXPECT_EQ(h->biYPelsPerMeter, 3780);
    EXPECT_EQ(h->biClrUsed, 0u);
    EXPECT_EQ(dib.Size(), 40 + 307200);
    ASSERT_TRUE(dib.IsValid());
    uint8_t* bits = dib.GetBits();
    ASSERT_NE(bits, nullptr);
    EXPECT_EQ(bits, reinterpret_cast<const uint8_t*>(h) + 40);
    for (int i : {0, 1, 307199}) EXPECT_EQ(bits[i], 0x50) << i;
}

TEST(DibBuffer, RecreateReplacesTheBlock) {
    DibBuffer dib;
    ASSERT_TRUE(dib.Create(640, 480, 32));
    ASSERT_TRUE(dib.Create(176, 144, 32));
    EXPECT_EQ(dib.Size(), 40 + 101376);
    EXPECT_TRUE(dib.IsValid());
}

TEST(DibBuffer, InvalidBuffersGiveNoPixelsAndNoBitmap) {
    DibBuffer empty;
    EXPECT_FALSE(empty.IsValid());
    EXPECT_EQ(empty.GetBits(), nullptr);
    EXPECT_EQ(empty.GetBitmap(nullptr), nullptr);

    DibBuffer bad;
    EXPECT_FALSE(bad.Create(0, 10, 32));
    EXPECT_FALSE(bad.Create(100000, 100000, 32));  // more than a block can hold
    EXPECT_FALSE(bad.IsValid());

    // A header that no longer matches the block is not trusted.
    DibBuffer dib;
    ASSERT_TRUE(dib.Create(16, 16, 32));
    auto* h = const_cast<BITMAPINFOHEADER*>(dib.Header());
    h->biBitCount = 12;
    EXPECT_FALSE(dib.IsValid());
    h->biBitCount = 32;
    h->biSizeImage += 4;
    EXPECT_FALSE(dib.IsValid());
    h->biSizeImage -= 4;
    h->biHeight = 32;  // header claims more rows than the block holds
    EXPECT_FALSE(dib.IsValid());
    EXPECT_EQ(dib.GetBits(), nullptr);
    h->biHeight = 16;
    h->biCompression = BI_BITFIELDS;
    EXPECT_FALSE(dib.IsValid());
    h->biCompression = BI_RGB;
    EXPECT_TRUE(dib.IsValid());
}

TEST(DibBuffer, GetBitmapMakesADeviceBitmapOfThePixels) {
    DibBuffer dib;
    ASSERT_TRUE(dib.Create(4, 2, 32));
    uint8_t* bits = dib.GetBits();
    std::memset(bits, 0, 32);
    bits[0] = 0xFF;  // bottom-left pixel blue
    HDC screen = GetDC(nullptr);
    HBITMAP first = dib.GetBitmap(screen);
    ASSERT_NE(first, nullptr);
    BITMAP info{};
    GetObjectW(first, sizeof(info), &info);
    EXPECT_EQ(info.bmWidth, 4);
    EXPECT_EQ(info.bmHeight, 2);
    HDC mem = CreateCompatibleDC(screen);
    HGDIOBJ old = SelectObject(mem, first);
    EXPECT_EQ(GetPixel(mem, 0, 1), RGB(0, 0, 255));
    EXPECT_EQ(GetPixel(mem, 1, 1), RGB(0, 0, 0));
    SelectObject(mem, old);
    DeleteDC(mem);
    // The next bitmap replaces (and deletes) the previous one.
    HBITMAP second = dib.GetBitmap(screen);
    ASSERT_NE(second, nullptr);
    EXPECT_EQ(GetObjectType(first), 0u);
    ReleaseDC(nullptr, screen);
}
