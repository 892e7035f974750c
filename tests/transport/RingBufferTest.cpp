#include <gtest/gtest.h>

#include <numeric>
#include <vector>

#include "transport/RingBuffer.h"

namespace {

std::vector<uint8_t> Sequence(size_t n, uint8_t first = 0) {
  std::vector<uint8_t> v(n);
  std::iota(v.begin(), v.end(), first);
  return v;
}

int32_t Take(RingBuffer& ring, uint8_t* out, int32_t n) { return ring.AdvanceRead(ring.Peek(0, out, n)); }

TEST(RingBuffer, WrapFullEmptyAndClampedBounds) {
  RingBuffer ring(10);
  EXPECT_EQ(ring.Threshold(), 10);  // 1000 does not fit
  ring.SetThreshold(-1);
  EXPECT_EQ(ring.Threshold(), 0);
  EXPECT_EQ(RingBuffer(131072).Threshold(), 1000);
  const auto a = Sequence(8), b = Sequence(6, 8);
  uint8_t out[10];
  ring.Write(a.data(), 8);
  EXPECT_EQ(Take(ring, out, 6), 6);
  EXPECT_EQ(ring.ContiguousFree(), 2);  // 8 free: 2 up to the end of storage, 6 at its start
  EXPECT_EQ(ring.Write(b.data(), 6), 6);  // bytes 6..13 at storage positions 6..9 then 0..3
  EXPECT_EQ(ring.At(3), 9);
  EXPECT_EQ(ring.At(4), 10);
  std::vector<uint8_t> scratch;
  const uint8_t* inside = ring.Contiguous(0, 4, scratch);
  EXPECT_TRUE(scratch.empty());  // copied only across the wrap
  EXPECT_EQ(inside[3], 9);
  const uint8_t* across = ring.Contiguous(2, 6, scratch);
  EXPECT_EQ(across, scratch.data());
  EXPECT_EQ(std::vector<uint8_t>(across, across + 6), Sequence(6, 8));
  EXPECT_EQ(ring.Contiguous(4, 5, scratch), nullptr);  // past what was written
  EXPECT_EQ(ring.Write(a.data(), 8), 2);  // full
  EXPECT_EQ(ring.ContiguousFree(), 0);
  ring.AdvanceWrite(5);  // no room: unread bytes stay
  EXPECT_EQ(Take(ring, out, 10), 10);
  std::vector<uint8_t> want = Sequence(8, 6);
  want.insert(want.end(), {0, 1});
  EXPECT_EQ(std::vector<uint8_t>(out, out + 10), want);
  EXPECT_EQ(ring.Available(), 0);  // caught up with the writer: empty, not full
  EXPECT_EQ(Take(ring, out, 10), 0);  // nothing stale
  EXPECT_EQ(ring.ReadPos(), 6);  // 16 bytes read, wrapped once
  EXPECT_EQ(ring.ContiguousFree(), 4);
  ring.Write(a.data(), 3);
  EXPECT_EQ(ring.AdvanceRead(100), 3);  // clamped to what was written
  EXPECT_EQ(ring.ReadPos(), 9);
}

}  // namespace
