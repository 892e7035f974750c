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

TEST(RingBuffer, EmptyIsNotFullAndFullRefusesWrites) {
  RingBuffer ring(16);
  const auto bytes = Sequence(20);
  uint8_t out[16];
  EXPECT_EQ(ring.Write(bytes.data(), 10), 10);
  EXPECT_EQ(Take(ring, out, 10), 10);
  EXPECT_EQ(ring.Available(), 0);  // caught up with the writer: empty
  EXPECT_EQ(ring.ContiguousFree(), 6);
  EXPECT_EQ(Take(ring, out, 10), 0);  // nothing stale
  EXPECT_EQ(ring.ReadPos(), 10);
  EXPECT_EQ(ring.Write(bytes.data(), 20), 16);
  EXPECT_EQ(ring.ContiguousFree(), 0);
  ring.AdvanceWrite(5);  // no room: unread bytes stay
  EXPECT_EQ(ring.Available(), 16);
  EXPECT_EQ(Take(ring, out, 16), 16);
  EXPECT_EQ(std::vector<uint8_t>(out, out + 16), Sequence(16));
  EXPECT_EQ(ring.Write(bytes.data(), 8), 8);
  EXPECT_EQ(ring.AdvanceRead(100), 8);  // clamped to what was written
  EXPECT_EQ(ring.Available(), 0);
  EXPECT_EQ(ring.ReadPos(), 2);  // 34 bytes read, wrapped twice
}

TEST(RingBuffer, WrapsInBothDirections) {
  RingBuffer ring(10);
  const auto a = Sequence(7, 100);
  ring.Write(a.data(), 7);
  uint8_t out[10];
  Take(ring, out, 5);
  // 5 free: 3 up to the end of storage, 2 at its start.
  EXPECT_EQ(ring.ContiguousFree(), 3);
  const auto b = Sequence(6, 200);
  EXPECT_EQ(ring.Write(b.data(), 6), 6);  // 3 up to the end, 3 from the start
  EXPECT_EQ(ring.Available(), 8);
  EXPECT_EQ(ring.At(0), 105);
  EXPECT_EQ(ring.At(2), 200);
  EXPECT_EQ(ring.At(7), 205);
  EXPECT_EQ(Take(ring, out, 10), 8);
  const std::vector<uint8_t> expect = {105, 106, 200, 201, 202, 203, 204, 205};
  EXPECT_EQ(std::vector<uint8_t>(out, out + 8), expect);
  EXPECT_GE(ring.ReadPos(), 0);
  EXPECT_LT(ring.ReadPos(), 10);
}

TEST(RingBuffer, ContiguousCopiesOnlyAcrossTheWrap) {
  RingBuffer ring(10);
  const auto a = Sequence(8);
  ring.Write(a.data(), 8);
  uint8_t out[6];
  Take(ring, out, 6);
  const auto b = Sequence(6, 8);
  ring.Write(b.data(), 6);  // bytes 6..13, storage positions 6..9 then 0..3
  std::vector<uint8_t> scratch;
  const uint8_t* inside = ring.Contiguous(0, 4, scratch);
  EXPECT_TRUE(scratch.empty());
  EXPECT_EQ(inside[3], 9);
  const uint8_t* across = ring.Contiguous(2, 6, scratch);
  EXPECT_EQ(across, scratch.data());
  EXPECT_EQ(std::vector<uint8_t>(across, across + 6), Sequence(6, 8));
  EXPECT_EQ(ring.Contiguous(4, 5, scratch), nullptr);  // past what was written
}

TEST(RingBuffer, ThresholdIsClampedToCapacity) {
  RingBuffer ring(100);
  EXPECT_EQ(ring.Threshold(), 100);  // 1000 does not fit
  ring.SetThreshold(50);
  EXPECT_EQ(ring.Threshold(), 50);
  ring.SetThreshold(-1);
  EXPECT_EQ(ring.Threshold(), 0);
  EXPECT_EQ(RingBuffer(131072).Threshold(), 1000);
}

}  // namespace
