#include <gtest/gtest.h>

#include <numeric>
#include <vector>

#include "transport/RingBuffer.h"

namespace qern {

namespace {

std::vector<uint8_t> Sequence(size_t n, uint8_t first = 0) {
    std::vector<uint8_t> v(n);
    std::iota(v.begin(), v.end(), first);
    return v;
}

TEST(RingBuffer, WrapFullEmptyAndClampedBounds) {
    RingBuffer ring(10);
    EXPECT_EQ(ring.Threshold(), 10);  // 1000 does not fit
    ring.SetThreshold(-1);
    EXPECT_EQ(ring.Threshold(), 0);
    EXPECT_EQ(RingBuffer(131072).Threshold(), 1000);
    const auto a = Sequence(8), b = Sequence(8, 8);
    ring.Write(a.data(), 8);
    EXPECT_EQ(ring.AdvanceRead(6), 6);
    EXPECT_EQ(ring.Write(b.data(), 8), 8);  // bytes 6..15 at storage positions 6..9 then 0..5: full
    EXPECT_EQ(ring.Write(a.data(), 1), 0);
    ring.AdvanceWrite(5);  // no room: unread bytes stay
    std::vector<uint8_t> scratch;
    EXPECT_EQ(ring.Contiguous(0, 4, scratch)[3], 9);
    EXPECT_TRUE(scratch.empty());  // copied only across the wrap
    const uint8_t* across = ring.Contiguous(2, 8, scratch);
    EXPECT_EQ(across, scratch.data());
    EXPECT_EQ(std::vector<uint8_t>(across, across + 8), Sequence(8, 8));
    EXPECT_EQ(ring.Contiguous(4, 7, scratch), nullptr);  // past what was written
    EXPECT_EQ(ring.AdvanceRead(100), 10);                // clamped to what was written
    EXPECT_EQ(ring.Available(), 0);                      // caught up with the writer: empty, not full
    uint8_t out[4];
    EXPECT_EQ(ring.Peek(0, out, 4), 0);  // nothing stale
    EXPECT_EQ(ring.ContiguousFree(), 4);
}

}  // namespace

}  // namespace qern
