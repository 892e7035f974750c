#pragma once
#include <cstddef>
#include <cstdint>
#include <vector>

#include "tools/camsim/VideoSize.h"

namespace camsim {

// Misbehaviour on request, for the reliability tests of clients. Counts are per
// connection; 0 switches a fault off.
struct FaultPlan {
    int stallAfter = 0;        // after N frames send nothing more but keep the connection open
    int dropAfter = 0;         // after N frames close the connection
    bool noAnswer = false;     // accept connections and never answer them
    double answerAfter = 0;    // seconds each request waits before it is answered
    double refuseFrom = 0;     // seconds after start when refusing begins
    double refuseFor = 0;      // how long connections are refused
    int garbageBytes = 0;      // bytes of noise between parts
    int truncateEvery = 0;     // every Nth frame is cut in half (its Content-Length stays whole)
    int wrongLengthEvery = 0;  // every Nth frame's Content-Length is off by wrongLengthBy
    int wrongLengthBy = 512;
    int dripBytesPerSecond = 0;  // the video response trickles out at this rate
    int sizeCycle = 0;           // every N frames the picture moves on to the next size
};

enum class StreamAction { Send, Stall, Drop };

// What to do before sending the frame that follows `framesSent` frames.
StreamAction ActionBeforeFrame(const FaultPlan& plan, uint64_t framesSent);

struct PartFault {
    bool truncate = false;
    bool wrongLength = false;
};

PartFault FaultForFrame(const FaultPlan& plan, uint64_t frameIndex);

// The Content-Length written for a JPEG of `actual` bytes, and the bytes really sent.
size_t DeclaredLength(const FaultPlan& plan, const PartFault& fault, size_t actual);
size_t SentLength(const PartFault& fault, size_t actual);

bool RefusingAt(const FaultPlan& plan, double secondsSinceStart);

// Noise that never contains "/" or "-", so it cannot be mistaken for a part header
// or a boundary; varies with the seed.
std::vector<uint8_t> GarbageBytes(size_t count, uint64_t seed);

// The size of frame n when the sizes cycle 640x480 -> 320x240 -> 176x144 from `base`.
VideoSize SizeForFrame(const FaultPlan& plan, VideoSize base, uint64_t frameIndex);

}  // namespace camsim
